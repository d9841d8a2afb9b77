// Other xBase tools read what the engine writes, and the engine reads what they write:
// Perl's XBase (records, memos and the CDX tag), python3-dbf and python3-dbfread.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "run_program.h"
#include "table_fixture.h"

using namespace tabletest;
using testsupport::runProgram;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A table the way the program leaves it after some use: entries added, renamed,
// memos replaced by longer ones, one entry deleted.
class EngineWritten : public ::testing::Test {
  protected:
    void SetUp() override {
        path = makeAddressTable(dir.path());
        Cursor c;
        c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
        for (int i = 0; i < 300; ++i)
            addEntry(c, "Entry " + std::to_string(7919 * i % 1000),
                     i % 3 ? "memo " + std::to_string(i) : "");
        addEntry(c, "Smith, John", "Line one\r\nLine two");
        addEntry(c, "SMITH, JOHN", std::string(700, 'x'));
        addEntry(c, "O'Brien, Pat", "to be deleted");
        c.seekExact("O'BRIEN, PAT");
        c.deleteRecord();
        ASSERT_TRUE(c.seekExact("ENTRY 595"));  // i = 5
        c.edit();
        c.setText(0, "Renamed, Was 595");
        c.setMemo(1, std::string(300, 'r'));
        c.post();
        for (c.first(); !c.eof(); c.next()) walk.push_back({upper(c.rawText(0)), c.recno()});
        deletedRecno = 303;
    }
    testsupport::TempDir dir;
    fs::path path;
    std::vector<std::pair<std::string, uint32_t>> walk;  // key, record number
    uint32_t deletedRecno = 0;
};

TEST_F(EngineWritten, PerlXBaseWalksTheSameIndexOrder) {
    auto run = runProgram(
        {"index_dump", "-type", "char", "-tag", "ADDRESS", (dir / "ADDRESS.CDX").string()});
    if (!run) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
    ASSERT_EQ(run->exitCode, 0) << run->output;
    // index_dump prints "KEY RECNO" with the key's trailing blanks removed; the index
    // also holds the deleted record's key.
    std::vector<std::pair<std::string, uint32_t>> expected = walk;
    expected.push_back({upper("O'Brien, Pat") + std::string(30 - 12, ' '), deletedRecno});
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> lines = splitLines(run->output);
    ASSERT_EQ(lines.size(), expected.size()) << run->output.substr(0, 500);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string key = expected[i].first;
        while (!key.empty() && key.back() == ' ') key.pop_back();
        EXPECT_EQ(lines[i], key + " " + std::to_string(expected[i].second)) << "line " << i;
    }
}

TEST_F(EngineWritten, PerlXBaseReadsRecordsAndMemos) {
    auto run = runProgram(
        {"perl", "-MXBase", "-e",
         "my $t = XBase->new($ARGV[0]) or die XBase->errstr;"
         "for my $i (0 .. $t->last_record) {"
         "  my ($del, $name, $info, $date) = $t->get_record($i, 'NAME', 'INFO', 'LASTDATE');"
         "  printf \"%d|%s|%d|%s\\n\", $del, $name, length($info // ''), $date // '';"
         "}",
         path.string()});
    if (!run) GTEST_SKIP() << "perl is not installed";
    ASSERT_EQ(run->exitCode, 0) << run->output;
    const auto lines = splitLines(run->output);
    ASSERT_EQ(lines.size(), 303u);
    EXPECT_EQ(lines[300], "0|Smith, John|18|");
    EXPECT_EQ(lines[301], "0|SMITH, JOHN|700|");
    EXPECT_EQ(lines[302].substr(0, 15), "1|O'Brien, Pat|");
}

TEST_F(EngineWritten, PythonDbfreadAndDbfReadTheTable) {
    // python-dbf names the memo file after the table's extension case; give it a copy
    // with lower-case names, as it would make itself.
    fs::copy_file(path, dir / "copy.dbf");
    fs::copy_file(dir / "ADDRESS.fpt", dir / "copy.fpt");
    const char* script = R"(
import sys, dbf, dbfread
names = [r['NAME'] for r in dbfread.DBF(sys.argv[1], encoding='cp1252')]
memo = [r['INFO'] for r in dbfread.DBF(sys.argv[1], encoding='cp1252') if r['NAME'] == 'SMITH, JOHN'][0]
t = dbf.Table(sys.argv[2]); t.open(dbf.READ_ONLY)
live = [r for r in t if not dbf.is_deleted(r)]
print(len(names), len(memo), len(t), len(live), t.codepage.name if hasattr(t.codepage, 'name') else t.codepage)
print(live[300].name.strip(), '|', live[300].info)
)";
    auto run =
        runProgram({"/usr/bin/python3", "-c", script, path.string(), (dir / "copy.dbf").string()});
    if (!run) GTEST_SKIP() << "python3 is not installed";
    if (run->output.find("ModuleNotFoundError") != std::string::npos) GTEST_SKIP() << run->output;
    ASSERT_EQ(run->exitCode, 0) << run->output;
    const auto lines = splitLines(run->output);
    ASSERT_GE(lines.size(), 2u) << run->output;
    EXPECT_EQ(lines[0].substr(0, 15), "302 700 303 302")
        << lines[0];  // dbfread skips deleted records
    EXPECT_NE(lines[0].find("1252"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "Smith, John | Line one\r") << lines[1];
}

TEST(PythonWritten, EngineOpensATableWithMemosMadeByPythonDbf) {
    testsupport::TempDir dir;
    const char* script = R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'name C(30); info M; lastdate D', dbf_type='fp', codepage='cp1252')
t.open(dbf.READ_WRITE)
import datetime
t.append(('Zeta, Zed', 'short memo', datetime.date(2024, 1, 15)))
t.append(('Alpha, Al', 'x' * 1000, None))
t.append(('Mid, Mo', '', datetime.date(1999, 12, 31)))
t.close()
)";
    auto run = runProgram({"/usr/bin/python3", "-c", script, (dir / "address.dbf").string()});
    if (!run) GTEST_SKIP() << "python3 is not installed";
    if (run->output.find("ModuleNotFoundError") != std::string::npos) GTEST_SKIP() << run->output;
    ASSERT_EQ(run->exitCode, 0) << run->output;
    Cursor c;
    c.open(dir / "ADDRESS.DBF");  // found whatever the case of the name
    EXPECT_EQ(names(c), (std::vector<std::string>{"Zeta, Zed", "Alpha, Al", "Mid, Mo"}));
    c.first();
    EXPECT_EQ(c.memo(1), "short memo");
    EXPECT_EQ(c.date(2), (xbase::Date{2024, 1, 15}));
    c.next();
    EXPECT_EQ(c.memo(1), std::string(1000, 'x'));
    EXPECT_TRUE(c.date(2).empty());
    c.close();
    // The engine can add the program's index to it and keep using it.
    c.open(dir / "ADDRESS.DBF", openOptions(ShareMode::Exclusive));
    c.createIndex("Address", "upper(Name)");
    c.selectIndex("ADDRESS");
    addEntry(c, "Beta, Bo", "added by the engine");
    EXPECT_EQ(names(c),
              (std::vector<std::string>{"Alpha, Al", "Beta, Bo", "Mid, Mo", "Zeta, Zed"}));
}

}  // namespace
