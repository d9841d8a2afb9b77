// The main window: its controls, the quick jump, the two orders, word wrap, the help and
// shop buttons, the focus hand-back, and closing while an entry is being edited.

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <cstdlib>
#include <utility>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <data/memo.h>
#include <data/navigator.h>
#include <shop/shop_links.h>

#include "app_fixture.h"
#include "layout_check.h"
#include "when_shown.h"

namespace {

using apptest::Launch;
using data::DataSetState;
using platform::Answer;
using platform::MessageKind;

class MainWindow : public ::testing::Test {
  protected:
    void start(const std::vector<testsupport::Entry>& entries = {"Cole", "Adams", "Baker"}) {
        apptest::writeEntries(launch.cwd.path(), entries);
        launch.start();
        ASSERT_FALSE(window().state.firstShow);
    }
    // Shown and active, so that focus moves are real.
    void showActive() {
        window().show();
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    }
    void type(QChar key) { window().jumpToTypedLetter(key); }

    app::MainWindow& window() { return launch.window(); }
    data::DataSet& table() { return launch.table(); }
    QString current() { return launch.currentName(); }

    Launch launch;
};

TEST_F(MainWindow, ToolbarButtonsStandInARowWithTheirHintsAndPictures) {
    start();
    window().show();
    const std::pair<const char*, const char*> buttons[] = {
        {"SpeedPhone", "Dial Phone Number"},
        {"email", "Send  e-mail"},
        {"URL", "Visit  Website"},
        {"SpeedButton2", "Open file with default application"},
        {"TrackView", "Create/Edit Media Playlist"},
        {"FindSpeed", "Search (Set Filter)"},
        {"NoFilterSpeed", "Cancel Filter"},
        {"ClipSpeed", "Copy between Name field and Windows Clipboard"},
        {"InfoSpeed", "More Information"},
        {"ButtonNatural", "show entries in order entered (Natural Order)"},
        {"ButtonAlpha", "return to Alphabetical order"},
        {"buttonRW", "Report Writer"},
        {"ToolsSpeed", "Pack, Reindex and optionally Archive database"},
        {"HelpSpeed", "On-line Help"},
    };
    const QToolButton* previous = nullptr;
    for (const auto& [name, hint] : buttons) {
        auto* button = window().findChild<QToolButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->parentWidget(), window().toolbar) << name;
        EXPECT_TRUE(window().toolbar->rect().contains(button->geometry())) << name;
        EXPECT_EQ(button->toolTip(), hint);
        EXPECT_FALSE(button->icon().pixmap(button->iconSize()).isNull()) << name;
        EXPECT_TRUE(QRect(QPoint(), button->size()).contains(QRect(QPoint(), button->iconSize())))
            << name;
        // Left to right in this order, side by side; the two order buttons share one place.
        if (previous != nullptr && button != window().nameOrderButton) {
            const int drift = button->geometry().center().y() - previous->geometry().center().y();
            EXPECT_GE(button->x(), previous->geometry().right()) << name;
            EXPECT_LE(std::abs(drift), 1) << name;
        }
        if (button != window().nameOrderButton) previous = button;
    }
    EXPECT_EQ(window().nameOrderButton->geometry(), window().naturalOrderButton->geometry());
    EXPECT_FALSE(window().cancelSearchButton->isEnabled());
    EXPECT_TRUE(window().nameOrderButton->isHidden());
    EXPECT_FALSE(window().naturalOrderButton->isHidden());
    // A disabled button shows its own grey picture, not the normal one.
    const QImage normal =
        window().cancelSearchButton->icon().pixmap(20, 20, QIcon::Normal).toImage();
    const QImage disabled =
        window().cancelSearchButton->icon().pixmap(20, 20, QIcon::Disabled).toImage();
    EXPECT_NE(normal, disabled);
}

