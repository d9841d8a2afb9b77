// The table engine through its cursor: files, fields, order, navigation, filters,
// seeks and editing.

#include <gtest/gtest.h>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::Error;
using xbase::ErrorKind;
using xbase::ShareMode;

namespace {

TEST(FieldList, ParsesTheAddressSchema) {
    const auto fields = xbase::parseFieldList(kAddressFieldList);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0], (xbase::FieldInfo{"NAME", 'C', 30, 0}));
    EXPECT_EQ(fields[1], (xbase::FieldInfo{"INFO", 'M', 10, 0}));
    EXPECT_EQ(fields[2], (xbase::FieldInfo{"LASTDATE", 'D', 8, 0}));
    const auto more = xbase::parseFieldList("Amount,Numeric,10,2;Paid,Logical");
    EXPECT_EQ(more[0], (xbase::FieldInfo{"AMOUNT", 'N', 10, 2}));
    EXPECT_EQ(more[1], (xbase::FieldInfo{"PAID", 'L', 1, 0}));
}

TEST(FieldList, RefusesBadDefinitions) {
    for (const char* bad :
         {"", "Name", "Name,Char", "Name,Char,0", "Name,Char,300", "Name,Blob",
          "VeryLongFieldName,Date", "A,Date;a,Date", "Bad-Name,Date", "N,Numeric,5,9"}) {
        try {
            xbase::parseFieldList(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidArgument) << bad;
        }
    }
}

TEST(CreateTable, WritesAFoxProHeaderOtherToolsRead) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    const std::string dbf = readBytes(path);
    ASSERT_GE(dbf.size(), 130u);
    const auto* p = reinterpret_cast<const unsigned char*>(dbf.data());
    EXPECT_EQ(p[0], 0xF5);
    EXPECT_EQ(littleEndian(dbf, 8, 2), 32u + 32 * 3 + 1);  // no backlink
    EXPECT_EQ(littleEndian(dbf, 10, 2), 49u);
    EXPECT_EQ(p[28], 0x01);  // structural index
    EXPECT_EQ(p[29], 0x03);  // Windows-1252
    EXPECT_EQ(p[128], 0x0D);
    EXPECT_EQ(dbf.back(), '\x1A');
    const xbase::Date today = xbase::Date::today();
    EXPECT_EQ(p[1] + 1900, today.year);
    EXPECT_EQ(p[2], today.month);
    EXPECT_EQ(p[3], today.day);
    const std::string fpt = readBytes(dir / "ADDRESS.fpt");
    ASSERT_EQ(fpt.size(), 512u);
    EXPECT_EQ(static_cast<unsigned char>(fpt[3]), 8);   // next free block
    EXPECT_EQ(static_cast<unsigned char>(fpt[7]), 64);  // block size
    EXPECT_TRUE(fs::exists(dir / "ADDRESS.CDX"));
    EXPECT_THROW(makeAddressTable(dir.path()), Error);
}

TEST(CreateTable, FindsFilesWhateverTheirCase) {
    testsupport::TempDir dir;
    makeAddressTable(dir.path());
    fs::rename(dir / "ADDRESS.DBF", dir / "address.dbf");
    fs::rename(dir / "ADDRESS.fpt", dir / "Address.FPT");
    EXPECT_TRUE(xbase::tableExists(dir.path(), "ADDRESS"));
    EXPECT_TRUE(xbase::tableExists(dir.path(), "Address.dbf"));
    EXPECT_FALSE(xbase::tableExists(dir.path(), "OTHER"));
    Cursor c;
    c.open(dir / "ADDRESS.DBF", openOptions(ShareMode::Shared, "address"));
    addEntry(c, "Adams", "memo text");
    c.first();
    EXPECT_EQ(c.memo(c.requireField("info")), "memo text");
}

