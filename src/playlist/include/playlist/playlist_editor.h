#pragma once
// The playlist editor: two lists side by side, "Available" candidates and the "Selected"
// playlist, with buttons to move items between them, put the playlist in order, add files
// from disk, copy it to the clipboard and save it as a list file.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QToolButton>

#include <playlist/standard_dialogs.h>

class QAbstractButton;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;

namespace platform {
class Clipboard;
class Prompter;
}  // namespace platform

namespace playlist {

class SameFileName;

// What the editor talks to besides its own window.
struct EditorServices {
    platform::Prompter& prompter;
    platform::Clipboard& clipboard;
    StandardDialogs& dialogs;
};

class PlaylistEditor : public QDialog {
    Q_OBJECT
  public:
    explicit PlaylistEditor(EditorServices services, QWidget* parent = nullptr);

    // Controls; each keeps its form's name as its object name (docs/windows.md).
    QLabel* availableCaption = nullptr;
    QLabel* selectedCaption = nullptr;
    QListWidget* availableList = nullptr;
    QListWidget* selectedList = nullptr;
    QToolButton* includeButton = nullptr;
    QToolButton* includeAllButton = nullptr;
    QToolButton* excludeButton = nullptr;
    QToolButton* excludeAllButton = nullptr;
    QToolButton* moveUpButton = nullptr;
    QToolButton* moveDownButton = nullptr;
    QToolButton* moveToTopButton = nullptr;
    QToolButton* moveToBottomButton = nullptr;
    QToolButton* invertButton = nullptr;
    QLabel* saveReminder = nullptr;
    QFrame* buttonPanel = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* closeButton = nullptr;
    // The save dialog keeps the name Save proposes: "temp", the opened list, or the
    // last name saved under.
    FileDialogSettings saveDialog;
    // The dialog of Add: several existing files, any name.
    FileDialogSettings addDialog;

    // Both lists scroll sideways over this width, however long their items.
    void setScrollWidth(int pixels);
    int scrollWidth() const { return scrollWidth_; }

    // Appends an item; its bytes in a list file are `bytes`, or the file system's
    // encoding of `text` when none are given.
    void appendItem(QListWidget* list, const QString& text, const QByteArray& bytes = {});
    QStringList itemTexts(const QListWidget* list) const;

    // What the user can do.
    void includeSelected();
    void includeAll();
    void excludeSelected();
    void excludeAll();
    // Up, down, to the top, to the bottom: `sender` is the button pressed.
    void moveCurrentItem(QAbstractButton* sender);
    void invertOrder();
    void addFiles();
    void copyToClipboard();
    void saveList();

    // Moves the selected items of `list` to the end of `target`, last item first.
    void moveSelected(QListWidget* list, QListWidget* target);
    // The index of the first selected item of `list`, or -1.
    int firstSelectedRow(const QListWidget* list) const;
    // Focuses `list` and selects the item at `index`, or the nearest one there is.
    void selectNear(QListWidget* list, int index);
    // The move buttons follow the lists: nothing to move, nothing to press.
    void updateMoveButtons();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    bool listedIn(const QListWidget* list, const QString& path, const SameFileName& same) const;

    EditorServices services_;
    int scrollWidth_ = 0;
};

}  // namespace playlist
