#include <playlist/playlist_editor.h>
#include "layout_check.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

#include <platform/fakes.h>
#include "scripted_dialogs.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

class PlaylistEditor : public ::testing::Test {
  protected:
    platform::FakePrompter prompter;
    platform::FakeClipboard clipboard;
    testsupport::ScriptedDialogs dialogs;
    playlist::PlaylistEditor editor{{prompter, clipboard, dialogs}};

    void fill(QListWidget* list, const QStringList& items) {
        for (const QString& item : items) editor.appendItem(list, item);
    }
    void select(QListWidget* list, std::initializer_list<int> rows) {
        for (const int row : rows) list->item(row)->setSelected(true);
    }
    QStringList available() const { return editor.itemTexts(editor.availableList); }
    QStringList selected() const { return editor.itemTexts(editor.selectedList); }
    std::vector<int> selectedRows(const QListWidget* list) const {
        std::vector<int> rows;
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->isSelected()) rows.push_back(row);
        }
        return rows;
    }
    bool moveButtons(bool include, bool exclude) const {
        return editor.includeButton->isEnabled() == include &&
               editor.includeAllButton->isEnabled() == include &&
               editor.excludeButton->isEnabled() == exclude &&
               editor.excludeAllButton->isEnabled() == exclude;
    }
};

TEST_F(PlaylistEditor, ControlsCarryTheirNamesHintsAndSizes) {
    EXPECT_EQ(testsupport::layoutFaults(editor), std::vector<std::string>{});
    EXPECT_EQ(editor.size(), QSize(425, 423));
    // The two lists side by side, alike, each whole inside the window.
    EXPECT_EQ(editor.availableList->size(), editor.selectedList->size());
    EXPECT_EQ(editor.availableList->y(), editor.selectedList->y());
    EXPECT_LT(editor.availableList->geometry().right(), editor.selectedList->x());
    for (const QListWidget* list : {editor.availableList, editor.selectedList})
        EXPECT_TRUE(editor.rect().contains(list->geometry()));
    EXPECT_EQ(editor.availableList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(editor.findChild<QLabel*>("SrcLabel")->text(), "Available");
    EXPECT_EQ(editor.findChild<QLabel*>("DstLabel")->text(), "Selected");
    EXPECT_EQ(editor.findChild<QLabel*>("Label1")->text(),
              "Don't forget to Save your Selected list!");
    const std::pair<const char*, const char*> hints[] = {
        {"UpButton", "Move selected field up"},
        {"DownButton", "Move selected field down"},
        {"Up2Button", "Move selected field to top"},
        {"Down2Button", "Move selected field to bottom"},
        {"ButtonInverse", "Invert order of Selected items"},
        {"ButtonAdd", "Add more files to Selected list"},
        {"ButtonCopy", "Copy included items to Clipboard"},
        {"BitBtn1", "Save Selected list"},
        {"CancelBtn", "return to main screen"},
        {"IncludeBtn", ""},
        {"ExAllBtn", ""},
    };
    for (const auto& [name, hint] : hints) {
        const auto* button = editor.findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->toolTip(), hint) << name;
    }
    EXPECT_EQ(editor.closeButton->text(), "&Close");
    for (const auto* button : editor.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->autoDefault() || button->isDefault()) << button->text().toStdString();
    }
}

TEST_F(PlaylistEditor, EscapeDoesNotCloseButCloseDoes) {
    editor.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&editor, &escape);
    EXPECT_TRUE(editor.isVisible());
    editor.closeButton->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.result(), QDialog::Rejected);
}

TEST_F(PlaylistEditor, IncludeReversesTheSelectedItemsAndIncludeAllKeepsOrder) {
    fill(editor.availableList, {"A", "B", "C", "D"});
    EXPECT_TRUE(moveButtons(true, true));  // all enabled until the first move

    select(editor.availableList, {1, 3});
    editor.includeButton->click();
    EXPECT_EQ(selected(), (QStringList{"D", "B"}));
    EXPECT_EQ(available(), (QStringList{"A", "C"}));
    // The item now at the first moved item's place is selected, and only that one.
    EXPECT_EQ(selectedRows(editor.availableList), std::vector<int>{1});
    EXPECT_TRUE(selectedRows(editor.selectedList).empty());
    EXPECT_TRUE(moveButtons(true, true));

    editor.includeAllButton->click();
    EXPECT_EQ(selected(), (QStringList{"D", "B", "A", "C"}));
    EXPECT_TRUE(available().isEmpty());
    EXPECT_TRUE(moveButtons(false, true));
}

