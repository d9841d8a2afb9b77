#include "expression_values.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace xbase::expr {

int64_t julianDay(int year, int month, int day) {
    // Gregorian calendar to Julian day (Fliegel and Van Flandern), in whole days.
    const int64_t a = (14 - month) / 12;
    const int64_t y = int64_t{year} + 4800 - a;
    const int64_t m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

bool calendarDate(int64_t julian, int& year, int& month, int& day) {
    if (julian < kFirstJulianDay || julian > kLastJulianDay) return false;
    const int64_t a = julian + 32044;
    const int64_t b = (4 * a + 3) / 146097;
    const int64_t c = a - 146097 * b / 4;
    const int64_t d = (4 * c + 3) / 1461;
    const int64_t e = c - 1461 * d / 4;
    const int64_t m = (5 * e + 2) / 153;
    day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    month = static_cast<int>(m + 3 - 12 * (m / 10));
    year = static_cast<int>(100 * b + d - 4800 + m / 10);
    return true;
}

int64_t parseDate(std::string_view bytes) {
    if (bytes.size() < 8) return 0;
    int parts[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    size_t at = 0;
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < widths[p]; ++i, ++at) {
            const char c = bytes[at];
            if (c < '0' || c > '9') return 0;
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    const int year = parts[0], month = parts[1], day = parts[2];
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
    return julianDay(year, month, day);
}

void formatDate(double julian, char* out) {
    int year = 0, month = 0, day = 0;
    if (!std::isfinite(julian) || julian < static_cast<double>(kFirstJulianDay) ||
        julian > static_cast<double>(kLastJulianDay) ||
        !calendarDate(static_cast<int64_t>(julian), year, month, day)) {
        std::memset(out, ' ', 8);
        return;
    }
    const int digits[8] = {year / 1000, year / 100 % 10, year / 10 % 10, year % 10,
                           month / 10,  month % 10,      day / 10,       day % 10};
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>('0' + digits[i]);
}

double parseNumber(std::string_view bytes) {
    size_t at = 0;
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\0' || bytes[at] == '\t')) {
        ++at;
    }
    bool negative = false;
    if (at < bytes.size() && (bytes[at] == '-' || bytes[at] == '+')) {
        negative = bytes[at] == '-';
        ++at;
    }
    // from_chars would also take "inf" and "nan", which are not numbers to xBase.
    if (at >= bytes.size() || !((bytes[at] >= '0' && bytes[at] <= '9') || bytes[at] == '.')) {
        return 0;
    }
    double value = 0;
    const auto [end, error] =
        std::from_chars(bytes.data() + at, bytes.data() + bytes.size(), value);
    if (error != std::errc()) return 0;
    return negative ? -value : value;
}

void formatNumber(double value, int length, int decimals, char* out) {
    length = std::clamp(length, 0, kMaxStrLength);
    decimals = std::clamp(decimals, 0, 15);
    if (!std::isfinite(value)) {
        std::memset(out, '*', static_cast<size_t>(length));
        return;
    }
    // Large enough for the widest double with 15 decimals.
    char text[400];
    for (int places = decimals; places >= 0; --places) {
        // xBase rounds halves away from zero (str(12.5) is 13); printf would round to even.
        const double scale = std::pow(10.0, places);
        double rounded = value;
        if (std::fabs(value * scale) < 4.5e15) rounded = std::round(value * scale) / scale;
        int size = std::snprintf(text, sizeof text, "%.*f", places, rounded);
        if (size < 0 || static_cast<size_t>(size) >= sizeof text) break;
        // A value that rounds to zero shows no sign.
        if (text[0] == '-' && std::strpbrk(text, "123456789") == nullptr) {
            std::memmove(text, text + 1, static_cast<size_t>(size));
            --size;
        }
        if (size <= length) {
            const size_t pad = static_cast<size_t>(length - size);
            std::memset(out, ' ', pad);
            std::memcpy(out + pad, text, static_cast<size_t>(size));
            return;
        }
    }
    std::memset(out, '*', static_cast<size_t>(length));
}

int64_t wholeCount(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<int64_t>(std::clamp(value, -1e12, 1e12));
}

int comparePadded(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    if (common > 0) {
        const int c = std::memcmp(a.data(), b.data(), common);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    for (size_t i = common; i < a.size(); ++i) {
        const auto byte = static_cast<unsigned char>(a[i]);
        if (byte != ' ') return byte < ' ' ? -1 : 1;
    }
    for (size_t i = common; i < b.size(); ++i) {
        const auto byte = static_cast<unsigned char>(b[i]);
        if (byte != ' ') return byte < ' ' ? 1 : -1;
    }
    return 0;
}

void encodeNumericKey(double value, char* out) {
    // -0 and +0 must give the same key; NaN cannot be ordered and keys as 0.
    if (value == 0 || std::isnan(value)) value = 0;
    uint64_t bits = std::bit_cast<uint64_t>(value);
    if (bits >> 63) {
        bits = ~bits;
    } else {
        bits |= uint64_t{1} << 63;
    }
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<char>(bits & 0xFF);
        bits >>= 8;
    }
}

}  // namespace xbase::expr
