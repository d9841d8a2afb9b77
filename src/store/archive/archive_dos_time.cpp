#include "archive_dos_time.h"

namespace store {

namespace {

DosDateTime pack(int year, int month, int day, int hour, int minute, int second) {
    DosDateTime stamp;
    stamp.date = static_cast<std::uint16_t>(day | month << 5 | (year - 1980) << 9);
    stamp.time = static_cast<std::uint16_t>(second / 2 | minute << 5 | hour << 11);
    return stamp;
}

}  // namespace

DosDateTime toDosDateTime(std::time_t moment) {
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &moment) != 0) return pack(1980, 1, 1, 0, 0, 0);
#else
    if (localtime_r(&moment, &local) == nullptr) return pack(1980, 1, 1, 0, 0, 0);
#endif
    const int year = local.tm_year + 1900;
    if (year < 1980) return pack(1980, 1, 1, 0, 0, 0);
    if (year > 2107) return pack(2107, 12, 31, 23, 59, 58);
    // A leap second (tm_sec 60) would overflow the five bits of the seconds field.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return pack(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second);
}

DosFields fieldsOf(DosDateTime stamp) {
    return DosFields{
        1980 + (stamp.date >> 9), (stamp.date >> 5) & 0x0f, stamp.date & 0x1f,
        stamp.time >> 11,         (stamp.time >> 5) & 0x3f, (stamp.time & 0x1f) * 2,
    };
}

}  // namespace store
