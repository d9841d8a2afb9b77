// The backup archive as the maintenance command uses it: what goes in, under which name,
// when an entry is refreshed and when it is left byte for byte, and what is left on disk
// when writing fails. Archives are read back with a small reader of our own that looks at
// the raw records, not through libzip.

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <store/archive.h>
#include "archive_compression.h"
#include "archive_dos_time.h"
#include "fault_injecting_file_system.h"
#include "temp_dir.h"
#include "test_files.h"

namespace fs = std::filesystem;
using store::AddOutcome;
using store::ArchiveError;
using store::ZipArchive;

namespace {

using testsupport::littleEndian;
using testsupport::readBytes;
using testsupport::writeBytes;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xff);
    return bytes;
}

// Table-like text: compresses well, as a real ADDRESS.DBF does.
std::string tableBytes(std::size_t size, int variant = 0) {
    std::string bytes;
    for (int row = 0; bytes.size() < size; ++row)
        bytes += " Entry " + std::to_string(row * 7 + variant) + " Phone: 555-01" +
                 std::to_string(row % 100) + "      20240115";
    bytes.resize(size);
    return bytes;
}

std::time_t moment(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

void setModified(const fs::path& path, std::time_t when) {
    const auto system = std::chrono::system_clock::from_time_t(when);
    fs::last_write_time(path, std::chrono::file_clock::from_sys(system));
}

struct RawEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::string extra;  // the extra fields of the central directory record
    std::string data;   // the entry's bytes as they stand in the file
};

struct RawArchive {
    std::vector<RawEntry> entries;
    std::string comment;

    const RawEntry* find(const std::string& name) const {
        for (const RawEntry& entry : entries)
            if (entry.name == name) return &entry;
        return nullptr;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const RawEntry& entry : entries) all.push_back(entry.name);
        return all;
    }
};

// Walks the end record, the central directory and each local header.
RawArchive readRaw(const fs::path& path) {
    const std::string bytes = readBytes(path);
    RawArchive archive;
    const std::size_t end = bytes.rfind(std::string("PK\5\6", 4));
    if (end == std::string::npos || bytes.size() < end + 22) {
        ADD_FAILURE() << "no end record in " << path;
        return archive;
    }
    const std::uint32_t count = littleEndian(bytes, end + 10, 2);
    std::size_t at = littleEndian(bytes, end + 16, 4);
    archive.comment = bytes.substr(end + 22, littleEndian(bytes, end + 20, 2));
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.compare(at, 4, "PK\1\2") != 0) {
            ADD_FAILURE() << "central header " << i << " damaged";
            break;
        }
        RawEntry entry;
        entry.flags = static_cast<std::uint16_t>(littleEndian(bytes, at + 8, 2));
        entry.method = static_cast<std::uint16_t>(littleEndian(bytes, at + 10, 2));
        entry.dosTime = static_cast<std::uint16_t>(littleEndian(bytes, at + 12, 2));
        entry.dosDate = static_cast<std::uint16_t>(littleEndian(bytes, at + 14, 2));
        entry.crc = littleEndian(bytes, at + 16, 4);
        entry.compressedSize = littleEndian(bytes, at + 20, 4);
        entry.size = littleEndian(bytes, at + 24, 4);
        const std::uint32_t nameLength = littleEndian(bytes, at + 28, 2);
        const std::uint32_t extraLength = littleEndian(bytes, at + 30, 2);
        const std::uint32_t commentLength = littleEndian(bytes, at + 32, 2);
        const std::size_t local = littleEndian(bytes, at + 42, 4);
        entry.name = bytes.substr(at + 46, nameLength);
        entry.extra = bytes.substr(at + 46 + nameLength, extraLength);
        if (bytes.compare(local, 4, "PK\3\4") != 0) {
            ADD_FAILURE() << "local header of " << entry.name << " damaged";
            break;
        }
        const std::size_t data =
            local + 30 + littleEndian(bytes, local + 26, 2) + littleEndian(bytes, local + 28, 2);
        entry.data = bytes.substr(data, entry.compressedSize);
        archive.entries.push_back(entry);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return archive;
}

// An entry's content after inflating, through libzip.
std::string entryContent(const fs::path& archivePath, const std::string& name) {
    int code = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &code);
    if (!archive) return "<cannot open>";
    std::string content;
    if (zip_file_t* file = zip_fopen(archive, name.c_str(), 0)) {
        char buffer[8192];
        zip_int64_t got = 0;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
            content.append(buffer, static_cast<std::size_t>(got));
        zip_fclose(file);
    } else {
        content = "<no entry>";
    }
    zip_discard(archive);
    return content;
}

