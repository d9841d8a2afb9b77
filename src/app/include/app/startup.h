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

// The folder of the default address book, in the home folder: the one the desktop entry
// opens, and the one a vCard file given alone is imported into.
inline constexpr char kDefaultBookFolder[] = "Cardhold";

// The command line with a vCard file taken off it. A file manager opening a .vcf file with
// the program passes the file alone ("cardhold FILE") or behind the folder argument of the
// desktop entry ("cardhold Cardhold FILE"). Everything else is left to the folder rules.
struct ContactsCommandLine {
    QStringList arguments;  // the folder argument, if any
    QString currentFolder;  // where a relative folder argument starts
    QString vCardFile;      // absolute; empty when the command line names none
};
// A last argument that names a vCard file (isVCardFile) is taken off when at most one
// argument that is not one stands before it. Given alone, it is imported into the default
// address book: the argument kDefaultBookFolder, relative to `homeFolder`.
ContactsCommandLine takeVCardFile(const QStringList& arguments, const QString& currentFolder,
                                  const QString& homeFolder);

// Removes every file in `folder` whose name equals one of `fileNames` ignoring letter
// case. Files that are not there, or cannot be removed, are passed over quietly.
void removeFilesIgnoringCase(const QString& folder, const QStringList& fileNames);

}  // namespace app
