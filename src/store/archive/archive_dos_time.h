#pragma once
// ZIP entries carry an MS-DOS date and time: local wall-clock time in two-second steps,
// years 1980 to 2107. Whether an entry is up to date is decided on this stamp.

#include <cstdint>
#include <ctime>

namespace store {

struct DosDateTime {
    std::uint16_t date = 0;  // day | month << 5 | (year - 1980) << 9
    std::uint16_t time = 0;  // seconds / 2 | minute << 5 | hour << 11

    friend bool operator==(const DosDateTime&, const DosDateTime&) = default;
};

// The stamp of a moment in the local time zone. Odd seconds round down, as libzip writes
// them; moments before 1980 or after 2107 take the nearest stamp there is.
DosDateTime toDosDateTime(std::time_t moment);

struct DosFields {
    int year, month, day, hour, minute, second;

    friend bool operator==(const DosFields&, const DosFields&) = default;
};

DosFields fieldsOf(DosDateTime stamp);

}  // namespace store