struct ForeignEntry {
    std::string name;
    std::string content;
    bool deflate;
    bool extendedTime = false;  // Info-ZIP's "UT" field, which unzip prefers to the DOS time
};

// An archive written by another program: libzip directly, with a comment of its own.
void writeForeignArchive(const fs::path& path, const std::vector<ForeignEntry>& entries) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(archive, nullptr);
    for (const ForeignEntry& entry : entries) {
        zip_source_t* source =
            zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, 0);
        ASSERT_GE(index, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), moment(2019, 3, 4, 5, 6, 8),
                           0);
        if (entry.extendedTime) {
            const zip_uint8_t field[5] = {1, 0x10, 0x20, 0x30, 0x40};
            ASSERT_EQ(zip_file_extra_field_set(archive, static_cast<zip_uint64_t>(index), 0x5455,
                                               ZIP_EXTRA_FIELD_NEW, field, sizeof field,
                                               ZIP_FL_LOCAL | ZIP_FL_CENTRAL),
                      0);
        }
    }
    const std::string comment = "kept by another program";
    zip_set_archive_comment(archive, comment.c_str(), static_cast<zip_uint16_t>(comment.size()));
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

bool sameEntry(const RawEntry& a, const RawEntry& b) {
    return a.name == b.name && a.method == b.method && a.dosTime == b.dosTime &&
           a.dosDate == b.dosDate && a.crc == b.crc && a.size == b.size && a.extra == b.extra &&
           a.data == b.data;
}

constexpr uid_t kNobody = 65534;

std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string describe(const ArchiveError& error) {
    return "error: " + error.libraryText() + " | " + error.file().filename().string();
}

std::string describe(AddOutcome outcome) {
    switch (outcome) {
        case AddOutcome::Added:
            return "added";
        case AddOutcome::Refreshed:
            return "refreshed";
        case AddOutcome::Unchanged:
            return "unchanged";
        case AddOutcome::NotFound:
            return "not found";
        case AddOutcome::NotRegularFile:
            return "not a regular file";
        case AddOutcome::Hidden:
            return "hidden";
    }
    return "?";
}

struct ChildLimits {
    std::optional<rlim_t> fileSizeLimit;  // writes past it fail with EFBIG, as on a full disk
    bool asNobody = false;                // root's right to write anything set aside
};

// Runs `body` in a child process and returns what it reported: the text it appended to
// its report, then the archive error it ended with, if any; or "skip: ..." when the
// child could not be set up.
std::string inChild(const ChildLimits& limits, const std::function<void(std::string&)>& body) {
    int channel[2];
    if (pipe(channel) != 0) return "skip: no pipe";
    const pid_t child = fork();
    if (child < 0) return "skip: no fork";
    if (child == 0) {
        close(channel[0]);
        std::string report;
        bool ready = true;
        if (limits.fileSizeLimit) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*limits.fileSizeLimit, *limits.fileSizeLimit};
            ready = setrlimit(RLIMIT_FSIZE, &limit) == 0;
            if (!ready) report = "skip: cannot limit the file size";
        }
        if (ready && limits.asNobody && geteuid() == 0) {
            ready = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
            if (!ready) report = "skip: cannot become nobody";
        }
        if (ready) {
            try {
                body(report);
            } catch (const ArchiveError& error) {
                report += describe(error);
            } catch (const std::exception& error) {
                report += std::string("exception: ") + error.what();
            }
        }
        const ssize_t ignored = write(channel[1], report.data(), report.size());
        (void)ignored;
        _exit(0);
    }
    close(channel[1]);
    std::string report;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(channel[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, static_cast<std::size_t>(got));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return "child died";
    return report;
}

class ArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        data = folder.path() / "data";
        fs::create_directory(data);
        archivePath = data / "MGdata.zip";
        writeBytes(data / "ADDRESS.DBF", tableBytes(40000));
        writeBytes(data / "ADDRESS.fpt", tableBytes(25000, 3));
        setModified(data / "ADDRESS.DBF", moment(2024, 5, 6, 7, 8, 10));
        setModified(data / "ADDRESS.fpt", moment(2024, 5, 6, 7, 8, 12));
    }

    // One run of the maintenance command's archive step.
    std::vector<AddOutcome> archiveRun() {
        ZipArchive archive(archivePath);
        std::vector<AddOutcome> outcomes{archive.addFile(data / "ADDRESS.DBF").outcome,
                                         archive.addFile(data / "ADDRESS.fpt").outcome};
        archive.close();
        return outcomes;
    }

    // The failure tests hand the folder to the user nobody, who must be able to reach it.
    testsupport::TempDir folder{fs::temp_directory_path()};
    fs::path data;
    fs::path archivePath;
};

