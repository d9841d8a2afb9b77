#include <app/sync_action.h>

#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <atomic>
#include <filesystem>

#include <data/table_work.h>
#include <platform/form_style.h>
#include <platform/form_widgets.h>
#include <platform/prompter.h>
#include <platform/secret_store.h>

#include <store/address_book.h>
#include <store/address_module.h>

namespace app {
namespace {

// The program's settings file, where the window keeps its place too.
const QString kSettingsName = QStringLiteral("cardhold");

// Each address book folder syncs with its own server: its settings are filed under a
// digest of the folder's full path.
QString settingsGroup(const QString& folder) {
    const QString path = QDir(folder).absolutePath();
    return QStringLiteral("Sync/") +
           QString::fromLatin1(QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256)
                                   .toHex()
                                   .left(16));
}

const QString kPlainHttpServers = QStringLiteral("Sync/PlainHttpConfirmed");

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

QString keyringKey(const QString& server, const QString& user) {
    return user + QLatin1Char('@') + server;
}

SyncAction::SyncAction(QWidget& window, store::AddressModule& module, platform::Prompter& prompter,
                       platform::SecretStore& secrets)
    : window_(window), module_(module), prompter_(prompter), secrets_(secrets) {}

void SyncAction::run() {
    if (!module_.addressTable.active() || !settleEditing()) return;

    SyncLogin login = rememberedLogin();
    QString notice;
    for (;;) {
        SyncDialog dialog(login, keyringPresent_, &window_);
        dialog.setNotice(notice);
        if (dialog.exec() != QDialog::Accepted) return;
        login = dialog.login();
        rememberAddress(login);
        if (!mayUsePlainHttp(login.server)) return;
        rememberPassword(login);

        store::SyncSettings settings;
        settings.server = login.server.toStdString();
        settings.user = login.user.toStdString();
        settings.password = login.password.toStdString();
        settings.plainHttpConfirmed = true;  // asked above, where it is needed
        store::SyncReport report = syncWithProgress(settings);
        report_ = report;
        if (!report.passwordRefused) {
            showReport(report);
            return;
        }
        // Ask again, saying why; a refused password is not kept.
        secrets_.forget(keyringKey(login.server, login.user));
        login.password.clear();
        notice = QString::fromStdString(report.failure) +
                 QStringLiteral(" Check the user name and the password, and try again.");
    }
}

bool SyncAction::settleEditing() {
    data::DataSet& table = module_.addressTable;
    if (!table.editing()) return true;
    if (prompter_.confirm(QStringLiteral("The entry being edited is saved before the sync."),
                          platform::ButtonSet::OkCancel) != platform::Answer::Ok)
        return false;
    table.post();  // a refusal shows its box and throws data::Abort: no sync then
    return !table.editing();
}

SyncLogin SyncAction::rememberedLogin() {
    QSettings settings(kSettingsName, kSettingsName);
    settings.beginGroup(settingsGroup(module_.dataFolder()));
    SyncLogin login;
    login.server = settings.value(QStringLiteral("server")).toString();
    login.user = settings.value(QStringLiteral("user")).toString();
    login.rememberPassword = settings.value(QStringLiteral("rememberPassword"), true).toBool();
    keyringPresent_ = true;
    if (!login.server.isEmpty() && !login.user.isEmpty()) {
        const platform::StoredSecret stored = secrets_.read(keyringKey(login.server, login.user));
        keyringPresent_ = stored.outcome != platform::StoredSecret::Outcome::NoKeyring;
        login.password = stored.secret;
    } else {
        // Nothing to look up yet: ask the keyring whether it is there at all.
        keyringPresent_ = secrets_.read(QStringLiteral("cardhold keyring check")).outcome !=
                          platform::StoredSecret::Outcome::NoKeyring;
    }
    return login;
}

bool SyncAction::mayUsePlainHttp(const QString& server) {
    if (!store::needsPlainHttpConfirmation(server.toStdString())) return true;
    QSettings settings(kSettingsName, kSettingsName);
    QStringList confirmed = settings.value(kPlainHttpServers).toStringList();
    if (confirmed.contains(server)) return true;
    const QString question =
        QStringLiteral(
            "%1 is plain http to another machine: the password and every contact "
            "travel unencrypted, readable by anyone on the way.\r"
            "Sync with this server over plain http anyway?")
            .arg(server);
    if (prompter_.confirm(question, platform::ButtonSet::YesNo) != platform::Answer::Yes)
        return false;
    confirmed << server;
    settings.setValue(kPlainHttpServers, confirmed);
    return true;
}

void SyncAction::rememberAddress(const SyncLogin& login) {
    QSettings settings(kSettingsName, kSettingsName);
    settings.beginGroup(settingsGroup(module_.dataFolder()));
    settings.setValue(QStringLiteral("folder"), QDir(module_.dataFolder()).absolutePath());
    settings.setValue(QStringLiteral("server"), login.server);
    settings.setValue(QStringLiteral("user"), login.user);
    if (keyringPresent_)
        settings.setValue(QStringLiteral("rememberPassword"), login.rememberPassword);
}

void SyncAction::rememberPassword(const SyncLogin& login) {
    if (!keyringPresent_) return;
    const QString key = keyringKey(login.server, login.user);
    if (login.rememberPassword)
        keyringPresent_ = secrets_.write(key, login.password);
    else
        secrets_.forget(key);
}

store::SyncReport SyncAction::syncWithProgress(const store::SyncSettings& settings) {
    std::atomic<bool> cancel{false};
    QProgressDialog progress(&window_);
    progress.setObjectName(QStringLiteral("SyncProgress"));
    progress.setWindowTitle(QStringLiteral("Sync"));
    progress.setFont(platform::pixelFont(QStringLiteral("MS Sans Serif"), 11));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumWidth(320);
    progress.setRange(0, 0);
    // Cancel only when pressed: Enter, still held from the settings dialog, must not stop
    // the sync it just started.
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), &progress);
    cancelButton->setObjectName(QStringLiteral("CancelButton"));
    cancelButton->setAutoDefault(false);
    progress.setCancelButton(cancelButton);
    progress.setLabelText(QStringLiteral("Connecting…"));
    QObject::connect(&progress, &QProgressDialog::canceled, [&] {
        cancel = true;
        progress.setLabelText(QStringLiteral("Cancelling…"));
    });
    progress.show();

    store::SyncControl control;
    control.cancel = &cancel;
    control.progress = [&](const store::SyncProgress& step) {
        if (cancel) return;
        progress.setLabelText(QString::fromStdString(step.step) + QStringLiteral("…"));
        progress.setRange(0, step.total);
        if (step.total > 0) progress.setValue(std::min(step.done, step.total));
    };

    store::SyncReport report;
    data::DataSet& table = module_.addressTable;
    // The grid holds still while the table changes under it, and follows it afterwards.
    table.disableControls();
    data::runThenAlways(
        [&] {
            store::AddressBook book(toPath(module_.dataFolder()));
            report = store::syncAddressBook(book, settings, control);
            module_.state().entryCount = qint32(book.table().recordCount());
        },
        [&] {
            table.enableControls();
            table.refresh();
        });
    return report;
}

void SyncAction::showReport(const store::SyncReport& report) {
    QDialog dialog(&window_, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog.setObjectName(QStringLiteral("SyncReport"));
    dialog.setWindowTitle(report.failed() ? QStringLiteral("Sync stopped")
                                          : QStringLiteral("Sync finished"));
    dialog.setFont(platform::pixelFont(QStringLiteral("MS Sans Serif"), 11));
    auto* text = new QPlainTextEdit(&dialog);
    text->setObjectName(QStringLiteral("SyncReportText"));
    text->setReadOnly(true);
    text->setFont(platform::pixelFont(QStringLiteral("Courier New"), 12));
    text->setPlainText(QString::fromStdString(report.text()));
    text->setMinimumSize(520, 240);
    QPushButton* close = platform::pushButton(&dialog, "CloseButton", QStringLiteral("Close"));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(close, 0, Qt::AlignRight);
    dialog.exec();
}

}  // namespace app
