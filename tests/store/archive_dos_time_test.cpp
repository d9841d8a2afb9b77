// The DOS stamp that decides whether an entry is up to date, and the letter-case rule for
// names. The time zone is fixed for these tests, written out so no zone database is needed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "archive_disk_file.h"
#include "archive_dos_time.h"

namespace {

using store::DosFields;
using store::fieldsOf;
using store::toDosDateTime;

class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* current = std::getenv("TZ")) saved_ = current;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

  private:
    std::optional<std::string> saved_;
};

std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm moment{};
    moment.tm_year = year - 1900;
    moment.tm_mon = month - 1;
    moment.tm_mday = day;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_sec = second;
    return timegm(&moment);
}

TEST(DosDateTime, IsLocalWallClockTimeInTwoSecondSteps) {
    const ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // Winter and summer offsets both apply.
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(2024, 1, 10, 12, 0, 0))),
              (DosFields{2024, 1, 10, 13, 0, 0}));
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(2024, 7, 10, 12, 0, 0))),
              (DosFields{2024, 7, 10, 14, 0, 0}));
    // An odd second rounds down, so two files a second apart may share a stamp.
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(2024, 7, 10, 21, 59, 59))),
              (DosFields{2024, 7, 10, 23, 59, 58}));
    EXPECT_EQ(toDosDateTime(utc(2024, 7, 10, 12, 0, 0)), toDosDateTime(utc(2024, 7, 10, 12, 0, 1)));
    EXPECT_NE(toDosDateTime(utc(2024, 7, 10, 12, 0, 1)), toDosDateTime(utc(2024, 7, 10, 12, 0, 2)));
    // New Year's Eve in UTC is already the next year here.
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(2023, 12, 31, 23, 30, 0))),
              (DosFields{2024, 1, 1, 0, 30, 0}));
}

TEST(DosDateTime, PacksAsTheZipFormatSays) {
    const ZoneGuard zone("UTC0");
    const store::DosDateTime stamp = toDosDateTime(utc(2024, 5, 6, 7, 8, 10));
    EXPECT_EQ(stamp.date, (44 << 9) | (5 << 5) | 6);
    EXPECT_EQ(stamp.time, (7 << 11) | (8 << 5) | 5);
}

TEST(DosDateTime, MomentsOutsideItsYearsTakeTheNearestStamp) {
    const ZoneGuard zone("UTC0");
    EXPECT_EQ(fieldsOf(toDosDateTime(0)), (DosFields{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(1979, 12, 31, 23, 59, 59))),
              (DosFields{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(1980, 1, 1, 0, 0, 0))), (DosFields{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(2107, 12, 31, 23, 59, 59))),
              (DosFields{2107, 12, 31, 23, 59, 58}));
    EXPECT_EQ(fieldsOf(toDosDateTime(utc(2200, 6, 1, 0, 0, 0))),
              (DosFields{2107, 12, 31, 23, 59, 58}));
}

TEST(EntryNames, CompareFoldingOnlyTheLettersAToZ) {
    EXPECT_TRUE(store::equalIgnoringAsciiCase("ADDRESS.DBF", "address.dbf"));
    EXPECT_TRUE(store::equalIgnoringAsciiCase("Address.Fpt", "ADDRESS.fpt"));
    EXPECT_FALSE(store::equalIgnoringAsciiCase("ADDRESS.DBF", "ADDRESS.DBF "));
    EXPECT_FALSE(store::equalIgnoringAsciiCase("ADDRESS.DBF", "ADDRESS_DBF"));
    // Letters beyond z keep their case: É (UTF-8) is not é.
    EXPECT_FALSE(store::equalIgnoringAsciiCase("\xc3\x89TAT.DBF", "\xc3\xa9tat.dbf"));
    // '@' and '`' sit next to 'A' and 'a' but are no letters.
    EXPECT_FALSE(store::equalIgnoringAsciiCase("@", "`"));
}

}  // namespace
