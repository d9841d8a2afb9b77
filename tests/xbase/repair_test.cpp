// Mending damaged tables: an index built again from the records although its file cannot
// be read, and the repair of a table and memo file damaged the ways crashes and bad copies
// damage them, with what was lost reported entry by entry.

#include <gtest/gtest.h>

#include <regex>

#include <xbase/error.h>
#include <xbase/inspect.h>
#include <xbase/repair.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

const std::vector<xbase::TagDefinition> kAddressTag = {{"Address", "upper(Name)", ""}};
constexpr size_t kHeaderLength = 129;  // the address table's: 32 + 3 fields * 32 + 1
constexpr size_t kRecordLength = 49;

fs::path makeBook(const fs::path& folder, int count = 8) {
    std::vector<Entry> entries;
    for (int i = 1; i <= count; ++i)
        entries.push_back(
            {"Name " + std::to_string(i), "Memo of " + std::to_string(i) + std::string(100, '.')});
    return writeEntries(folder, entries);
}

size_t recordAt(uint32_t recno) {
    return kHeaderLength + (recno - 1) * kRecordLength;
}

void patch(const fs::path& path, size_t offset, const std::string& bytes) {
    std::string file = readBytes(path);
    file.replace(offset, bytes.size(), bytes);
    writeBytes(path, file);
}

