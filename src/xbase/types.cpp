#include <cctype>
#include <charconv>
#include <cstdio>

#include "ascii.h"
#include "local_time.h"
#include "xbase/error.h"
#include "xbase/types.h"

namespace xbase {

namespace {
Date fixedToday;  // empty: the clock's
}  // namespace

FixedToday::FixedToday(Date day) : previous_(fixedToday) {
    fixedToday = day;
}

FixedToday::~FixedToday() {
    fixedToday = previous_;
}

Date Date::today() {
    if (!fixedToday.empty()) return fixedToday;
    const std::tm local = localNow();
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool Date::valid() const {
    if (empty()) return true;
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int limit = days[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= limit;
}

Date Date::fromStorage(std::string_view bytes) {
    if (bytes.size() < 8) return {};
    int values[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < widths[i]; ++k, ++pos) {
            char c = bytes[pos];
            if (c < '0' || c > '9') return {};
            values[i] = values[i] * 10 + (c - '0');
        }
    }
    Date d{values[0], values[1], values[2]};
    if (d.year == 0 || !d.valid()) return {};
    return d;
}

std::string Date::toStorage() const {
    if (empty()) return std::string(8, ' ');
    if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
        return std::string(buf, 8);
    }
    // Written out by hand: this runs for every date saved, and snprintf is slow.
    std::string digits(8, '0');
    const int parts[] = {year / 100, year % 100, month, day};
    for (int i = 0; i < 4; ++i) {
        digits[static_cast<size_t>(2 * i)] = static_cast<char>('0' + parts[i] / 10);
        digits[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + parts[i] % 10);
    }
    return digits;
}

std::string Date::toDisplay() const {
    if (empty()) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", month, day, year % 100);
    return buf;
}

namespace {

std::string trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

[[noreturn]] void badList(std::string_view entry, const std::string& why) {
    throw Error(ErrorKind::InvalidArgument, code::BadFieldList,
                "Invalid field definition \"" + std::string(entry) + "\": " + why);
}

int parseWidth(std::string_view entry, const std::string& text) {
    int value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size())
        badList(entry, "the width is not a number");
    return value;
}

}  // namespace

std::vector<FieldInfo> parseFieldList(std::string_view text) {
    std::vector<FieldInfo> fields;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view entry = text.substr(start, end - start);
        start = end + 1;
        if (trimmed(entry).empty()) continue;

        std::vector<std::string> parts;
        size_t p = 0;
        for (;;) {
            size_t comma = entry.find(',', p);
            parts.push_back(
                trimmed(entry.substr(p, comma == std::string_view::npos ? comma : comma - p)));
            if (comma == std::string_view::npos) break;
            p = comma + 1;
        }
        if (parts.size() < 2) badList(entry, "expected a name and a kind");

        FieldInfo f;
        f.name = upperAscii(parts[0]);
        if (f.name.empty() || f.name.size() > 10)
            badList(entry, "a field name has 1 to 10 characters");
        for (char c : f.name) {
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
                badList(entry, "a field name has only letters, digits and underscores");
        }
        if (std::isdigit(static_cast<unsigned char>(f.name[0])))
            badList(entry, "a field name starts with a letter");

        const std::string kind = upperAscii(parts[1]);
        if (kind == "CHAR" || kind == "CHARACTER" || kind == "C") {
            f.type = 'C';
            if (parts.size() < 3) badList(entry, "a character field needs a width");
            f.length = parseWidth(entry, parts[2]);
            if (f.length < 1 || f.length > 254)
                badList(entry, "a character field is 1 to 254 wide");
        } else if (kind == "MEMO" || kind == "M") {
            f.type = 'M';
            f.length = 10;
        } else if (kind == "DATE" || kind == "D") {
            f.type = 'D';
            f.length = 8;
        } else if (kind == "LOGICAL" || kind == "BOOL" || kind == "L") {
            f.type = 'L';
            f.length = 1;
        } else if (kind == "NUMERIC" || kind == "NUM" || kind == "N") {
            f.type = 'N';
            if (parts.size() < 3) badList(entry, "a numeric field needs a width");
            f.length = parseWidth(entry, parts[2]);
            if (parts.size() >= 4 && !parts[3].empty()) f.decimals = parseWidth(entry, parts[3]);
            if (f.length < 1 || f.length > 20) badList(entry, "a numeric field is 1 to 20 wide");
            if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.length - 2))
                badList(entry, "too many decimals for the width");
        } else {
            badList(entry, "unknown field kind \"" + parts[1] + "\"");
        }
        for (const auto& other : fields)
            if (other.name == f.name) badList(entry, "the field name is used twice");
        fields.push_back(f);
    }
    if (fields.empty())
        throw Error(ErrorKind::InvalidArgument, code::BadFieldList, "The field list is empty");
    if (fields.size() > 255)
        throw Error(ErrorKind::InvalidArgument, code::BadFieldList,
                    "A table has at most 255 fields");
    return fields;
}

namespace {
struct MarkEntry {
    uint8_t mark;
    int codePage;
};
constexpr MarkEntry kMarks[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x64, 852},
    {0x65, 866},  {0x66, 865},  {0x67, 861},  {0x6A, 737},   {0x6B, 857},
    {0x78, 950},  {0x79, 949},  {0x7A, 936},  {0x7B, 932},   {0x7C, 874},
    {0x7D, 1255}, {0x7E, 1256}, {0xC8, 1250}, {0xC9, 1251},  {0xCA, 1254},
    {0xCB, 1253}, {0xCC, 1257}, {0x57, 1252}, {0x58, 1252},  {0x59, 1252},
};
}  // namespace

int codePageFromMark(uint8_t mark) {
    for (const auto& m : kMarks)
        if (m.mark == mark) return m.codePage;
    return 0;
}

uint8_t markFromCodePage(int codePage) {
    for (const auto& m : kMarks)
        if (m.codePage == codePage) return m.mark;
    return 0;
}

std::string codePageCharsetName(int codePage) {
    switch (codePage) {
        case 874:
            return "windows-874";
        case 932:
            return "Shift_JIS";
        case 936:
            return "GBK";
        case 949:
            return "windows-949";
        case 950:
            return "Big5";
        case 10000:
            return "macintosh";
        default:
            break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "windows-" + std::to_string(codePage);
    if (codePage >= 437 && codePage <= 869) return "IBM" + std::to_string(codePage);
    return "windows-1252";
}

}  // namespace xbase
