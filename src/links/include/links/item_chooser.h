#pragma once
// The item chooser: one modal dialog for the four link actions. It offers the memo items
// of one kind that were found in the current entry, lets the user take one, edit it or
// type one when none was found, and for e-mail offers to address all of them at once.
// One instance lives from start-up to the end of the program and is reused.
//
// A use: the caller fills the lists (setItems), calls choose, and reads the answer
// from answerEdit (and, for e-mail, from optionCheck, sendAsBccCheck and the item list).

#include <QDialog>
#include <QStringList>

#include <links/memo_scanner.h>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class Clipboard;
class Prompter;
class Shell;
}  // namespace platform

namespace links {

inline constexpr char kChooserDesignCaption[] = "Select and then click OK or cancel";
inline constexpr char kCopiedMessage[] = "Items have been copied to the Windows Clipboard";
// Help pages: the first for an e-mail choice with several addresses, the second otherwise.
inline constexpr char kSendToAllHelpPage[] = "writing-to-several.html";
inline constexpr char kChooserHelpPage[] = "choosing-an-item.html";

class ItemChooser : public QDialog {
    Q_OBJECT
  public:
    ItemChooser(platform::Prompter& prompter, platform::Shell& shell,
                platform::Clipboard& clipboard, QWidget* parent = nullptr);

    // Replaces the item list (kept in the order given, never sorted). For web addresses
    // and file names `showContext` is true and the two context lists, parallel to the
    // items, are replaced too; the labels then show their entry 0.
    void setItems(const QStringList& items, bool showContext, const QStringList& linesBefore = {},
                  const QStringList& itemLines = {});
    QStringList items() const;

    // Shows the dialog modally for `count` items of `kind` and answers whether the user
    // accepted. The answer is then the text of answerEdit, whatever the count.
    bool choose(int count, ItemKind kind);

    // Starts a use that offers `offeredCount` items: with fewer than two, OK needs a text
    // in answerEdit. choose does this itself; the search, which shows the dialog with
    // exec, calls it with 0 first.
    void beginUse(int offeredCount);
    // Whether the user turned the last use down: Cancel, Escape, or OK on an empty answer
    // where one had to be typed.
    bool refused() const { return refused_; }

    // Whether lineBeforeLabel and itemLineLabel show the item's memo lines; set with the items.
    bool showsContext = false;

    // Controls; each keeps its form's name as its object name (docs/windows.md).
    QLabel* notFoundNotice;
    QLineEdit* answerEdit;
    QComboBox* itemCombo;
    QLabel* lineBeforeLabel;
    QLabel* itemLineLabel;
    QCheckBox* optionCheck;
    QCheckBox* sendAsBccCheck;
    QListWidget* linesBeforeList;
    QListWidget* itemLinesList;
    QPlainTextEdit* stagingText;
    QFrame* buttonPanel;
    QPushButton* okButton;
    QPushButton* copyButton;
    QPushButton* cancelButton;
    QPushButton* helpButton;

    // What the user can do, and what the dialog does as it opens and closes.
    void dropDownListOnShow();
    void showContextLabels();
    void showContextOfChoice();
    void followSendToAll();
    void acceptAnswer();
    void refuseAnswer();
    void copyItemsToClipboard();
    void showHelp();
    void clearForNextUse();

    // Escape and a close request from the window manager count as Cancel.
    void reject() override;
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();

    platform::Prompter& prompter_;
    platform::Shell& shell_;
    platform::Clipboard& clipboard_;
    int keyThatClosedTheList_ = 0;
    int offeredCount_ = 0;
    bool refused_ = false;
};

}  // namespace links
