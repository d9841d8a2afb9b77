#include <app/startup.h>

#include <QDir>
#include <QFile>

#include <store/contacts_exchange.h>

namespace app {

namespace {

QChar upperAscii(QChar c) {
    return c >= u'a' && c <= u'z' ? QChar(c.unicode() - u'a' + u'A') : c;
}

QChar lowerAscii(QChar c) {
    return c >= u'A' && c <= u'Z' ? QChar(c.unicode() - u'A' + u'a') : c;
}

// The names in `folder` that match `fileName` ignoring case; a folder copied from
// Windows may hold "address.dbf" or "Address.CDX".
QStringList matchingNames(const QString& folder, const QString& fileName) {
    QStringList found;
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0) found << entry;
    }
    return found;
}

}  // namespace

QString titleSuffix(const QStringList& arguments) {
    if (arguments.size() != 1) return QString::fromLatin1(kPlainTitleSuffix);
    QString shown = arguments.front().left(kTitleArgumentLength);
    if (!shown.isEmpty() && shown.back().isHighSurrogate()) shown.chop(1);  // whole characters
    QString suffix = QStringLiteral("- ");
    for (qsizetype i = 0; i < shown.size(); ++i) {
        suffix += i == 0 ? upperAscii(shown.at(i)) : lowerAscii(shown.at(i));
    }
    return suffix;
}

QString composeTitle(const QStringList& arguments) {
    return QString::fromLatin1(kTitlePrefix) + titleSuffix(arguments);
}

QString dataFolderPath(const QString& currentFolder, const QString& argument) {
    if (QDir::isAbsolutePath(argument)) return argument;
    QString folder = currentFolder;
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder + argument;
}

ContactsCommandLine takeVCardFile(const QStringList& arguments, const QString& currentFolder,
                                  const QString& homeFolder) {
    const auto isVCard = [&](const QString& argument) {
        const QString path = dataFolderPath(currentFolder, argument);
        return store::isVCardFile(std::filesystem::path(QFile::encodeName(path).toStdString()));
    };
    ContactsCommandLine line{arguments, currentFolder, {}};
    if (arguments.isEmpty() || arguments.size() > 2 || !isVCard(arguments.back())) return line;
    if (arguments.size() == 2 && isVCard(arguments.front())) return line;
    line.vCardFile = QDir::cleanPath(dataFolderPath(currentFolder, arguments.back()));
    line.arguments.removeLast();
    if (line.arguments.isEmpty()) {
        line.arguments << QString::fromLatin1(kDefaultBookFolder);
        line.currentFolder = homeFolder;
    }
    return line;
}

void removeFilesIgnoringCase(const QString& folder, const QStringList& fileNames) {
    const QDir dir(folder);
    for (const QString& fileName : fileNames) {
        for (const QString& found : matchingNames(folder, fileName)) {
            QFile::remove(dir.filePath(found));
        }
    }
}

}  // namespace app
