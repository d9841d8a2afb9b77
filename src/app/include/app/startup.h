#pragma once
// The pieces of the start-up that need no window: the title, the data folder, and the
// removal of leftover files whatever the letter case of their names.

#include <QString>
#include <QStringList>

namespace app {

inline constexpr char kApplicationTitle[] = "Marigold Cardhold";
inline constexpr char kTitlePrefix[] = "Marigold 4.5 ";
inline constexpr char kPlainTitleSuffix[] = "Cardhold";
inline constexpr int kTitleArgumentLength = 100;

inline constexpr char kTooManyParameters[] =
    "Error:  Too many parameters on command line (only 1 allowed)\r"
    "Please refer to online help at ";
inline constexpr char kNewDirectory[] = "New directory ";
inline constexpr char kDirectoryCreated[] = "\r successfully created!";
inline constexpr char kCannotCreateDirectory[] = "Cannot create directory ";

// "- " and the argument with its first character upper-cased and the rest lower-cased
// (a-z and A-Z only), cut to 100 characters; "Cardhold" when there is no argument.
QString titleSuffix(const QStringList& arguments);
QString composeTitle(const QStringList& arguments);

// The folder the argument names: the current folder, "/" and the argument; an absolute
// argument as it is.
QString dataFolderPath(const QString& currentFolder, const QString& argument);

// Removes every file in `folder` whose name equals one of `fileNames` ignoring letter
// case. Files that are not there, or cannot be removed, are passed over quietly.
void removeFilesIgnoringCase(const QString& folder, const QStringList& fileNames);

}  // namespace app
