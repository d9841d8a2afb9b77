#pragma once
// Recognises phone numbers, e-mail addresses, web addresses and file names in an
// entry's name and memo lines, and gathers them in the order the link actions offer them.
//
// Everything here is a pure function on single-byte text: no Qt, no state, no failure.
// Positions are byte indexes counted from 0. A position outside the text is never read;
// the cut functions then give an empty string and isPhonePattern gives false.
// Letters and upper-casing are plain ASCII (a-z, A-Z); every other byte is left alone.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace links {

// The kind of a memo item, carried through the link actions as its code letter.
enum class ItemKind : char {
    Phone = 'P',
    Email = 'E',
    Web = 'W',
    File = 'X',
};

// Appends every phone number of `text` to `items`, right to left. A number is three
// digits, "-", four digits; an area code in front is taken along when the three digits
// follow a "-" or ")" (the ")" is written as "-" in the item).
void findPhoneNumbers(std::string_view text, std::vector<std::string>& items);

// True when `position` holds the "-" of three digits, "-", four digits.
bool isPhonePattern(std::string_view text, std::size_t position);

// The phone number whose "-" before the last four digits is at `position`, area code
// included when there is one; empty when there is no phone pattern at `position`.
std::string cutPhoneNumber(std::string_view text, std::size_t position);

// The e-mail address around the first "@" of `text`, or an empty string.
std::string findEmailAddress(std::string_view text);

// The web address of `line` (ftp://, http://, https:// or www., found in that order of
// preference, in any letter case), or an empty string.
std::string findWebAddress(std::string_view line);

// The web address that starts at `start`: up to the first space, at most 255 bytes,
// without trailing ")" "," "." ":" ";".
std::string cutWebAddress(std::string_view line, std::size_t start);

// The file name of `line`, or an empty string. A drive-lettered name ("C:\...", only the
// first ":\" of the line is tried) wins; otherwise an absolute path that starts a word
// with "/" or "~/" is taken. Either way the line must hold a "." somewhere. A "~" is
// returned as written; expanding it is the caller's business.
std::string findFileName(std::string_view line);

// The file name that starts at `start` (a drive letter, "/" or "~/"): trailing blanks of
// the line dropped, at most 255 bytes, cut at the first space after the first "." when a
// name stands between the root and that ".", then without trailing ")" "," "." ":" ";".
std::string cutFileName(std::string_view line, std::size_t start);

// The items of one kind in an entry, with what the chooser needs to show them.
struct CollectedItems {
    // The items in the order found: unsorted, duplicates kept.
    std::vector<std::string> items;
    // Web addresses and file names only, parallel to `items`: the memo line before the
    // item's line (" " for the first line) and the item's own line. With no item each
    // holds a single " ", so entry 0 always exists. Empty for phone numbers and e-mail.
    std::vector<std::string> linesBefore;
    std::vector<std::string> itemLines;
    // Whether the chooser shows the two context lines: true for web addresses and files.
    bool showContext = false;
};

// Gathers the items of `kind` from an entry. `wrappedLines` are the memo's lines as the
// memo control shows them (a long paragraph wraps into several); `unwrappedLines` are
// its lines from one line break to the next. Phone numbers and e-mail addresses are
// taken from the name and the wrapped lines (phone: name, then first line to last;
// e-mail: name, then last line to first); web addresses and file names from the
// unwrapped lines, first to last, never from the name.
CollectedItems collectItems(ItemKind kind, std::string_view name,
                            std::span<const std::string> wrappedLines,
                            std::span<const std::string> unwrappedLines);

}  // namespace links
