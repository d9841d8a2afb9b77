// Damaged files give the engine's error with a readable text, never a crash, and the
// engine never writes into a file it could not read.

#include <gtest/gtest.h>

#include <random>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

fs::path makeFilledTable(const fs::path& folder, int count = 40) {
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back({"Name " + std::to_string(1000 + i), "Memo " + std::to_string(i)});
    return writeEntries(folder, entries);
}

// Opens and walks the table; returns the error text, or "" when everything worked.
std::string openAndWalk(const fs::path& path) {
    try {
        Cursor c;
        c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
        for (c.first(); !c.eof(); c.next()) c.memo(1);
        c.recordCount();
    } catch (const xbase::Error& e) {
        return e.what();
    }
    return {};
}

TEST(Damage, TruncatedTableIsRefused) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path());
    fs::resize_file(path, fs::file_size(path) - 100);
    const std::string before = readBytes(path);
    const std::string error = openAndWalk(path);
    EXPECT_NE(error.find("ADDRESS.DBF is damaged"), std::string::npos) << error;
    EXPECT_NE(error.find("40 records"), std::string::npos) << error;
    EXPECT_EQ(readBytes(path), before);
    fs::resize_file(path, 10);
    EXPECT_NE(openAndWalk(path).find("damaged"), std::string::npos);
}

// Another program cuts the files short while the table is open: the reader's views of the
// files lose their pages, and reading there gives the damage error instead of a crash.
TEST(Damage, FilesCutShortWhileOpenAreReportedNotFatal) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 400);
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    for (c.first(); !c.eof(); c.next()) c.memo(1);
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt"}) {
        fs::resize_file(dir.path() / name, 4096);
        std::string error;
        try {
            for (c.first(); !c.eof(); c.next()) c.memo(1);
        } catch (const xbase::Error& e) {
            error = e.what();
        }
        EXPECT_NE(error.find("is damaged"), std::string::npos) << name << ": " << error;
    }
}

TEST(Damage, BadHeaderValuesAreRefused) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 3);
    const std::string good = readBytes(path);
    struct Patch {
        size_t offset;
        char value;
    };
    for (Patch patch : {Patch{0, '\x42'}, Patch{8, '\x05'}, Patch{10, '\x07'}, Patch{48, '\x00'}}) {
        std::string bad = good;
        bad[patch.offset] = patch.value;
        writeBytes(path, bad);
        EXPECT_FALSE(openAndWalk(path).empty()) << "patch at " << patch.offset;
    }
}

TEST(Damage, MemoPointerPastTheEndNamesTheRecord) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 3);
    std::string dbf = readBytes(path);
    const size_t pointer = 129 + 49 + 31;  // record 2's INFO
    dbf.replace(pointer, 10, "    999999");
    writeBytes(path, dbf);
    const std::string error = openAndWalk(path);
    EXPECT_NE(error.find("ADDRESS.fpt is damaged"), std::string::npos) << error;
    EXPECT_NE(error.find("record 2"), std::string::npos) << error;
    const auto report = xbase::checkTable(path);
    ASSERT_EQ(report.faults.size(), 1u);
    EXPECT_NE(report.faults[0].find("record 2"), std::string::npos);
}

TEST(Damage, MemoLengthPastTheEndIsReported) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 3);
    std::string fpt = readBytes(dir / "ADDRESS.fpt");
    fpt[512 + 4] = '\x7F';  // the first memo claims two gigabytes
    writeBytes(dir / "ADDRESS.fpt", fpt);
    EXPECT_NE(openAndWalk(path).find("more than the file holds"), std::string::npos);
}

TEST(Damage, MissingMemoFileIsRefusedClearly) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 3);
    fs::remove(dir / "ADDRESS.fpt");
    EXPECT_NE(openAndWalk(path).find("memo file ADDRESS.fpt"), std::string::npos);
}

TEST(Damage, IndexNodeOutOfRangeIsAnErrorAndCheckFindsIt) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path());
    std::string cdx = readBytes(dir / "ADDRESS.CDX");
    // The tag header's root pointer (the directory entry leads to it) points far away.
    const size_t tagHeader = 0x400 + 0x200;
    ASSERT_GT(cdx.size(), tagHeader + 4);
    const std::string goodCdx = cdx;
    for (uint32_t root : {0x7FFFFE00u, 0x12345u}) {
        cdx = goodCdx;
        for (int i = 0; i < 4; ++i) cdx[tagHeader + i] = static_cast<char>(root >> (8 * i));
        writeBytes(dir / "ADDRESS.CDX", cdx);
        EXPECT_FALSE(openAndWalk(path).empty());
        EXPECT_FALSE(xbase::checkTable(path).ok());
    }
}

TEST(Damage, RandomlyDamagedIndexNeverCrashes) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 400);
    const std::string good = readBytes(dir / "ADDRESS.CDX");
    std::mt19937 rng(7);
    int failures = 0;
    for (int round = 0; round < 200; ++round) {
        std::string bad = good;
        const int hits = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < hits; ++i) bad[rng() % bad.size()] = static_cast<char>(rng());
        writeBytes(dir / "ADDRESS.CDX", bad);
        if (!openAndWalk(path).empty()) ++failures;
        xbase::checkTable(path);  // must return, whatever it finds
    }
    SUCCEED() << failures << " of 200 damaged indexes refused";
}

TEST(Damage, RandomlyDamagedTableNeverCrashes) {
    testsupport::TempDir dir;
    const fs::path path = makeFilledTable(dir.path(), 30);
    const std::string goodDbf = readBytes(path);
    const std::string goodFpt = readBytes(dir / "ADDRESS.fpt");
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::string dbf = goodDbf, fpt = goodFpt;
        for (int i = 0; i < 4; ++i) dbf[rng() % dbf.size()] = static_cast<char>(rng());
        for (int i = 0; i < 4; ++i) fpt[rng() % fpt.size()] = static_cast<char>(rng());
        writeBytes(path, dbf);
        writeBytes(dir / "ADDRESS.fpt", fpt);
        openAndWalk(path);
        xbase::checkTable(path);
    }
}

}  // namespace