// Key length 0x7FFF in the header of the tag whose key expression is `expression`.
void damageTagHeader(const fs::path& cdx, const std::string& expression) {
    const size_t pool = readBytes(cdx).find(expression);
    ASSERT_NE(pool, std::string::npos);
    patch(cdx, pool - 512 + 12, "\xFF\x7F");
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

TEST(RebuildIndex, BuildsWhatTheUnreadableIndexStillTellsAndWhatTheCallerKnows) {
    testsupport::TempDir dir;
    const fs::path dbf = makeBook(dir.path());
    {
        Cursor c;
        c.open(dbf, openOptions(ShareMode::Exclusive));
        c.createIndex("ByDate", "dtos(LastDate)+upper(Name)");
    }
    damageTagHeader(dir / "ADDRESS.CDX", "upper(Name)");
    EXPECT_THROW(Cursor().open(dbf), xbase::Error);

    // Another table: the damaged tag is named, with why; the readable one is built.
    xbase::IndexRebuild rebuilt = xbase::rebuildIndex(dbf);
    EXPECT_NE(rebuilt.indexProblem.find("key length 32767"), std::string::npos)
        << rebuilt.indexProblem;
    EXPECT_EQ(rebuilt.rebuiltTags, std::vector<std::string>{"BYDATE"});
    ASSERT_EQ(rebuilt.lostTags.size(), 1u);
    EXPECT_EQ(rebuilt.lostTags[0].name, "ADDRESS");
    EXPECT_NE(rebuilt.lostTags[0].reason.find("the header of tag ADDRESS"), std::string::npos);
    EXPECT_TRUE(xbase::checkTable(dbf).ok());

    // The address book: its tag is known, so nothing is lost, not even when the index
    // cannot tell its tags at all.
    fs::resize_file(dir / "ADDRESS.CDX", 100);
    rebuilt = xbase::rebuildIndex(dbf, kAddressTag);
    EXPECT_TRUE(rebuilt.complete());
    EXPECT_EQ(rebuilt.rebuiltTags, std::vector<std::string>{"ADDRESS"});
    Cursor c;
    c.open(dbf, openOptions(ShareMode::Shared, "ADDRESS"));
    EXPECT_EQ(names(c).size(), 8u);
    c.close();
    EXPECT_TRUE(xbase::checkTable(dbf).ok());

    // Nothing else may hold the table meanwhile.
    c.open(dbf);
    EXPECT_THROW(xbase::rebuildIndex(dbf, kAddressTag), xbase::Error);
}

TEST(Repair, KeepsWholeRecordsClearsMemosThatLeadNowhereAndSaysWhatWasLost) {
    testsupport::TempDir dir;
    const fs::path dbf = makeBook(dir.path());
    const std::string memoOf2 = readBytes(dir / "ADDRESS.fpt");
    patch(dbf, recordAt(2) + 31, "   9999999");  // past the end of the memo file
    patch(dbf, recordAt(3) + 31, "         9");  // the middle of entry 1's memo text
    patch(dbf, recordAt(4), "x");                // a deletion mark that is neither
    // The file ends 20 bytes into entry 7; entry 8 is gone.
    writeBytes(dbf, readBytes(dbf).substr(0, recordAt(7) + 20));
    damageTagHeader(dir / "ADDRESS.CDX", "upper(Name)");
    const std::string damagedTable = readBytes(dbf);
    EXPECT_FALSE(xbase::checkTable(dbf).ok());

    xbase::RepairOptions options;
    options.knownTags = kAddressTag;
    const xbase::RepairReport report = xbase::repairTable(dbf, options);

    EXPECT_TRUE(std::regex_match(report.copyFolder.filename().string(),
                                 std::regex("damaged-\\d{8}-\\d{6}")));
    EXPECT_EQ(report.copyFolder.parent_path(), dir.path());
    EXPECT_EQ(readBytes(report.copyFolder / "ADDRESS.DBF"), damagedTable);
    EXPECT_EQ(readBytes(report.copyFolder / "ADDRESS.fpt"), memoOf2);
    EXPECT_TRUE(fs::exists(report.copyFolder / "ADDRESS.CDX"));

    const std::string changes = joined(report.changes);
    EXPECT_NE(changes.find("entry 7 (Name 7): lost, the file ends 20 bytes into it"),
              std::string::npos)
        << changes;
    EXPECT_NE(changes.find("entry 8: lost"), std::string::npos) << changes;
    EXPECT_NE(
        changes.find(
            "entry 2 (Name 2): its INFO memo was cleared (ADDRESS.fpt is damaged: the memo of "
            "record 2 (block 9999999) lies beyond the end of the file)"),
        std::string::npos)
        << changes;
    EXPECT_NE(
        changes.find("entry 3 (Name 3): its INFO memo was cleared (block 9 is no memo block)"),
        std::string::npos)
        << changes;
    EXPECT_NE(changes.find("entry 4 (Name 4): its deletion mark was damaged"), std::string::npos)
        << changes;
    EXPECT_NE(changes.find("the index could not be read"), std::string::npos) << changes;
    EXPECT_TRUE(report.sound()) << joined(report.remainingFaults);

    Cursor c;
    c.open(dbf, openOptions(ShareMode::Shared, "ADDRESS"));
    EXPECT_EQ(names(c), (std::vector<std::string>{"Name 1", "Name 2", "Name 3", "Name 4", "Name 5",
                                                  "Name 6"}));
    for (c.first(); !c.eof(); c.next()) {
        const bool cleared = c.text(0) == "Name 2" || c.text(0) == "Name 3";
        EXPECT_EQ(c.memo(1).empty(), cleared) << c.text(0);
    }
}

TEST(Repair, AMemoFileMissingOrWithoutHeaderStartsAfresh) {
    for (const bool missing : {true, false}) {
        testsupport::TempDir dir;
        const fs::path dbf = makeBook(dir.path(), 3);
        if (missing)
            fs::remove(dir / "ADDRESS.fpt");
        else
            fs::resize_file(dir / "ADDRESS.fpt", 4);
        const xbase::RepairReport report = xbase::repairTable(dbf);
        const std::string changes = joined(report.changes);
        EXPECT_NE(changes.find(missing ? "the memo file ADDRESS.fpt was missing"
                                       : "the memo header is missing"),
                  std::string::npos)
            << changes;
        for (int i = 1; i <= 3; ++i)
            EXPECT_NE(changes.find("entry " + std::to_string(i) + " (Name " + std::to_string(i) +
                                   "): its INFO memo was cleared"),
                      std::string::npos)
                << changes;
        EXPECT_TRUE(report.sound()) << joined(report.remainingFaults);
        EXPECT_EQ(fs::exists(report.copyFolder / "ADDRESS.fpt"), !missing);
    }
}

TEST(Repair, MemosPastTheMemoFilesCountOfUsedBlocksAreKept) {
    testsupport::TempDir dir;
    const fs::path dbf = makeBook(dir.path(), 3);
    patch(dir / "ADDRESS.fpt", 0, std::string("\0\0\0\x08", 4));  // next free block: the first
    EXPECT_FALSE(xbase::checkTable(dbf).ok());
    const xbase::RepairReport report = xbase::repairTable(dbf);
    EXPECT_EQ(report.changes,
              std::vector<std::string>{"the memo file's count of used blocks was raised over "
                                       "memos that lay past it"});
    EXPECT_TRUE(report.sound()) << joined(report.remainingFaults);
    Cursor c;
    c.open(dbf);
    EXPECT_EQ(c.memo(1), "Memo of 1" + std::string(100, '.'));
}

TEST(Repair, AHeaderThatCannotBeReadIsLeftAloneAndUncopied) {
    testsupport::TempDir dir;
    const fs::path dbf = makeBook(dir.path(), 3);
    patch(dbf, 10, std::string("\x07\x00", 2));  // a record length the fields contradict
    const std::string before = readBytes(dbf);
    EXPECT_THROW(xbase::repairTable(dbf), xbase::Error);
    EXPECT_EQ(readBytes(dbf), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
