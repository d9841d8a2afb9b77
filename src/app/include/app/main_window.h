#pragma once
// The main window: the name grid with the current entry's memo beneath, the record
// navigator, and the toolbar from which every feature starts. Its first show runs the
// start-up: data folder, table creation, opening the table in name order.

#include <QChar>
#include <QStringList>
#include <QWidget>

#include <memory>

#include <shop/shop_links.h>

#include <app/standard_error.h>
#include <store/address_module.h>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace data {
class DBGrid;
class DBMemo;
class DBNavigator;
}  // namespace data

namespace links {
class LinkActions;
class ItemChooser;
}  // namespace links

namespace platform {
class Clipboard;
class PhoneDialer;
class Prompter;
class SecretStore;
class Shell;
}  // namespace platform

namespace playlist {
class StandardDialogs;
}

namespace app {

class ContactsActions;

// The desktop services the window reaches through seams.
struct Services {
    platform::Prompter& prompter;
    platform::Shell& shell;
    platform::Clipboard& clipboard;
    platform::PhoneDialer& dialer;
    // The input box and file dialogs; none given: Qt's own.
    playlist::StandardDialogs* dialogs = nullptr;
    // The keyring that keeps the sync's password; none given: the desktop's.
    platform::SecretStore* secrets = nullptr;
};

struct StartupOptions {
    QStringList arguments;  // the command line without the program's own name
    QString currentFolder;  // the folder a relative data folder name starts from
    // Where the default address book lives (a vCard file given alone goes there); empty:
    // the user's home folder.
    QString homeFolder = {};
};

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    // The data module does not exist yet; setDataModule binds it.
    MainWindow(Services services, StartupOptions options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Binds the grid, memo and navigator to the module's addressSource and lets its hooks
    // return the focus to the grid.
    void setDataModule(store::AddressModule& dataModule);
    store::AddressModule* addressModule() const { return module_; }

    // Program-wide state: firstShow, searchText, entryCount and the kind of search that is on.
    store::ProgramState state;

    // --- Controls; each keeps its form's name as its object name (docs/windows.md).
    QFrame* toolbar = nullptr;
    QToolButton* dialButton = nullptr;
    QToolButton* emailButton = nullptr;
    QToolButton* webButton = nullptr;
    QToolButton* openFileButton = nullptr;
    QToolButton* playlistButton = nullptr;
    QToolButton* searchButton = nullptr;
    QToolButton* cancelSearchButton = nullptr;
    QToolButton* clipboardButton = nullptr;
    QToolButton* infoButton = nullptr;
    QToolButton* naturalOrderButton = nullptr;
    QToolButton* nameOrderButton = nullptr;
    QToolButton* reportButton = nullptr;
    QToolButton* maintenanceButton = nullptr;
    QToolButton* helpButton = nullptr;
    data::DBGrid* nameGrid = nullptr;
    data::DBMemo* memoEditor = nullptr;
    data::DBNavigator* navigator = nullptr;
    QCheckBox* wordWrapCheck = nullptr;
    QGroupBox* shopRow = nullptr;
    QButtonGroup* shopItems = nullptr;  // the radio buttons of shopRow, by item index
    // Hidden: the text the clipboard exchange and the report's name list are staged in.
    QPlainTextEdit* stagingText = nullptr;
    // The item chooser, made by the program right after the data module.
    links::ItemChooser* itemChooser = nullptr;
    // The grid's context menu: the contacts import and export, and Sync….
    QMenu* gridMenu = nullptr;
    ContactsActions* contactsActions = nullptr;

    // --- What the user can do
    // The start-up, on the first show. Does nothing once it has completed.
    void runStartup();
    // Quick jump: a printable character typed on the grid or the memo while browsing
    // makes the first name at or after it current.
    void jumpToTypedLetter(QChar key);
    void returnFocusToGrid();
    // The larger view of the current entry, modally.
    void showEntryInformation();
    // The search: asks for a text in the item chooser and narrows the list to the entries
    // holding it in the name, or in the name or the memo.
    void searchEntries();
    // Cancel Filter: the whole table again.
    void cancelSearch();
    // The playlist editor: a new list from the memo's files, or an existing list file.
    void editPlaylist();
    void showHelp();
    void toggleMemoWordWrap();
    void showNaturalOrder();
    void showNameOrder();
    // The report: choose the entries, preview them, return to the entry that was current.
    void runReport();
    void openShopItem();
    // Link actions on the current entry's memo items: dial, e-mail, web address, file.
    void dialPhone();
    void sendEmail();
    void visitWebAddress();
    void openFileNamedInMemo();
    // Pastes the clipboard into the name while editing; copies names otherwise.
    void exchangeNamesWithClipboard();
    // File maintenance: pack the table, then optionally archive it to MGdata.zip.
    void runFileMaintenance();
    // Sync…: two-way sync of the address book with a CardDAV server.
    void syncWithServer();

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
    // Creates what is missing and opens addressTable in name order.
    void openAddressTable();
    // openAddressTable, and when the files are damaged, the offer to mend them first;
    // false when the user would not have them mended.
    bool openAddressTableMendingDamage();
    // Closing, or `before` something else, while an entry is being edited or inserted:
    // save, discard or stay.
    bool mayLeaveEditing(const QString& before = QStringLiteral("closing"));
    void commitCellEditor();
    void runLinkAction(void (links::LinkActions::*action)());

    Services services_;
    std::unique_ptr<playlist::StandardDialogs> desktopDialogs_;  // when none were given
    StartupOptions options_;
    QString contactsFile_;  // a vCard file named on the command line, to import
    store::AddressModule* module_ = nullptr;
    shop::ShopChoice shopChoice_;
    bool startupQueued_ = false;
    bool endedByStartup_ = false;
    int nameColumnWidth_ = 0;  // the width the window last gave the name column
};

}  // namespace app
