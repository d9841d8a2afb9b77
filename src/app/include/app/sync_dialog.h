#pragma once
// The settings of a sync, asked before each one: the CardDAV server, the user name and the
// password, and whether the desktop's keyring keeps the password for next time. It warns
// while the address is plain http to another machine.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

struct SyncLogin {
    QString server;  // the server's base address or the address book's own
    QString user;
    QString password;
    bool rememberPassword = true;
};

class SyncDialog : public QDialog {
    Q_OBJECT
  public:
    // `keyringPresent` false: the password cannot be kept, and the dialog says it is asked
    // for at each sync.
    SyncDialog(const SyncLogin& login, bool keyringPresent, QWidget* parent = nullptr);

    SyncLogin login() const;
    // Shown above the fields, e.g. after the server refused the password.
    void setNotice(const QString& notice);

    QLabel* noticeLabel;
    QLineEdit* serverEdit;
    QLineEdit* userEdit;
    QLineEdit* passwordEdit;
    QCheckBox* rememberCheck;
    QLabel* plainHttpWarning;  // visible while the address is plain http to another machine
    QLabel* keyringNote;       // visible when there is no keyring
    QPushButton* syncButton;
    QPushButton* cancelButton;

  private:
    void updateState();
};

}  // namespace app
