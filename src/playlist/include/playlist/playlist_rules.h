#pragma once
// The playlist editor's rules that need no window: the new-or-edit answer, the tracks a
// memo offers, the duplicate test of Add, the save name's extension, and how an item's
// text becomes the bytes of a list file.

#include <QByteArray>
#include <QCollator>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace playlist {

enum class ListChoice { New, Edit };

// The first character of the answer decides, in either case: "e..." edits, "n..." starts a
// new list. Anything else, the empty answer included, is no choice.
std::optional<ListChoice> chooseList(const QString& answer);

// The memo scanner works on the table's single-byte text. fromUnicode may throw when the
// code page cannot hold a character (an edit not yet saved can hold one).
struct MemoCodePage {
    std::function<std::string(const QString&)> fromUnicode;
    std::function<QString(const std::string&)> toUnicode;

    static MemoCodePage latin1();
};

// The memo's stored lines: split at CR LF, CR, LF and the editor's paragraph separators,
// whatever the word wrap on screen.
QStringList memoLines(const QString& memoText);

// The file names of the memo, at most one per line, in line order, duplicates kept.
// Names that contain ".m3u" in any letter case are left out: a playlist is no track.
// A name starting "~/" is taken from the home folder, since players do not expand it.
QStringList memoTracks(const QString& memoText, const MemoCodePage& codePage);

// Two file names are the same when the user's locale finds them equal without regard to
// letter case.
class SameFileName {
  public:
    SameFileName();
    bool operator()(const QString& one, const QString& other) const;

  private:
    QCollator collator_;
};

// `path` with "." + suffix added when its file name has no extension.
QString withDefaultSuffix(const QString& path, const QString& suffix);

// An item as it goes into a list file: the file system's encoding of the name.
QByteArray itemBytes(const QString& text);
// An item read from a list file, as the lists show it: the file system's encoding, or
// Latin-1 for bytes that are not valid in it.
QString itemText(const QByteArray& bytes);
std::filesystem::path fileSystemPath(const QString& path);

}  // namespace playlist
