// Index keys: their lengths, their bytes, and that they sort the way the values do.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "expression_test_record.h"
#include "expression_values.h"
#include "table_fixture.h"
#include "xbase/error.h"

namespace {

using expressiontest::MemoryRecord;
using tabletest::littleEndian;
using tabletest::readBytes;
using xbase::Expression;

MemoryRecord keyRecord() {
    return MemoryRecord({{"NAME", 'C', 30},
                         {"INFO", 'M', 10},
                         {"LASTDATE", 'D', 8},
                         {"AGE", 'N', 5, 1},
                         {"ACTIVE", 'L', 1}});
}

std::string keyOf(const std::string& text, const MemoryRecord& record) {
    std::string key;
    Expression::compile(text, record).evaluateKey(record, key);
    return key;
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) out += static_cast<char>(v);
    return out;
}

TEST(ExpressionKey, LengthsFollowTheResultWidth) {
    const MemoryRecord record = keyRecord();
    const std::vector<std::pair<const char*, int>> cases = {
        {"upper(Name)", 30},
        {"Name", 30},
        {"trim(Name)", 30},  // the widest it can be
        {"lower(alltrim(Name))", 30},
        {"substr(Name, 1, 10)", 10},
        {"substr(Name, 5)", 26},
        {"substr(Name, 25, 10)", 6},
        {"substr(Name, 1, recno())", 30},
        {"left(Name, 5)", 5},
        {"left(Name, 50)", 30},
        {"right(Name, 4)", 4},
        {"upper(Name) + dtos(LastDate)", 38},
        {"Name - \"x\"", 31},
        {"\"abc\"", 3},
        {"str(Age, 5)", 5},
        {"str(Age, 7, 2)", 7},
        {"str(Age)", 10},
        {"dtos(LastDate)", 8},
        {"left(Info, 20)", 20},
        {"iif(Active, Name, \"short\")", 30},
        {"Age", 8},
        {"Age * 2", 8},
        {"recno()", 8},
        {"LastDate", 8},
        {"LastDate + 1", 8},
        {"Active", 1},
        {"deleted()", 1},
        {"Name = \"x\"", 1},
        {"Info", 0},  // a memo has no fixed width: not usable as a key
        {"upper(Name) + Info", 0},
    };
    for (const auto& [text, length] : cases) {
        SCOPED_TRACE(text);
        const Expression expression = Expression::compile(text, record);
        EXPECT_EQ(expression.keyLength(), length);
        std::string key = "previous contents";
        expression.evaluateKey(record, key);
        EXPECT_EQ(key.size(), static_cast<size_t>(length));
    }
}

TEST(ExpressionKey, TextKeysArePaddedOrCut) {
    MemoryRecord record = keyRecord();
    record.set("NAME", "Smith, Anna").set("LASTDATE", "20240115");
    EXPECT_EQ(keyOf("upper(Name)", record), "SMITH, ANNA" + std::string(19, ' '));
    EXPECT_EQ(keyOf("trim(Name)", record), "Smith, Anna" + std::string(19, ' '));
    EXPECT_EQ(keyOf("upper(Name) + dtos(LastDate)", record),
              "SMITH, ANNA" + std::string(19, ' ') + "20240115");
    EXPECT_EQ(keyOf("upper(left(Name, 3))", record), "SMI");
    EXPECT_EQ(keyOf("substr(Name, 25, 10)", record), std::string(6, ' '));
    record.set("NAME", "");
    EXPECT_EQ(keyOf("upper(Name)", record), std::string(30, ' '));

    const Expression text = Expression::compile("upper(Name)", record);
    EXPECT_EQ(text.keyPadByte(), ' ');
    EXPECT_EQ(Expression::compile("Age", record).keyPadByte(), 0);
    EXPECT_EQ(Expression::compile("LastDate", record).keyPadByte(), 0);
    EXPECT_EQ(Expression::compile("Active", record).keyPadByte(), 0);
}

TEST(ExpressionKey, LogicalKeys) {
    MemoryRecord record = keyRecord();
    record.set("ACTIVE", "T");
    EXPECT_EQ(keyOf("Active", record), "T");
    record.set("ACTIVE", "F");
    EXPECT_EQ(keyOf("Active", record), "F");
    EXPECT_EQ(keyOf("NOT Active", record), "T");
}

