// The archive as other tools see it: Info-ZIP's unzip and zipinfo, and Python's zipfile,
// each run as a program of its own, and the local date and time it gives its entries.
// The time zone is set away from UTC, so that local time is put to the test. A missing
// tool skips its test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <store/archive.h>
#include "archive_disk_file.h"
#include "archive_dos_time.h"
#include "run_program.h"
#include "temp_dir.h"
#include "test_files.h"

namespace fs = std::filesystem;
using store::AddOutcome;
using store::ZipArchive;

namespace {

using ProgramRun = testsupport::ProgramResult;
using testsupport::runProgram;

using testsupport::linesOf;
using testsupport::writeBytes;

std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

void setModified(const fs::path& path, std::time_t when) {
    fs::last_write_time(
        path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm moment{};
    moment.tm_year = year - 1900;
    moment.tm_mon = month - 1;
    moment.tm_mday = day;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_sec = second;
    return timegm(&moment);
}

// A time zone for the length of a test, written out so that no zone database is needed.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* current = std::getenv("TZ")) saved_ = current;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

  private:
    std::optional<std::string> saved_;
};

constexpr const char* kCentralEuropeanTime = "CET-1CEST,M3.5.0,M10.5.0/3";

// Lists each entry as name|size|compressed size|method|date and time|content check, and
// ends with zipfile's own test of every CRC.
constexpr const char* kPythonLister = R"(
import os, sys, zipfile
folder = sys.argv[2]
with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        content = archive.read(info.filename)
        on_disk = os.path.join(folder, info.filename)
        same = 'no file'
        if os.path.exists(on_disk):
            with open(on_disk, 'rb') as f:
                same = 'same' if f.read() == content else 'differs'
        stamp = ','.join(str(part) for part in info.date_time)
        print('|'.join([info.filename, str(info.file_size), str(info.compress_size),
                        str(info.compress_type), stamp, same]))
    print('bad entry:', archive.testzip())
)";

class ArchiveInteropTest : public ::testing::Test {
  protected:
    void SetUp() override {
        data = folder.path() / "data";
        fs::create_directory(data);
        archivePath = data / "MGdata.zip";
        std::string table;
        for (int row = 0; table.size() < 48000; ++row)
            table += " Entry " + std::to_string(row) + "   Phone: 555-0100   20240715";
        table.resize(48000);
        writeBytes(data / "ADDRESS.DBF", table);
        std::mt19937 generator(11);
        std::string memo(80 * 1024, '\0');
        for (char& byte : memo) byte = static_cast<char>(generator() & 0xff);
        writeBytes(data / "ADDRESS.fpt", memo);
        writeBytes(data / "EMPTY.TXT", "");
        // 11:45:31 UTC is 13:45:31 summer time in Central Europe: 13:45:30 in the archive.
        for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "EMPTY.TXT"})
            setModified(data / name, utc(2024, 7, 15, 11, 45, 31));
        // 08:00:00 UTC in January is 09:00:00 standard time.
        setModified(data / "EMPTY.TXT", utc(2024, 1, 20, 8, 0, 0));
    }

    void archiveAll() {
        ZipArchive archive(archivePath);
        for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "EMPTY.TXT"})
            ASSERT_NE(archive.addFile(data / name).outcome, AddOutcome::NotFound);
        archive.close();
    }

    ZoneGuard zone{kCentralEuropeanTime};
    testsupport::TempDir folder;
    fs::path data;
    fs::path archivePath;
};

TEST_F(ArchiveInteropTest, InfoZipSeesNamesSizesMethodsAndLocalTimes) {
    archiveAll();
    const std::optional<ProgramRun> test = runProgram({"unzip", "-t", archivePath.string()});
    if (!test) GTEST_SKIP() << "unzip is not installed";
    EXPECT_EQ(test->exitCode, 0) << test->output;
    EXPECT_NE(test->output.find("No errors detected"), std::string::npos) << test->output;

    const std::optional<ProgramRun> run = runProgram({"zipinfo", "-l", "-T", archivePath.string()});
    if (!run) GTEST_SKIP() << "zipinfo is not installed";
    ASSERT_EQ(run->exitCode, 0) << run->output;

    // permissions, version, system, size, type, compressed size, method, time, name
    std::vector<std::string> entries;
    for (const std::string& line : linesOf(run->output)) {
        const std::vector<std::string> words = wordsOf(line);
        if (words.size() != 9 || line.front() != '-') continue;
        entries.push_back(words[8] + " " + words[3] + " " + words[6] + " " + words[7]);
        if (words[8] == "ADDRESS.DBF") {
            EXPECT_LT(std::stoi(words[5]), 48000 / 4);
        }
        if (words[8] == "ADDRESS.fpt") {
            EXPECT_EQ(words[5], words[3]);
        }
    }
    // defN: deflated at the normal level.
    EXPECT_EQ(entries, (std::vector<std::string>{
                           "ADDRESS.DBF 48000 defN 20240715.134530",
                           "ADDRESS.fpt 81920 stor 20240715.134530",
                           "EMPTY.TXT 0 stor 20240120.090000",
                       }))
        << run->output;
}

