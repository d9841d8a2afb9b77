// Pack and reindex: deleted records gone, memos compacted, indexes rebuilt, and a pack
// that fails or crashes part-way leaves the old table or the new one, never half.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include "pack_hook.h"
#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

const std::vector<std::string> kAll = {"Adams", "Baker", "Cole", "Dunn", "Evans"};
const std::vector<std::string> kKept = {"Adams", "Cole", "Evans"};

// Five entries with memos, Baker and Dunn deleted.
fs::path makeTableToPack(const fs::path& folder) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& n : kAll) entries.push_back({n, "Memo of " + n + std::string(300, '.')});
    const fs::path path = makeAddressTable(folder, entries);
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    for (const char* gone : {"BAKER", "DUNN"}) {
        EXPECT_TRUE(c.seekExact(gone));
        c.deleteRecord();
    }
    // Replaced memos leave dead space that a pack gives back.
    c.seekExact("ADAMS");
    c.edit();
    c.setMemo(1, "Memo of Adams" + std::string(300, '.'));
    c.setText(0, "Adams");
    c.post();
    return path;
}

std::vector<std::string> namesOnDisk(const fs::path& path) {
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    return names(c);
}

class PackHookGuard {
public:
    explicit PackHookGuard(std::function<void(std::string_view)> hook) { xbase::packHook().set(std::move(hook)); }
    ~PackHookGuard() { xbase::packHook().set(nullptr); }
};

TEST(Pack, RemovesDeletedRecordsAndCompactsMemos) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    const auto memoBefore = fs::file_size(dir / "ADDRESS.fpt");
    Cursor c;
    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.last();
    c.pack();
    EXPECT_EQ(c.text(0), "Adams");  // the first record is current
    EXPECT_TRUE(c.bof());
    EXPECT_EQ(c.physicalRecordCount(), 3u);
    EXPECT_EQ(names(c), kKept);
    c.seekExact("EVANS");
    EXPECT_EQ(c.memo(1), "Memo of Evans" + std::string(300, '.'));
    EXPECT_LT(fs::file_size(dir / "ADDRESS.fpt"), memoBefore);
    EXPECT_EQ(fs::file_size(path), 129u + 3 * 49 + 1);
    c.close();
    const auto report = xbase::checkTable(path);
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults[0]);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".pack"), std::string::npos) << entry.path();
}

TEST(Pack, NeedsExclusiveUseAndResetsOtherCursorsOfTheProgram) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    Cursor shared, other;
    shared.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    EXPECT_THROW(shared.pack(), xbase::Error);
    other.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    other.last();
    Cursor exclusive;
    exclusive.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    exclusive.pack();
    exclusive.close();
    other.next();  // its old position means nothing after the renumbering
    EXPECT_EQ(names(other), kKept);
    EXPECT_EQ(names(shared), kKept);
}

TEST(Pack, FailureBeforeTheSwitchLeavesTheOldTable) {
    for (const char* step : {"memo file started", "records written", "table synced", "index written"}) {
        testsupport::TempDir dir;
        const fs::path path = makeTableToPack(dir.path());
        const std::string before = readBytes(path);
        {
            PackHookGuard guard([step](std::string_view at) {
                if (at == step) throw xbase::Error(xbase::ErrorKind::IoError, 2003, "disk full");
            });
            Cursor c;
            c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
            EXPECT_THROW(c.pack(), xbase::Error) << step;
            EXPECT_EQ(names(c).size(), 3u) << step;  // still usable
        }
        EXPECT_EQ(readBytes(path), before) << step;
        EXPECT_EQ(namesOnDisk(path), kKept) << step;
        EXPECT_TRUE(xbase::checkTable(path).ok()) << step;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".pack"), std::string::npos)
                << step << " left " << entry.path();
    }
}

// A child process packs and dies at `step`, as in a power cut; the next open must find a
// whole table: the old one before the marker is written, the new one after it.
void crashPackAt(const fs::path& path, const std::string& step) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        xbase::packHook().set([step](std::string_view at) {
            if (at == step) _exit(0);
        });
        try {
            Cursor c;
            c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
            c.pack();
        } catch (...) {
            _exit(3);
        }
        _exit(4);  // the step never came
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the pack did not reach " << step;
}

TEST(Pack, CrashAtAnyStepLeavesAWholeTable) {
    struct Case {
        std::string step;
        bool packed;  // whether the next open sees the packed table
    };
    const std::vector<Case> cases = {{"memo file started", false}, {"records written", false},
                                     {"table synced", false},      {"index written", false},
                                     {"marker written", true},     {"renamed ADDRESS.DBF", true},
                                     {"renamed ADDRESS.fpt", true}, {"files renamed", true}};
    for (const auto& [step, packed] : cases) {
        testsupport::TempDir dir;
        const fs::path path = makeTableToPack(dir.path());
        crashPackAt(path, step);
        Cursor c;
        c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
        EXPECT_EQ(names(c), kKept) << step;
        EXPECT_EQ(c.physicalRecordCount(), packed ? 3u : 5u) << step;
        c.seekExact("COLE");
        EXPECT_EQ(c.memo(1), "Memo of Cole" + std::string(300, '.')) << step;
        c.close();
        const auto report = xbase::checkTable(path);
        EXPECT_TRUE(report.ok()) << step << ": " << (report.faults.empty() ? "" : report.faults[0]);
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.find(".pack"), std::string::npos) << step << " left " << name;
        }
    }
}

TEST(Reindex, RebuildsADamagedIndex) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    // Rename an entry behind the index's back by writing the DBF directly.
    std::string dbf = readBytes(path);
    const size_t adams = 129 + 1;
    ASSERT_EQ(dbf.substr(adams, 5), "Adams");
    dbf.replace(adams, 5, "Zorro");
    writeBytes(path, dbf);
    EXPECT_FALSE(xbase::checkTable(path).ok());
    Cursor c;
    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.reindex();
    EXPECT_EQ(names(c), (std::vector<std::string>{"Cole", "Evans", "Zorro"}));
    c.close();
    EXPECT_TRUE(xbase::checkTable(path).ok());
}

TEST(CreateIndex, NeedsExclusiveUseAndAValidExpression) {
    testsupport::TempDir dir;
    const fs::path path = makeTableToPack(dir.path());
    Cursor c;
    c.open(path);
    EXPECT_THROW(c.createIndex("Other", "Name"), xbase::Error);
    c.close();
    c.open(path, openOptions(ShareMode::Exclusive));
    EXPECT_THROW(c.createIndex("Other", "upper(Nmae)"), xbase::Error);
    EXPECT_THROW(c.createIndex("Bad name", "Name"), xbase::Error);
    c.createIndex("ByDate", "dtos(LastDate)+upper(Name)");
    c.createIndex("Plain", "Name");
    EXPECT_EQ(c.tagNames(), (std::vector<std::string>{"ADDRESS", "BYDATE", "PLAIN"}));
    c.selectIndex("plain");
    EXPECT_EQ(names(c), kKept);
    c.close();
    EXPECT_TRUE(xbase::checkTable(path).ok());
}

}  // namespace
