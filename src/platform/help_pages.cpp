#include <platform/help_pages.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QStringList helpFolders() {
    QStringList folders;
    if (QCoreApplication::instance() != nullptr) {
        folders << QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' +
                                   QStringLiteral(CARDHOLD_HELP_FROM_BINDIR));
    }
    folders << QStringLiteral(CARDHOLD_SOURCE_HELP_DIR)
            << QStringLiteral(CARDHOLD_INSTALLED_HELP_DIR);
    return folders;
}

QUrl helpPageUrlIn(const QStringList& folders, const QString& page) {
    if (folders.isEmpty()) return {};
    QString fallback;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        if (QFileInfo(dir.filePath(page)).isFile()) {
            return QUrl::fromLocalFile(QDir::cleanPath(dir.absoluteFilePath(page)));
        }
        if (fallback.isEmpty() && dir.exists()) fallback = folder;
    }
    if (fallback.isEmpty()) fallback = folders.front();
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(fallback).absoluteFilePath(page)));
}

QUrl helpPageUrl(const QString& page) {
    return helpPageUrlIn(helpFolders(), page);
}

}  // namespace platform
