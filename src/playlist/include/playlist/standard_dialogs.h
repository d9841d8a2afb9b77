#pragma once
// The standard dialogs the playlist editor asks its questions with: the one-line input
// box and the file open and save dialogs. Behind an interface so that tests can answer
// them without a modal window.

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace playlist {

// How a file dialog is set up. The filter uses Qt's notation:
// "Playlist (*.m3u);;Text File (*.txt)". No dialog changes the process's current folder.
struct FileDialogSettings {
    QString caption;               // empty: the platform's own ("Open", "Save As")
    QString filter;                // empty: every file
    QString directory;             // the folder shown first, when fileName names none
    QString fileName;              // the proposed name; an absolute one also picks the folder
    QString defaultSuffix;         // added to a chosen name without one ("m3u"); on the desktop,
                                   // the first extension of the file type chosen replaces it
    bool mustExist = true;         // open dialogs only: refuse names of missing files
    bool confirmOverwrite = true;  // save dialogs only: ask before replacing a file
};

class StandardDialogs {
  public:
    virtual ~StandardDialogs() = default;

    // The input box: OK gives the text (at most `maxLength` characters), Cancel nothing.
    virtual std::optional<QString> inputBox(QWidget* parent, const QString& caption,
                                            const QString& prompt, const QString& text,
                                            int maxLength) = 0;
    // One file to open, as an absolute path; nothing when cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent,
                                                const FileDialogSettings& settings) = 0;
    // Several files to open, as absolute paths in the order the dialog gives them.
    virtual std::optional<QStringList> openFileNames(QWidget* parent,
                                                     const FileDialogSettings& settings) = 0;
    // The name to save under, as an absolute path; nothing when cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent,
                                                const FileDialogSettings& settings) = 0;
};

// Qt's input and file dialogs.
class DesktopStandardDialogs : public StandardDialogs {
  public:
    std::optional<QString> inputBox(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& text, int maxLength) override;
    std::optional<QString> openFileName(QWidget* parent,
                                        const FileDialogSettings& settings) override;
    std::optional<QStringList> openFileNames(QWidget* parent,
                                             const FileDialogSettings& settings) override;
    std::optional<QString> saveFileName(QWidget* parent,
                                        const FileDialogSettings& settings) override;
};

}  // namespace playlist