TEST(Fields, RoundTripEveryKind) {
    testsupport::TempDir dir;
    const fs::path path = dir / "T.DBF";
    xbase::createTable(path, xbase::parseFieldList(
                                 "Name,Char,10;Note,Memo;Born,Date;Amount,Numeric,9,2;Ok,Logical"));
    const std::string longMemo(5000, 'x');
    {
        Cursor c;
        c.open(path);
        c.append();
        c.setText(0, "Much longer than ten");
        c.setMemo(1, "line one\r\nline two");
        c.setDate(2, xbase::Date{1999, 12, 31});
        c.setNumber(3, -1234.5);
        c.setLogical(4, true);
        c.post();
        c.append();
        c.setText(0, "Second");
        c.setMemo(1, longMemo);
        c.post();
    }
    Cursor c;
    c.open(path);
    c.first();
    EXPECT_EQ(c.text(0), "Much longe");
    EXPECT_EQ(c.rawText(0), "Much longe");
    EXPECT_EQ(c.memo(1), "line one\r\nline two");
    EXPECT_EQ(c.memoSize(1), 18u);
    EXPECT_EQ(c.date(2), (xbase::Date{1999, 12, 31}));
    EXPECT_DOUBLE_EQ(c.number(3), -1234.5);
    EXPECT_EQ(c.rawText(3), " -1234.50");
    EXPECT_TRUE(c.logical(4));
    c.next();
    EXPECT_EQ(c.text(0), "Second");
    EXPECT_EQ(c.memo(1), longMemo);
    EXPECT_TRUE(c.date(2).empty());
    EXPECT_EQ(c.rawText(2), "        ");
    EXPECT_FALSE(c.logical(4));

    // Clearing and overflowing.
    c.edit();
    c.clear(1);
    EXPECT_THROW(c.setNumber(3, 1e12), Error);
    c.post();
    EXPECT_EQ(c.memo(1), "");
    EXPECT_EQ(c.memoSize(1), 0u);
}

TEST(Fields, ShowTheRecordBeingEdited) {
    testsupport::TempDir dir;
    Cursor c;
    c.open(makeAddressTable(dir.path()), openOptions(ShareMode::Shared, "ADDRESS"));
    addEntry(c, "Baker", "old");
    c.edit();
    c.setText(0, "Baker, Al");
    c.setMemo(1, "new");
    EXPECT_EQ(c.text(0), "Baker, Al");
    EXPECT_EQ(c.memo(1), "new");
    c.cancel();
    EXPECT_EQ(c.text(0), "Baker");
    EXPECT_EQ(c.memo(1), "old");
    EXPECT_EQ(c.editState(), xbase::EditState::Browse);
}

TEST(Navigation, EmptyTableIsAtBothEnds) {
    testsupport::TempDir dir;
    Cursor c;
    c.open(makeAddressTable(dir.path()));
    EXPECT_TRUE(c.bof());
    EXPECT_TRUE(c.eof());
    EXPECT_TRUE(c.isEmpty());
    EXPECT_EQ(c.recno(), 0u);
    c.next();
    c.prior();
    c.last();
    EXPECT_TRUE(c.bof() && c.eof());
    EXPECT_EQ(c.recordCount(), 0u);
    EXPECT_EQ(c.text(0), "");
}

TEST(Navigation, WalksBothWaysAndHidesDeletedRecords) {
    testsupport::TempDir dir;
    Cursor c;
    c.open(makeAddressTable(dir.path()));
    for (const char* n : {"Cole", "Adams", "Baker", "Dunn"}) addEntry(c, n);
    EXPECT_EQ(names(c), (std::vector<std::string>{"Cole", "Adams", "Baker", "Dunn"}));
    c.selectIndex("ADDRESS");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker", "Cole", "Dunn"}));

    c.first();
    EXPECT_TRUE(c.bof());
    EXPECT_FALSE(c.eof());
    c.prior();
    EXPECT_TRUE(c.bof());
    EXPECT_EQ(c.text(0), "Adams");
    c.last();
    EXPECT_TRUE(c.eof());
    EXPECT_EQ(c.text(0), "Dunn");
    c.next();
    EXPECT_EQ(c.text(0), "Dunn");
    c.prior();
    EXPECT_FALSE(c.eof());
    EXPECT_EQ(c.text(0), "Cole");

    // Deleting moves on to the next entry; at the end, to the one before.
    c.deleteRecord();
    EXPECT_EQ(c.text(0), "Dunn");
    c.deleteRecord();
    EXPECT_EQ(c.text(0), "Baker");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker"}));
    EXPECT_EQ(c.recordCount(), 2u);
    EXPECT_EQ(c.physicalRecordCount(), 4u);
    c.selectIndex("");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker"}));
}