TEST_F(ArchiveTest, FirstRunCreatesTheArchiveWithBothFilesUnderTheirBareNames) {
    ZipArchive archive(archivePath);
    // Dot parts and folders in the path given never reach the entry name.
    const store::AddResult table = archive.addFile(data / "." / ".." / "data" / "ADDRESS.DBF");
    const store::AddResult memo = archive.addFile(data / "ADDRESS.fpt");
    archive.close();

    EXPECT_EQ(table.outcome, AddOutcome::Added);
    EXPECT_EQ(table.entryName, "ADDRESS.DBF");
    EXPECT_EQ(memo.outcome, AddOutcome::Added);
    EXPECT_EQ(memo.entryName, "ADDRESS.fpt");
    const RawArchive raw = readRaw(archivePath);
    EXPECT_EQ(raw.names(), (std::vector<std::string>{"ADDRESS.DBF", "ADDRESS.fpt"}));
    EXPECT_TRUE(entryContent(archivePath, "ADDRESS.DBF") == readBytes(data / "ADDRESS.DBF"));
    EXPECT_TRUE(entryContent(archivePath, "ADDRESS.fpt") == readBytes(data / "ADDRESS.fpt"));
    // The file's own date and time: 2024-05-06 07:08:10 local.
    ASSERT_NE(raw.find("ADDRESS.DBF"), nullptr);
    EXPECT_EQ(raw.find("ADDRESS.DBF")->dosDate, (44 << 9) | (5 << 5) | 6);
    EXPECT_EQ(raw.find("ADDRESS.DBF")->dosTime, (7 << 11) | (8 << 5) | 5);
}

TEST_F(ArchiveTest, EachEntryIsOnDiskBeforeTheNextFileIsTaken) {
    ZipArchive archive(archivePath);
    archive.addFile(data / "ADDRESS.DBF");
    // Still open, yet another reader already finds the first entry complete.
    EXPECT_EQ(readRaw(archivePath).names(), std::vector<std::string>{"ADDRESS.DBF"});
    EXPECT_TRUE(entryContent(archivePath, "ADDRESS.DBF") == readBytes(data / "ADDRESS.DBF"));
    EXPECT_TRUE(archive.isOpen());
}

TEST_F(ArchiveTest, AnUnchangedRunLeavesTheArchiveByteForByte) {
    archiveRun();
    const std::string before = readBytes(archivePath);
    // Only date, time and size count: other content of the same size, with a modification
    // time in the same two-second step, is the same file to the archive.
    writeBytes(data / "ADDRESS.DBF", tableBytes(40000, 5));
    setModified(data / "ADDRESS.DBF", moment(2024, 5, 6, 7, 8, 11));

    EXPECT_EQ(archiveRun(),
              (std::vector<AddOutcome>{AddOutcome::Unchanged, AddOutcome::Unchanged}));
    EXPECT_TRUE(readBytes(archivePath) == before) << "the archive was rewritten";
}

TEST_F(ArchiveTest, AChangedFileReplacesItsEntryAndLeavesTheOther) {
    struct Change {
        const char* what;
        std::string content;
        std::time_t modified;
    };
    const std::string original = readBytes(data / "ADDRESS.DBF");
    const std::vector<Change> changes{
        {"content and time", tableBytes(40000, 1), moment(2024, 5, 7, 9, 0, 0)},
        {"size only", tableBytes(40001), moment(2024, 5, 6, 7, 8, 10)},
        {"time only", original, moment(2024, 5, 6, 7, 8, 12)},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        writeBytes(data / "ADDRESS.DBF", original);
        setModified(data / "ADDRESS.DBF", moment(2024, 5, 6, 7, 8, 10));
        fs::remove(archivePath);
        archiveRun();
        const RawArchive before = readRaw(archivePath);

        writeBytes(data / "ADDRESS.DBF", change.content);
        setModified(data / "ADDRESS.DBF", change.modified);
        EXPECT_EQ(archiveRun(),
                  (std::vector<AddOutcome>{AddOutcome::Refreshed, AddOutcome::Unchanged}));

        const RawArchive after = readRaw(archivePath);
        // The refreshed entry now stands last.
        ASSERT_EQ(after.names(), (std::vector<std::string>{"ADDRESS.fpt", "ADDRESS.DBF"}));
        EXPECT_TRUE(sameEntry(*after.find("ADDRESS.fpt"), *before.find("ADDRESS.fpt")));
        EXPECT_TRUE(entryContent(archivePath, "ADDRESS.DBF") == change.content);
        const RawEntry& table = *after.find("ADDRESS.DBF");
        EXPECT_EQ(table.size, change.content.size());
        const store::DosDateTime stamp = store::toDosDateTime(change.modified);
        EXPECT_EQ(table.dosDate, stamp.date);
        EXPECT_EQ(table.dosTime, stamp.time);
        // Deflated at the normal level, as a new entry would be.
        EXPECT_EQ(table.method, ZIP_CM_DEFLATE);
        EXPECT_EQ(table.flags & 6, 0) << "compression level bits";
        EXPECT_EQ(table.compressedSize, store::deflateFile(data / "ADDRESS.DBF").deflated.size());
    }
}

