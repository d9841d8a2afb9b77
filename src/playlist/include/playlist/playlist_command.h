#pragma once
// The main window's playlist command: ask whether to start a new list or edit one,
// fill the editor from the current entry's memo or from the chosen list file, and show it.
//
//   playlist::PlaylistSource source;
//   source.memoText = memoEditor->toPlainText();
//   source.memoWidth = memoEditor->width();
//   playlist::runPlaylistEditor(source, {prompter, clipboard, dialogs}, this);

#include <QString>

#include <memory>

#include <playlist/playlist_editor.h>
#include <playlist/playlist_rules.h>
#include <playlist/standard_dialogs.h>

class QWidget;

namespace playlist {

// The main window's open dialog for the list to edit: playlists or text files, one name,
// which need not exist (a missing file is reported when it is read).
FileDialogSettings editListDialogSettings();

// What the command takes from the main window.
struct PlaylistSource {
    QString memoText;     // the current entry's memo as shown, unsaved edits included
    int memoWidth = 348;  // the memo's width; the editor's lists scroll over 10 pixels more
    MemoCodePage codePage = MemoCodePage::latin1();  // the table's code page
    FileDialogSettings openDialog = editListDialogSettings();
};

// Asks for a new or an edited list and fills the editor; nothing when the user cancels,
// or when the list file cannot be read (its input/output error is shown then).
std::unique_ptr<PlaylistEditor> preparePlaylistEditor(const PlaylistSource& source,
                                                      EditorServices services, QWidget* parent);

// The whole command: prepare the editor, show it modally, discard it when it closes.
void runPlaylistEditor(const PlaylistSource& source, EditorServices services, QWidget* parent);

}  // namespace playlist