TEST(ExpressionKey, NumericKeyBytes) {
    MemoryRecord record = keyRecord();
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"0", bytes({0x80, 0, 0, 0, 0, 0, 0, 0})},
        {"-0", bytes({0x80, 0, 0, 0, 0, 0, 0, 0})},
        {"1", bytes({0xBF, 0xF0, 0, 0, 0, 0, 0, 0})},
        {"-1", bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"2.5", bytes({0xC0, 0x04, 0, 0, 0, 0, 0, 0})},
        {"1 / 0", bytes({0x80, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const auto& [text, key] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(keyOf(text, record), key);
    }
    record.set("AGE", "42.5");
    EXPECT_EQ(keyOf("Age", record), bytes({0xC0, 0x45, 0x40, 0, 0, 0, 0, 0}));
}

TEST(ExpressionKey, NumericKeysSortLikeTheNumbers) {
    std::vector<double> values = {-std::numeric_limits<double>::infinity(),
                                  -1e300,
                                  -123456.75,
                                  -2,
                                  -1,
                                  -0.5,
                                  -1e-300,
                                  0,
                                  1e-300,
                                  0.5,
                                  1,
                                  2,
                                  10,
                                  123456.75,
                                  1e300,
                                  std::numeric_limits<double>::infinity()};
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> spread(-1e6, 1e6);
    for (int i = 0; i < 2000; ++i) values.push_back(spread(random));
    for (int i = 0; i < 200; ++i) values.push_back(std::ldexp(spread(random), i - 100));

    std::vector<std::pair<std::string, double>> keyed;
    for (const double value : values) {
        std::string key(8, '\0');
        xbase::expr::encodeNumericKey(value, key.data());
        keyed.emplace_back(key, value);
    }
    std::sort(keyed.begin(), keyed.end());  // std::string compares bytes unsigned
    for (size_t i = 1; i < keyed.size(); ++i) {
        ASSERT_LE(keyed[i - 1].second, keyed[i].second)
            << "keys of " << keyed[i - 1].second << " and " << keyed[i].second;
    }
}

TEST(ExpressionKey, DateKeysAreJulianDaysAndSortLikeTheDates) {
    MemoryRecord record = keyRecord();
    record.set("LASTDATE", "20000101");
    std::string expected(8, '\0');
    xbase::expr::encodeNumericKey(2451545, expected.data());
    EXPECT_EQ(keyOf("LastDate", record), expected);

    const std::vector<const char*> dates = {"        ", "00010101", "16000229", "18991231",
                                            "19700101", "19991231", "20000101", "20240228",
                                            "20240229", "20240301", "99991231"};
    std::vector<std::string> keys;
    for (const char* date : dates) {
        record.set("LASTDATE", date);
        keys.push_back(keyOf("LastDate", record));
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    EXPECT_EQ(keys.front(), bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));  // the empty date is day 0
}

TEST(ExpressionKey, JulianDaysRoundTrip) {
    using xbase::expr::calendarDate;
    using xbase::expr::julianDay;
    EXPECT_EQ(julianDay(2000, 1, 1), 2451545);
    EXPECT_EQ(julianDay(1970, 1, 1), 2440588);
    EXPECT_EQ(julianDay(1, 1, 1), xbase::expr::kFirstJulianDay);
    EXPECT_EQ(julianDay(9999, 12, 31), xbase::expr::kLastJulianDay);
    int year = 0, month = 0, day = 0;
    for (int64_t julian = xbase::expr::kFirstJulianDay; julian <= xbase::expr::kLastJulianDay;
         julian += 37) {
        ASSERT_TRUE(calendarDate(julian, year, month, day));
        ASSERT_EQ(julianDay(year, month, day), julian);
    }
    EXPECT_FALSE(calendarDate(xbase::expr::kFirstJulianDay - 1, year, month, day));
    EXPECT_FALSE(calendarDate(xbase::expr::kLastJulianDay + 1, year, month, day));
}

// The address books written by another FoxPro-format engine list their names in the
// order of that engine's upper(Name) index; our keys must give the same order.
void expectForeignOrder(const std::string& folder) {
    const std::string base = std::string(CARDHOLD_TEST_DATA_DIR) + "/foreign/" + folder;
    const std::string table = readBytes(base + "/ADDRESS.DBF");
    ASSERT_GT(table.size(), 32u);
    const unsigned count = littleEndian(table, 4, 4);
    const unsigned headerLength = littleEndian(table, 8, 2);
    const unsigned recordLength = littleEndian(table, 10, 2);
    ASSERT_GE(table.size(), headerLength + size_t{count} * recordLength);

    MemoryRecord record = MemoryRecord::address();
    const Expression expression = Expression::compile("upper(Name)", record);
    ASSERT_EQ(expression.keyLength(), 30);
    struct Entry {
        std::string key;
        unsigned recno;
        std::string name;
    };
    std::vector<Entry> entries;
    for (unsigned r = 0; r < count; ++r) {
        const std::string row = table.substr(headerLength + size_t{r} * recordLength, recordLength);
        if (row[0] == '*') continue;
        record.setRaw("NAME", row.substr(1, 30));
        Entry entry{std::string(), r + 1, row.substr(1, 30)};
        expression.evaluateKey(record, entry.key);
        entry.name.erase(entry.name.find_last_not_of(' ') + 1);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.recno < b.recno;
    });

    std::vector<std::string> expected;
    std::istringstream lines(readBytes(base + ".names"));
    for (std::string line; std::getline(lines, line);) expected.push_back(line);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(entries[i].name, expected[i]) << "at " << i;
    }
}

TEST(ExpressionKey, OrderMatchesAnotherEnginesIndex) {
    expectForeignOrder("inc250");
    expectForeignOrder("bulk3000");
}

}  // namespace