TEST_F(ArchiveTest, AnEntryInOtherLetterCaseIsRefreshedNotDuplicated) {
    writeForeignArchive(archivePath, {{"address.dbf", "old table", true}});

    ZipArchive archive(archivePath);
    const store::AddResult result = archive.addFile(data / "ADDRESS.DBF");
    archive.close();

    EXPECT_EQ(result.outcome, AddOutcome::Refreshed);
    EXPECT_EQ(result.entryName, "address.dbf");
    const RawArchive raw = readRaw(archivePath);
    EXPECT_EQ(raw.names(), std::vector<std::string>{"address.dbf"});
    EXPECT_TRUE(entryContent(archivePath, "address.dbf") == readBytes(data / "ADDRESS.DBF"));
    EXPECT_EQ(raw.entries.at(0).dosDate, store::toDosDateTime(moment(2024, 5, 6, 0, 0, 0)).date);
}

TEST_F(ArchiveTest, AFileFoundInOtherLetterCaseKeepsItsOwnName) {
    fs::rename(data / "ADDRESS.DBF", data / "address.dbf");
    writeBytes(data / "Address.Fpt", "memo, other case");
    writeBytes(data / "ADDRESS.fpt", "memo, exact case");

    ZipArchive archive(archivePath);
    const store::AddResult table = archive.addFile(data / "ADDRESS.DBF");
    const store::AddResult memo = archive.addFile(data / "ADDRESS.fpt");

    EXPECT_EQ(table.outcome, AddOutcome::Added);
    EXPECT_EQ(table.entryName, "address.dbf");
    EXPECT_EQ(table.file, data / "address.dbf");
    // The exact name wins over another spelling.
    EXPECT_EQ(memo.entryName, "ADDRESS.fpt");
    EXPECT_EQ(entryContent(archivePath, "ADDRESS.fpt"), "memo, exact case");
}

TEST_F(ArchiveTest, EntriesOfOtherProgramsAndTheCommentAreKept) {
    writeForeignArchive(archivePath, {{"notes/readme.txt", tableBytes(5000), true},
                                      {"photo.jpg", randomBytes(3000, 1), false},
                                      {"ADDRESS.fpt", "stale memo", true}});
    const RawArchive before = readRaw(archivePath);

    EXPECT_EQ(archiveRun(), (std::vector<AddOutcome>{AddOutcome::Added, AddOutcome::Refreshed}));

    const RawArchive after = readRaw(archivePath);
    EXPECT_EQ(after.names(), (std::vector<std::string>{"notes/readme.txt", "photo.jpg",
                                                       "ADDRESS.DBF", "ADDRESS.fpt"}));
    EXPECT_TRUE(sameEntry(*after.find("notes/readme.txt"), *before.find("notes/readme.txt")));
    EXPECT_TRUE(sameEntry(*after.find("photo.jpg"), *before.find("photo.jpg")));
    EXPECT_EQ(after.comment, "kept by another program");
}

TEST_F(ArchiveTest, ARefreshedEntryDropsWhatAnotherProgramNotedAboutTheOldFile) {
    writeForeignArchive(archivePath, {{"ADDRESS.DBF", "old table", true, true},
                                      {"photo.jpg", randomBytes(300, 2), false, true}});
    ASSERT_FALSE(readRaw(archivePath).find("ADDRESS.DBF")->extra.empty());
    const RawEntry photo = *readRaw(archivePath).find("photo.jpg");

    EXPECT_EQ(archiveRun()[0], AddOutcome::Refreshed);

    // Its old time stamp would otherwise win over the new DOS time in unzip.
    const RawArchive after = readRaw(archivePath);
    EXPECT_EQ(after.find("ADDRESS.DBF")->extra, "");
    EXPECT_TRUE(sameEntry(*after.find("photo.jpg"), photo));
}

