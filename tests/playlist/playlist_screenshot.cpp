// Saves a picture of the playlist editor with a few tracks, to look at; not a test.
//
//   playlist_screenshot editor.png        (offscreen, or under xvfb-run for real fonts)

#include <QApplication>
#include <QListWidget>
#include <QPixmap>

#include <cstdio>

#include <platform/fakes.h>
#include <playlist/playlist_command.h>
#include "scripted_dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: playlist_screenshot FILE.png\n");
        return 2;
    }
    platform::FakePrompter prompter;
    platform::FakeClipboard clipboard;
    testsupport::ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back(QStringLiteral("n"));

    playlist::PlaylistSource source;
    source.memoText = QStringLiteral(
        "Party tracks:\n"
        "d:\\Music\\Dance\\Opening number.mp3\n"
        "~/Music/Blue Skies - live at the Palladium, second night (remastered).flac\n"
        "/srv/music/waltz.ogg, the slow one\n"
        "/srv/music/finale.wav\n"
        "last year's list: d:\\Music\\party.m3u");
    auto editor = playlist::preparePlaylistEditor(source, {prompter, clipboard, dialogs}, nullptr);
    if (!editor) return 1;

    editor->availableList->item(1)->setSelected(true);
    editor->availableList->item(3)->setSelected(true);
    editor->includeSelected();
    editor->selectedList->setCurrentRow(0);
    editor->show();
    QApplication::processEvents();
    if (!editor->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
