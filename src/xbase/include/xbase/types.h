#pragma once
// Small value types shared by the engine's public headers.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xbase {

struct FieldInfo {
    std::string name;  // upper case, at most 10 characters
    char type = 'C';   // 'C' character, 'M' memo, 'D' date, 'N' numeric, 'L' logical, ...
    int length = 0;
    int decimals = 0;

    friend bool operator==(const FieldInfo&, const FieldInfo&) = default;
};

// Memo, general and picture fields: the record holds a block number in the memo file.
inline bool isMemoType(char type) {
    return type == 'M' || type == 'G' || type == 'P';
}

// A calendar date; all zero means "no date" (stored as blanks).
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;

    bool empty() const { return year == 0 && month == 0 && day == 0; }
    // The local date now, or the day a FixedToday holds while one lives.
    static Date today();
    // "YYYYMMDD" as stored in a date field; blanks, NULs or zeros read as an empty date.
    static Date fromStorage(std::string_view bytes);
    std::string toStorage() const;  // 8 digits, or 8 blanks when empty
    std::string toDisplay() const;  // "MM/DD/YY", or "" when empty
    bool valid() const;

    friend auto operator<=>(const Date&, const Date&) = default;
};

// Holds Date::today() at one day while it lives, for checks that compare dates: every save
// stamp and report date then reads that day, also across midnight.
class FixedToday {
  public:
    explicit FixedToday(Date day);
    ~FixedToday();
    FixedToday(const FixedToday&) = delete;
    FixedToday& operator=(const FixedToday&) = delete;

  private:
    Date previous_;
};

// A record's place in the table; survives changes of order and filter (not a pack).
struct Bookmark {
    uint32_t recno = 0;

    bool valid() const { return recno != 0; }
    friend auto operator<=>(const Bookmark&, const Bookmark&) = default;
};

enum class ShareMode { Shared, Exclusive };

// Parses a field list of the form "Name,Char,30;Info,Memo;LastDate,Date;". Kinds:
// Char/Character (width 1-254), Memo, Date, Numeric/Num (width 1-20, optional decimals),
// Logical/Bool. Throws Error(InvalidArgument, BadFieldList) naming the bad entry.
std::vector<FieldInfo> parseFieldList(std::string_view text);

// Windows code page number for a DBF code-page mark (0x03 -> 1252); 0 when unknown.
int codePageFromMark(uint8_t mark);
uint8_t markFromCodePage(int codePage);

// The character set name converters know a Windows code page by ("windows-1252",
// "IBM437", "Shift_JIS"); "windows-1252" for a number it does not know.
std::string codePageCharsetName(int codePage);

}  // namespace xbase