TEST_F(MainWindow, LayoutSizesAndFonts) {
    start();
    window().show();  // lays the controls out for the size it opens at
    EXPECT_EQ(testsupport::layoutFaults(window()), std::vector<std::string>{});
    EXPECT_EQ(window().size(), QSize(351, 377));
    EXPECT_EQ(window().minimumSize(), window().size());
    // Top to bottom: the toolbar, the grid, the memo, the navigator beside the word-wrap
    // box, the shop row; each whole inside the window, the toolbar and the shop row as
    // wide as it.
    const QRect inside = window().rect();
    const QWidget* const controls[] = {window().toolbar,       window().nameGrid,
                                       window().memoEditor,    window().navigator,
                                       window().wordWrapCheck, window().shopRow};
    for (const QWidget* control : controls)
        EXPECT_TRUE(inside.contains(control->geometry())) << control->objectName().toStdString();
    EXPECT_EQ(window().toolbar->width(), inside.width());
    EXPECT_EQ(window().shopRow->width(), inside.width());
    EXPECT_EQ(window().shopRow->geometry().bottom(), inside.bottom());
    EXPECT_LE(window().toolbar->geometry().bottom(), window().nameGrid->y());
    EXPECT_LT(window().nameGrid->geometry().bottom(), window().memoEditor->y());
    EXPECT_LT(window().memoEditor->geometry().bottom(), window().navigator->y());
    EXPECT_LT(window().navigator->geometry().right(), window().wordWrapCheck->x());
    EXPECT_LT(window().wordWrapCheck->geometry().bottom(), window().shopRow->y());
    EXPECT_LT(window().navigator->geometry().bottom(), window().shopRow->y());

    EXPECT_EQ(window().font().family(), "Arial");
    EXPECT_EQ(window().font().pixelSize(), 10);
    EXPECT_TRUE(window().font().bold());
    EXPECT_EQ(window().nameGrid->font().family(), "Courier New");
    EXPECT_EQ(window().nameGrid->font().pixelSize(), 13);
    EXPECT_TRUE(window().nameGrid->font().bold());
    EXPECT_EQ(window().memoEditor->font().family(), "Arial");
    EXPECT_EQ(window().memoEditor->font().pixelSize(), 13);
    EXPECT_FALSE(window().memoEditor->font().bold());
    EXPECT_EQ(window().wordWrapCheck->font().pixelSize(), 13);
    EXPECT_EQ(window().shopRow->font().pixelSize(), 11);
    // fontconfig gives metric twins: Courier New is a fixed-pitch face.
    EXPECT_TRUE(QFontInfo(window().nameGrid->font()).fixedPitch());

    EXPECT_TRUE(window().nameGrid->horizontalHeader()->isHidden());
    EXPECT_EQ(window().nameGrid->columnWidth(0), 353);
    EXPECT_EQ(window().wordWrapCheck->text(), "Word Wrap");
    EXPECT_EQ(window().wordWrapCheck->toolTip(), "Word wrap memo (note)?");
    EXPECT_TRUE(window().wordWrapCheck->isChecked());
    EXPECT_TRUE(window().stagingText->isHidden());
    EXPECT_EQ(window().stagingText->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(window().stagingText->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(window().stagingText->toPlainText().isEmpty());
    // Tab goes from the grid to the memo.
    EXPECT_EQ(testsupport::nextTabStop(window().nameGrid), window().memoEditor);
}

TEST_F(MainWindow, ALargerWindowGivesTheRoomToTheGridAndTheMemo) {
    start();
    window().show();
    const QSize first = window().size();
    const auto rect = [](QWidget* control) { return control->geometry(); };
    const QRect grid = rect(window().nameGrid), memo = rect(window().memoEditor);
    const QRect navigator = rect(window().navigator), wrap = rect(window().wordWrapCheck);
    const QRect help = rect(window().helpButton), shop = rect(window().shopRow);

    window().resize(first + QSize(200, 300));
    const QSize now = window().size();
    ASSERT_EQ(now, first + QSize(200, 300));
    const QRect grownGrid = rect(window().nameGrid), grownMemo = rect(window().memoEditor);
    EXPECT_EQ(grownGrid.topLeft(), grid.topLeft());
    EXPECT_EQ(grownGrid.width(), grid.width() + 200);
    EXPECT_EQ(grownMemo.width(), memo.width() + 200);
    EXPECT_EQ(grownGrid.height() - grid.height() + grownMemo.height() - memo.height(), 300);
    EXPECT_GT(grownGrid.height() - grid.height(), grownMemo.height() - memo.height());
    EXPECT_EQ(grownMemo.top() - grownGrid.bottom(), memo.top() - grid.bottom());
    // The rest keeps its place against its own edges.
    EXPECT_EQ(rect(window().helpButton), help);
    EXPECT_EQ(window().toolbar->width(), now.width());
    EXPECT_EQ(rect(window().navigator), navigator.translated(0, 300));
    EXPECT_EQ(rect(window().wordWrapCheck), wrap.translated(200, 300));
    EXPECT_EQ(rect(window().shopRow), QRect(0, shop.top() + 300, now.width(), shop.height()));
    EXPECT_GT(window().shopItems->button(9)->x(), window().shopItems->button(0)->x() + 300);
    // The name column fills the wider grid.
    EXPECT_GE(window().nameGrid->columnWidth(0), window().nameGrid->viewport()->width());

    window().resize(100, 100);
    EXPECT_EQ(window().size(), first);
    EXPECT_EQ(rect(window().nameGrid), grid);
}

TEST_F(MainWindow, SizeAndPlaceComeBackAtTheNextStartWithinTheScreen) {
    start();
    window().show();
    const QRect screen = window().screen()->availableGeometry();
    const QRect left(screen.topLeft() + QPoint(40, 30), QSize(420, 450));
    window().setGeometry(left);
    ASSERT_TRUE(window().close());

    Launch next;
    next.create();
    EXPECT_EQ(next.window().geometry(), left);

    // Left larger than the screen and partly off it: back whole on the screen.
    next.window().show();
    next.window().setGeometry(QRect(screen.bottomRight() - QPoint(100, 100), screen.size() * 2));
    ASSERT_TRUE(next.window().close());
    Launch third;
    third.create();
    EXPECT_TRUE(screen.contains(third.window().geometry())) << third.window().geometry().x();
    EXPECT_GE(third.window().width(), 351);
}

TEST_F(MainWindow, ShopRowHoldsTwelveItemsColumnByColumn) {
    start();
    EXPECT_EQ(window().shopRow->title(), "  Check out the Top 100:in:  ");
    const auto items = window().shopItems->buttons();
    ASSERT_EQ(items.size(), 12);
    for (int index = 0; index < 12; ++index) {
        auto* item = window().shopItems->button(index);
        EXPECT_EQ(item->text().toStdString(), shop::kShopItems[static_cast<std::size_t>(index)]);
        EXPECT_FALSE(item->isChecked());
    }
    // Three to a column: Music, Video, Books down the first; Gift Cards starts the second.
    const auto* music = window().shopItems->button(0);
    EXPECT_EQ(window().shopItems->button(2)->x(), music->x());
    EXPECT_GT(window().shopItems->button(2)->y(), window().shopItems->button(1)->y());
    EXPECT_GT(window().shopItems->button(3)->x(), music->x());
    EXPECT_EQ(window().shopItems->button(3)->y(), music->y());
    EXPECT_EQ(window().shopRow->palette().color(QPalette::Window), QColor(0x80, 0, 0));
}

TEST_F(MainWindow, ShopOpensOnePagePerChangeOfChoice) {
    start();
    window().shopItems->button(0)->click();
    window().shopItems->button(0)->click();  // already chosen: nothing
    window().shopItems->button(1)->click();
    window().shopItems->button(0)->click();
    window().shopItems->button(10)->click();
    const auto expected = [](int index) {
        return QString::fromStdString(*shop::shopAddress(index));
    };
    EXPECT_EQ(launch.shell.targets(),
              (std::vector<QString>{expected(0), expected(1), expected(0), expected(10)}));
    EXPECT_TRUE(window().shopItems->button(10)->isChecked());
}

TEST_F(MainWindow, QuickJumpFindsTheFirstNameAtOrAfterTheCharacter) {
    start();
    EXPECT_EQ(current(), "Adams");
    type(u'b');
    EXPECT_EQ(current(), "Baker");
    type(u'z');
    EXPECT_EQ(current(), "Cole");  // nothing at or after Z: the last entry
    type(u'1');
    EXPECT_EQ(current(), "Adams");  // digits sort before letters
    type(u'C');
    EXPECT_EQ(current(), "Cole");
    EXPECT_TRUE(launch.prompter.records().empty());
}

TEST_F(MainWindow, QuickJumpIgnoresCharactersOutsidePrintableAscii) {
    start();
    type(QChar(0xE9));  // é
    type(QChar(0x7F));
    type(QChar(u'\t'));
    EXPECT_EQ(current(), "Adams");
    EXPECT_TRUE(launch.prompter.records().empty());
}

TEST_F(MainWindow, TypingWhileEditingChangesTheTextAndDoesNotJump) {
    start();
    showActive();
    table().edit();
    window().memoEditor->setFocus();
    QTest::keyClicks(window().memoEditor, "cz");
    EXPECT_EQ(current(), "Adams");
    EXPECT_EQ(table().state(), DataSetState::Edit);
    EXPECT_EQ(window().memoEditor->toPlainText(), "cz");
    EXPECT_EQ(QApplication::focusWidget(), window().memoEditor);
    table().cancel();

    table().insert();
    type(u'c');
    EXPECT_EQ(table().state(), DataSetState::Insert);
    EXPECT_TRUE(current().isEmpty());
}

TEST_F(MainWindow, TypingOnTheGridOrTheMemoJumpsAndLeavesTheFocusOnTheGrid) {
    start();
    showActive();
    window().nameGrid->setFocus();
    QTest::keyClick(window().nameGrid, Qt::Key_B);
    EXPECT_EQ(current(), "Baker");

    window().memoEditor->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), window().memoEditor);
    QTest::keyClick(window().memoEditor, Qt::Key_C);
    EXPECT_EQ(current(), "Cole");
    EXPECT_EQ(QApplication::focusWidget(), window().nameGrid);
    // Browsing is read-only: the memo took nothing in.
    EXPECT_EQ(table().fieldByName("INFO").asString(), "");
}

