// Address books written by another FoxPro-format engine: read them, walk their index
// in the same order that engine gives, and change them without breaking anything.

#include <gtest/gtest.h>

#include <xbase/inspect.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

class ForeignTable : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        const fs::path source = fs::path(CARDHOLD_TEST_DATA_DIR) / "foreign" / GetParam();
        for (const auto& entry : fs::directory_iterator(source))
            fs::copy(entry.path(), dir / entry.path().filename().string());
        expected = readLines(fs::path(CARDHOLD_TEST_DATA_DIR) / "foreign" /
                             (std::string(GetParam()) + ".names"));
        path = dir / "ADDRESS.DBF";
    }
    testsupport::TempDir dir;
    fs::path path;
    std::vector<std::string> expected;
};

TEST_P(ForeignTable, IndexWalkMatchesTheOtherEngine) {
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "address"));
    EXPECT_EQ(names(c), expected);
    EXPECT_EQ(c.recordCount(), expected.size());
    EXPECT_EQ(c.keyLength(), 30);
    EXPECT_EQ(c.codePage(), 1252);  // unmarked: taken as Windows ANSI
    // Backwards gives the same, reversed.
    std::vector<std::string> backwards;
    for (c.last(); !c.bof(); c.prior()) backwards.push_back(c.text(0));
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, expected);
}

TEST_P(ForeignTable, MemosAndDatesRead) {
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    size_t memos = 0, longest = 0, dates = 0;
    for (c.first(); !c.eof(); c.next()) {
        const std::string memo = c.memo(1);
        EXPECT_EQ(memo.size(), c.memoSize(1));
        memos += memo.empty() ? 0 : 1;
        longest = std::max(longest, memo.size());
        dates += c.date(2).empty() ? 0 : 1;
    }
    EXPECT_GT(memos, 0u);
    EXPECT_GT(longest, 128u);  // one memo spans several 64-byte blocks
    EXPECT_GT(dates, 0u);
    EXPECT_LT(dates, expected.size());  // one date is blank
    const auto report = xbase::checkTable(path);
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults[0]);
}

TEST_P(ForeignTable, ChangesKeepTheIndexSound) {
    {
        Cursor c;
        c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
        addEntry(c, "Aaron, First", "new memo");
        addEntry(c, "zz last", "");
        ASSERT_TRUE(c.seekExact("BAKER, AL"));
        c.edit();
        c.setText(0, "Moved, Baker");
        c.setMemo(1, std::string(1000, 'b'));
        c.post();
        c.first();
        c.next();
        c.deleteRecord();
    }
    const auto report = xbase::checkTable(path);
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults[0]);
    Cursor c;
    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    const auto before = names(c);
    c.pack();
    EXPECT_EQ(names(c), before);
    EXPECT_TRUE(c.seekExact("MOVED, BAKER"));
    EXPECT_EQ(c.memo(1), std::string(1000, 'b'));
}

INSTANTIATE_TEST_SUITE_P(Files, ForeignTable, ::testing::Values("inc250", "bulk3000"));

}  // namespace
