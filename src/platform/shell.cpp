#include "platform/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "platform/prompter.h"

namespace platform {

namespace {

QString expandHome(const QString& path) {
    if (path == QLatin1String("~")) return QDir::homePath();
    if (path.startsWith(QLatin1String("~/"))) return QDir::homePath() + path.mid(1);
    return path;
}

// Files the desktop launches rather than opens, beside those marked executable.
bool isLauncher(const QFileInfo& file) {
    const QString suffix = file.suffix().toLower();
    if (suffix == QLatin1String("desktop")) return true;
#ifdef Q_OS_WIN
    static const QStringList windowsLaunchers = {
        QStringLiteral("lnk"), QStringLiteral("url"), QStringLiteral("msi"), QStringLiteral("scr"),
        QStringLiteral("pif"), QStringLiteral("vbs"), QStringLiteral("js"),  QStringLiteral("ps1")};
    if (windowsLaunchers.contains(suffix)) return true;
#endif
    return false;
}

}  // namespace

QString withWebScheme(const QString& address) {
    if (address.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QStringLiteral("http://") + address;
    return address;
}

bool startsProgram(const QFileInfo& file) {
    // Folders carry the execute bit too, but opening one only shows it.
    return file.isFile() && (file.isExecutable() || isLauncher(file));
}

QString runProgramQuestion(const QString& path) {
    return QStringLiteral("The file ") + path +
           QStringLiteral(
               " is a program or a program launcher.\rOpening it will run it. Run it anyway?");
}

DesktopShell::DesktopShell(Prompter& prompter) : prompter_(prompter) {}

bool DesktopShell::openUrl(const QString& address) {
    const QUrl url(withWebScheme(address), QUrl::TolerantMode);
    // A one-letter scheme is a drive letter ("C:\x.doc"), so that text is a file name.
    if (!url.isValid() || url.scheme().size() < 2) return openFile(address);
    // Local files take the same road as the open-file command, with its question.
    if (url.isLocalFile()) return openFile(url.toLocalFile());
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::openFile(const QString& path) {
    const QFileInfo file(expandHome(path));
    if (path.isEmpty() || !file.exists()) return false;
    if (startsProgram(file)) {
        const Prompt question{MessageKind::Confirmation,
                              runProgramQuestion(file.filePath()),
                              ButtonSet::YesNo,
                              {},
                              Answer::No};
        if (prompter_.prompt(question) != Answer::Yes) return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

}  // namespace platform
