#pragma once
// The help pages shipped with the program, opened as local files.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace platform {

// The page the help buttons open.
inline constexpr char kMainHelpPage[] = "index.html";

// Where help pages are looked for, first to last: beside an installed executable
// (../share/cardhold/help), the source tree's docs/help, the configured install folder.
QStringList helpFolders();

// The file URL of `page` in the first of `folders` that holds it. When none does, the URL
// points into the first folder that exists (or the first named), so there is always an
// address to show; opening it then fails quietly.
QUrl helpPageUrlIn(const QStringList& folders, const QString& page);

QUrl helpPageUrl(const QString& page = QString::fromLatin1(kMainHelpPage));

}  // namespace platform
