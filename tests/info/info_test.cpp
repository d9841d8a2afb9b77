// The extended information window over a real address table: its controls, the facts it
// shows (also while a search filter is on, and for an entry not yet saved), the memo
// search with its Find dialog, the font choice and the help button.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <data/memo.h>
#include <platform/fakes.h>
#include <platform/form_style.h>
#include <platform/help_pages.h>

#include <info/entry_info_dialog.h>
#include <info/find_dialog.h>
#include <info/font_chooser.h>
#include <store/address_book.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include "layout_check.h"
#include "module_fixture.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

class ScriptedFonts : public info::FontChooser {
  public:
    std::optional<info::FontChoice> chooseFont(const info::FontChoice& initial, QWidget*) override {
        offered.push_back(initial);
        return answer;
    }
    std::optional<info::FontChoice> answer;
    std::vector<info::FontChoice> offered;
};

class InfoWindow : public testsupport::AddressModuleTest {
  protected:
    // The window as showEntryInformation shows it, but not modal, so the test can go on.
    info::EntryInfoDialog& show() {
        window = std::make_unique<info::EntryInfoDialog>(*module, prompter, shell, &fonts);
        window->show();
        return *window;
    }

    void search(const QString& text, bool includeMemo) {
        state.nameOnlySearch = false;
        module->search.search(text, includeMemo, {});
    }

    std::pair<int, int> selection() {
        const QTextCursor cursor = window->memoEditor->textCursor();
        return {cursor.selectionStart(), cursor.selectionEnd()};
    }

    platform::FakeShell shell;
    ScriptedFonts fonts;
    std::unique_ptr<info::EntryInfoDialog> window;
};

