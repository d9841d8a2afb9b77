#pragma once
// The clock's present moment, broken down in the local time zone.

#include <ctime>

namespace xbase {

inline std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

}  // namespace xbase
