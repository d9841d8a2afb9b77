#pragma once
// The main window: the name grid with the current entry's memo beneath, the record
// navigator, and the toolbar from which every feature starts. Its first show runs the
// start-up: data folder, table creation, opening the table in name order.

#include <QChar>
#include <QStringList>
#include <QWidget>

#include "shop_links.h"

#include "address_module.h"
#include "standard_error.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QPlainTextEdit;
class QToolButton;

namespace data {
class DBGrid;
class DBMemo;
class DBNavigator;
}  // namespace data

namespace links {
class LinkActions;
class TBtnBottomDlg;
}  // namespace links

namespace platform {
class Clipboard;
class PhoneDialer;
class Prompter;
class Shell;
}  // namespace platform

namespace app {

// The desktop services the window reaches through seams.
struct Services {
    platform::Prompter& prompter;
    platform::Shell& shell;
    platform::Clipboard& clipboard;
    platform::PhoneDialer& dialer;
};

struct StartupOptions {
    QStringList arguments;  // the command line without the program's own name
    QString currentFolder;  // the folder a relative data folder name starts from
};

class TZiDuv : public QWidget {
    Q_OBJECT
  public:
    // Runs FormCreate. The data module does not exist yet; setDataModule binds it.
    TZiDuv(Services services, StartupOptions options, QWidget* parent = nullptr);
    ~TZiDuv() override;

    // Binds the grid, memo and navigator to the module's dsAddress and lets its hooks
    // return the focus to the grid.
    void setDataModule(store::TDM& dataModule);
    store::TDM* DM() const { return DM_; }

    // Program-wide state: FirstShow, SearchText, EntryCount and the window's Tag.
    store::ProgramState state;

    // --- Controls, named as the forms of the program name them.
    QFrame* Panel1 = nullptr;
    QToolButton* SpeedPhone = nullptr;
    QToolButton* email = nullptr;
    QToolButton* URL = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* TrackView = nullptr;
    QToolButton* FindSpeed = nullptr;
    QToolButton* NoFilterSpeed = nullptr;
    QToolButton* ClipSpeed = nullptr;
    QToolButton* InfoSpeed = nullptr;
    QToolButton* ButtonNatural = nullptr;
    QToolButton* ButtonAlpha = nullptr;
    QToolButton* buttonRW = nullptr;
    QToolButton* ToolsSpeed = nullptr;
    QToolButton* HelpSpeed = nullptr;
    data::DBGrid* DexGrid = nullptr;
    data::DBMemo* DBMemo1 = nullptr;
    data::DBNavigator* DBNavigator1 = nullptr;
    QCheckBox* WrapButton = nullptr;
    QGroupBox* Shop = nullptr;
    QButtonGroup* ShopItems = nullptr;  // the radio buttons of Shop, by item index
    QPlainTextEdit* Memo1 = nullptr;    // hidden text buffer for the search, clipboard, report
    // The item chooser, made by the program right after the data module.
    links::TBtnBottomDlg* BtnBottomDlg = nullptr;

    // --- Handlers
    void FormCreate();
    // The start-up, on the first show. Does nothing once it has completed.
    void FormShow();
    // Quick jump: a printable character typed on the grid or the memo while browsing
    // makes the first name at or after it current.
    void DexGridKeyPress(QObject* sender, QChar& key);
    void DBMemo1Exit();
    void InfoSpeedClick();
    // The search: asks for a text in the item chooser and narrows the list to the entries
    // holding it in the name, or in the name or the memo.
    void FindSpeedClick();
    // Cancel Filter: the whole table again.
    void NoFilterSpeedClick();
    // The playlist editor: a new list from the memo's files, or an existing list file.
    void TrackViewClick();
    void HelpSpeedClick();
    void WrapButtonClick();
    void ButtonNaturalClick();
    void ButtonAlphaClick();
    // The report: choose the entries, preview them, return to the entry that was current.
    void buttonRWClick();
    void ShopClick();
    // Link actions on the current entry's memo items: dial, e-mail, web address, file.
    void SpeedPhoneClick();
    void emailClick();
    void URLClick();
    void SpeedButton2Click();
    // Pastes the clipboard into the name while editing; copies names otherwise.
    void ClipSpeedClick();
    // File maintenance: pack the table, then optionally archive it to MGdata.zip.
    void ToolsSpeedClick();

    // Runs a command of this window under the standard error display.
    template <typename Command>
    bool guarded(Command&& command) {
        return runCommand(services_.prompter, std::forward<Command>(command));
    }

    // Whether start-up ended the program (too many arguments, folder not created).
    bool endedByStartup() const { return endedByStartup_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createToolbar();
    void createEditors();
    void createShop();
    void placeShopItems();
    QToolButton* toolButton(const char* name, int left, const char* hint, const char* picture,
                            bool withDisabledPicture = true);
    void endProgram();
    // Steps that settle the data folder; false when the program must end.
    bool settleDataFolder();
    // Creates what is missing and opens tblAddress in name order.
    void openAddressTable();
    // Closing while an entry is being edited or inserted: save, discard or stay open.
    bool mayCloseWhileEditing();
    void commitCellEditor();
    void runLinkAction(void (links::LinkActions::*action)());

    Services services_;
    StartupOptions options_;
    store::TDM* DM_ = nullptr;
    shop::ShopChoice shopChoice_;
    bool startupQueued_ = false;
    bool endedByStartup_ = false;
    int nameColumnWidth_ = 0;  // the width the window last gave the name column
};

}  // namespace app
