#include <app/sync_dialog.h>

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <platform/form_style.h>
#include <platform/form_widgets.h>

#include <store/contacts_sync.h>

namespace app {
namespace {

QLabel* noteLabel(QWidget* parent, const char* objectName, const QString& text,
                  const QColor& colour) {
    QLabel* label = platform::plainLabel(parent, objectName, text);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

}  // namespace

SyncDialog::SyncDialog(const SyncLogin& login, bool keyringPresent, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SyncDialog"));
    setWindowTitle(QStringLiteral("Sync with a CardDAV server"));
    setModal(true);
    // A window of its own takes no font from its owner; this is the dialog font the forms use.
    setFont(platform::pixelFont(QStringLiteral("MS Sans Serif"), 11));

    noticeLabel = noteLabel(this, "SyncNotice", QString(), Qt::darkRed);
    noticeLabel->hide();

    serverEdit = new QLineEdit(login.server, this);
    serverEdit->setObjectName(QStringLiteral("ServerEdit"));
    serverEdit->setPlaceholderText(QStringLiteral("https://example.org/"));
    serverEdit->setMinimumWidth(300);
    userEdit = new QLineEdit(login.user, this);
    userEdit->setObjectName(QStringLiteral("UserEdit"));
    passwordEdit = new QLineEdit(login.password, this);
    passwordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);

    rememberCheck =
        new QCheckBox(QStringLiteral("&Remember the password in the desktop's keyring"), this);
    rememberCheck->setObjectName(QStringLiteral("RememberPasswordCheck"));
    rememberCheck->setChecked(keyringPresent && login.rememberPassword);
    rememberCheck->setEnabled(keyringPresent);

    plainHttpWarning = noteLabel(
        this, "PlainHttpWarning",
        QStringLiteral("This address is plain http to another machine: the password and every "
                       "contact would travel unencrypted. Use https unless you trust the network."),
        Qt::darkRed);
    keyringNote =
        noteLabel(this, "KeyringNote",
                  QStringLiteral("There is no keyring on this desktop, so the password is not "
                                 "kept: it is asked for at each sync."),
                  palette().color(QPalette::WindowText));
    keyringNote->setVisible(!keyringPresent);

    syncButton = platform::pushButton(this, "SyncButton", QStringLiteral("&Sync"));
    syncButton->setDefault(true);
    cancelButton = platform::pushButton(this, "CancelButton", QStringLiteral("Cancel"));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Ser&ver:"), serverEdit);
    fields->addRow(QStringLiteral("&User name:"), userEdit);
    fields->addRow(QStringLiteral("&Password:"), passwordEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(syncButton);
    buttons->addWidget(cancelButton);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(noticeLabel);
    whole->addLayout(fields);
    whole->addWidget(rememberCheck);
    whole->addWidget(keyringNote);
    whole->addWidget(plainHttpWarning);
    whole->addStretch();
    whole->addLayout(buttons);
    // The dialog takes the size its contents ask for, growing while the warning shows.
    whole->setSizeConstraint(QLayout::SetFixedSize);

    for (QLineEdit* edit : {serverEdit, userEdit, passwordEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { updateState(); });
    connect(syncButton, &QPushButton::clicked, this, &SyncDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &SyncDialog::reject);
    updateState();

    // The first field still to be filled in takes the focus.
    for (QLineEdit* edit : {serverEdit, userEdit, passwordEdit}) {
        if (edit->text().isEmpty()) {
            edit->setFocus();
            break;
        }
    }
}

SyncLogin SyncDialog::login() const {
    return {serverEdit->text().trimmed(), userEdit->text(), passwordEdit->text(),
            rememberCheck->isEnabled() && rememberCheck->isChecked()};
}

void SyncDialog::setNotice(const QString& notice) {
    noticeLabel->setText(notice);
    noticeLabel->setVisible(!notice.isEmpty());
}

void SyncDialog::updateState() {
    const QString server = serverEdit->text().trimmed();
    plainHttpWarning->setVisible(store::needsPlainHttpConfirmation(server.toStdString()));
    syncButton->setEnabled(!server.isEmpty() && !userEdit->text().isEmpty() &&
                           !passwordEdit->text().isEmpty());
}

}  // namespace app