TEST(Navigation, OrderSwitchKeepsTheCurrentRecordAndBookmarksCompare) {
    testsupport::TempDir dir;
    Cursor c;
    c.open(makeAddressTable(dir.path()), openOptions(ShareMode::Shared, "ADDRESS"));
    for (const char* n : {"Cole", "Adams", "Baker"}) addEntry(c, n);
    c.first();
    c.next();
    ASSERT_EQ(c.text(0), "Baker");
    const xbase::Bookmark baker = c.bookmark();
    c.selectIndex("");
    EXPECT_EQ(c.text(0), "Baker");
    c.next();
    EXPECT_EQ(c.text(0), "Baker");  // Baker is the last in natural order
    EXPECT_TRUE(c.eof());
    c.selectIndex("address");
    c.next();
    EXPECT_EQ(c.text(0), "Cole");
    const xbase::Bookmark cole = c.bookmark();
    EXPECT_LT(cole, baker);  // record numbers: Cole 1, Baker 3
    EXPECT_TRUE(c.gotoBookmark(baker));
    EXPECT_EQ(c.text(0), "Baker");
    c.next();
    EXPECT_EQ(c.text(0), "Cole");
    EXPECT_FALSE(c.gotoBookmark(xbase::Bookmark{99}));
    EXPECT_EQ(c.text(0), "Cole");
    EXPECT_THROW(c.selectIndex("NOSUCH"), Error);
}

TEST(Navigation, RefusesToMoveWhileEditing) {
    testsupport::TempDir dir;
    Cursor c;
    c.open(makeAddressTable(dir.path()));
    addEntry(c, "Adams");
    c.edit();
    EXPECT_THROW(c.next(), Error);
    EXPECT_THROW(c.first(), Error);
    c.post();
    EXPECT_NO_THROW(c.next());
}

class SeekTest : public ::testing::Test {
  protected:
    void SetUp() override {
        c.open(makeAddressTable(dir.path()), openOptions(ShareMode::Shared, "ADDRESS"));
        for (const char* n : {"Smithson", "SMITH", "Adams", "Baker", "Cole", "smith"})
            addEntry(c, n);
    }
    testsupport::TempDir dir;
    Cursor c;
};

TEST_F(SeekTest, ExactSeekComparesTheWholePaddedKey) {
    c.first();
    EXPECT_TRUE(c.seekExact("SMITH"));
    EXPECT_EQ(c.text(0), "SMITH");  // of equal keys, the lowest record number
    EXPECT_EQ(c.recno(), 2u);
    EXPECT_TRUE(c.seekExact("SMITHSON"));
    EXPECT_EQ(c.text(0), "Smithson");
    c.first();
    EXPECT_FALSE(c.seekExact("SMI"));
    EXPECT_FALSE(c.seekExact("SMITHS"));
    EXPECT_EQ(c.text(0), "Adams");  // a failed seek keeps the current record
    EXPECT_TRUE(c.seekExact("SMITH                          and more"));
}

TEST_F(SeekTest, NearestSeekFindsTheFirstKeyAtOrAfter) {
    c.seekNearest("B");
    EXPECT_EQ(c.text(0), "Baker");
    c.seekNearest("Z");
    EXPECT_EQ(c.text(0), "Smithson");  // none after: the last
    c.seekNearest("1");
    EXPECT_EQ(c.text(0), "Adams");
    c.seekNearest("S");
    EXPECT_EQ(c.text(0), "SMITH");
}

TEST_F(SeekTest, SeeksNeedAnIndex) {
    c.selectIndex("");
    for (int kind = 0; kind < 2; ++kind) {
        try {
            kind ? c.seekNearest("A") : static_cast<void>(c.seekExact("A"));
            ADD_FAILURE() << "seek without an index";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "No parseable expressions in setting key fields");
        }
    }
    EXPECT_EQ(c.keyLength(), 0);
    c.selectIndex("ADDRESS");
    EXPECT_EQ(c.keyLength(), 30);
    EXPECT_EQ(c.indexName(), "ADDRESS");
    EXPECT_EQ(c.indexExpression(), "upper(Name)");
}

class FilterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        c.open(makeAddressTable(dir.path()), openOptions(ShareMode::Shared, "ADDRESS"));
        addEntry(c, "Anna Smith", "Main street");
        addEntry(c, "Bob Jones", "Phone 555-1234");
        addEntry(c, "Carl Smithers", "");
        addEntry(c, "Smith", "");
    }
    testsupport::TempDir dir;
    Cursor c;
};