TEST_F(MainWindow, QuickJumpInNaturalOrderReportsTheEngineError) {
    start();
    type(u'b');
    window().showNaturalOrder();
    type(u'a');
    EXPECT_EQ(launch.prompter.texts(),
              std::vector<QString>{"No parseable expressions in setting key fields"});
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Error);
    EXPECT_EQ(current(), "Baker");
}

TEST_F(MainWindow, SwitchingOrdersKeepsTheCurrentEntry) {
    start();
    type(u'b');
    window().naturalOrderButton->click();
    EXPECT_EQ(table().indexName(), "");
    EXPECT_EQ(current(), "Baker");
    EXPECT_TRUE(window().naturalOrderButton->isHidden());
    EXPECT_FALSE(window().nameOrderButton->isHidden());
    EXPECT_EQ(window().nameOrderButton->pos(), window().naturalOrderButton->pos());
    table().first();
    EXPECT_EQ(current(), "Cole");  // the order entries were added in

    table().last();
    window().nameOrderButton->click();
    EXPECT_EQ(table().indexName().toUpper(), "ADDRESS");
    EXPECT_EQ(current(), "Baker");
    EXPECT_FALSE(window().naturalOrderButton->isHidden());
    EXPECT_TRUE(window().nameOrderButton->isHidden());
}

