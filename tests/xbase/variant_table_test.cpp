// Tables of other xBase dialects and layouts: dBASE III with a DBT memo, Clipper,
// FoxPro and Visual FoxPro (binary memo pointers), made by python-dbf; memo files with
// block sizes other than 64.

#include <gtest/gtest.h>

#include <sstream>

#include <xbase/inspect.h>

#include "run_program.h"
#include "table_fixture.h"

using namespace tabletest;
using testsupport::runProgram;
using xbase::Cursor;

namespace {

constexpr const char* kMakeTable = R"(
import sys, dbf, datetime
t = dbf.Table(sys.argv[1], 'name C(20); info M; born D; amount N(8,2); ok L', dbf_type=sys.argv[2])
t.open(dbf.READ_WRITE)
t.append(('Alpha', 'memo of alpha ' * 20, datetime.date(2020, 1, 2), 12.5, True))
t.append(('Beta', '', None, -3, False))
t.close()
)";

constexpr const char* kReadTable = R"(
import sys, dbf
t = dbf.Table(sys.argv[1]); t.open(dbf.READ_ONLY)
for r in t:
    print('%s|%d|%s|%s' % (r.name.strip(), len(r.info or ''), r.amount, dbf.is_deleted(r)))
)";

class DialectTable : public ::testing::TestWithParam<const char*> {};

TEST_P(DialectTable, OpensChangesAndIsReadBack) {
    testsupport::TempDir dir;
    const fs::path path = dir / "t.dbf";
    auto made = runProgram({"/usr/bin/python3", "-c", kMakeTable, path.string(), GetParam()});
    if (!made) GTEST_SKIP() << "python3 is not installed";
    if (made->output.find("ModuleNotFoundError") != std::string::npos) GTEST_SKIP() << made->output;
    ASSERT_EQ(made->exitCode, 0) << made->output;
    {
        Cursor c;
        c.open(path);
        ASSERT_EQ(c.fieldCount(), 5);
        c.first();
        EXPECT_EQ(c.text(0), "Alpha");
        std::string alphaMemo;
        for (int i = 0; i < 20; ++i) alphaMemo += "memo of alpha ";
        EXPECT_EQ(c.memo(1), alphaMemo);
        EXPECT_EQ(c.date(2), (xbase::Date{2020, 1, 2}));
        EXPECT_DOUBLE_EQ(c.number(3), 12.5);
        EXPECT_TRUE(c.logical(4));
        c.next();
        EXPECT_EQ(c.text(0), "Beta");
        EXPECT_EQ(c.memo(1), "");
        EXPECT_DOUBLE_EQ(c.number(3), -3);
        // Change it the way the program would.
        c.edit();
        c.setMemo(1, "now Beta has a memo");
        c.post();
        c.append();
        c.setText(0, "Gamma");
        c.setMemo(1, std::string(3000, 'g'));
        c.setNumber(3, 7.25);
        c.post();
        c.first();
        c.deleteRecord();
    }
    auto read = runProgram({"/usr/bin/python3", "-c", kReadTable, path.string()});
    ASSERT_TRUE(read);
    ASSERT_EQ(read->exitCode, 0) << read->output;
    EXPECT_EQ(read->output, "Alpha|280|12.5|True\nBeta|19|-3.0|False\nGamma|3000|7.25|False\n")
        << GetParam();
}

INSTANTIATE_TEST_SUITE_P(PythonDbf, DialectTable, ::testing::Values("db3", "clp", "fp", "vfp"));

TEST(MemoBlockSize, AnyBlockSizeRoundTripsAndOthersReadIt) {
    for (uint16_t blockSize : {1, 33, 512, 4096}) {
        testsupport::TempDir dir;
        const fs::path path = dir / "ADDRESS.DBF";
        xbase::CreateOptions options;
        options.memoBlockSize = blockSize;
        xbase::createTable(path, xbase::parseFieldList(kAddressFieldList), options);
        {
            Cursor c;
            c.open(path);
            addEntry(c, "Short", "x");
            addEntry(c, "Long", std::string(5000, 'L'));
            c.first();
            c.edit();
            c.setMemo(1, "replaced");
            c.post();
        }
        Cursor c;
        c.open(path);
        EXPECT_EQ(names(c), (std::vector<std::string>{"Short", "Long"}));
        c.first();
        EXPECT_EQ(c.memo(1), "replaced") << blockSize;
        c.next();
        EXPECT_EQ(c.memo(1), std::string(5000, 'L')) << blockSize;
        auto read = runProgram({"/usr/bin/python3", "-c",
                                "import sys, dbfread\n"
                                "print([len(r['INFO']) for r in dbfread.DBF(sys.argv[1])])",
                                path.string()});
        if (!read || read->output.find("ModuleNotFoundError") != std::string::npos) continue;
        EXPECT_EQ(read->output, "[8, 5000]\n") << "block size " << blockSize;
    }
}

// dBASE IV memo files may have blocks of other sizes than 512 bytes: a table written byte
// by byte, NAME C(20) and INFO M(10), with a .dbt of 1024-byte blocks; Beta is deleted.
TEST(MemoBlockSize, PackKeepsTheMemosOfADbaseIvTable) {
    testsupport::TempDir dir;
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Alpha", "memo of alpha"}, {"Beta", "deleted"}, {"Gamma", std::string(1800, 'g')}};
    const auto field = [](const char* name, char type, char length) {
        return padded(name, 11, '\0') + type + std::string(4, '\0') + length +
               std::string(15, '\0');
    };
    std::string dbf = "\x8B\x7C\x01\x02" + littleEndianBytes(3) +
                      littleEndianBytes(32 + 2 * 32 + 1, 2) + littleEndianBytes(1 + 20 + 10, 2) +
                      std::string(20, '\0') + field("NAME", 'C', 20) + field("INFO", 'M', 10) +
                      "\x0D";
    std::string dbt(1024, '\0');
    for (const auto& [name, memo] : rows) {
        const std::string block = std::to_string(dbt.size() / 1024);
        dbf += (name == "Beta" ? "*" : " ") + padded(name, 20) +
               std::string(10 - block.size(), ' ') + block;
        const std::string stored = std::string("\xFF\xFF\x08\x00", 4) +
                                   littleEndianBytes(static_cast<uint32_t>(memo.size() + 8)) + memo;
        dbt += padded(stored, (stored.size() + 1023) / 1024 * 1024, '\0');
    }
    dbf += '\x1A';
    dbt.replace(0, 4,
                littleEndianBytes(static_cast<uint32_t>(dbt.size() / 1024)));  // next free block
    dbt.replace(20, 2, littleEndianBytes(1024, 2));                            // block size
    writeBytes(dir / "T.DBF", dbf);
    writeBytes(dir / "T.DBT", dbt);

    Cursor c;
    c.open(dir / "T.DBF", openOptions(xbase::ShareMode::Exclusive));
    c.pack();
    c.close();
    c.open(dir / "T.DBF");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Alpha", "Gamma"}));
    c.first();
    EXPECT_EQ(c.memo(1), "memo of alpha");
    c.next();
    EXPECT_EQ(c.memo(1), std::string(1800, 'g'));
    c.close();
    const auto report = xbase::checkTable(dir / "T.DBF");
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults[0]);
}

}  // namespace