TEST_F(FilterTest, ExpressionAppliesAtOnceAndCountsRespectIt) {
    c.last();
    c.setFilter("\"SMITH\"$upper(Name)");
    EXPECT_EQ(c.text(0), "Smith");  // not applied until filtered
    c.setFiltered(true);
    EXPECT_EQ(c.text(0), "Anna Smith");
    EXPECT_TRUE(c.bof());
    EXPECT_EQ(names(c), (std::vector<std::string>{"Anna Smith", "Carl Smithers", "Smith"}));
    EXPECT_EQ(c.recordCount(), 3u);
    c.setFilter("Name = 'Smith'");  // padded comparison: not Smithers
    EXPECT_EQ(c.text(0), "Smith");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Smith"}));
    c.setFilter("upper(Name) >= \"B\" .AND. upper(Name) <= \"CZ\"");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Bob Jones", "Carl Smithers"}));
    c.setFilter("Name=\"Bob Jones\" OR Name=\"Smith\"");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Bob Jones", "Smith"}));
    c.setFiltered(false);
    EXPECT_EQ(c.recordCount(), 4u);
}

TEST_F(FilterTest, MalformedExpressionLeavesTheCursorAsItWas) {
    c.setFilter("\"SMITH\"$upper(Name)");
    c.setFiltered(true);
    c.next();
    ASSERT_EQ(c.text(0), "Carl Smithers");
    for (const char* bad : {"\"A\"B\"$upper(Name)", "upper(Nmae) = 'X'", "Name =", "Name"}) {
        EXPECT_THROW(c.setFilter(bad), Error) << bad;
        EXPECT_EQ(c.filter(), "\"SMITH\"$upper(Name)");
        EXPECT_EQ(c.text(0), "Carl Smithers");
    }
    EXPECT_EQ(names(c).size(), 3u);
}

TEST_F(FilterTest, CallbackDecidesWithTheRecordCurrent) {
    const int info = c.requireField("INFO");
    int asked = 0;
    c.setFilterCallback([&] {
        ++asked;
        return c.memo(info).find("555") != std::string::npos;
    });
    c.setFiltered(true);
    EXPECT_EQ(c.text(0), "Bob Jones");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Bob Jones"}));
    EXPECT_GT(asked, 0);
    EXPECT_EQ(c.recordCount(), 4u);  // the callback does not count
    EXPECT_EQ(c.visibleRecords(), (std::vector<uint32_t>{2}));
    c.setFilter("\"SMITH\"$upper(Name)");  // expression and callback together: none
    EXPECT_TRUE(c.isEmpty());
    EXPECT_TRUE(c.bof() && c.eof());
}

TEST_F(FilterTest, VisibleRecordsFollowOrderAndFilter) {
    EXPECT_EQ(c.visibleRecords(), (std::vector<uint32_t>{1, 2, 3, 4}));
    c.selectIndex("");
    EXPECT_EQ(c.visibleRecords(), (std::vector<uint32_t>{1, 2, 3, 4}));
    c.selectIndex("ADDRESS");
    c.first();
    c.next();
    const uint32_t here = c.recno();
    c.setFilter("\"SMITH\"$upper(Name)");
    c.setFiltered(true);
    c.next();
    const uint32_t filteredHere = c.recno();
    EXPECT_EQ(c.visibleRecords(), (std::vector<uint32_t>{1, 3, 4}));
    EXPECT_EQ(c.recno(), filteredHere);  // the walk does not move the cursor
    EXPECT_NE(here, 0u);
}

TEST(SharedCursors, SeeEachOthersChangesAtOnce) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    Cursor a, b;
    a.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    b.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    addEntry(a, "Adams", "first");
    EXPECT_EQ(names(b), (std::vector<std::string>{"Adams"}));
    b.first();
    b.edit();
    b.setMemo(1, "changed by b");
    b.post();
    a.first();
    EXPECT_EQ(a.memo(1), "changed by b");
    // Two cursors of one program cannot edit one record at once.
    a.edit();
    EXPECT_THROW(b.edit(), Error);
    a.cancel();
    EXPECT_NO_THROW(b.edit());
    b.cancel();
    const uint64_t stamp = a.changeStamp();
    addEntry(b, "Baker");
    EXPECT_NE(a.changeStamp(), stamp);
    // An exclusive cursor of the same program may join shared ones.
    Cursor exclusive;
    EXPECT_NO_THROW(exclusive.open(path, openOptions(ShareMode::Exclusive)));
}