TEST_F(ArchiveTest, DeflatesOnlyWhatGetsSmaller) {
    writeBytes(data / "noise.bin", randomBytes(100 * 1024, 7));
    writeBytes(data / "tiny.txt", "hello");  // deflate adds more than five bytes of overhead
    writeBytes(data / "empty.txt", "");

    ZipArchive archive(archivePath);
    for (const char* name : {"ADDRESS.DBF", "noise.bin", "tiny.txt", "empty.txt"})
        ASSERT_EQ(archive.addFile(data / name).outcome, AddOutcome::Added) << name;
    archive.close();

    const RawArchive raw = readRaw(archivePath);
    const RawEntry& table = *raw.find("ADDRESS.DBF");
    EXPECT_EQ(table.method, ZIP_CM_DEFLATE);
    EXPECT_LT(table.compressedSize, table.size / 4);
    // What the archive holds is the file deflated once, byte for byte.
    EXPECT_TRUE(table.data == store::deflateFile(data / "ADDRESS.DBF").deflated);
    for (const char* name : {"noise.bin", "tiny.txt", "empty.txt"}) {
        const RawEntry& entry = *raw.find(name);
        EXPECT_EQ(entry.method, ZIP_CM_STORE) << name;
        EXPECT_EQ(entry.compressedSize, entry.size) << name;
        EXPECT_TRUE(entry.data == readBytes(data / name)) << name;
    }
}

// Inflates a raw deflate stream; "<bad stream>" when zlib refuses it or it ends early.
std::string inflateRaw(const std::string& deflated) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return "<bad stream>";
    std::string out;
    char buffer[65536];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END && stream.avail_in == 0 ? out : "<bad stream>";
}

TEST_F(ArchiveTest, BlocksDeflatedSideBySideMakeOneStreamWhateverTheThreads) {
    // Across block and batch boundaries, with matches reaching back over them.
    const std::size_t block = 256 * 1024;
    for (std::size_t size : {std::size_t{6}, block - 1, block + 1, 33 * block + 7}) {
        SCOPED_TRACE(size);
        const std::string content = tableBytes(size, static_cast<int>(size % 5));
        writeBytes(data / "content", content);
        const store::DeflatedFile one = store::deflateFile(data / "content", 1);
        const store::DeflatedFile three = store::deflateFile(data / "content", 3);
        EXPECT_EQ(one.size, size);
        EXPECT_TRUE(one.deflated == three.deflated);
        if (size < 16) {
            EXPECT_EQ(one.choice, store::EntryCompression::Stored);
            continue;
        }
        ASSERT_EQ(one.choice, store::EntryCompression::Deflated);
        EXPECT_TRUE(inflateRaw(one.deflated) == content);
        EXPECT_EQ(one.crc, crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                                 static_cast<uInt>(content.size())));
        // Priming each block with the one before keeps nearly all of one long stream's gain.
        EXPECT_LT(one.deflated.size(), size / 4);
    }
}

TEST_F(ArchiveTest, OnlyOrdinaryVisibleFilesAreTaken) {
    fs::create_directory(data / "ADDRESS.CDX");
    writeBytes(data / "ADDRESS.CDX" / "inside.txt", "not taken: no recursion");
    writeBytes(data / ".hidden.dbf", "a dot file");
    fs::create_directory_symlink(data / "ADDRESS.CDX", data / "folder-link");
    fs::create_symlink(data / "gone.dbf", data / "dangling-link");
    fs::create_symlink(data / "ADDRESS.DBF", data / "table-link.dbf");
    ASSERT_EQ(mkfifo((data / "pipe.dbf").c_str(), 0600), 0);

    ZipArchive archive(archivePath);
    EXPECT_EQ(archive.addFile(data / "MISSING.DBF").outcome, AddOutcome::NotFound);
    EXPECT_EQ(archive.addFile(folder.path() / "nowhere" / "ADDRESS.DBF").outcome,
              AddOutcome::NotFound);
    EXPECT_EQ(archive.addFile(data / "ADDRESS.CDX").outcome, AddOutcome::NotRegularFile);
    EXPECT_EQ(archive.addFile(data / ".hidden.dbf").outcome, AddOutcome::Hidden);
    EXPECT_EQ(archive.addFile(data / "folder-link").outcome, AddOutcome::NotRegularFile);
    EXPECT_EQ(archive.addFile(data / "dangling-link").outcome, AddOutcome::NotRegularFile);
    // A pipe would block the reader forever.
    EXPECT_EQ(archive.addFile(data / "pipe.dbf").outcome, AddOutcome::NotRegularFile);
    // A link is never followed, not even to an ordinary file: it could be any file.
    EXPECT_EQ(archive.addFile(data / "table-link.dbf").outcome, AddOutcome::NotRegularFile);
    EXPECT_EQ(archive.addFile(data / "TABLE-LINK.DBF").outcome, AddOutcome::NotRegularFile);
    archive.close();
    EXPECT_TRUE(readRaw(archivePath).names().empty());
}

