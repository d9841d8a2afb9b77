// Every write path of the engine on a disk that fails at every step it takes: each write,
// sync, rename, truncate and create failing in turn, the disk filling up at each write, and
// a crash at each change (a power cut that loses what was not synced, and a killed process
// that loses nothing written). Afterwards the table opens, check finds no fault, and it
// holds the state before the operation or the state after it, never a mix; a failure the
// operation reports names the file and the cause, and then nothing has changed.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include "fault_injecting_file_system.h"
#include "table_fixture.h"

using namespace tabletest;
using testsupport::CrashKind;
using testsupport::DiskOperation;
using testsupport::FaultInjectingFileSystem;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

// What a user could tell apart: the records in the file, each live one with its fields,
// the tags and whether the table says it has an index.
std::string stateOf(const fs::path& dbf) {
    Cursor c;
    c.open(dbf);
    std::string state = "records " + std::to_string(c.physicalRecordCount()) + ", flags " +
                        std::to_string(static_cast<unsigned char>(readBytes(dbf)[28])) + ", tags";
    for (const auto& tag : c.tagNames()) state += " " + tag;
    state += "\n";
    for (c.first(); !c.eof(); c.next())
        state += std::to_string(c.recno()) + " " + c.text(0) + " | " + c.memo(1) + " | " +
                 c.rawText(2) + "\n";
    return state;
}

std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".pack") != std::string::npos) found.push_back(name);
    }
    return found;
}

using Operation = std::function<void(Cursor&)>;

struct WritePath {
    const char* name;
    ShareMode mode;
    Operation run;
    bool changesState = true;  // a reindex of a sound index changes nothing one can see
};

const std::vector<WritePath>& writePaths() {
    static const std::vector<WritePath> paths = {
        {"post of a new entry with a memo", ShareMode::Shared,
         // A name of full width, which no index page has room left for.
         [](Cursor& c) {
             addEntry(c, "Fischer-Zimmermann, Anna-Maria",
                      "Memo of Fischer" + std::string(200, '-'));
         }},
        {"post of a new entry in exclusive use", ShareMode::Exclusive,
         [](Cursor& c) { addEntry(c, "Fischer-Zimmermann, Anna-Maria", "Memo of Fischer"); }},
        {"post of a changed memo", ShareMode::Shared,
         [](Cursor& c) {
             ASSERT_TRUE(c.seekExact("COLE"));
             c.edit();
             c.setMemo(1, "A new memo for Cole" + std::string(100, '+'));
             c.post();
         }},
        {"post of a changed name", ShareMode::Shared,
         [](Cursor& c) {
             ASSERT_TRUE(c.seekExact("DUNN"));
             c.edit();
             c.setText(0, "Zimmermann-Dunn, Hans-Joachim");
             c.post();
         }},
        {"delete", ShareMode::Shared,
         [](Cursor& c) {
             ASSERT_TRUE(c.seekExact("ADAMS"));
             c.deleteRecord();
         }},
        {"pack", ShareMode::Exclusive, [](Cursor& c) { c.pack(); }},
        {"reindex", ShareMode::Exclusive, [](Cursor& c) { c.reindex(); }, false},
        {"tag creation", ShareMode::Exclusive,
         [](Cursor& c) { c.createIndex("ByDate", "dtos(LastDate)+upper(Name)"); }},
    };
    return paths;
}

class FaultInjection : public ::testing::TestWithParam<size_t> {
  protected:
    void SetUp() override {
        // An index built after the entries has full pages: a new key splits one.
        original_ = template_ / "ADDRESS.DBF";
        xbase::createTable(original_, xbase::parseFieldList(kAddressFieldList));
        Cursor c;
        c.open(original_, openOptions(ShareMode::Exclusive));
        const std::vector<std::string> named = {"Adams", "Baker", "Cole", "Dunn", "Evans"};
        uint32_t draw = 7;
        for (size_t i = 0; i < 60; ++i) {
            std::string name = i < named.size() ? named[i] : "";
            while (name.size() < 24 && i >= named.size())
                name += static_cast<char>('a' + (draw = draw * 1103515245 + 12345) % 26);
            addEntry(c, name, "Memo of " + name + std::string(i * 7, '.'));
        }
        c.createIndex("Address", "upper(Name)");
        c.selectIndex("Address");
        c.seekExact("BAKER");
        c.deleteRecord();
        c.close();
        before_ = stateOf(original_);

        FaultInjectingFileSystem counter;
        after_ = stateOf(runOnCopy(counter).first);
        ASSERT_EQ(before_ != after_, path().changesState);
        for (DiskOperation op : testsupport::kFailingOperations) counts_[op] = counter.count(op);
        changes_ = counter.changes();
        // The disk fills up at the start of each write, one byte into it, and at its end.
        for (uint64_t grown : counter.growthBeforeWrites()) fullAt_.insert({grown, grown + 1});

        fullAt_.insert(counter.grownBytes());
    }

    const WritePath& path() const { return writePaths()[GetParam()]; }

