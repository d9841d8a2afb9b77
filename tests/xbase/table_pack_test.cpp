// Pack and reindex: deleted records gone, memos compacted, indexes rebuilt. How they fail
// on a failing disk: fault_injection_test.cpp.

#include <gtest/gtest.h>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

const std::vector<std::string> kAll = {"Adams", "Baker", "Cole", "Dunn", "Evans"};
const std::vector<std::string> kKept = {"Adams", "Cole", "Evans"};

// Five entries with memos, Baker and Dunn deleted.
fs::path makeTableToPack(const fs::path& folder) {
    std::vector<Entry> entries;
    for (const auto& n : kAll) entries.push_back({n, "Memo of " + n + std::string(300, '.')});
    const fs::path path = writeEntries(folder, entries);
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    for (const char* gone : {"BAKER", "DUNN"}) {
        EXPECT_TRUE(c.seekExact(gone));
        c.deleteRecord();
    }
    // Replaced memos leave dead space that a pack gives back.
    c.seekExact("ADAMS");
    c.edit();
    c.setMemo(1, "Memo of Adams" + std::string(300, '.'));
    c.setText(0, "Adams");
    c.post();
    return path;
}

TEST(Pack, RemovesDeletedRecordsAndCompactsMemos) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    const auto memoBefore = fs::file_size(dir / "ADDRESS.fpt");
    Cursor c;
    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.last();
    c.pack();
    EXPECT_EQ(c.text(0), "Adams");  // the first record is current
    EXPECT_TRUE(c.bof());
    EXPECT_EQ(c.physicalRecordCount(), 3u);
    EXPECT_EQ(names(c), kKept);
    c.seekExact("EVANS");
    EXPECT_EQ(c.memo(1), "Memo of Evans" + std::string(300, '.'));
    EXPECT_LT(fs::file_size(dir / "ADDRESS.fpt"), memoBefore);
    EXPECT_EQ(fs::file_size(path), 129u + 3 * 49 + 1);
    c.close();
    const auto report = xbase::checkTable(path);
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults[0]);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".pack"), std::string::npos) << entry.path();
}

TEST(Pack, NeedsExclusiveUseAndResetsOtherCursorsOfTheProgram) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    Cursor shared, other;
    shared.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    EXPECT_THROW(shared.pack(), xbase::Error);
    other.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    other.last();
    Cursor exclusive;
    exclusive.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    exclusive.pack();
    exclusive.close();
    other.next();  // its old position means nothing after the renumbering
    EXPECT_EQ(names(other), kKept);
    EXPECT_EQ(names(shared), kKept);
}

TEST(Reindex, RebuildsADamagedIndex) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    // Rename an entry behind the index's back by writing the DBF directly.
    std::string dbf = readBytes(path);
    const size_t adams = 129 + 1;
    ASSERT_EQ(dbf.substr(adams, 5), "Adams");
    dbf.replace(adams, 5, "Zorro");
    writeBytes(path, dbf);
    EXPECT_FALSE(xbase::checkTable(path).ok());
    Cursor c;
    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.reindex();
    EXPECT_EQ(names(c), (std::vector<std::string>{"Cole", "Evans", "Zorro"}));
    c.close();
    EXPECT_TRUE(xbase::checkTable(path).ok());
}

TEST(CreateIndex, NeedsExclusiveUseAndAValidExpression) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    Cursor c;
    c.open(path);
    EXPECT_THROW(c.createIndex("Other", "Name"), xbase::Error);
    c.close();
    c.open(path, openOptions(ShareMode::Exclusive));
    EXPECT_THROW(c.createIndex("Other", "upper(Nmae)"), xbase::Error);
    EXPECT_THROW(c.createIndex("Bad name", "Name"), xbase::Error);
    c.createIndex("ByDate", "dtos(LastDate)+upper(Name)");
    c.createIndex("Plain", "Name");
    EXPECT_EQ(c.tagNames(), (std::vector<std::string>{"ADDRESS", "BYDATE", "PLAIN"}));
    c.selectIndex("plain");
    EXPECT_EQ(names(c), kKept);
    c.close();
    EXPECT_TRUE(xbase::checkTable(path).ok());
}

}  // namespace