TEST_F(ArchiveTest, ANewArchiveThatTookNothingIsWrittenEmpty) {
    fs::remove(data / "ADDRESS.DBF");
    fs::remove(data / "ADDRESS.fpt");
    EXPECT_EQ(archiveRun(), (std::vector<AddOutcome>{AddOutcome::NotFound, AddOutcome::NotFound}));

    ASSERT_TRUE(fs::exists(archivePath));
    EXPECT_TRUE(readRaw(archivePath).entries.empty());
    // And a later run fills it.
    writeBytes(data / "ADDRESS.DBF", "table");
    EXPECT_EQ(archiveRun()[0], AddOutcome::Added);
    EXPECT_EQ(readRaw(archivePath).names(), std::vector<std::string>{"ADDRESS.DBF"});
}

TEST_F(ArchiveTest, WhatIsNotAZipArchiveIsRefusedAndLeftAlone) {
    const std::vector<std::pair<const char*, std::string>> impostors{
        {"text", "These are my notes, not an archive.\n"},
        {"empty file", ""},
        {"cut archive", ""},
    };
    archiveRun();
    const std::string valid = readBytes(archivePath);
    for (auto [what, content] : impostors) {
        SCOPED_TRACE(what);
        if (std::string(what) == "cut archive") content = valid.substr(0, valid.size() / 2);
        writeBytes(archivePath, content);
        try {
            ZipArchive archive(archivePath);
            ADD_FAILURE() << "opened";
        } catch (const ArchiveError& error) {
            EXPECT_EQ(error.libraryText(), "Not a zip archive");
            EXPECT_EQ(error.file(), archivePath);
            EXPECT_NE(std::string(error.what()).find(archivePath.string()), std::string::npos);
        }
        EXPECT_TRUE(readBytes(archivePath) == content) << "the file was changed";
    }
}

TEST_F(ArchiveTest, AFolderOrALinkInTheArchivesPlaceIsRefused) {
    fs::create_directory(archivePath);
    try {
        ZipArchive archive(archivePath);
        ADD_FAILURE() << "opened";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.libraryText(), "Can't open file: Is a directory");
    }
    EXPECT_TRUE(fs::is_directory(archivePath));

    // A link to another zip-format file (a .docx, a .jar) is neither read nor written.
    fs::remove(archivePath);
    const fs::path document = folder.path() / "report.docx";
    {
        ZipArchive other(document);
        other.addFile(data / "ADDRESS.fpt");
    }
    const std::string before = readBytes(document);
    fs::create_symlink(document, archivePath);
    try {
        ZipArchive archive(archivePath);
        ADD_FAILURE() << "opened";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.libraryText(),
                  "The archive is a symbolic link, which this program never uses");
    }
    EXPECT_TRUE(readBytes(document) == before) << "the linked file was changed";
    EXPECT_TRUE(fs::is_symlink(archivePath));
}

TEST_F(ArchiveTest, AReadOnlyArchiveIsRefusedAndLeftAlone) {
    archiveRun();
    writeBytes(data / "ADDRESS.DBF", "changed table");
    const std::string before = readBytes(archivePath);
    fs::permissions(archivePath, fs::perms::owner_read | fs::perms::group_read);

    try {
        ZipArchive archive(archivePath);
        ADD_FAILURE() << "opened";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.zipError(), ZIP_ER_RDONLY);
        EXPECT_EQ(error.libraryText(), "Read-only archive");
    }
    EXPECT_TRUE(readBytes(archivePath) == before) << "the archive was rewritten";
}

TEST_F(ArchiveTest, ADamagedArchiveIsNotRewritten) {
    archiveRun();
    // The first entry's compressed size, in the central directory, now runs past the end.
    std::string damaged = readBytes(archivePath);
    const std::size_t central = damaged.find(std::string("PK\1\2", 4));
    ASSERT_NE(central, std::string::npos);
    damaged.replace(central + 20, 4, "\xff\xff\xff\x0f");
    writeBytes(archivePath, damaged);
    writeBytes(data / "ADDRESS.fpt", "a new memo file");

    try {
        ZipArchive archive(archivePath);
        archive.addFile(data / "ADDRESS.fpt");
        ADD_FAILURE() << "written";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.file(), archivePath) << error.what();
    }
    EXPECT_TRUE(readBytes(archivePath) == damaged) << "the archive was rewritten";
}

