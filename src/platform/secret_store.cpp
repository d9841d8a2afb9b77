#include <platform/secret_store.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace platform {
namespace {

QString serviceName() {
    return QCoreApplication::applicationName();
}

// Starts the job and waits for it to finish. No plain-file fallback: a keyring that is
// missing is reported, not replaced.
void runToEnd(QKeychain::Job& job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

}  // namespace

StoredSecret DesktopKeyring::read(const QString& key) {
    QKeychain::ReadPasswordJob job(serviceName());
    job.setKey(key);
    runToEnd(job);
    switch (job.error()) {
        case QKeychain::NoError:
            return {StoredSecret::Outcome::Found, job.textData()};
        case QKeychain::EntryNotFound:
            return {StoredSecret::Outcome::NotFound, {}};
        default:
            return {StoredSecret::Outcome::NoKeyring, {}};
    }
}

bool DesktopKeyring::write(const QString& key, const QString& secret) {
    QKeychain::WritePasswordJob job(serviceName());
    job.setKey(key);
    job.setTextData(secret);
    runToEnd(job);
    return job.error() == QKeychain::NoError;
}

void DesktopKeyring::forget(const QString& key) {
    QKeychain::DeletePasswordJob job(serviceName());
    job.setKey(key);
    runToEnd(job);
}

}  // namespace platform
