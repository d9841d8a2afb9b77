#pragma once
// Passwords kept in the desktop's secret store (the keyring), never in a plain file. A
// desktop without one says so, and the caller asks for the password each time instead.

#include <QString>

namespace platform {

struct StoredSecret {
    enum class Outcome {
        Found,
        NotFound,   // the keyring works but holds nothing under this key
        NoKeyring,  // no keyring on this desktop, or it refused us: ask each time
    };
    Outcome outcome = Outcome::NotFound;
    QString secret;
};

class SecretStore {
  public:
    virtual ~SecretStore() = default;

    virtual StoredSecret read(const QString& key) = 0;
    // False when nothing was stored (no keyring, or it refused).
    virtual bool write(const QString& key, const QString& secret) = 0;
    virtual void forget(const QString& key) = 0;
};

// The desktop's keyring through QtKeychain (the Secret Service or KWallet on Linux, the
// Credential Manager on Windows), under the application's name. Each call waits for the
// keyring in a local event loop: the keyring may ask the user to unlock it.
class DesktopKeyring : public SecretStore {
  public:
    StoredSecret read(const QString& key) override;
    bool write(const QString& key, const QString& secret) override;
    void forget(const QString& key) override;
};

}  // namespace platform