TEST_F(ArchiveTest, AfterAFailedWriteTheArchiveIsClosed) {
    ZipArchive archive(archivePath);
    // The folder goes away under the open archive: the write cannot happen.
    fs::rename(data, folder.path() / "moved");
    EXPECT_THROW(archive.addFile(folder.path() / "moved" / "ADDRESS.DBF"), ArchiveError);
    EXPECT_FALSE(archive.isOpen());
    EXPECT_THROW(archive.addFile(folder.path() / "moved" / "ADDRESS.fpt"), std::logic_error);
}

// Failures that need the operating system's help: a user who may not write the folder or
// read a file (root drops to the user nobody for these). Each runs in a child process, so that its
// limit and identity stay there; the parent then checks what is left on disk.
class ArchiveFailureTest : public ArchiveTest {
  protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        archiveRun();
        original = readBytes(archivePath);
    }

    // Lets the user nobody reach the test folder.
    void openFolderToAll() {
        fs::permissions(folder.path(), fs::perms::all);
        fs::permissions(data, fs::perms::all);
    }

    std::string original;
};

#define SKIP_IF_UNSUPPORTED(report) \
    if ((report).rfind("skip:", 0) == 0) GTEST_SKIP() << (report)

TEST_F(ArchiveFailureTest, AFolderTheUserMayNotWriteGivesTheErrorAndChangesNothing) {
    openFolderToAll();
    fs::permissions(archivePath, fs::perms::all);  // the archive itself is writable
    writeBytes(data / "ADDRESS.DBF", "changed");
    const fs::perms readAndEnter = fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(data, readAndEnter);

    const std::string report = inChild({std::nullopt, true}, [&](std::string& out) {
        try {
            ZipArchive existing(archivePath);
            out += describe(existing.addFile(data / "ADDRESS.DBF").outcome);
        } catch (const ArchiveError& error) {
            out += describe(error);
        }
        out += ", ";
        ZipArchive fresh(data / "NEW.zip");
        out += describe(fresh.addFile(data / "ADDRESS.DBF").outcome);
    });
    fs::permissions(data, fs::perms::all);
    SKIP_IF_UNSUPPORTED(report);

    EXPECT_EQ(report,
              "error: Failure to create temporary file: Permission denied | MGdata.zip, "
              "error: Failure to create temporary file: Permission denied | NEW.zip");
    EXPECT_TRUE(readBytes(archivePath) == original) << "the archive was changed";
    EXPECT_FALSE(fs::exists(data / "NEW.zip"));
}

TEST_F(ArchiveFailureTest, AnArchiveTheUserMayNotWriteIsReadOnly) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to stand for another user";
    openFolderToAll();  // the folder is writable, the archive (root's, 0644) is not

    const std::string report = inChild({std::nullopt, true}, [&](std::string& out) {
        ZipArchive archive(archivePath);
        out += "opened";
    });
    SKIP_IF_UNSUPPORTED(report);

    EXPECT_EQ(report, "error: Read-only archive | MGdata.zip");
}

TEST_F(ArchiveFailureTest, AFileTheUserMayNotReadGivesTheErrorNamingThatFile) {
    openFolderToAll();
    fs::permissions(archivePath, fs::perms::all);
    writeBytes(data / "ADDRESS.fpt", "new memo");
    fs::permissions(data / "ADDRESS.fpt", fs::perms::none);

    const std::string report = inChild({std::nullopt, true}, [&](std::string& out) {
        ZipArchive archive(archivePath);
        out += describe(archive.addFile(data / "ADDRESS.fpt").outcome);
    });
    SKIP_IF_UNSUPPORTED(report);
    if (report == "refreshed") GTEST_SKIP() << "this user may read any file";

    EXPECT_EQ(report, "error: Can't open file: Permission denied | ADDRESS.fpt");
    EXPECT_TRUE(readBytes(archivePath) == original) << "the archive was changed";
}

}  // namespace

