#include <links/memo_scanner.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace links {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

// How far after the at-sign a dot makes a text count as holding an e-mail address.
constexpr std::size_t kEmailDotWindow = 99;
// The longest e-mail address, web address or file name taken from a line.
constexpr std::size_t kItemMaxLength = 255;

// Phone numbers: three digits, "-", four digits; the area code is three more in front.
constexpr std::size_t kDigitsBeforeDash = 3;
constexpr std::size_t kDigitsAfterDash = 4;
constexpr std::size_t kAreaCodeReach = 7;  // from the dash back to the area code's first digit

// Searched in this order: the first one present anywhere in the line decides.
constexpr std::string_view kWebPrefixes[] = {"FTP://", "HTTP://", "HTTPS://", "WWW."};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Spaces, tabs and control characters. Bytes from 128 up are code-page letters and
// signs, never blanks, whatever the signedness of char.
bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsTrailingPunctuation(char c) {
    return c == ')' || c == ',' || c == '.' || c == ':' || c == ';';
}

std::string_view WithoutTrailingPunctuation(std::string_view text) {
    while (!text.empty() && IsTrailingPunctuation(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view UpToFirstSpace(std::string_view text) {
    return text.substr(0, text.find(' '));
}

std::string AsciiUpperCopy(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = AsciiUpper(c);
    return upper;
}

// The length of the root a file name starts with: "~/" and "/" for absolute paths,
// otherwise the drive letter, colon and backslash.
std::size_t FileNameRootLength(std::string_view name) {
    if (name.starts_with("~/")) return 2;
    if (name.starts_with('/')) return 1;
    return 3;
}

// Where the drive letter of the line's first ":\" stands, or kNotFound.
std::size_t FindDriveLetter(std::string_view line) {
    const std::size_t colon = line.find(":\\");
    if (colon == kNotFound || colon == 0 || !IsAsciiLetter(line[colon - 1])) return kNotFound;
    return colon - 1;
}

// The first path that starts a word with "/" or "~/" and names something beyond the root.
std::string FindAbsolutePath(std::string_view line) {
    for (std::size_t start = 0; start < line.size(); ++start) {
        if (start > 0 && !IsBlankOrControl(line[start - 1])) continue;
        const std::string_view word = line.substr(start);
        if (!word.starts_with('/') && !word.starts_with("~/")) continue;
        const std::size_t root = FileNameRootLength(word);
        // A lone "/" between words, as in "yes / no", is not a path.
        if (word.size() <= root || IsBlankOrControl(word[root])) continue;
        std::string name = cutFileName(line, start);
        if (name.size() > root) return name;
    }
    return {};
}

void AppendIfFound(std::vector<std::string>& items, std::string item) {
    if (!item.empty()) items.push_back(std::move(item));
}

// Web addresses and file names: one item per line at most, each with the line before it
// and its own line, so that the chooser can show where the item came from.
void CollectWithContext(std::span<const std::string> lines,
                        std::string (*findItem)(std::string_view), CollectedItems& collected) {
    collected.showContext = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string item = findItem(lines[i]);
        if (item.empty()) continue;
        collected.items.push_back(std::move(item));
        collected.linesBefore.push_back(i == 0 ? std::string(" ") : lines[i - 1]);
        collected.itemLines.push_back(lines[i]);
    }
    // The chooser shows entry 0 of each list even when nothing was found.
    if (collected.linesBefore.empty()) {
        collected.linesBefore.emplace_back(" ");
        collected.itemLines.emplace_back(" ");
    }
}

}  // namespace

bool isPhonePattern(std::string_view text, std::size_t position) {
    if (position < kDigitsBeforeDash || position >= text.size() ||
        text.size() - position <= kDigitsAfterDash) {
        return false;
    }
    if (text[position] != '-') return false;
    for (std::size_t k = 1; k <= kDigitsBeforeDash; ++k) {
        if (!IsDigit(text[position - k])) return false;
    }
    for (std::size_t k = 1; k <= kDigitsAfterDash; ++k) {
        if (!IsDigit(text[position + k])) return false;
    }
    return true;
}

std::string cutPhoneNumber(std::string_view text, std::size_t position) {
    if (!isPhonePattern(text, position)) return {};
    const std::size_t end = position + kDigitsAfterDash + 1;
    const std::size_t separator = position - kDigitsBeforeDash - 1;
    if (position > kDigitsBeforeDash && (text[separator] == ')' || text[separator] == '-')) {
        // The area code is taken whatever it holds, and only as much of it as there is.
        const std::size_t start = position >= kAreaCodeReach ? position - kAreaCodeReach : 0;
        std::string number(text.substr(start, end - start));
        number[separator - start] = '-';
        return number;
    }
    const std::size_t start = position - kDigitsBeforeDash;
    return std::string(text.substr(start, end - start));
}

void findPhoneNumbers(std::string_view text, std::vector<std::string>& items) {
    constexpr auto kShortest =
        static_cast<std::ptrdiff_t>(kDigitsBeforeDash + 1 + kDigitsAfterDash);
    const auto length = static_cast<std::ptrdiff_t>(text.size());
    if (length < kShortest) return;
    // Right to left, over every dash with room for the digits around it. Signed, because
    // the step after a number may go past the start of the text.
    std::ptrdiff_t position = length - static_cast<std::ptrdiff_t>(kDigitsAfterDash) - 1;
    while (position >= static_cast<std::ptrdiff_t>(kDigitsBeforeDash)) {
        if (!isPhonePattern(text, static_cast<std::size_t>(position))) {
            --position;
            continue;
        }
        std::string number = cutPhoneNumber(text, static_cast<std::size_t>(position));
        // Resume two characters before the number's start.
        position -= static_cast<std::ptrdiff_t>(number.size() - kDigitsAfterDash) + 1;
        items.push_back(std::move(number));
    }
}

std::string findEmailAddress(std::string_view text) {
    const std::size_t at = text.find('@');
    if (at == kNotFound) return {};
    // Any dot shortly after the at-sign will do, even one outside the address.
    if (text.substr(at + 1, kEmailDotWindow).find('.') == kNotFound) return {};
    std::size_t start = 0;
    if (at > 0) {
        const std::size_t delimiter = text.find_last_of(" ):;", at - 1);
        if (delimiter != kNotFound) start = delimiter + 1;
    }
    std::string_view address = UpToFirstSpace(text.substr(start, kItemMaxLength));
    while (!address.empty() && address.back() == '.') address.remove_suffix(1);
    return std::string(address);
}

std::string findWebAddress(std::string_view line) {
    const std::string upper = AsciiUpperCopy(line);
    for (const std::string_view prefix : kWebPrefixes) {
        const std::size_t found = upper.find(prefix);
        if (found != kNotFound) return cutWebAddress(line, found);
    }
    return {};
}

std::string cutWebAddress(std::string_view line, std::size_t start) {
    if (start >= line.size()) return {};
    return std::string(
        WithoutTrailingPunctuation(UpToFirstSpace(line.substr(start, kItemMaxLength))));
}

std::string findFileName(std::string_view line) {
    if (line.find('.') == kNotFound) return {};
    const std::size_t driveLetter = FindDriveLetter(line);
    if (driveLetter != kNotFound) return cutFileName(line, driveLetter);
    return FindAbsolutePath(line);
}

std::string cutFileName(std::string_view line, std::size_t start) {
    line = WithoutTrailingBlanks(line);
    if (start >= line.size()) return {};
    std::string_view name = line.substr(start, kItemMaxLength);
    // Spaces stay inside folder and file names; after the first dot that follows a name,
    // a space ends the file name. A dot right after the root (".hidden") does not count.
    const std::size_t dot = name.find('.');
    if (dot != kNotFound && dot > FileNameRootLength(name)) {
        const std::size_t space = name.find(' ', dot);
        if (space != kNotFound) name = name.substr(0, space);
    }
    return std::string(WithoutTrailingPunctuation(name));
}

CollectedItems collectItems(ItemKind kind, std::string_view name,
                            std::span<const std::string> wrappedLines,
                            std::span<const std::string> unwrappedLines) {
    CollectedItems collected;
    switch (kind) {
        case ItemKind::Phone:
            findPhoneNumbers(name, collected.items);
            for (const std::string& line : wrappedLines) findPhoneNumbers(line, collected.items);
            break;
        case ItemKind::Email:
            // The name first, then the memo from the bottom up.
            AppendIfFound(collected.items, findEmailAddress(name));
            for (auto line = wrappedLines.rbegin(); line != wrappedLines.rend(); ++line) {
                AppendIfFound(collected.items, findEmailAddress(*line));
            }
            break;
        case ItemKind::Web:
            CollectWithContext(unwrappedLines, findWebAddress, collected);
            break;
        case ItemKind::File:
            CollectWithContext(unwrappedLines, findFileName, collected);
            break;
    }
    return collected;
}

}  // namespace links
