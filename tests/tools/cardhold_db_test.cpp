// cardhold-db as a script would use it: one clear line and a non-zero exit on failure.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "run_program.h"
#include "temp_dir.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

testsupport::ProgramResult db(const std::vector<std::string>& args) {
    std::vector<std::string> command{CARDHOLD_DB_PROGRAM};
    command.insert(command.end(), args.begin(), args.end());
    auto result = testsupport::runProgram(command);
    if (!result) return {};
    return *result;
}

// The runner the tool tests share never waits for ever: a program that hangs is stopped.
TEST(RunProgram, AProgramThatHangsIsStoppedAtItsTimeOut) {
    const auto run = testsupport::runProgram({"sleep", "600"}, {}, std::chrono::seconds(1));
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->exitCode, -1);
    EXPECT_NE(run->output.find("did not finish within 1 s"), std::string::npos) << run->output;
}

TEST(CardholdDb, GenerateListAndCheck) {
    testsupport::TempDir dir;
    const std::string book = (dir / "book").string();
    auto run = db({"generate", "250", book});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    run = db({"list", book, "--names"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 250);
    run = db({"check", book});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("ok: 250 records, 250 memos, 250 index keys"), std::string::npos)
        << run.output;
    run = db({"info", book + "/ADDRESS.DBF"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("tag ADDRESS"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("0xF5"), std::string::npos) << run.output;
}

TEST(CardholdDb, EditsGoThroughTheSaveRules) {
    testsupport::TempDir dir;
    const std::string book = (dir / "book").string();
    ASSERT_EQ(db({"generate", "1", book}).exitCode, 0);
    ASSERT_EQ(db({"delete", book,
                  db({"list", book, "--names"})
                      .output.substr(0, db({"list", book, "--names"}).output.find('\n'))})
                  .exitCode,
              0);
    EXPECT_EQ(db({"add", book, "Smith, Anna", "Phone 555-1234\\nEmail: anna@example.com"}).exitCode,
              0);
    auto run = db({"add", book, "SMITH, ANNA"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "cardhold-db: Entry already exists for: SMITH, ANNA\n");
    run = db({"add", book, "   "});
    EXPECT_EQ(run.output, "cardhold-db: Name is the key field, it must NOT be blank\n");
    EXPECT_EQ(db({"add", book, "Baker"}).exitCode, 0);
    EXPECT_EQ(db({"set-memo", book, "Baker", "new text"}).exitCode, 0);
    EXPECT_EQ(db({"rename", book, "Baker", "Smith, Anna"}).exitCode, 0);  // renames are not checked
    run = db({"list", book});
    EXPECT_NE(run.output.find("Phone 555-1234\n    Email: anna@example.com"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("    new text"), std::string::npos) << run.output;
    run = db({"delete", book, "Nobody"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "cardhold-db: No entry named Nobody\n");
    run = db({"pack", book});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("packed: 2 records, 1 removed"), std::string::npos) << run.output;
    EXPECT_EQ(db({"check", book}).exitCode, 0);
}

// Arguments are UTF-8 and the table keeps its code page: what goes in comes back out the
// same, what the code page cannot hold is refused, and control codes print as escapes.
TEST(CardholdDb, TextTravelsInTheTablesCodePageAndControlCodesPrintAsEscapes) {
    testsupport::TempDir dir;
    const std::string book = (dir / "book").string();
    ASSERT_EQ(db({"generate", "1", book}).exitCode, 0);
    // Set the window title, write the clipboard, clear the screen.
    const std::string memo = "Home\x1b]52;c;b3duZWQ=\x07\\nWork\x1b[2J";
    ASSERT_EQ(db({"add", book, "Evil\x1b]0;owned\x07", memo}).exitCode, 0);
    ASSERT_EQ(db({"add", book, "Zo\xc3\xab\tTab",
                  "Caf\xc3\xa9 \xe2\x82\xac"
                  "5"})
                  .exitCode,
              0);

    auto run = db({"list", book});
    EXPECT_EQ(run.output.find_first_of("\x1b\x07"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Evil\\x1B]0;owned\\x07  ["), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("    Home\\x1B]52;c;b3duZWQ=\\x07\n    Work\\x1B[2J\n"),
              std::string::npos);
    EXPECT_NE(run.output.find("Zo\xc3\xab\tTab  ["), std::string::npos) << run.output;  // tabs stay
    EXPECT_NE(run.output.find("    Caf\xc3\xa9 \xe2\x82\xac"
                              "5\n"),
              std::string::npos)
        << run.output;
    // Stored as the code page writes it: one byte each for ë, é and €.
    EXPECT_NE(testsupport::readBytes(dir / "book" / "ADDRESS.DBF").find("Zo\xeb\tTab"),
              std::string::npos);
    EXPECT_EQ(db({"rename", book, "Zo\xc3\xab\tTab", "Zo\xc3\xab"}).exitCode, 0);
    EXPECT_EQ(db({"delete", book, "Zo\xc3\xab"}).exitCode, 0);

    run = db({"add", book, "\xe6\xbc\xa2 Kanji"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("cannot hold \xe6\xbc\xa2"), std::string::npos) << run.output;
    run = db({"add", book, "Latin-1 \xe9"});  // not UTF-8
    EXPECT_NE(run.output.find("is not UTF-8"), std::string::npos) << run.output;
    run = db({"delete", book, "\x1b[2J\xc3\xa9"});
    EXPECT_EQ(run.output, "cardhold-db: No entry named \\x1B[2J\xc3\xa9\n");
    EXPECT_EQ(db({"list", book, "--names"}).output.find("Kanji"), std::string::npos);
}

TEST(CardholdDb, GenerateNeverWritesThroughALink) {
    testsupport::TempDir dir;
    const fs::path book = dir / "book";
    fs::create_directory(book);
    testsupport::writeBytes(dir / "id_rsa", "secret");
    fs::create_symlink(dir / "id_rsa", book / "ADDRESS.fpt");
    ASSERT_EQ(db({"generate", "5", book.string()}).exitCode, 0);
    EXPECT_EQ(testsupport::readBytes(dir / "id_rsa"), "secret");
    EXPECT_EQ(db({"check", book.string()}).exitCode, 0);
}

TEST(CardholdDb, FailuresAreOneLineAndNonZero) {
    testsupport::TempDir dir;
    auto run = db({"list", (dir / "missing").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_EQ(db({"frobnicate"}).exitCode, 2);
    run = db({"--frobnicate", (dir / "book").string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.output,
              "cardhold-db: unknown option \"--frobnicate\" (see cardhold-db --help)\n");
    EXPECT_EQ(db({"generate", "x", dir.path().string()}).exitCode, 2);
    EXPECT_EQ(db({}).exitCode, 2);

    // A damaged index makes check fail and name the fault.
    const std::string book = (dir / "book").string();
    ASSERT_EQ(db({"generate", "50", book}).exitCode, 0);
    const fs::path dbf = fs::path(book) / "ADDRESS.DBF";
    std::fstream file(dbf, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(129 + 1);
    file.write("ZZZZ", 4);  // rename record 1 behind the index's back
    file.close();
    run = db({"check", book});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("fault: tag ADDRESS"), std::string::npos) << run.output;
    EXPECT_EQ(db({"reindex", book}).exitCode, 0);
    EXPECT_EQ(db({"check", book}).exitCode, 0);
}

TEST(CardholdDb, HelpAndVersion) {
    const auto version = db({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(
        std::regex_match(version.output, std::regex("cardhold-db [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.output;

    const auto help = db({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind("usage: cardhold-db COMMAND ARGUMENTS\n", 0), 0u) << help.output;
    // Folded to a terminal's width, each summary beside its command or, for a long
    // synopsis, beneath it.
    std::istringstream lines(help.output);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
    EXPECT_NE(
        help.output.find(
            "\n  import DIR FILE...        add the contacts of vCard and CSV files, making the\n"
            "                            address book when there is none; prints a report\n"),
        std::string::npos)
        << help.output;
    EXPECT_NE(
        help.output.find(
            "\n  export DIR FILE [--vcard4] [--names NAME...]\n                            write"),
        std::string::npos)
        << help.output;
}

// The archive step of file maintenance from a script: the same entries, refreshed by the
// same rule, and the archive's own failure text.
TEST(CardholdDb, BackupBringsTheArchiveUpToDateAndSaysWhatItDid) {
    testsupport::TempDir dir;
    const std::string book = (dir / "book").string();
    ASSERT_EQ(db({"generate", "40", book}).exitCode, 0);
    const std::string archive = (fs::absolute(dir / "book") / "MGdata.zip").string();

    auto run = db({"backup", book});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output,
              "added ADDRESS.DBF\nadded ADDRESS.fpt\nbackup archive: " + archive + "\n");
    auto test = testsupport::runProgram({"unzip", "-tqq", archive});
    ASSERT_TRUE(test.has_value());
    EXPECT_EQ(test->exitCode, 0) << test->output;

    run = db({"backup", book});
    EXPECT_NE(run.output.find("left alone ADDRESS.DBF: unchanged since the last backup\n"
                              "left alone ADDRESS.fpt: unchanged since the last backup\n"),
              std::string::npos)
        << run.output;

    // An entry added later changes both files (ZIP times count in two-second steps).
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt"})
        fs::last_write_time(dir / "book" / name,
                            fs::last_write_time(dir / "book" / name) - std::chrono::hours(1));
    ASSERT_EQ(db({"add", book, "Zoe Backup", "memo"}).exitCode, 0);
    run = db({"backup", book});
    EXPECT_NE(run.output.find("refreshed ADDRESS.DBF\nrefreshed ADDRESS.fpt\n"), std::string::npos)
        << run.output;

    testsupport::writeBytes(archive, "not a zip archive at all, but long enough to look at");
    run = db({"backup", book});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "cardhold-db: Not a zip archive (" + archive + ")\n");
    EXPECT_EQ(db({"backup", (dir / "nowhere").string()}).exitCode, 1);
}

TEST(CardholdDb, ImportAndExportContacts) {
    testsupport::TempDir dir;
    const std::string book = (dir / "new" / "book").string();
    const std::string cards = CARDHOLD_TEST_DATA_DIR "/contacts/rfc2426.vcf";
    auto run = db({"import", book, cards, CARDHOLD_TEST_DATA_DIR "/contacts/web-address-book.csv"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')),
              "4 read, 4 added, 0 already there, 0 renamed, 0 changed, 0 skipped");
    run = db({"import", book, cards, (dir / "missing.vcf").string()});
    EXPECT_EQ(run.exitCode, 1);  // one file could not be read
    EXPECT_NE(run.output.find("2 read, 0 added, 2 already there"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("missing.vcf: cannot be read"), std::string::npos) << run.output;

    const std::string out = (dir / "out.vcf").string();
    run = db({"export", book, out, "--vcard4", "--names", "Tim Howes", "Nobody"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output,
              "1 entry written: 2 phone numbers, 1 e-mail address, 0 web addresses\nNo entry named "
              "\"Nobody\"\n");
    EXPECT_NE(testsupport::readBytes(out).find("VERSION:4.0\r\n"), std::string::npos);
    EXPECT_EQ(db({"export", book, (dir / "none.csv").string(), "--names", "Nobody"}).exitCode, 1);
    EXPECT_EQ(db({"export", book, (dir / "out.txt").string()}).exitCode, 2);
    EXPECT_EQ(db({"import", (dir / "other").string(), (dir / "out.txt").string()}).exitCode, 1);
}

}  // namespace

namespace {

// Key length 0x7FFF in the header of the ADDRESS tag, as a few overwritten bytes do.
void damageAddressTag(const fs::path& cdx) {
    std::fstream file(cdx, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    file.seekp(static_cast<std::streamoff>(bytes.find("upper(Name)") - 512 + 12));
    file.write("\xFF\x7F", 2);
}

TEST(CardholdDb, ReindexAndRepairMendDamagedBooks) {
    testsupport::TempDir dir;
    const std::string book = (dir / "book").string();
    ASSERT_EQ(db({"generate", "20", book}).exitCode, 0);
    damageAddressTag(dir / "book" / "ADDRESS.CDX");
    EXPECT_EQ(db({"list", book}).exitCode, 1);

    // A table of unknown tags: which tag is lost, and a failure.
    auto run = db({"reindex", book + "/ADDRESS.DBF"});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("cannot rebuild tag ADDRESS: the header of tag ADDRESS"),
              std::string::npos)
        << run.output;
    // The address book knows its tag.
    run = db({"reindex", book});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("reindexed: 1 tags over 20 records"), std::string::npos)
        << run.output;
    EXPECT_EQ(db({"check", book}).exitCode, 0);

    fs::resize_file(dir / "book" / "ADDRESS.DBF", fs::file_size(dir / "book" / "ADDRESS.DBF") - 60);
    run = db({"repair", book});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("copied the files as they were to " + book + "/damaged-"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("entry 19 ("), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("repaired: 18 entries, 1 index tags"), std::string::npos)
        << run.output;
    EXPECT_EQ(db({"check", book}).exitCode, 0);

    // The names it reports are the table's, in its code page: printed as UTF-8.
    const std::string accented = (dir / "accented").string();
    ASSERT_EQ(db({"generate", "1", accented}).exitCode, 0);
    ASSERT_EQ(db({"add", accented, "Zo\xc3\xab"}).exitCode, 0);
    fs::resize_file(dir / "accented" / "ADDRESS.DBF",
                    fs::file_size(dir / "accented" / "ADDRESS.DBF") - 10);
    run = db({"repair", accented});
    EXPECT_NE(run.output.find("entry 2 (Zo\xc3\xab): lost"), std::string::npos) << run.output;

    // What it cannot mend: a header that contradicts its fields.
    std::fstream(dir / "book" / "ADDRESS.DBF", std::ios::in | std::ios::out | std::ios::binary)
        .seekp(10)
        .write("\x07", 1);
    run = db({"repair", book});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("cardhold-db: ADDRESS.DBF is damaged"), std::string::npos)
        << run.output;
}

}  // namespace