namespace {

// The archive refresh on a disk that fails at every step: each write, sync, rename and
// create in turn, the disk full at each write, a crash at each change. The archive is then
// the old one, the old one with the table's entry refreshed (each entry is written out
// before the next file is taken), or the new one; a reported failure names the archive and
// the cause, and leaves nothing beside it.
class ArchiveOnAFailingDisk : public ArchiveFailureTest {
  protected:
    void SetUp() override {
        ArchiveFailureTest::SetUp();
        fs::copy_file(archivePath, folder.path() / "old.zip");
        writeBytes(data / "ADDRESS.DBF", tableBytes(41000, 5));
        writeBytes(data / "ADDRESS.fpt", randomBytes(9000, 6));
        states = {contents(), "", ""};
        archiveRun(counts);
        states[2] = contents();
    }

    // The archive step on `disk`; the failure it reported, "" for none.
    std::string archiveRun(testsupport::FaultInjectingFileSystem& disk) {
        fs::copy_file(folder.path() / "old.zip", archivePath, fs::copy_options::overwrite_existing);
        try {
            ZipArchive archive(archivePath, &disk);
            archive.addFile(data / "ADDRESS.DBF");
            if (states[1].empty()) states[1] = contents();
            archive.addFile(data / "ADDRESS.fpt");
            archive.close();
        } catch (const ArchiveError& error) {
            return error.what();
        }
        return {};
    }

    // Every entry with its content as read back through libzip, which checks each CRC.
    std::string contents() {
        std::string all;
        for (const RawEntry& entry : readRaw(archivePath).entries)
            all += entry.name + "=" + entryContent(archivePath, entry.name) + "\n";
        return all;
    }

    void expectWholeArchive(const std::string& failure, bool crashed, bool killed) {
        const std::string now = contents();
        const int state =
            static_cast<int>(std::find(states.begin(), states.end(), now) - states.begin());
        ASSERT_LT(state, 3) << "the archive is none of the states it may be in";
        if (!crashed) {
            EXPECT_EQ(state == 2, failure.empty()) << failure;
        }
        if (!killed) {  // a killed run leaves its unfinished archive beside, as libzip's did
            EXPECT_EQ(folderNames(data),
                      (std::vector<std::string>{"ADDRESS.DBF", "ADDRESS.fpt", "MGdata.zip"}));
        }
    }

    std::vector<std::string> states;
    testsupport::FaultInjectingFileSystem counts;
};

TEST_F(ArchiveOnAFailingDisk, EachFailingStepLeavesAWholeArchiveAndSaysWhatFailed) {
    int points = 0;
    for (testsupport::DiskOperation op : testsupport::kFailingOperations) {
        for (int n = 1; n <= counts.count(op); ++n, ++points) {
            SCOPED_TRACE(std::string(testsupport::operationName(op)) + " " + std::to_string(n) +
                         " fails");
            testsupport::FaultInjectingFileSystem disk;
            disk.failNth(op, n);
            const std::string failure = archiveRun(disk);
            EXPECT_NE(failure.find(std::strerror(EIO)), std::string::npos) << failure;
            EXPECT_NE(failure.find("MGdata.zip"), std::string::npos) << failure;
            expectWholeArchive(failure, false, false);
        }
    }
    RecordProperty("failure points", points);
}

TEST_F(ArchiveOnAFailingDisk, AFullDiskAtAnyByteLeavesAWholeArchive) {
    std::vector<uint64_t> points;
    for (uint64_t grown : counts.growthBeforeWrites())
        points.insert(points.end(), {grown, grown + 1});
    for (uint64_t room : points) {
        SCOPED_TRACE("disk full after " + std::to_string(room) + " bytes");
        testsupport::FaultInjectingFileSystem disk;
        disk.fillDiskAfter(room);
        const std::string failure = archiveRun(disk);
        EXPECT_NE(failure.find(std::strerror(ENOSPC)), std::string::npos) << failure;
        expectWholeArchive(failure, false, false);
    }
    RecordProperty("failure points", static_cast<int>(points.size()));
}

TEST_F(ArchiveOnAFailingDisk, ACrashAtAnyStepLeavesAWholeArchive) {
    for (auto kind : {testsupport::CrashKind::PowerCut, testsupport::CrashKind::ProcessKilled}) {
        for (int n = 1; n <= counts.changes(); ++n) {
            SCOPED_TRACE((kind == testsupport::CrashKind::PowerCut ? "power cut at change "
                                                                   : "killed at change ") +
                         std::to_string(n));
            testsupport::FaultInjectingFileSystem disk;
            disk.crashAtChange(n);
            archiveRun(disk);
            ASSERT_TRUE(disk.crashed());
            disk.recover(kind);
            expectWholeArchive({}, true, kind == testsupport::CrashKind::ProcessKilled);
        }
    }
    RecordProperty("failure points", counts.changes() * 2);
}

}  // namespace
