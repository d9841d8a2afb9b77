#pragma once
// The value rules of the expression language, kept apart from the parser and the tree
// so that each can be checked on its own: how stored bytes read as numbers and dates,
// how texts compare, how str() lays out a number, and how numbers sort as key bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ascii.h"

namespace xbase::expr {

// Dates travel as Julian day numbers; 0 stands for the empty date, which sorts first.
inline constexpr int64_t kFirstJulianDay = 1721426;  // 0001-01-01
inline constexpr int64_t kLastJulianDay = 5373484;   // 9999-12-31

int64_t julianDay(int year, int month, int day);
// False when `julian` lies outside the years 1 to 9999.
bool calendarDate(int64_t julian, int& year, int& month, int& day);

// "YYYYMMDD" as stored in a D field. Blanks, zeros, NULs and anything that is not a
// calendar date read as the empty date (0).
int64_t parseDate(std::string_view bytes);
// Writes exactly 8 bytes: "YYYYMMDD", or 8 blanks for the empty date and for days
// outside the years 1 to 9999.
void formatDate(double julian, char* out);

// Reads a number the way N fields and val() do: leading blanks are skipped, the number
// ends at the first byte that cannot continue it, and no number at all reads as 0.
double parseNumber(std::string_view bytes);

// Rounds `value` to `decimals` places and right-aligns it in exactly `length` bytes.
// When it does not fit, decimals are given up first; when even the whole part does not
// fit, the result is `length` asterisks. `length` is 0..kMaxStrLength.
inline constexpr int kMaxStrLength = 255;
inline constexpr int kDefaultStrLength = 10;
void formatNumber(double value, int length, int decimals, char* out);

// A count or position from a number: its whole part, held within a range that no text
// can exceed (so huge or NaN arguments cannot overflow).
int64_t wholeCount(double value);

// Compares two texts after padding the shorter with blanks; bytes compare unsigned.
int comparePadded(std::string_view a, std::string_view b);

// Eight bytes that sort as unsigned bytes the way the numbers sort: the IEEE double in
// big-endian order, the sign bit set for positive values and every bit inverted for
// negative ones (the numeric key of FoxPro-family compound indexes).
inline constexpr int kNumericKeyLength = 8;
void encodeNumericKey(double value, char* out);

}  // namespace xbase::expr