    // Runs the operation on a fresh copy of the table; returns its path and the failure the
    // operation reported ("" for none).
    std::pair<fs::path, std::string> runOnCopy(FaultInjectingFileSystem& disk) {
        const fs::path folder = scratch_.path() / std::to_string(++runs_);
        fs::create_directory(folder);
        for (const auto& entry : fs::directory_iterator(template_.path()))
            fs::copy_file(entry.path(), folder / entry.path().filename());
        const fs::path dbf = folder / original_.filename();
        std::string failure;
        xbase::OpenOptions options = openOptions(path().mode, "ADDRESS");
        options.fileSystem = &disk;
        Cursor c;
        c.open(dbf, options);
        try {
            path().run(c);
        } catch (const xbase::Error& e) {
            failure = e.what();
        } catch (const testsupport::SimulatedCrash&) {
            failure = "crash";
        }
        if (!disk.crashed() && !failure.empty()) {
            // The program goes on with the table it has open, which agrees with the disk.
            c.cancel();
            std::vector<std::string> shown = names(c);
            c.close();
            Cursor fresh;
            fresh.open(dbf, openOptions(ShareMode::Shared, "ADDRESS"));
            EXPECT_EQ(shown, names(fresh)) << failure;
        }
        return {dbf, failure};
    }

    // After a failure or a crash: the table opens, is sound, and is as before or as after.
    void expectWholeTable(const fs::path& dbf, const std::string& failure, bool crashed) {
        std::string state;
        try {
            state = stateOf(dbf);
        } catch (const xbase::Error& e) {
            ADD_FAILURE() << "the table does not open: " << e.what();
            return;
        }
        const xbase::CheckReport report = xbase::checkTable(dbf);
        EXPECT_TRUE(report.ok()) << report.faults.front();
        EXPECT_EQ(leftovers(dbf.parent_path()), std::vector<std::string>{});
        if (crashed) {
            EXPECT_TRUE(state == before_ || state == after_) << state;
        } else if (!failure.empty()) {
            EXPECT_EQ(state, before_) << "a failure was reported, yet the table changed";
        } else {
            EXPECT_EQ(state, after_) << "no failure was reported, yet the table did not change";
        }
    }

    testsupport::TempDir template_, scratch_;
    fs::path original_;
    std::string before_, after_;
    std::map<DiskOperation, int> counts_;
    int changes_ = 0;
    std::set<uint64_t> fullAt_;
    int runs_ = 0;
};

TEST_P(FaultInjection, EachFailingStepLeavesTheTableBeforeAndSaysWhatFailed) {
    int points = 0;
    for (DiskOperation op : testsupport::kFailingOperations) {
        for (int n = 1; n <= counts_[op]; ++n, ++points) {
            SCOPED_TRACE(std::string(path().name) + ": " + testsupport::operationName(op) + " " +
                         std::to_string(n) + " fails");
            FaultInjectingFileSystem disk;
            disk.failNth(op, n);
            const auto [dbf, failure] = runOnCopy(disk);
            if (!failure.empty()) {
                EXPECT_NE(failure.find(disk.failedPath().filename().string()), std::string::npos)
                    << failure;
                EXPECT_NE(failure.find(std::strerror(EIO)), std::string::npos) << failure;
            }
            expectWholeTable(dbf, failure, false);
        }
    }
    RecordProperty("failure points", points);
}

TEST_P(FaultInjection, AFullDiskAtAnyByteLeavesTheTableBefore) {
    for (uint64_t room : fullAt_) {
        SCOPED_TRACE(std::string(path().name) + ": disk full after " + std::to_string(room) +
                     " bytes");
        FaultInjectingFileSystem disk;
        disk.fillDiskAfter(room);
        const auto [dbf, failure] = runOnCopy(disk);
        if (!failure.empty()) {
            EXPECT_NE(failure.find(std::strerror(ENOSPC)), std::string::npos) << failure;
        }
        expectWholeTable(dbf, failure, false);
    }
    RecordProperty("failure points", static_cast<int>(fullAt_.size()));
}

TEST_P(FaultInjection, ACrashAtAnyStepLeavesAWholeTable) {
    for (CrashKind kind : {CrashKind::PowerCut, CrashKind::ProcessKilled}) {
        for (int n = 1; n <= changes_; ++n) {
            SCOPED_TRACE(std::string(path().name) + ": " +
                         (kind == CrashKind::PowerCut ? "power cut" : "killed") + " at change " +
                         std::to_string(n));
            FaultInjectingFileSystem disk;
            disk.crashAtChange(n);
            const auto [dbf, failure] = runOnCopy(disk);
            ASSERT_TRUE(disk.crashed());
            disk.recover(kind);
            expectWholeTable(dbf, failure, true);
        }
    }
    RecordProperty("failure points", changes_ * 2);
}

INSTANTIATE_TEST_SUITE_P(WritePaths, FaultInjection,
                         ::testing::Range<size_t>(0, writePaths().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                             std::string name = writePaths()[param.param].name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