TEST_F(InfoWindow, FormOpensAtItsSizeWithItsTabOrder) {
    open();
    info::EntryInfoDialog& info = show();
    EXPECT_EQ(testsupport::layoutFaults(info), std::vector<std::string>{});
    EXPECT_EQ(info.windowTitle(), "Marigold - Extended Information");
    EXPECT_EQ(info.size(), QSize(418, 375));
    EXPECT_EQ(info.minimumSize(), info.size());
    EXPECT_FALSE(info.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(info.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(info.memoEditor->wordWrap());
    EXPECT_EQ(info.memoEditor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(info.memoEditor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // Tab order: Close, the memo, Help, Find, Font.
    EXPECT_EQ(testsupport::nextTabStop(info.closeButton), info.memoEditor);
    EXPECT_EQ(testsupport::nextTabStop(info.memoEditor), info.helpButton);
    EXPECT_EQ(testsupport::nextTabStop(info.helpButton), info.findButton);
    EXPECT_EQ(testsupport::nextTabStop(info.findButton), info.fontButton);
    // The Find dialog sits at the point the memo's right edge and top give.
    EXPECT_EQ(info.findDialog->pos(), QPoint(413, 28));
    EXPECT_FALSE(info.findDialog->isModal());
}

TEST_F(InfoWindow, ShowsTheCurrentEntryAndTheTablesFacts) {
    seed({{"Anna Smith", "12 High Street\r\nLondon"}, {"Bob Jones", "Tel 555", {2024, 3, 9}}});
    open();
    ASSERT_TRUE(table().findKey("BOB JONES"));
    state.entryCount = 7;  // the running count, whatever the file says
    info::EntryInfoDialog& info = show();
    EXPECT_EQ(info.nameLabel->text(), "Bob Jones");
    EXPECT_EQ(info.memoEditor->toPlainText(), "Tel 555");
    EXPECT_EQ(info.lastChangeLabel->text(), "03/09/24");
    EXPECT_EQ(info.lastUpdateLabel->text(), table().lastUpdateText());
    EXPECT_FALSE(info.lastUpdateLabel->text().isEmpty());
    EXPECT_EQ(info.entryCountLabel->text(), "7");
    EXPECT_TRUE(info.filterCountCaption->isHidden());
    EXPECT_TRUE(info.filterCountLabel->isHidden());
}

TEST_F(InfoWindow, AnEntryNotYetSavedShowsTheEmptyDateAndStaysUnsaved) {
    seed({{"Anna Smith", ""}, {"Bob Jones", "Tel 555"}});
    open();
    search("555", true);
    table().insert();
    table().fieldByName("NAME").setAsString("Carl New");
    info::EntryInfoDialog& info = show();
    EXPECT_EQ(info.nameLabel->text(), "Carl New");
    EXPECT_EQ(info.lastChangeLabel->text(), "12/30/99");
    // The count of the memo search leaves the new entry out and does not save it.
    EXPECT_EQ(info.filterCountLabel->text(), "1");
    EXPECT_EQ(table().state(), data::DataSetState::Insert);
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(InfoWindow, AnEmptyTableShowsNothingButTheEmptyDateAndZero) {
    open();
    info::EntryInfoDialog& info = show();
    EXPECT_EQ(info.nameLabel->text(), "");
    EXPECT_EQ(info.memoEditor->toPlainText(), "");
    EXPECT_EQ(info.lastChangeLabel->text(), "12/30/99");
    EXPECT_EQ(info.entryCountLabel->text(), "0");
}

TEST_F(InfoWindow, FilterCountFollowsTheSearch) {
    seed({{"Anna Smith", "fax 555"}, {"Bob Jones", "Tel 555"}, {"Cora Smithers", ""}, {"Dan", ""}});
    open();
    search("555", true);
    info::EntryInfoDialog& memoSearch = show();
    EXPECT_FALSE(memoSearch.filterCountCaption->isHidden());
    EXPECT_FALSE(memoSearch.filterCountLabel->isHidden());
    EXPECT_EQ(memoSearch.filterCountLabel->text(), QString::number(table().visibleCount()));
    EXPECT_EQ(memoSearch.filterCountLabel->text(), "2");

    search("smith", false);
    info::EntryInfoDialog& nameSearch = show();
    EXPECT_EQ(nameSearch.filterCountLabel->text(), "2");
    EXPECT_FALSE(nameSearch.filterCountLabel->isHidden());

    module->search.cancel();
    info::EntryInfoDialog& none = show();
    EXPECT_TRUE(none.filterCountLabel->isHidden());
}

TEST_F(InfoWindow, FindSelectsEachMatchInTurnThenSaysItIsNotFound) {
    seed({{"Bob", "Tel 555 tel 556"}});
    open();
    state.searchText = "TEL";
    info::EntryInfoDialog& info = show();
    info.openFindDialog();
    ASSERT_TRUE(info.findDialog->isVisible());
    EXPECT_EQ(info.findDialog->findText(), "TEL");

    info.findNextInMemo();
    EXPECT_EQ(selection(), std::make_pair(0, 3));
    info.findNextInMemo();
    EXPECT_EQ(selection(), std::make_pair(8, 11));
    EXPECT_TRUE(info.findDialog->isVisible());
    info.findNextInMemo();
    EXPECT_EQ(prompter.texts(), std::vector<QString>{"\"TEL\" not found"});
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Plain);
    EXPECT_FALSE(info.findDialog->isVisible());
    EXPECT_EQ(selection(), std::make_pair(8, 11));
}

TEST_F(InfoWindow, FindGoesOnAfterTheLastMatchSoOverlapsAreNotFound) {
    seed({{"Bob", "aaa"}});
    open();
    info::EntryInfoDialog& info = show();
    info.openFindDialog();
    info.findDialog->setFindText("aa");
    info.findNextInMemo();
    EXPECT_EQ(selection(), std::make_pair(0, 2));
    info.findNextInMemo();
    EXPECT_EQ(prompter.texts(), std::vector<QString>{"\"aa\" not found"});
}

TEST_F(InfoWindow, FindStartsAtTheCaretAndCountsLineBreaksAsOneCharacter) {
    seed({{"Bob", "first line\r\nsecond line\r\nline three"}});
    open();
    info::EntryInfoDialog& info = show();
    QTextCursor caret = info.memoEditor->textCursor();
    caret.setPosition(5);
    info.memoEditor->setTextCursor(caret);
    info.openFindDialog();
    info.findDialog->setFindText("LINE");
    info.findNextInMemo();
    EXPECT_EQ(selection(), std::make_pair(6, 10));
    info.findNextInMemo();
    EXPECT_EQ(selection(), std::make_pair(18, 22));
    EXPECT_EQ(info.memoEditor->textCursor().selectedText(), "line");
    // An empty text looks for nothing.
    info.findDialog->setFindText("");
    info.findNextInMemo();
    EXPECT_EQ(selection(), std::make_pair(18, 22));
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(InfoWindow, FindDialogStartsWithTheSearchTextEachTimeItOpens) {
    seed({{"Bob", "memo"}});
    open();
    info::EntryInfoDialog& before = show();
    before.openFindDialog();
    EXPECT_EQ(before.findDialog->findText(), "");  // no search yet

    state.searchText = "SMI";
    info::EntryInfoDialog& info = show();
    info.openFindDialog();
    EXPECT_EQ(info.findDialog->findText(), "SMI");
    QTest::keyClicks(info.findDialog->findEdit, "typed");
    // Already open: only brought to the front, keeping what was typed.
    info.openFindDialog();
    EXPECT_EQ(info.findDialog->findText(), "typed");
    info.findDialog->cancelButton->click();
    EXPECT_FALSE(info.findDialog->isVisible());
    info.openFindDialog();
    EXPECT_EQ(info.findDialog->findText(), "SMI");

    info.findDialog->close();
    state.searchText = QString(300, QLatin1Char('X'));
    info.openFindDialog();
    EXPECT_EQ(info.findDialog->findText().size(), 255);
}

TEST_F(InfoWindow, FindDialogButtonsAskForTheNextMatch) {
    seed({{"Bob", "one two one"}});
    open();
    info::EntryInfoDialog& info = show();
    info.openFindDialog();
    EXPECT_EQ(testsupport::layoutFaults(*info.findDialog), std::vector<std::string>{});
    info.findDialog->findEdit->clear();
    EXPECT_FALSE(info.findDialog->findNextButton->isEnabled());
    QTest::keyClicks(info.findDialog->findEdit, "ONE");
    info.findDialog->findNextButton->click();
    EXPECT_EQ(selection(), std::make_pair(0, 3));
    QTest::keyClick(info.findDialog->findEdit, Qt::Key_Return);
    EXPECT_EQ(selection(), std::make_pair(8, 11));
}

TEST(FindForward, ComparesOnlyAToZWithoutRegardToCase) {
    EXPECT_EQ(info::findForward("café CAFÉ", 0, "CAFÉ"), 5);
    EXPECT_EQ(info::findForward("café", 0, "É"), -1);
    EXPECT_EQ(info::findForward("café", 0, "é"), 3);
    EXPECT_EQ(info::findForward("abc", 3, "c"), -1);
    EXPECT_EQ(info::findForward("abc", 9, "c"), -1);
    EXPECT_EQ(info::findForward("abc", 0, ""), -1);
    EXPECT_EQ(info::notFoundMessage("x y"), "\"x y\" not found");
}

TEST_F(InfoWindow, FontAndColourChoiceLastsUntilTheWindowCloses) {
    seed({{"Bob", "memo"}});
    open();
    info::EntryInfoDialog& info = show();
    const QColor text = info.memoEditor->palette().color(QPalette::Text);
    QFont chosen("Courier New");
    chosen.setPixelSize(20);
    chosen.setBold(true);
    chosen.setUnderline(true);
    fonts.answer = info::FontChoice{chosen, Qt::red};
    info.fontButton->click();
    ASSERT_EQ(fonts.offered.size(), 1u);
    EXPECT_EQ(fonts.offered[0].font.family(), "Arial");
    EXPECT_EQ(fonts.offered[0].font.pixelSize(), 15);
    EXPECT_EQ(fonts.offered[0].colour, text);
    EXPECT_EQ(info.memoEditor->font(), chosen);
    EXPECT_EQ(info.memoEditor->palette().color(QPalette::Text), QColor(Qt::red));

    fonts.answer.reset();  // cancelled: nothing changes
    info.fontButton->click();
    EXPECT_EQ(fonts.offered[1].colour, QColor(Qt::red));  // offered again as it is now
    EXPECT_EQ(info.memoEditor->font(), chosen);

    info::EntryInfoDialog& next = show();
    EXPECT_EQ(next.memoEditor->font().family(), "Arial");
    EXPECT_EQ(next.memoEditor->font().pixelSize(), 15);
    EXPECT_EQ(next.memoEditor->palette().color(QPalette::Text), text);
}

// The desktop's dialog: Qt's font lists cannot show a face by an alias or a size in pixels.
TEST(FontColourDialog, OpensOnTheMemosFaceAndColourAndOkAloneChangesNothing) {
    const QFont memoFont = platform::pixelFont("Arial", 15);
    const QColor navy(0, 0, 128);
    info::FontColourDialog dialog({memoFont, navy});
    const QFont shown = dialog.fontList->currentFont();
    EXPECT_EQ(shown.family(), QFontInfo(memoFont).family());  // what fontconfig gives for Arial
    EXPECT_EQ(shown.pointSize(), QFontInfo(memoFont).pointSize());
    EXPECT_FALSE(shown.bold());
    EXPECT_EQ(dialog.colourList->currentText(), "Navy");
    EXPECT_EQ(dialog.colourList->count(), 16);
    info::FontChoice unchanged = dialog.choice();
    EXPECT_EQ(unchanged.font, memoFont);
    EXPECT_EQ(unchanged.colour, navy);

    QFont bigger = shown;
    bigger.setPointSize(20);
    dialog.fontList->setCurrentFont(bigger);
    dialog.colourList->setCurrentIndex(dialog.colourList->findText("Red"));
    const info::FontChoice changed = dialog.choice();
    EXPECT_EQ(changed.font.pointSize(), 20);
    EXPECT_EQ(changed.font.family(), shown.family());
    EXPECT_EQ(changed.colour, QColor(255, 0, 0));

    // A colour of its own comes first, as it is.
    info::FontColourDialog custom({memoFont, QColor(1, 2, 3)});
    EXPECT_EQ(custom.colourList->count(), 17);
    EXPECT_EQ(custom.choice().colour, QColor(1, 2, 3));

    // Enter in the font lists answers the whole dialog.
    dialog.show();
    QWidget* list = dialog.fontList->findChild<QAbstractItemView*>();
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.fontList->isVisibleTo(&dialog));
    // And Enter on the colours, through the dialog's OK.
    custom.show();
    custom.colourList->setFocus();
    QTest::keyClick(custom.colourList, Qt::Key_Return);
    EXPECT_EQ(custom.result(), QDialog::Accepted);
}

TEST_F(InfoWindow, EnterPressesTheFocusedButtonAndNothingElse) {
    seed({{"Bob", "memo"}});
    open();
    // Close has the focus when the window opens: Enter closes it.
    info::EntryInfoDialog& first = show();
    first.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&first));
    EXPECT_EQ(QApplication::focusWidget(), first.closeButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(first.isVisible());

    info::EntryInfoDialog& info = show();
    info.fontButton->setFocus();
    QTest::keyClick(info.fontButton, Qt::Key_Return);
    EXPECT_EQ(fonts.offered.size(), 1u);
    info.memoEditor->setFocus();
    QTest::keyClick(info.memoEditor, Qt::Key_Return);  // read-only memo: nothing
    EXPECT_TRUE(info.isVisible());
    info.closeButton->setFocus();
    QTest::keyClick(info.closeButton, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(info.isVisible());
}

TEST_F(InfoWindow, ALargerWindowGrowsTheMemoAndIsOpenedAgainAtThatSize) {
    open();
    info::EntryInfoDialog& info = show();
    const auto places = [&info] {
        std::map<QString, QRect> at;
        for (QWidget* control : info.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!control->isWindow() && control->isVisible())
                at[control->objectName()] = control->geometry();
        return at;
    };
    const std::map<QString, QRect> before = places();
    const QSize first = info.size();
    info.resize(first + QSize(120, 90));
    const std::map<QString, QRect> after = places();
    EXPECT_EQ(after.at("Memo1").size(), before.at("Memo1").size() + QSize(120, 90));
    EXPECT_EQ(after.at("Memo1").topLeft(), before.at("Memo1").topLeft());
    EXPECT_EQ(after.at("NameLabel"), before.at("NameLabel"));
    EXPECT_EQ(after.at("Panel1").width(), before.at("Panel1").width() + 120);
    // Below the memo everything moves down with the bottom edge; Help and Close also keep
    // to the right edge, Find and Font to the left.
    for (const char* name : {"Label1", "DateLabel", "Panel1", "Lupdate", "Label3", "ButtonFind",
                             "ButtonFont", "BitBtn1", "CloseButton"}) {
        const bool right = QString(name) == "BitBtn1" || QString(name) == "CloseButton";
        EXPECT_EQ(after.at(name).topLeft(), before.at(name).topLeft() + QPoint(right ? 120 : 0, 90))
            << name;
    }
    info.resize(100, 100);  // never smaller than at first
    EXPECT_EQ(info.size(), first);

    info.resize(first + QSize(50, 40));
    info.closeButton->click();
    EXPECT_EQ(show().size(), first + QSize(50, 40));
}

TEST_F(InfoWindow, HelpOpensTheMainHelpPageAndCloseCloses) {
    open();
    info::EntryInfoDialog& info = show();
    info.helpButton->click();
    EXPECT_EQ(shell.targets(), std::vector<QString>{platform::helpPageUrl().toString()});
    EXPECT_TRUE(info.isVisible());
    info.closeButton->click();
    EXPECT_FALSE(info.isVisible());
    EXPECT_EQ(info.result(), QDialog::Accepted);
}

TEST_F(InfoWindow, UnwrappedLookIsYellowWithBothScrollBars) {
    open();
    info::EntryInfoDialog& info = show();
    const QColor normal = info.memoEditor->palette().color(QPalette::Base);
    EXPECT_NE(normal, QColor(255, 255, 0));
    info.setUnwrappedMemoLook();
    EXPECT_FALSE(info.memoEditor->wordWrap());
    EXPECT_EQ(info.memoEditor->palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(info.memoEditor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(info.memoEditor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(InfoWindow, MemoTakesTypingOnlyWhileTheEntryIsBeingEdited) {
    seed({{"Bob", "memo"}});
    open();
    info::EntryInfoDialog& info = show();
    EXPECT_TRUE(info.memoEditor->isReadOnly());

    table().edit();
    info.memoEditor->moveCursor(QTextCursor::End);
    QTest::keyClicks(info.memoEditor, " more");
    EXPECT_EQ(table().fieldByName("INFO").asString(), "memo more");
    // A character the table cannot hold is refused, and said through the program's boxes.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("Ł"));
    QApplication::sendEvent(info.memoEditor, &press);
    EXPECT_EQ(table().fieldByName("INFO").asString(), "memo more");
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Error);
    table().post();
    EXPECT_TRUE(info.memoEditor->isReadOnly());
}

}  // namespace
