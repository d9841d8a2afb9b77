// cardhold-db as a script would use it: one clear line and a non-zero exit on failure.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_program.h"
#include "temp_dir.h"

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
    EXPECT_NE(run.output.find("ok: 250 records, 250 memos, 250 index keys"), std::string::npos) << run.output;
    run = db({"info", book + "/ADDRESS.DBF"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("tag ADDRESS"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("0xF5"), std::string::npos) << run.output;
}

TEST(CardholdDb, EditsGoThroughTheSaveRules) {
    testsupport::TempDir dir;
    const std::string book = (dir / "book").string();
    ASSERT_EQ(db({"generate", "1", book}).exitCode, 0);
    ASSERT_EQ(db({"delete", book, db({"list", book, "--names"}).output.substr(0, db({"list", book, "--names"}).output.find('\n'))}).exitCode, 0);
    EXPECT_EQ(db({"add", book, "Smith, Anna", "Phone 555-1234\\nEmail: anna@example.com"}).exitCode, 0);
    auto run = db({"add", book, "SMITH, ANNA"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "cardhold-db: Entry already exists for: SMITH, ANNA\n");
    run = db({"add", book, "   "});
    EXPECT_EQ(run.output, "cardhold-db: Name is the key field, it must NOT be blank\n");
    EXPECT_EQ(db({"add", book, "Baker"}).exitCode, 0);
    EXPECT_EQ(db({"set-memo", book, "Baker", "new text"}).exitCode, 0);
    EXPECT_EQ(db({"rename", book, "Baker", "Smith, Anna"}).exitCode, 0);  // renames are not checked
    run = db({"list", book});
    EXPECT_NE(run.output.find("Phone 555-1234\n    Email: anna@example.com"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("    new text"), std::string::npos) << run.output;
    run = db({"delete", book, "Nobody"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "cardhold-db: No entry named Nobody\n");
    run = db({"pack", book});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("packed: 2 records, 1 removed"), std::string::npos) << run.output;
    EXPECT_EQ(db({"check", book}).exitCode, 0);
}

TEST(CardholdDb, FailuresAreOneLineAndNonZero) {
    testsupport::TempDir dir;
    auto run = db({"list", (dir / "missing").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_EQ(db({"frobnicate"}).exitCode, 2);
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

}  // namespace