TEST_F(MainWindow, WordWrapSwitchesTheMemosLook) {
    start();
    data::DBMemo& memo = *window().memoEditor;
    EXPECT_TRUE(memo.wordWrap());
    EXPECT_EQ(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    window().wordWrapCheck->click();
    EXPECT_FALSE(window().wordWrapCheck->isChecked());
    EXPECT_FALSE(memo.wordWrap());
    EXPECT_EQ(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo.palette().color(QPalette::Base), QColor(Qt::yellow));

    window().wordWrapCheck->click();
    EXPECT_TRUE(memo.wordWrap());
    EXPECT_EQ(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(memo.palette().color(QPalette::Base), QColor(Qt::white));

    // It follows the memo, not the box: a box out of step still flips the memo.
    window().wordWrapCheck->setChecked(true);
    window().toggleMemoWordWrap();
    EXPECT_FALSE(memo.wordWrap());
}

TEST_F(MainWindow, HelpButtonOpensTheShippedHelpPage) {
    start();
    window().helpButton->click();
    ASSERT_EQ(launch.shell.targets().size(), 1u);
    const QUrl page(launch.shell.targets()[0]);
    EXPECT_TRUE(page.isLocalFile());
    EXPECT_TRUE(page.toLocalFile().endsWith("/index.html"));
    EXPECT_TRUE(QFileInfo(page.toLocalFile()).isFile());
}

TEST_F(MainWindow, FocusReturnsToTheGridAfterInsertSaveCancelDeleteAndMemoExit) {
    start();
    showActive();
    const auto focusedGrid = [this] { return QApplication::focusWidget() == window().nameGrid; };
    auto* navigator = window().navigator;

    window().memoEditor->setFocus();
    navigator->click(data::DBNavigator::Insert);
    EXPECT_TRUE(focusedGrid());
    table().fieldByName("NAME").setAsString("Dunn");
    window().memoEditor->setFocus();
    navigator->click(data::DBNavigator::Post);
    EXPECT_TRUE(focusedGrid());

    navigator->click(data::DBNavigator::Edit);
    window().memoEditor->setFocus();
    navigator->click(data::DBNavigator::Cancel);
    EXPECT_TRUE(focusedGrid());

    launch.prompter.queueAnswer(Answer::Ok);
    window().memoEditor->setFocus();
    navigator->click(data::DBNavigator::Delete);
    EXPECT_EQ(launch.prompter.texts().back(), "Delete record?");
    EXPECT_TRUE(focusedGrid());
    EXPECT_EQ(window().state.entryCount, 3);

    window().memoEditor->setFocus();
    window().wordWrapCheck->setFocus();  // the memo lets go of the focus
    EXPECT_TRUE(focusedGrid());
}

// While an entry is edited, whatever takes the focus from the memo for a while (a box, a
// menu, another window, the extended window) gives it back to the memo: keys typed next
// go into the memo and never into the grid's name cell.
class MemoKeepsTheFocus : public MainWindow {
  protected:
    void SetUp() override {
        start();
        showActive();
        window().navigator->click(data::DBNavigator::Edit);
        QTest::mouseClick(window().memoEditor->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
        ASSERT_EQ(QApplication::focusWidget(), window().memoEditor);
    }
    // Types into whatever has the focus once the main window is active again (as the
    // window manager makes it), then saves.
    void typeXyzAndSave() {
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
        QTest::keyClicks(QApplication::focusWidget(), "XYZ");
        EXPECT_EQ(QApplication::focusWidget(), window().memoEditor);
        window().navigator->click(data::DBNavigator::Post);
        EXPECT_EQ(table().state(), DataSetState::Browse);
        EXPECT_EQ(current(), "Adams");
        EXPECT_EQ(table().fieldByName("INFO").asString(), "XYZ");
    }
};

TEST_F(MemoKeepsTheFocus, AfterTheBoxThatRefusesACharacter) {
    launch.prompter.whileAsking = [](const platform::Prompt&) { testsupport::flashModalWindow(); };
    QTest::sendKeyEvent(QTest::Press, window().memoEditor, Qt::Key_unknown, QStringLiteral("漢"),
                        Qt::NoModifier);
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Error);
    typeXyzAndSave();
}

TEST_F(MemoKeepsTheFocus, AfterSwitchingToAnotherWindowAndBack) {
    QWidget other;
    other.setWindowTitle("Another program");
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window().activateWindow();
    typeXyzAndSave();
}

TEST_F(MemoKeepsTheFocus, AfterItsContextMenu) {
    QWidget* area = window().memoEditor->viewport();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 10),
                                 area->mapToGlobal(QPoint(20, 10)));
    QApplication::sendEvent(area, &rightClick);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    menu->close();
    typeXyzAndSave();
}