TEST_F(ArchiveInteropTest, PythonZipfileReadsWhatWasWritten) {
    archiveAll();
    const std::optional<ProgramRun> run =
        runProgram({"/usr/bin/python3", "-c", kPythonLister, archivePath.string(), data.string()});
    if (!run) GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(run->exitCode, 0) << run->output;

    const std::vector<std::string> lines = linesOf(run->output);
    ASSERT_EQ(lines.size(), 4u) << run->output;
    EXPECT_EQ(lines[0].substr(0, lines[0].find('|', 12)), "ADDRESS.DBF|48000");
    EXPECT_NE(lines[0].find("|8|2024,7,15,13,45,30|same"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "ADDRESS.fpt|81920|81920|0|2024,7,15,13,45,30|same");
    EXPECT_EQ(lines[2], "EMPTY.TXT|0|0|0|2024,1,20,9,0,0|same");
    EXPECT_EQ(lines[3], "bad entry: None");
}

TEST_F(ArchiveInteropTest, AnArchiveWrittenByPythonIsUpdatedAndStillReadsThere) {
    // Python writes the archive first, with a folder entry and a stale table.
    constexpr const char* kPythonWriter = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as archive:
    archive.writestr('letters/', '')
    archive.writestr('letters/to-ann.txt', 'Dear Ann, ' * 200)
    archive.writestr('Address.dbf', 'an older table')
)";
    const std::optional<ProgramRun> written =
        runProgram({"/usr/bin/python3", "-c", kPythonWriter, archivePath.string()});
    if (!written) GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(written->exitCode, 0) << written->output;

    archiveAll();
    constexpr const char* kPythonReader = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    print(' '.join(info.filename for info in archive.infolist()))
    print(archive.read('letters/to-ann.txt') == b'Dear Ann, ' * 200)
    print(len(archive.read('Address.dbf')))
    print('bad entry:', archive.testzip())
)";
    const std::optional<ProgramRun> read =
        runProgram({"/usr/bin/python3", "-c", kPythonReader, archivePath.string()});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->output,
              "letters/ letters/to-ann.txt Address.dbf ADDRESS.fpt EMPTY.TXT\n"
              "True\n"
              "48000\n"
              "bad entry: None\n");

    const std::optional<ProgramRun> tested = runProgram({"unzip", "-t", archivePath.string()});
    if (tested) {
        EXPECT_EQ(tested->exitCode, 0) << tested->output;
    }
}

// The DOS stamp that decides whether an entry is up to date, and the letter-case rule for
// entry names, on their own.

TEST(DosDateTime, IsLocalWallClockTimeInTwoSecondSteps) {
    const ZoneGuard zone(kCentralEuropeanTime);
    // Winter and summer offsets both apply.
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(2024, 1, 10, 12, 0, 0))),
              (store::DosFields{2024, 1, 10, 13, 0, 0}));
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(2024, 7, 10, 12, 0, 0))),
              (store::DosFields{2024, 7, 10, 14, 0, 0}));
    // An odd second rounds down, so two files a second apart may share a stamp.
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(2024, 7, 10, 21, 59, 59))),
              (store::DosFields{2024, 7, 10, 23, 59, 58}));
    EXPECT_EQ(store::toDosDateTime(utc(2024, 7, 10, 12, 0, 0)),
              store::toDosDateTime(utc(2024, 7, 10, 12, 0, 1)));
    EXPECT_NE(store::toDosDateTime(utc(2024, 7, 10, 12, 0, 1)),
              store::toDosDateTime(utc(2024, 7, 10, 12, 0, 2)));
    // New Year's Eve in UTC is already the next year here.
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(2023, 12, 31, 23, 30, 0))),
              (store::DosFields{2024, 1, 1, 0, 30, 0}));
}

TEST(DosDateTime, MomentsOutsideItsYearsTakeTheNearestStamp) {
    const ZoneGuard zone("UTC0");
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(0)), (store::DosFields{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(1979, 12, 31, 23, 59, 59))),
              (store::DosFields{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(1980, 1, 1, 0, 0, 0))),
              (store::DosFields{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(2107, 12, 31, 23, 59, 59))),
              (store::DosFields{2107, 12, 31, 23, 59, 58}));
    EXPECT_EQ(store::fieldsOf(store::toDosDateTime(utc(2200, 6, 1, 0, 0, 0))),
              (store::DosFields{2107, 12, 31, 23, 59, 58}));
}

TEST(EntryNames, CompareFoldingOnlyTheLettersAToZ) {
    EXPECT_TRUE(store::equalIgnoringAsciiCase("ADDRESS.DBF", "address.dbf"));
    EXPECT_TRUE(store::equalIgnoringAsciiCase("Address.Fpt", "ADDRESS.fpt"));
    EXPECT_FALSE(store::equalIgnoringAsciiCase("ADDRESS.DBF", "ADDRESS.DBF "));
    EXPECT_FALSE(store::equalIgnoringAsciiCase("ADDRESS.DBF", "ADDRESS_DBF"));
    // Letters beyond z keep their case: É (UTF-8) is not é.
    EXPECT_FALSE(store::equalIgnoringAsciiCase("\xc3\x89TAT.DBF", "\xc3\xa9tat.dbf"));
    // '@' and '`' sit next to 'A' and 'a' but are no letters.
    EXPECT_FALSE(store::equalIgnoringAsciiCase("@", "`"));
}

}  // namespace