TEST(Editing, NewRecordIsIndexedAndCurrentAfterPost) {
    testsupport::TempDir dir;
    Cursor c;
    c.open(makeAddressTable(dir.path()), openOptions(ShareMode::Shared, "ADDRESS"));
    addEntry(c, "Cole");
    addEntry(c, "Adams");
    EXPECT_EQ(c.text(0), "Adams");
    EXPECT_FALSE(c.eof());
    c.next();
    EXPECT_EQ(c.text(0), "Cole");
    c.first();
    c.edit();
    c.setText(0, "Zimmer");
    c.post();
    EXPECT_EQ(names(c), (std::vector<std::string>{"Cole", "Zimmer"}));
    c.append();
    c.setText(0, "Never");
    c.cancel();
    EXPECT_EQ(c.physicalRecordCount(), 2u);
    EXPECT_TRUE(xbase::checkTable(c.path()).ok());
}

// In exclusive use the header's change mark stays set through a run of changes; it must be
// clear again whenever someone else could look: at the close and on the return to shared use.
TEST(Editing, ExclusiveChangesLeaveNoChangeMarkForOthers) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    const auto markInFile = [&] { return readBytes(path)[14]; };
    {
        Cursor c;
        c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
        addEntry(c, "Cole");
        addEntry(c, "Adams");
    }
    EXPECT_EQ(markInFile(), 0);
    EXPECT_TRUE(xbase::checkTable(path).ok());

    Cursor shared;
    shared.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    {
        Cursor exclusive;
        exclusive.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
        addEntry(exclusive, "Baker");
    }
    EXPECT_EQ(markInFile(), 0);
    EXPECT_EQ(names(shared), (std::vector<std::string>{"Adams", "Baker", "Cole"}));
}

TEST(Editing, UnchangedMemoIsNotWrittenAgainAndChangedOneKeepsTheOld) {
    testsupport::TempDir dir;
    Cursor c;
    const fs::path path = makeAddressTable(dir.path());
    c.open(path);
    addEntry(c, "Adams", std::string(200, 'a'));
    const auto size = fs::file_size(dir / "ADDRESS.fpt");
    c.edit();
    c.setMemo(1, std::string(200, 'a'));
    c.setText(0, "Adams, Zoe");
    c.post();
    EXPECT_EQ(fs::file_size(dir / "ADDRESS.fpt"), size);
    c.edit();
    c.setMemo(1, "short");
    c.post();
    EXPECT_GT(fs::file_size(dir / "ADDRESS.fpt"), size);
    EXPECT_EQ(c.memo(1), "short");
}

TEST(Dates, StorageAndDisplay) {
    EXPECT_EQ(xbase::Date::fromStorage("20240115"), (xbase::Date{2024, 1, 15}));
    EXPECT_TRUE(xbase::Date::fromStorage("        ").empty());
    EXPECT_TRUE(xbase::Date::fromStorage(std::string(8, '\0')).empty());
    EXPECT_TRUE(xbase::Date::fromStorage("00000000").empty());
    EXPECT_TRUE(xbase::Date::fromStorage("20241345").empty());
    EXPECT_EQ((xbase::Date{1999, 12, 31}).toDisplay(), "12/31/99");
    EXPECT_EQ((xbase::Date{2024, 2, 29}).toStorage(), "20240229");
    EXPECT_FALSE((xbase::Date{2023, 2, 29}).valid());
}

TEST(Dates, HeaderKeepsTheDateOfTheLastChange) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    std::string dbf = readBytes(path);
    dbf[1] = 99, dbf[2] = 1, dbf[3] = 2;  // as if last changed on 01/02/1999
    writeBytes(path, dbf);
    Cursor c;
    c.open(path);
    EXPECT_EQ(c.lastUpdateText(), "01/02/99");
    addEntry(c, "Adams");
    EXPECT_EQ(c.lastUpdate(), xbase::Date::today());
    c.close();
    EXPECT_EQ(static_cast<unsigned char>(readBytes(path)[1]) + 1900, xbase::Date::today().year);
}

}  // namespace

namespace {

TEST(SharedCursors, AReadOnlyCursorOpenedFirstDoesNotStopOthersWriting) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    xbase::OpenOptions readOnly = openOptions(ShareMode::Shared, "ADDRESS");
    readOnly.readOnly = true;
    Cursor reader, writer;
    reader.open(path, readOnly);
    writer.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    EXPECT_NO_THROW(addEntry(writer, "Adams"));
    EXPECT_THROW(reader.append(), Error);
    EXPECT_EQ(names(reader), (std::vector<std::string>{"Adams"}));
}

}  // namespace
