#include <playlist/playlist_command.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>

#include <optional>

#include <platform/prompter.h>
#include <playlist/playlist_file.h>

namespace playlist {

namespace {

// Asks until the answer starts with N or E; nothing when the user cancels.
std::optional<ListChoice> askNewOrEdit(StandardDialogs& dialogs, QWidget* parent) {
    QString answer = QStringLiteral("N");
    for (;;) {
        const std::optional<QString> reply = dialogs.inputBox(
            parent, QStringLiteral("New/Edit playlist (N/E))"),
            QStringLiteral("New playlist or Edit an existing playlist?"), answer, 255);
        if (!reply) return std::nullopt;
        answer = *reply;
        if (const std::optional<ListChoice> choice = chooseList(answer)) return choice;
    }
}

}  // namespace

FileDialogSettings editListDialogSettings() {
    FileDialogSettings settings;
    settings.filter = QStringLiteral("Playlist (*.m3u);;Text File (*.txt);;All Files (*)");
    settings.mustExist = false;
    return settings;
}

std::unique_ptr<PlaylistEditor> preparePlaylistEditor(const PlaylistSource& source,
                                                      EditorServices services, QWidget* parent) {
    const std::optional<ListChoice> choice = askNewOrEdit(services.dialogs, parent);
    if (!choice) return nullptr;

    auto editor = std::make_unique<PlaylistEditor>(services, parent);
    editor->availableList->clear();
    editor->selectedList->clear();
    editor->setScrollWidth(source.memoWidth + 10);

    if (*choice == ListChoice::Edit) {
        const std::optional<QString> chosen =
            services.dialogs.openFileName(parent, source.openDialog);
        if (!chosen) return nullptr;
        const QString path = QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath());
        Items items;
        try {
            items = readPlaylistFile(fileSystemPath(path));
        } catch (const PlaylistFileError& failure) {
            services.prompter.error(QString::fromStdString(failure.what()));
            return nullptr;
        }
        for (const std::string& item : items) {
            const QByteArray bytes(item.data(), static_cast<qsizetype>(item.size()));
            editor->appendItem(editor->selectedList, itemText(bytes), bytes);
        }
        editor->setWindowTitle(QStringLiteral("Modify existing list ") + path);
        editor->saveDialog.fileName = path;
    } else {
        editor->setWindowTitle(QStringLiteral("Create new list"));
        editor->saveDialog.fileName = QStringLiteral("temp");
        for (const QString& track : memoTracks(source.memoText, source.codePage)) {
            editor->appendItem(editor->availableList, track);
        }
    }
    return editor;
}

void runPlaylistEditor(const PlaylistSource& source, EditorServices services, QWidget* parent) {
    const std::unique_ptr<PlaylistEditor> editor = preparePlaylistEditor(source, services, parent);
    if (editor) editor->exec();
}

}  // namespace playlist
