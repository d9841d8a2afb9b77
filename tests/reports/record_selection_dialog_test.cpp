// The record selection dialog: its look, its defaults, and what each handler leaves in
// the answers it was given.

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include <platform/fakes.h>

#include <reports/record_selection_dialog.h>
#include "layout_check.h"

namespace {

class RecordSelectionDialog : public ::testing::Test {
  protected:
    // Answers as left by an earlier command, to see that the dialog sets them.
    reports::SelectionKind kind = static_cast<reports::SelectionKind>(77);
    bool includeMemo = false;
    bool textFormat = true;
    platform::FakeShell shell;
    reports::RecordSelectionDialog dialog{{kind, includeMemo, textFormat}, shell};
};

TEST_F(RecordSelectionDialog, LooksAsDesigned) {
    EXPECT_EQ(dialog.objectName(), "RecRange");
    EXPECT_EQ(dialog.windowTitle(), "Choose records to include in Review/Printout");
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.font().family(), "MS Sans Serif");

    EXPECT_EQ(dialog.selectionGroup->title(), " Records to include in review/printout:");
    EXPECT_EQ(dialog.selectionGroup->toolTip(), "See explanation below");
    const QStringList items = {"Current", "Range", "Selected", "All"};
    int previousLeft = -1;
    for (int index = 0; index < 4; ++index) {
        QAbstractButton* item = dialog.selectionItems->button(index);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), items[index]);
        EXPECT_EQ(item->parentWidget(), dialog.selectionGroup);
        EXPECT_GT(item->x(), previousLeft);  // four columns side by side
        previousLeft = item->x();
        EXPECT_TRUE(dialog.selectionGroup->rect().contains(item->geometry()));
    }
    EXPECT_EQ(dialog.includeMemoCheck->text(), "include Memo field");
    EXPECT_EQ(dialog.includeMemoCheck->toolTip(), "Include Memo (Note) in report/printout");
    EXPECT_EQ(dialog.textFormatCheck->text(), "Format for Text Output");
    EXPECT_EQ(dialog.textFormatCheck->toolTip(), "No left margin or page header");
    EXPECT_TRUE(dialog.okButton->isDefault());

    EXPECT_EQ(dialog.explanationCaption->text(), "Explanation of record selection categories:");
    EXPECT_TRUE(dialog.explanationCaption->font().bold());
    EXPECT_EQ(dialog.explanationCaption->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_TRUE(dialog.explanationText->isReadOnly());
    EXPECT_EQ(dialog.explanationText->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(dialog.helpLink->text(), "On-line Help");
    EXPECT_EQ(dialog.helpLink->font().family(), "Arial");
    EXPECT_TRUE(dialog.helpLink->font().underline());
    EXPECT_TRUE(dialog.helpLink->font().bold());
    EXPECT_EQ(dialog.helpLink->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(dialog.helpLink->cursor().shape(), Qt::PointingHandCursor);

    EXPECT_EQ(testsupport::layoutFaults(dialog), std::vector<std::string>{});
}

TEST_F(RecordSelectionDialog, HelpLineReadsConfusedVisitOurOnLineHelpForMoreDetail) {
    EXPECT_EQ(dialog.helpLinkLead->text(), "Confused?  Visit our ");
    EXPECT_EQ(dialog.helpLinkTail->text(), "for more detail");
    // A blank's width at least between "our" and the link, and between the link and "for".
    const QFontMetrics before(dialog.helpLinkLead->font());
    const int ourEnds = dialog.helpLinkLead->x() + before.horizontalAdvance("Confused?  Visit our");
    EXPECT_GE(dialog.helpLink->x() - ourEnds, before.horizontalAdvance(' '));
    const int linkEnds =
        dialog.helpLink->x() +
        QFontMetrics(dialog.helpLink->font()).horizontalAdvance(dialog.helpLink->text());
    EXPECT_GE(dialog.helpLinkTail->x() - linkEnds,
              QFontMetrics(dialog.helpLinkTail->font()).horizontalAdvance(' '));
    EXPECT_LE(dialog.helpLinkTail->geometry().right(), dialog.width());
}

TEST_F(RecordSelectionDialog, ExplainsTheFourKindsInTwentyLines) {
    const QStringList lines = reports::recordSelectionExplanation();
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines[0], "Current: Report only the one record now highlighted in the grid. ");
    EXPECT_EQ(lines[5], "as needed (DON'T use the keyboard) and HOLD DOWN THE ");
    EXPECT_EQ(lines[19], "* Cancel and return to grid if necessary to select records * ");
    for (int blank : {1, 8, 14, 18}) EXPECT_TRUE(lines[blank].isEmpty()) << blank;
    // Each one its own paragraph in the box, trailing blanks and all.
    QTextDocument* shown = dialog.explanationText->document();
    ASSERT_EQ(shown->blockCount(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(shown->findBlockByNumber(i).text(), lines[i]);

    // They read as written: no line wraps in the box, and the box needs no scrolling.
    dialog.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(shown->findBlockByNumber(i).layout()->lineCount(), 1) << lines[i].toStdString();
    EXPECT_EQ(dialog.explanationText->verticalScrollBar()->maximum(), 0);
}

TEST_F(RecordSelectionDialog, OpensWithAllMemoAndPaperLayout) {
    EXPECT_EQ(dialog.chosenKind(), reports::kAll);
    EXPECT_TRUE(dialog.includeMemoCheck->isChecked());
    EXPECT_FALSE(dialog.textFormatCheck->isChecked());
    dialog.show();
    // startWithMemoIncluded: the memo goes in unless the box is cleared.
    EXPECT_TRUE(includeMemo);
    // The kind is given only by OK.
    EXPECT_EQ(kind, 77);
    dialog.close();
}

TEST_F(RecordSelectionDialog, HandlersLeaveTheirAnswers) {
    dialog.show();
    dialog.includeMemoCheck->click();
    EXPECT_FALSE(includeMemo);
    dialog.includeMemoCheck->click();
    EXPECT_TRUE(includeMemo);
    textFormat = false;
    dialog.textFormatCheck->click();
    EXPECT_TRUE(textFormat);
    dialog.textFormatCheck->click();
    EXPECT_FALSE(textFormat);

    dialog.selectionItems->button(reports::kRange)->click();
    dialog.okButton->click();
    EXPECT_EQ(kind, reports::kRange);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(RecordSelectionDialog, EnterIsOkAndEscapeCancels) {
    QTimer::singleShot(0, &dialog, [&] {
        dialog.selectionItems->button(reports::kSelected)->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(kind, reports::kSelected);

    kind = static_cast<reports::SelectionKind>(77);
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(kind, 77);
}

TEST_F(RecordSelectionDialog, TabOrderRunsFromTheGroupOverTheButtonsToTheBoxes) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QWidget* focus = dialog.selectionItems->checkedButton();
    EXPECT_EQ(dialog.focusWidget(), focus);
    const QList<QWidget*> expected = {dialog.okButton, dialog.cancelButton, dialog.includeMemoCheck,
                                      dialog.textFormatCheck};
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
    QTest::mouseClick(dialog.helpLink, Qt::LeftButton);
    ASSERT_EQ(shell.targets().size(), 1u);
    EXPECT_TRUE(shell.targets()[0].endsWith("/reports.html")) << shell.targets()[0].toStdString();
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
