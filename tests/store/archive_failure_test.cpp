// Failures that need the operating system's help to happen: a full disk (a file-size limit
// stands in for it) and a user who may not write the folder or read a file (root drops to
// the user nobody for these). Each runs in a child process, so that its limit and identity
// stay there; the parent then checks what is left on disk.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "archive.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using store::AddOutcome;
using store::ArchiveError;
using store::ZipArchive;

namespace {

constexpr uid_t kNobody = 65534;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xff);
    return bytes;
}

std::string entryContent(const fs::path& archivePath, const std::string& name) {
    int code = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &code);
    if (!archive) return "<cannot open>";
    std::string content = "<no entry>";
    if (zip_file_t* file = zip_fopen(archive, name.c_str(), 0)) {
        content.clear();
        char buffer[8192];
        zip_int64_t got = 0;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
            content.append(buffer, static_cast<std::size_t>(got));
        zip_fclose(file);
    }
    zip_discard(archive);
    return content;
}

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

class ArchiveFailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        data = folder.path() / "data";
        fs::create_directory(data);
        archivePath = data / "MGdata.zip";
        writeBytes(data / "ADDRESS.DBF", std::string(30000, 'n'));
        writeBytes(data / "ADDRESS.fpt", std::string(20000, 'm'));
        ZipArchive archive(archivePath);
        archive.addFile(data / "ADDRESS.DBF");
        archive.addFile(data / "ADDRESS.fpt");
        archive.close();
        original = readBytes(archivePath);
    }

    // Lets the user nobody reach the test folder.
    void openFolderToAll() {
        fs::permissions(folder.path(), fs::perms::all);
        fs::permissions(data, fs::perms::all);
    }

    testsupport::TempDir folder;
    fs::path data;
    fs::path archivePath;
    std::string original;
};

#define SKIP_IF_UNSUPPORTED(report) \
    if ((report).rfind("skip:", 0) == 0) GTEST_SKIP() << (report)

TEST_F(ArchiveFailureTest, AFullDiskLeavesThePreviousArchiveAndNoLeftovers) {
    writeBytes(data / "ADDRESS.fpt", randomBytes(200 * 1024, 3));

    const std::string report = inChild({64 * 1024, false}, [&](std::string& out) {
        ZipArchive archive(archivePath);
        out += describe(archive.addFile(data / "ADDRESS.fpt").outcome);
    });
    SKIP_IF_UNSUPPORTED(report);

    EXPECT_EQ(report, "error: Write error: File too large | MGdata.zip");
    EXPECT_TRUE(readBytes(archivePath) == original) << "the archive was changed";
    EXPECT_EQ(folderNames(data),
              (std::vector<std::string>{"ADDRESS.DBF", "ADDRESS.fpt", "MGdata.zip"}));
}

TEST_F(ArchiveFailureTest, AFailureOnTheSecondFileKeepsTheFirstOneRefreshed) {
    writeBytes(data / "ADDRESS.DBF", std::string(30001, 'N'));
    writeBytes(data / "ADDRESS.fpt", randomBytes(200 * 1024, 4));

    const std::string report = inChild({64 * 1024, false}, [&](std::string& out) {
        ZipArchive archive(archivePath);
        out += describe(archive.addFile(data / "ADDRESS.DBF").outcome) + ", ";
        out += describe(archive.addFile(data / "ADDRESS.fpt").outcome);
    });
    SKIP_IF_UNSUPPORTED(report);

    EXPECT_EQ(report, "refreshed, error: Write error: File too large | MGdata.zip");
    EXPECT_TRUE(entryContent(archivePath, "ADDRESS.DBF") == std::string(30001, 'N'));
    EXPECT_TRUE(entryContent(archivePath, "ADDRESS.fpt") == std::string(20000, 'm'));
}

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