TEST_F(PlaylistEditor, ExcludeMovesBackAndSelectsTheNearestRemainingItem) {
    fill(editor.selectedList, {"A", "B", "C", "D"});
    select(editor.selectedList, {2, 3});
    editor.excludeButton->click();
    EXPECT_EQ(available(), (QStringList{"D", "C"}));
    // Index 2 is past the end now: the last item is selected and current instead.
    EXPECT_EQ(selectedRows(editor.selectedList), std::vector<int>{1});
    EXPECT_EQ(editor.selectedList->currentRow(), 1);

    editor.excludeButton->click();  // nothing but B selected: B goes
    EXPECT_EQ(selected(), QStringList{"A"});

    editor.excludeAllButton->click();
    EXPECT_EQ(available(), (QStringList{"D", "C", "B", "A"}));
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_TRUE(moveButtons(true, false));

    editor.includeButton->click();  // nothing selected: a firstSelectedRow of -1 picks row 0
    EXPECT_EQ(selected(), QStringList{});
    EXPECT_EQ(selectedRows(editor.availableList), std::vector<int>{0});
}

TEST_F(PlaylistEditor, ReorderMovesTheCurrentItemAndStopsAtTheEnds) {
    editor.moveUpButton->click();
    EXPECT_EQ(prompter.texts(), std::vector<QString>{"No output fields selected"});
    EXPECT_EQ(prompter.records().back().prompt.kind, platform::MessageKind::Error);

    fill(editor.selectedList, {"A", "B", "C", "D"});
    editor.selectedList->setCurrentRow(2);
    editor.moveUpButton->click();
    editor.moveUpButton->click();  // the same item again
    EXPECT_EQ(selected(), (QStringList{"C", "A", "B", "D"}));
    editor.moveUpButton->click();  // already first
    EXPECT_EQ(selected(), (QStringList{"C", "A", "B", "D"}));
    editor.moveToBottomButton->click();
    EXPECT_EQ(selected(), (QStringList{"A", "B", "D", "C"}));
    editor.moveDownButton->click();  // already last
    EXPECT_EQ(selected(), (QStringList{"A", "B", "D", "C"}));
    EXPECT_EQ(editor.selectedList->currentRow(), 3);
    EXPECT_TRUE(editor.selectedList->item(3)->isSelected());

    editor.selectedList->setCurrentRow(1);
    editor.moveToTopButton->click();
    EXPECT_EQ(selected(), (QStringList{"B", "A", "D", "C"}));
    editor.moveDownButton->click();
    EXPECT_EQ(selected(), (QStringList{"A", "B", "D", "C"}));
    EXPECT_EQ(prompter.texts().size(), 1u);
}

TEST_F(PlaylistEditor, TopAndBottomOfOneItemChangeNothing) {
    fill(editor.selectedList, {"only"});
    for (QToolButton* button :
         {editor.moveToTopButton, editor.moveToBottomButton, editor.moveUpButton}) {
        button->click();
        EXPECT_EQ(selected(), QStringList{"only"});
    }
    EXPECT_TRUE(prompter.texts().empty());
}

TEST_F(PlaylistEditor, InvertReversesAndClearsTheSelection) {
    fill(editor.selectedList, {"A", "B", "C"});
    select(editor.selectedList, {0, 1});
    editor.invertButton->click();
    EXPECT_EQ(selected(), (QStringList{"C", "B", "A"}));
    EXPECT_TRUE(selectedRows(editor.selectedList).empty());
    EXPECT_TRUE(moveButtons(true, true));  // invert leaves the buttons alone
}

TEST_F(PlaylistEditor, AddRefusesNamesOfEitherListInAnyCase) {
    fill(editor.availableList, {"/m/One.mp3"});
    fill(editor.selectedList, {"/m/two.mp3"});
    dialogs.openManyAnswers.push_back(
        QStringList{"/m/ONE.MP3", "/m/three.mp3", "/m/Two.Mp3", "/m/THREE.mp3", "/m/four.mp3"});
    editor.addButton->click();

    EXPECT_EQ(prompter.texts(), (std::vector<QString>{
                                    "File /m/ONE.MP3 already in Available list",
                                    "File /m/Two.Mp3 already in Selected list",
                                    "File /m/THREE.mp3 already in Selected list",
                                }));
    EXPECT_EQ(selected(), (QStringList{"/m/two.mp3", "/m/three.mp3", "/m/four.mp3"}));
    EXPECT_EQ(available(), QStringList{"/m/One.mp3"});
    EXPECT_EQ(dialogs.openManyDialogs.front().filter, "");

    // Cancel changes nothing; the buttons follow the lists after every Add.
    editor.excludeAll();
    editor.includeAll();
    EXPECT_TRUE(moveButtons(false, true));
    editor.addButton->click();
    EXPECT_EQ(selected().size(), 4);
    EXPECT_TRUE(moveButtons(false, true));
}

