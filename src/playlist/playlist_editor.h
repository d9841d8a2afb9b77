#pragma once
// The playlist editor: two lists side by side, "Available" candidates and the "Selected"
// playlist, with buttons to move items between them, put the playlist in order, add files
// from disk, copy it to the clipboard and save it as a list file.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QToolButton>

#include "standard_dialogs.h"

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

class TTrksDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TTrksDlg(EditorServices services, QWidget* parent = nullptr);

    QLabel* SrcLabel = nullptr;
    QLabel* DstLabel = nullptr;
    QListWidget* SrcList = nullptr;
    QListWidget* DstList = nullptr;
    QToolButton* IncludeBtn = nullptr;
    QToolButton* IncAllBtn = nullptr;
    QToolButton* ExcludeBtn = nullptr;
    QToolButton* ExAllBtn = nullptr;
    QToolButton* UpButton = nullptr;
    QToolButton* DownButton = nullptr;
    QToolButton* Up2Button = nullptr;
    QToolButton* Down2Button = nullptr;
    QToolButton* ButtonInverse = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* ButtonAdd = nullptr;
    QPushButton* ButtonCopy = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* CancelBtn = nullptr;
    // The save dialog keeps the name Save proposes: "temp", the opened list, or the
    // last name saved under.
    FileDialogSettings SaveDialog1;
    // The dialog of Add: several existing files, any name.
    FileDialogSettings OpenDialog1;

    // Both lists scroll sideways over this width, however long their items.
    void setScrollWidth(int pixels);
    int scrollWidth() const { return scrollWidth_; }

    // Appends an item; its bytes in a list file are `bytes`, or the file system's
    // encoding of `text` when none are given.
    void appendItem(QListWidget* list, const QString& text, const QByteArray& bytes = {});
    QStringList itemTexts(const QListWidget* list) const;

    void IncludeBtnClick();
    void IncAllBtnClick();
    void ExcludeBtnClick();
    void ExcAllBtnClick();
    // The handler of all four reorder buttons; `sender` says which was pressed.
    void UpButtonClick(QAbstractButton* sender);
    void ButtonInverseClick();
    void ButtonAddClick();
    void ButtonCopyClick();
    void BitBtn1Click();

    // Moves the selected items of `list` to the end of `target`, last item first.
    void MoveSelected(QListWidget* list, QListWidget* target);
    // The index of the first selected item of `list`, or -1.
    int GetFirstSelection(const QListWidget* list) const;
    // Focuses `list` and selects the item at `index`, or the nearest one there is.
    void SetItem(QListWidget* list, int index);
    // The move buttons follow the lists: nothing to move, nothing to press.
    void SetButtons();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    bool listedIn(const QListWidget* list, const QString& path, const SameFileName& same) const;

    EditorServices services_;
    int scrollWidth_ = 0;
};

}  // namespace playlist
