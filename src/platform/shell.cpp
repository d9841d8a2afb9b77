#include <platform/shell.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <utility>

#ifdef Q_OS_WIN
#include <shellapi.h>
#include <windows.h>
#endif

#include <platform/prompter.h>

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

// A URI scheme (RFC 3986) of two letters or more; one letter is a drive ("C:\\x.doc").
bool hasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
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

HandOver desktopHandOver(const QString& program) {
#ifdef Q_OS_WIN
    Q_UNUSED(program);
    return [](const QString& target) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, nullptr, reinterpret_cast<const wchar_t*>(target.utf16()),
                          nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    };
#else
    return [program](const QString& target) { return QProcess::startDetached(program, {target}); };
#endif
}

DesktopShell::DesktopShell(Prompter& prompter, HandOver handOver)
    : prompter_(prompter), handOver_(std::move(handOver)) {}

bool DesktopShell::openUrl(const QString& address) {
    const QString target = withWebScheme(address);
    if (!hasScheme(target)) return openFile(address);
    // Local files take the same road as the open-file command, with its question.
    if (target.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return openFile(QUrl(target).toLocalFile());
    // The text itself: a parsed URL would be rewritten ("%7E" to "~", a stray "%" to "%25").
    return handOver_(target);
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
    return handOver_(QDir::toNativeSeparators(file.absoluteFilePath()));
}

}  // namespace platform