TEST_F(MemoKeepsTheFocus, AfterTheExtendedWindowItsDoubleClickOpens) {
    testsupport::WhenShown info(testsupport::activeModalWindow,
                                [](QWidget& dialog) { static_cast<QDialog&>(dialog).reject(); });
    QTest::mouseDClick(window().memoEditor->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(info.seen());
    typeXyzAndSave();
}

TEST_F(MainWindow, ABoxFromTheQuickJumpLeavesTheFocusInTheMemo) {
    start();
    showActive();
    window().showNaturalOrder();
    launch.prompter.whileAsking = [](const platform::Prompt&) { testsupport::flashModalWindow(); };
    window().memoEditor->setFocus();
    QTest::keyClick(window().memoEditor, Qt::Key_B);  // no index: the seek fails
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    EXPECT_EQ(QApplication::focusWidget(), window().memoEditor);
}

TEST_F(MainWindow, NavigatorInsertAndCancelKeepTheCount) {
    start();
    auto* navigator = window().navigator;
    navigator->click(data::DBNavigator::Insert);
    EXPECT_EQ(window().state.entryCount, 4);
    navigator->click(data::DBNavigator::Cancel);
    EXPECT_EQ(window().state.entryCount, 3);
    // A blank name is refused through the same checks, whoever posts.
    navigator->click(data::DBNavigator::Insert);
    navigator->click(data::DBNavigator::Post);
    EXPECT_EQ(launch.prompter.texts().back(), "Name is the key field, it must NOT be blank");
    EXPECT_EQ(table().state(), DataSetState::Insert);
}

class ClosingWhileEditing : public MainWindow {
  protected:
    void SetUp() override {
        start();
        window().show();
        table().edit();
        table().fieldByName("NAME").setAsString("Adamson");
    }
};

TEST_F(ClosingWhileEditing, YesSavesTheEntryAndCloses) {
    launch.prompter.queueAnswer(Answer::Yes);
    EXPECT_TRUE(window().close());
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.buttons, platform::ButtonSet::YesNoCancel);
    EXPECT_TRUE(launch.prompter.texts()[0].contains("Adamson"));
    EXPECT_EQ(table().state(), DataSetState::Browse);
    EXPECT_TRUE(table().findKey("ADAMSON"));
}

