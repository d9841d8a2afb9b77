#pragma once
// The window's "Sync…": asks for the server and the login (the password from the desktop's
// keyring when it holds one), syncs the address book with the server under a progress bar
// that can cancel, shows the report as plain text, and brings the grid up to date.

#include <QString>

#include <optional>

#include <app/sync_dialog.h>
#include <store/contacts_sync.h>

class QWidget;

namespace platform {
class Prompter;
class SecretStore;
}  // namespace platform

namespace store {
class AddressModule;
}

namespace app {

class SyncAction {
  public:
    SyncAction(QWidget& window, store::AddressModule& module, platform::Prompter& prompter,
               platform::SecretStore& secrets);

    // The whole command. A failure to open the address book is thrown (xbase::Error) for
    // the window's error display; what the server says goes into the report.
    void run();

    // The report of the sync run last; nullopt while none ran (the user stopped before).
    const std::optional<store::SyncReport>& lastReport() const { return report_; }

  private:
    // Saves an entry being edited first; false when the user would rather not, or the save
    // was refused.
    bool settleEditing();
    // The login as remembered for this address book, the password from the keyring.
    SyncLogin rememberedLogin();
    bool mayUsePlainHttp(const QString& server);
    // The server and user name in the program's settings, for this address book.
    void rememberAddress(const SyncLogin& login);
    // The password in the keyring, or out of it when the user would rather not keep it.
    void rememberPassword(const SyncLogin& login);
    store::SyncReport syncWithProgress(const store::SyncSettings& settings);
    void showReport(const store::SyncReport& report);

    QWidget& window_;
    store::AddressModule& module_;
    platform::Prompter& prompter_;
    platform::SecretStore& secrets_;
    bool keyringPresent_ = true;
    std::optional<store::SyncReport> report_;
};

// The key of a login's password in the keyring: the user at the server.
QString keyringKey(const QString& server, const QString& user);

}  // namespace app
