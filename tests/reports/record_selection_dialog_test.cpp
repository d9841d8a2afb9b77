// The record selection dialog: its look, its defaults, and what each handler leaves in
// the answers it was given.

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include <platform/fakes.h>

#include "address_report.h"
#include "layout_check.h"
#include "record_selection_dialog.h"

namespace {

using reports::TRecRange;

class RecordSelectionDialog : public ::testing::Test {
  protected:

    // Answers as left by an earlier command, to see that the dialog sets them.
    int kind = 77;
    int marker = 86;
    bool textFormat = true;
    platform::FakeShell shell;
    TRecRange dialog{{kind, marker, textFormat}, shell};
};

TEST_F(RecordSelectionDialog, LooksAsDesigned) {
    EXPECT_EQ(dialog.objectName(), "RecRange");
    EXPECT_EQ(dialog.windowTitle(), "Choose records to include in Review/Printout");
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.font().family(), "MS Sans Serif");

    EXPECT_EQ(dialog.RangeGroup->title(), " Records to include in review/printout:");
    EXPECT_EQ(dialog.RangeGroup->toolTip(), "See explanation below");
    const QStringList items = {"Current", "Range", "Selected", "All"};
    int previousLeft = -1;
    for (int index = 0; index < 4; ++index) {
        QAbstractButton* item = dialog.RangeItems->button(index);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), items[index]);
        EXPECT_EQ(item->parentWidget(), dialog.RangeGroup);
        EXPECT_GT(item->x(), previousLeft);  // four columns side by side
        previousLeft = item->x();
        EXPECT_TRUE(dialog.RangeGroup->rect().contains(item->geometry()));
    }
    EXPECT_EQ(dialog.CheckBox1->text(), "include Memo field");
    EXPECT_EQ(dialog.CheckBox1->toolTip(), "Include Memo (Note) in report/printout");
    EXPECT_EQ(dialog.CheckText->text(), "Format for Text Output");
    EXPECT_EQ(dialog.CheckText->toolTip(), "No left margin or page header");
    EXPECT_TRUE(dialog.BitBtn1->isDefault());

    EXPECT_EQ(dialog.Label1->text(), "Explanation of record selection categories:");
    EXPECT_TRUE(dialog.Label1->font().bold());
    EXPECT_EQ(dialog.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_TRUE(dialog.Memo1->isReadOnly());
    EXPECT_EQ(dialog.Memo1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(dialog.HomeLabel->text(), "On-line Help");
    EXPECT_EQ(dialog.HomeLabel->font().family(), "Arial");
    EXPECT_TRUE(dialog.HomeLabel->font().underline());
    EXPECT_TRUE(dialog.HomeLabel->font().bold());
    EXPECT_EQ(dialog.HomeLabel->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(dialog.HomeLabel->cursor().shape(), Qt::PointingHandCursor);

    EXPECT_EQ(testsupport::layoutFaults(dialog), std::vector<std::string>{});
}

TEST_F(RecordSelectionDialog, HelpLineReadsConfusedVisitOurOnLineHelpForMoreDetail) {
    EXPECT_EQ(dialog.Label2->text(), "Confused?  Visit our ");
    EXPECT_EQ(dialog.Label3->text(), "for more detail");
    // A blank's width at least between "our" and the link, and between the link and "for".
    const QFontMetrics before(dialog.Label2->font());
    const int ourEnds = dialog.Label2->x() + before.horizontalAdvance("Confused?  Visit our");
    EXPECT_GE(dialog.HomeLabel->x() - ourEnds, before.horizontalAdvance(' '));
    const int linkEnds = dialog.HomeLabel->x() + QFontMetrics(dialog.HomeLabel->font())
                                                     .horizontalAdvance(dialog.HomeLabel->text());
    EXPECT_GE(dialog.Label3->x() - linkEnds,
              QFontMetrics(dialog.Label3->font()).horizontalAdvance(' '));
    EXPECT_LE(dialog.Label3->geometry().right(), dialog.width());
}

TEST_F(RecordSelectionDialog, ExplainsTheFourKindsInTwentyLines) {
    const QStringList lines = reports::recordSelectionExplanation();
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines[0], "Current: Report only the one record now highlighted in the grid. ");
    EXPECT_EQ(lines[5], "as needed (DON'T use the keyboard) and HOLD DOWN THE ");
    EXPECT_EQ(lines[19], "* Cancel and return to grid if necessary to select records * ");
    for (int blank : {1, 8, 14, 18}) EXPECT_TRUE(lines[blank].isEmpty()) << blank;
    // Each one its own paragraph in the box, trailing blanks and all.
    QTextDocument* shown = dialog.Memo1->document();
    ASSERT_EQ(shown->blockCount(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(shown->findBlockByNumber(i).text(), lines[i]);

    // They read as written: no line wraps in the box, and the box needs no scrolling.
    dialog.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(shown->findBlockByNumber(i).layout()->lineCount(), 1) << lines[i].toStdString();
    EXPECT_EQ(dialog.Memo1->verticalScrollBar()->maximum(), 0);
}

TEST_F(RecordSelectionDialog, OpensWithAllMemoAndPaperLayout) {
    EXPECT_EQ(dialog.itemIndex(), reports::kAll);
    EXPECT_TRUE(dialog.CheckBox1->isChecked());
    EXPECT_FALSE(dialog.CheckText->isChecked());
    dialog.show();
    // FormShow: the memo goes in unless the box is cleared.
    EXPECT_EQ(marker, 0);
    // The kind is given only by OK.
    EXPECT_EQ(kind, 77);
    dialog.close();
}

TEST_F(RecordSelectionDialog, HandlersLeaveTheirAnswers) {
    dialog.show();
    dialog.CheckBox1->click();
    EXPECT_EQ(marker, reports::kLeaveMemoOut);
    dialog.CheckBox1->click();
    EXPECT_EQ(marker, 0);
    textFormat = false;
    dialog.CheckText->click();
    EXPECT_TRUE(textFormat);
    dialog.CheckText->click();
    EXPECT_FALSE(textFormat);

    dialog.RangeItems->button(reports::kRange)->click();
    dialog.BitBtn1->click();
    EXPECT_EQ(kind, reports::kRange);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(RecordSelectionDialog, EnterIsOkAndEscapeCancels) {
    QTimer::singleShot(0, &dialog, [&] {
        dialog.RangeItems->button(reports::kSelected)->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(kind, reports::kSelected);

    kind = 77;
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(kind, 77);
}

TEST_F(RecordSelectionDialog, TabOrderRunsFromTheGroupOverTheButtonsToTheBoxes) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QWidget* focus = dialog.RangeItems->checkedButton();
    EXPECT_EQ(dialog.focusWidget(), focus);
    const QList<QWidget*> expected = {dialog.BitBtn1, dialog.BitBtn2, dialog.CheckBox1,
                                      dialog.CheckText};
    for (QWidget* next : expected) {
        focus = focus->nextInFocusChain();
        while (focus->focusPolicy() == Qt::NoFocus || !focus->isVisibleTo(&dialog) ||
               qobject_cast<QRadioButton*>(focus) != nullptr)
            focus = focus->nextInFocusChain();
        EXPECT_EQ(focus, next) << next->objectName().toStdString();
    }
}

TEST_F(RecordSelectionDialog, TheHelpLinkOpensTheReportsPageAndTheDialogStays) {
    dialog.show();
    QTest::mouseClick(dialog.HomeLabel, Qt::LeftButton);
    ASSERT_EQ(shell.targets().size(), 1u);
    EXPECT_TRUE(shell.targets()[0].endsWith("/reports.html")) << shell.targets()[0].toStdString();
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
