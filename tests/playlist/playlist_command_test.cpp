#include <playlist/playlist_command.h>

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <platform/fakes.h>
#include "scripted_dialogs.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using playlist::PlaylistEditor;

class PlaylistCommand : public ::testing::Test {
  protected:
    platform::FakePrompter prompter;
    platform::FakeClipboard clipboard;
    testsupport::ScriptedDialogs dialogs;
    playlist::PlaylistSource source;
    testsupport::TempDir dir;

    std::unique_ptr<PlaylistEditor> prepare(std::initializer_list<const char*> answers) {
        for (const char* answer : answers) dialogs.inputAnswers.push_back(QString(answer));
        return playlist::preparePlaylistEditor(source, {prompter, clipboard, dialogs}, nullptr);
    }
    QString at(const char* name) const { return testsupport::qpath(dir / name); }
};

TEST_F(PlaylistCommand, AsksUntilTheAnswerStartsWithNOrE) {
    dialogs.openAnswers.push_back(std::nullopt);
    EXPECT_EQ(prepare({"", "x", "exit"}), nullptr);  // Edit, then Cancel in the open dialog

    ASSERT_EQ(dialogs.inputBoxes.size(), 3u);
    const auto& first = dialogs.inputBoxes[0];
    EXPECT_EQ(first.caption, "New/Edit playlist (N/E))");
    EXPECT_EQ(first.prompt, "New playlist or Edit an existing playlist?");
    EXPECT_EQ(first.text, "N");
    EXPECT_EQ(first.maxLength, 255);
    // Each repeat shows the last answer.
    EXPECT_EQ(dialogs.inputBoxes[1].text, "");
    EXPECT_EQ(dialogs.inputBoxes[2].text, "x");
    EXPECT_EQ(dialogs.openDialogs.size(), 1u);
}

TEST_F(PlaylistCommand, CancelEndsTheCommand) {
    EXPECT_EQ(prepare({}), nullptr);
    EXPECT_TRUE(dialogs.openDialogs.empty());
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(PlaylistCommand, NewListOffersTheMemosFiles) {
    source.memoText = QStringLiteral(
        "Music: d:\\Music\\a.mp3\nd:\\lists\\old.M3U\nphone "
        "555-1234\n/srv/b.ogg\nd:\\Music\\a.mp3");
    source.memoWidth = 348;
    const auto editor = prepare({"n"});
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "Create new list");
    EXPECT_EQ(editor->saveDialog.fileName, "temp");
    EXPECT_EQ(editor->scrollWidth(), 358);
    EXPECT_EQ(editor->itemTexts(editor->availableList),
              (QStringList{"d:\\Music\\a.mp3", "/srv/b.ogg", "d:\\Music\\a.mp3"}));
    EXPECT_EQ(editor->selectedList->count(), 0);
    EXPECT_TRUE(dialogs.openDialogs.empty());

    source.memoText = QStringLiteral("nothing to play here.");
    const auto empty = prepare({"New"});
    EXPECT_EQ(empty->availableList->count() + empty->selectedList->count(), 0);
}

TEST_F(PlaylistCommand, EditReadsTheListIntoSelected) {
    testsupport::writeBytes(dir / "old.m3u", "#EXTM3U\r\n/m/a.mp3\r\n\r\n/m/\xd0\x9c.mp3");
    dialogs.openAnswers.push_back(at("old.m3u"));
    source.memoText = QStringLiteral("c:\\ignored.mp3");
    const auto editor = prepare({"E"});
    ASSERT_NE(editor, nullptr);

    const auto& asked = dialogs.openDialogs.front();
    EXPECT_EQ(asked.filter, "Playlist (*.m3u);;Text File (*.txt);;All Files (*)");
    EXPECT_FALSE(asked.mustExist);
    EXPECT_EQ(editor->windowTitle(), "Modify existing list " + at("old.m3u"));
    EXPECT_EQ(editor->saveDialog.fileName, at("old.m3u"));
    EXPECT_EQ(editor->itemTexts(editor->selectedList),
              (QStringList{"#EXTM3U", "/m/a.mp3", "", "/m/\u041c.mp3"}));
    EXPECT_EQ(editor->availableList->count(), 0);
}

TEST_F(PlaylistCommand, EditedListIsSavedBackByteForByte) {
    // Windows-1252 bytes that are no UTF-8, blank lines, and no line end after the last line.
    const std::string original(
        "C:\\Musik\\Br\xfc"
        "der.mp3\r\n\r\n\r\n/m/\xe9t\xe9.ogg");
    testsupport::writeBytes(dir / "old.m3u", original);
    dialogs.openAnswers.push_back(at("old.m3u"));
    const auto editor = prepare({"edit"});
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->itemTexts(editor->selectedList),
              (QStringList{"C:\\Musik\\Br\u00fcder.mp3", "", "", "/m/\u00e9t\u00e9.ogg"}));

    dialogs.saveAnswers.push_back(at("old.m3u"));
    editor->saveButton->click();
    EXPECT_EQ(testsupport::readBytes(dir / "old.m3u"), original + "\r\n");
}

TEST_F(PlaylistCommand, UnixListIsOneItem) {
    testsupport::writeBytes(dir / "unix.m3u", "/m/a.mp3\n/m/b.mp3\n");
    dialogs.openAnswers.push_back(at("unix.m3u"));
    const auto editor = prepare({"e"});
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->selectedList->count(), 1);
}

TEST_F(PlaylistCommand, UnreadableListShowsTheErrorAndNoEditor) {
    dialogs.openAnswers.push_back(at("missing.m3u"));
    EXPECT_EQ(prepare({"e"}), nullptr);
    ASSERT_EQ(prompter.texts(), std::vector<QString>{"File not found"});
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Error);
}

TEST_F(PlaylistCommand, EditorIsShownModallyAndGoneWhenClosed) {
    source.memoText = QStringLiteral("/m/a.mp3");
    dialogs.inputAnswers.push_back(QStringLiteral("n"));
    QPointer<PlaylistEditor> shown;
    QString caption;
    QTimer::singleShot(0, [&] {
        shown = qobject_cast<PlaylistEditor*>(QApplication::activeModalWidget());
        if (!shown) return;
        caption = shown->windowTitle();
        shown->closeButton->click();
    });
    playlist::runPlaylistEditor(source, {prompter, clipboard, dialogs}, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(caption, "Create new list");
    EXPECT_TRUE(shown.isNull());  // destroyed once closed
    EXPECT_EQ(dialogs.inputBoxes.size(), 1u);
}

}  // namespace