TEST_F(PlaylistEditor, CopyPutsEachItemOnALine) {
    editor.copyButton->click();
    EXPECT_TRUE(clipboard.history().empty());

    fill(editor.selectedList, {"/m/a.mp3", "", "c:\\b.ogg"});
    editor.copyButton->click();
    EXPECT_EQ(clipboard.text(), "/m/a.mp3\r\n\r\nc:\\b.ogg\r\n");
}

class PlaylistEditorSave : public PlaylistEditor {
  protected:
    testsupport::TempDir dir;
    QString at(const char* name) const { return testsupport::qpath(dir / name); }
    std::string bytesOf(const QString& path) const {
        return testsupport::readBytes(testsupport::fspath(path));
    }
};

TEST_F(PlaylistEditorSave, EmptySelectedListIsRefused) {
    editor.saveButton->click();
    EXPECT_EQ(prompter.texts(), std::vector<QString>{"There are no items in your Selected list"});
    EXPECT_TRUE(dialogs.saveDialogs.empty());
}

TEST_F(PlaylistEditorSave, WritesTheListCopiesItsPathAndStaysOpen) {
    fill(editor.availableList, {"/m/left.mp3"});
    fill(editor.selectedList, {"/m/a.mp3", "/m/b c.mp3"});
    dialogs.saveAnswers.push_back(at("party"));
    editor.saveButton->click();

    const QString saved = at("party.m3u");
    EXPECT_EQ(bytesOf(saved), "/m/a.mp3\r\n/m/b c.mp3\r\n");
    EXPECT_EQ(clipboard.text(), saved + "\r\n");
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Plain);
    EXPECT_EQ(prompter.texts()[0],
              "Selected list saved to " + saved + "\rAlso, that file name was copied to Clipboard");
    EXPECT_EQ(selected(), (QStringList{"/m/a.mp3", "/m/b c.mp3"}));
    EXPECT_EQ(available(), QStringList{"/m/left.mp3"});

    const playlist::FileDialogSettings& asked = dialogs.saveDialogs[0];
    EXPECT_EQ(asked.filter, "Playlist (*.m3u);;Text file (*.txt);;All files (*)");
    EXPECT_EQ(asked.defaultSuffix, "m3u");
    EXPECT_EQ(asked.directory, ".");
    EXPECT_EQ(asked.fileName, "temp");
    EXPECT_TRUE(asked.confirmOverwrite);

    // Saving again proposes the name just used; a .txt name is kept as typed.
    editor.moveCurrentItem(editor.moveToBottomButton);
    dialogs.saveAnswers.push_back(at("party.txt"));
    editor.saveButton->click();
    EXPECT_EQ(dialogs.saveDialogs[1].fileName, saved);
    EXPECT_EQ(bytesOf(at("party.txt")), "/m/b c.mp3\r\n/m/a.mp3\r\n");
}

TEST_F(PlaylistEditorSave, UnwritableTargetShowsTheErrorAndKeepsEverything) {
    fill(editor.selectedList, {"/m/a.mp3"});
    clipboard.setText("before");
    std::filesystem::create_directory(dir / "taken.m3u");
    dialogs.saveAnswers.push_back(at("taken.m3u"));
    dialogs.saveAnswers.push_back(at("missing/x.m3u"));
    editor.saveButton->click();
    editor.saveButton->click();

    EXPECT_EQ(prompter.texts(), (std::vector<QString>{"File access denied", "File not found"}));
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Error);
    EXPECT_EQ(clipboard.text(), "before");

    // Still usable: the list is there and saves elsewhere.
    dialogs.saveAnswers.push_back(at("fine.m3u"));
    editor.saveButton->click();
    EXPECT_EQ(bytesOf(at("fine.m3u")), "/m/a.mp3\r\n");
    EXPECT_EQ(clipboard.text(), at("fine.m3u") + "\r\n");
}

TEST_F(PlaylistEditor, ListsScrollOverTheFixedWidthOnly) {
    editor.setScrollWidth(358);
    fill(editor.availableList, {"short", QString(300, u'x')});
    editor.show();
    QApplication::processEvents();
    const QScrollBar* bar = editor.availableList->horizontalScrollBar();
    EXPECT_EQ(bar->maximum() + editor.availableList->viewport()->width(), 358);
}

}  // namespace
