// Another reader of the format: Perl's XBase (Debian libdbd-xbase-perl) walks a compound
// index this engine built and then maintained, alone and through its table.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cdx.h"
#include "run_program.h"
#include "table_fixture.h"
#include "xbase/file_system.h"

namespace {

using namespace tabletest;
using testsupport::runProgram;
using xbase::BulkKeys;
using xbase::CdxFile;
using xbase::CdxTag;

// Just enough of a FoxPro table for the reader: NAME C30, INFO M10 (empty), LASTDATE D8.
void writeTable(const fs::path& folder, const std::vector<std::string>& names) {
    std::string dbf;
    dbf += '\xF5';
    dbf += static_cast<char>(126);  // 2026
    dbf += static_cast<char>(1);
    dbf += static_cast<char>(15);
    dbf += littleEndianBytes(static_cast<uint32_t>(names.size()));
    dbf += littleEndianBytes(32 + 3 * 32 + 1, 2);
    dbf += littleEndianBytes(49, 2);
    dbf.append(16, '\0');
    dbf += '\x01';  // structural index
    dbf += '\x03';  // Windows-1252
    dbf.append(2, '\0');
    const struct {
        const char* name;
        char type;
        uint32_t displacement;
        uint8_t length;
    } fields[] = {{"NAME", 'C', 1, 30}, {"INFO", 'M', 31, 10}, {"LASTDATE", 'D', 41, 8}};
    for (const auto& f : fields) {
        std::string descriptor(32, '\0');
        descriptor.replace(0, std::strlen(f.name), f.name);
        descriptor[11] = f.type;
        for (int i = 0; i < 4; ++i)
            descriptor[12 + i] = static_cast<char>(f.displacement >> (8 * i));
        descriptor[16] = static_cast<char>(f.length);
        dbf += descriptor;
    }
    dbf += '\x0D';
    for (const std::string& name : names)
        dbf += ' ' + padded(name) + std::string(10, ' ') + "20260115";
    dbf += '\x1A';
    writeBytes(folder / "ADDRESS.DBF", dbf);

    std::string fpt(512, '\0');
    fpt[3] = 8;   // next free block
    fpt[7] = 64;  // block size
    writeBytes(folder / "ADDRESS.fpt", fpt);
}

TEST(CdxInterop, PerlXBaseWalksTheIndexWeWroteAndMaintained) {
    const auto modules = runProgram({"perl", "-MXBase", "-MXBase::Index", "-e", "1"});
    if (!modules || modules->exitCode != 0)
        GTEST_SKIP() << "Perl's XBase modules (Debian package libdbd-xbase-perl) are not installed";

    std::mt19937 random(17);
    std::vector<std::string> names = {"Smith, John",
                                      "Adams, Zoe",
                                      "SMITH, JOHN",
                                      "Baker, Al",
                                      "O'Brien, Pat",
                                      "",
                                      "Zimmermann-Schmidt, Katharin",
                                      "smith, anna",
                                      "Smithson, Kim"};
    while (names.size() < 2600) {
        std::string name = "Gen " + std::to_string(random() % 100000) + " " +
                           static_cast<char>('A' + random() % 26);
        if (random() % 4 == 0) name = "smith, " + name;
        names.push_back(name);
    }

    testsupport::TempDir dir;
    auto file = xbase::defaultFileSystem().open(dir / "ADDRESS.CDX", xbase::OpenFlags::CreateNew);
    auto cdx = CdxFile::create(*file);
    BulkKeys keys{30, {}, {}};
    for (uint32_t r = 1; r <= 2000; ++r) keys.add(upperKey(names[r - 1]), r);
    CdxTag& tag = cdx->createTag("ADDRESS", "upper(Name)", "", ' ', std::move(keys));
    // Enough other tags on either side of it that the reader has to descend a directory
    // of more than one page to find ADDRESS.
    for (int i = 0; i < 160; ++i)
        cdx->createTag((i % 2 ? "A" : "Z") + std::to_string(1000 + i), "upper(Name)", "", ' ',
                       BulkKeys{30, {}, {}});
    // Appended records, then renamed ones (old key out, new key in).
    for (uint32_t r = 2001; r <= names.size(); ++r) tag.insert(upperKey(names[r - 1]), r);
    for (int i = 0; i < 900; ++i) {
        const uint32_t r = 1 + random() % static_cast<uint32_t>(names.size());
        ASSERT_TRUE(tag.erase(upperKey(names[r - 1]), r));
        names[r - 1] = i % 3 == 0 ? "" : "Renamed " + std::to_string(random() % 1000);
        tag.insert(upperKey(names[r - 1]), r);
    }
    ASSERT_EQ(tag.verify(), std::vector<std::string>{});
    writeTable(dir.path(), names);

    std::string ours;
    std::string ourNames;
    tag.scan({}, 0, [&](std::string_view key, uint32_t recno) {
        ours += "K\t" + rightTrimmed(std::string(key)) + "\t" + std::to_string(recno) + "\n";
        ourNames += "N\t" + rightTrimmed(names[recno - 1]) + "\n";
        return true;
    });
    cdx.reset();
    file.reset();

    const std::string script =
        "my ($d) = @ARGV;"
        "my $i = XBase::Index->new(\"$d/ADDRESS.CDX\", tag => \"ADDRESS\", type => \"C\")"
        "  or die XBase::Index->errstr;"
        "$i->prepare_select or die $i->errstr;"
        "while (my ($k, $r) = $i->fetch) { print \"K\\t$k\\t$r\\n\"; }"
        "my $t = XBase->new(\"$d/ADDRESS.DBF\") or die XBase->errstr;"
        "my $c = $t->prepare_select_with_index([\"$d/ADDRESS.CDX\", \"ADDRESS\", \"char\"], "
        "\"NAME\")"
        "  or die $t->errstr;"
        "while (my @f = $c->fetch) { print \"N\\t$f[0]\\n\"; }";
    const auto read =
        runProgram({"perl", "-MXBase", "-MXBase::Index", "-e", script, dir.path().string()});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->output, ours + ourNames);
}

}  // namespace
