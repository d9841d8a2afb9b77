#pragma once
// The item chooser: one modal dialog for the four link actions. It offers the memo items
// of one kind that were found in the current entry, lets the user take one, edit it or
// type one when none was found, and for e-mail offers to address all of them at once.
// One instance lives from start-up to the end of the program and is reused.
//
// A use: the caller fills the lists (SetItems), calls ChooseItem, and reads the answer
// from Edit1 (and, for e-mail, from CheckAll, bcc and the item list).

#include <QDialog>
#include <QStringList>

#include "memo_scanner.h"

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

// What the dialog's Tag holds after OK and after Cancel.
inline constexpr int kChooserAccepted = 99;
inline constexpr int kChooserRefused = -99;

inline constexpr char kChooserDesignCaption[] = "Select and then click OK or cancel";
inline constexpr char kCopiedMessage[] = "Items have been copied to the Windows Clipboard";
// Help pages: the first for an e-mail choice with several addresses, the second otherwise.
inline constexpr char kSendToAllHelpPage[] = "writing-to-several.html";
inline constexpr char kChooserHelpPage[] = "choosing-an-item.html";

class TBtnBottomDlg : public QDialog {
    Q_OBJECT
  public:
    TBtnBottomDlg(platform::Prompter& prompter, platform::Shell& shell,
                  platform::Clipboard& clipboard, QWidget* parent = nullptr);

    // Replaces the item list (kept in the order given, never sorted). For web addresses
    // and file names `showContext` is true and the two context lists, parallel to the
    // items, are replaced too; the labels then show their entry 0.
    void SetItems(const QStringList& items, bool showContext, const QStringList& linesBefore = {},
                  const QStringList& itemLines = {});
    QStringList Items() const;

    // Shows the dialog modally for `count` items of `kind` and answers whether the user
    // accepted. The answer is then the text of Edit1, whatever the count.
    bool ChooseItem(int count, ItemKind kind);

    // The dialog's answer for one use: the item count while shown, then 99 or -99.
    int Tag = 0;
    // Whether Label1 and Label2 show the item's memo lines; set with the items.
    bool ShowContext = false;

    // Controls, named as the form names them (also their object names).
    QLabel* NotYetLabel;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QLabel* Label1;
    QLabel* Label2;
    QCheckBox* CheckAll;
    QCheckBox* bcc;
    QListWidget* mylist1;
    QListWidget* myList2;
    QPlainTextEdit* Memo1;
    QFrame* Panel1;
    QPushButton* OKBtn;
    QPushButton* ButtonClipboard;
    QPushButton* CancelBtn;
    QPushButton* BitBtn1;

    // Handlers.
    void FormShow();
    void FormActivate();
    void ComboBox1Change();
    void CheckAllClick();
    void OKBtnClick();
    void CancelBtnClick();
    void ButtonClipboardClick();
    void BitBtn1Click();
    void FormClose();

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
    void centreOnScreen();

    platform::Prompter& prompter_;
    platform::Shell& shell_;
    platform::Clipboard& clipboard_;
    int keyThatClosedTheList_ = 0;
};

}  // namespace links
