// Shared and exclusive use between processes, and record locks. A child process holds
// the table while the test process tries its luck.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <xbase/error.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

// Runs `hold` in a child process until the parent has finished `test`.
class Holder {
  public:
    explicit Holder(const std::function<void()>& hold) {
        int ready[2], done[2];
        EXPECT_EQ(pipe(ready), 0);
        EXPECT_EQ(pipe(done), 0);
        child_ = fork();
        if (child_ == 0) {
            close(ready[0]);
            close(done[1]);
            char status = 'y';
            try {
                hold();
            } catch (...) {
                status = 'n';
            }
            if (write(ready[1], &status, 1) != 1) _exit(2);
            char c;
            if (read(done[0], &c, 1) < 0) _exit(2);
            _exit(0);
        }
        close(ready[1]);
        close(done[0]);
        done_ = done[1];
        char status = 0;
        EXPECT_EQ(read(ready[0], &status, 1), 1);
        EXPECT_EQ(status, 'y') << "the child could not take the table";
        close(ready[0]);
    }
    ~Holder() {
        close(done_);
        int status = 0;
        waitpid(child_, &status, 0);
    }

  private:
    pid_t child_ = -1;
    int done_ = -1;
};

// Runs `work` in a child process, as another program would, and waits for it; true when it
// ran through without an exception.
bool ranInAnotherProcess(const std::function<void()>& work) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        try {
            work();
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

xbase::ErrorKind openFails(const fs::path& path, ShareMode mode) {
    try {
        Cursor c;
        c.open(path, openOptions(mode));
    } catch (const xbase::Error& e) {
        return e.kind();
    }
    return xbase::ErrorKind::NotSupported;  // stands for "it opened"
}

TEST(Locks, ExclusiveHolderKeepsEveryoneOut) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    {
        std::unique_ptr<Cursor> held;
        Holder holder([&] {
            held = std::make_unique<Cursor>();
            held->open(path, openOptions(ShareMode::Exclusive));
        });
        EXPECT_EQ(openFails(path, ShareMode::Shared), xbase::ErrorKind::Locked);
        EXPECT_EQ(openFails(path, ShareMode::Exclusive), xbase::ErrorKind::Locked);
    }
    EXPECT_EQ(openFails(path, ShareMode::Exclusive), xbase::ErrorKind::NotSupported);
}

TEST(Locks, SharedHolderAllowsSharingButNotExclusiveUse) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    std::unique_ptr<Cursor> held;
    Holder holder([&] {
        held = std::make_unique<Cursor>();
        held->open(path, openOptions(ShareMode::Shared));
    });
    EXPECT_EQ(openFails(path, ShareMode::Shared), xbase::ErrorKind::NotSupported);
    EXPECT_EQ(openFails(path, ShareMode::Exclusive), xbase::ErrorKind::Locked);
    // A program that has it shared cannot turn exclusive either.
    Cursor shared;
    shared.open(path);
    EXPECT_EQ(openFails(path, ShareMode::Exclusive), xbase::ErrorKind::Locked);
}

TEST(Locks, RecordBeingEditedElsewhereCannotBeChanged) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    {
        Cursor c;
        c.open(path);
        addEntry(c, "Adams");
        addEntry(c, "Baker");
    }
    std::unique_ptr<Cursor> held;
    Holder holder([&] {
        held = std::make_unique<Cursor>();
        held->open(path);
        held->first();
        held->edit();  // holds record 1
    });
    Cursor c;
    c.open(path);
    c.first();
    try {
        c.edit();
        ADD_FAILURE() << "edited a locked record";
    } catch (const xbase::Error& e) {
        EXPECT_EQ(e.kind(), xbase::ErrorKind::Locked);
        EXPECT_NE(std::string(e.what()).find("another program"), std::string::npos);
    }
    EXPECT_THROW(c.deleteRecord(), xbase::Error);
    c.next();
    EXPECT_NO_THROW(c.edit());  // record 2 is free
    c.setText(0, "Baker, Al");
    c.post();
    addEntry(c, "Cole");  // appending is not blocked by a record lock
    EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker, Al", "Cole"}));
}

TEST(Locks, ChangesOfAnotherProgramAreSeenBeforeReading) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    addEntry(c, "Cole");
    const uint64_t stamp = c.changeStamp();
    ASSERT_TRUE(ranInAnotherProcess([&] {
        Cursor other;
        other.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
        addEntry(other, "Adams");
        addEntry(other, "Baker");
        other.seekExact("COLE");
        other.edit();
        other.setText(0, "Zulu");
        other.post();
    }));
    EXPECT_NE(c.changeStamp(), stamp);
    EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker", "Zulu"}));
    EXPECT_EQ(c.recordCount(), 3u);
}

// A filter that reads every memo sees the memos as they are now, whoever changed them: through
// the file's view, or from a copy of the memo file taken for the scan where there is no view.
TEST(Locks, MemosChangedElsewhereOrHereAreSeenByTheNextScan) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    for (int i = 0; i < 150; ++i)
        addEntry(c, "Name " + std::to_string(i), "memo " + std::to_string(i));
    const int info = c.requireField("Info");
    c.setFilterCallback([&] { return c.memo(info).find("garden") != std::string::npos; });
    c.setFiltered(true);
    EXPECT_TRUE(c.visibleRecords().empty());

    ASSERT_TRUE(ranInAnotherProcess([&] {
        Cursor other;
        other.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
        other.gotoBookmark(xbase::Bookmark{7});
        other.edit();
        other.setMemo(1, "the garden, changed elsewhere");
        other.post();
        addEntry(other, "Added elsewhere", "a garden too");
    }));
    EXPECT_EQ(c.visibleRecords().size(), 2u);
    c.close();

    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.setFilterCallback([&] { return c.memo(info).find("garden") != std::string::npos; });
    c.setFiltered(true);
    ASSERT_EQ(c.visibleRecords().size(), 2u);
    c.setFiltered(false);
    c.gotoBookmark(xbase::Bookmark{20});
    c.edit();
    c.setMemo(info, "a garden here");
    c.post();
    addEntry(c, "Added here", "and a garden");
    c.setFiltered(true);
    EXPECT_EQ(c.visibleRecords().size(), 4u);
    c.setFiltered(false);
    c.gotoBookmark(xbase::Bookmark{20});
    EXPECT_EQ(c.memo(info), "a garden here");
}

}  // namespace