TEST_F(ClosingWhileEditing, NoDiscardsTheChangesAndCloses) {
    launch.prompter.queueAnswer(Answer::No);
    EXPECT_TRUE(window().close());
    EXPECT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(table().state(), DataSetState::Browse);
    EXPECT_FALSE(table().findKey("ADAMSON"));
    EXPECT_TRUE(table().findKey("ADAMS"));
}

TEST_F(ClosingWhileEditing, CancelKeepsTheWindowAndTheEdit) {
    launch.prompter.queueAnswer(Answer::Cancel);
    EXPECT_FALSE(window().close());
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(table().state(), DataSetState::Edit);
    EXPECT_EQ(current(), "Adamson");
}

TEST_F(ClosingWhileEditing, ARefusedSaveKeepsTheWindowOpen) {
    table().cancel();
    table().insert();
    table().fieldByName("NAME").setAsString("baker");  // Baker exists
    launch.prompter.queueAnswer(Answer::Yes);
    EXPECT_FALSE(window().close());
    EXPECT_EQ(launch.prompter.texts().back(), "Entry already exists for: baker");
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(table().state(), DataSetState::Insert);
}

TEST_F(MainWindow, ClosingWhileBrowsingAsksNothing) {
    start();
    window().show();
    EXPECT_TRUE(window().close());
    EXPECT_TRUE(launch.prompter.records().empty());
}

}  // namespace
