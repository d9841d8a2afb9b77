#include <platform/phone_dialer.h>

#include <QByteArray>
#include <QProcess>

#include <utility>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

#include <platform/prompter.h>
#include <platform/shell.h>

namespace platform {

QString telUri(const QString& number) {
    // toPercentEncoding leaves the unreserved characters (letters, digits, "-._~") alone.
    return QStringLiteral("tel:") + QString::fromLatin1(number.toUtf8().toPercentEncoding("+()*"));
}

DesktopSchemeHandlerLookup::DesktopSchemeHandlerLookup(QString program, int timeoutMs)
    : program_(std::move(program)), timeoutMs_(timeoutMs) {}

HandlerPresence DesktopSchemeHandlerLookup::handlerFor(const QString& scheme) {
#ifdef Q_OS_WIN
    // Registered URL protocols carry a "URL Protocol" value under their class key.
    const QSettings registry(QStringLiteral("HKEY_CLASSES_ROOT\\") + scheme,
                             QSettings::NativeFormat);
    return registry.contains(QStringLiteral("URL Protocol")) ? HandlerPresence::Present
                                                             : HandlerPresence::Unknown;
#else
    QProcess lookup;
    lookup.setProcessChannelMode(QProcess::SeparateChannels);
    lookup.start(program_,
                 {QStringLiteral("query"), QStringLiteral("default"),
                  QStringLiteral("x-scheme-handler/") + scheme},
                 QIODevice::ReadOnly);
    if (!lookup.waitForStarted(timeoutMs_)) return HandlerPresence::Unknown;
    if (!lookup.waitForFinished(timeoutMs_)) {
        lookup.kill();
        lookup.waitForFinished(timeoutMs_);
        return HandlerPresence::Unknown;
    }
    if (lookup.exitStatus() != QProcess::NormalExit || lookup.exitCode() != 0) {
        return HandlerPresence::Unknown;
    }
    return lookup.readAllStandardOutput().trimmed().isEmpty() ? HandlerPresence::Absent
                                                              : HandlerPresence::Present;
#endif
}

DesktopPhoneDialer::DesktopPhoneDialer(Prompter& prompter, Shell& shell,
                                       SchemeHandlerLookup& handlers)
    : prompter_(prompter), shell_(shell), handlers_(handlers) {}

void DesktopPhoneDialer::dialNumber(const QString& number, const QString& /*calledParty*/) {
    if (handlers_.handlerFor(QStringLiteral("tel")) == HandlerPresence::Absent) {
        prompter_.warning(QString::fromLatin1(kNoDialerWarning));
        return;
    }
    if (!shell_.openUrl(telUri(number))) prompter_.warning(QString::fromLatin1(kDialFailedWarning));
}

}  // namespace platform
