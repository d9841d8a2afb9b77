#pragma once
// A disk that fails on purpose, after LevelDB's fault-injection test. It passes everything
// through to the real file system, counting each change, and can
// - fail the Nth write, sync, rename, truncate or create with an I/O error (once);
// - report a full disk once files have grown by a given number of bytes (a write that
//   crosses the line writes what fits, as a real one does);
// - crash at the Nth change: that change and every later one throws SimulatedCrash, and
//   recover() then leaves the disk as a power cut would (only what was synced survives:
//   file contents at their last sync, names as of the last sync of their folder) or as a
//   killed process would (everything written survives).
// What was on disk when it was made, or when recover() returned, counts as synced.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <xbase/file_system.h>

namespace testsupport {

enum class DiskOperation { Write, Sync, Rename, Truncate, Create };
inline constexpr DiskOperation kFailingOperations[] = {
    DiskOperation::Write, DiskOperation::Sync, DiskOperation::Rename, DiskOperation::Truncate,
    DiskOperation::Create};
const char* operationName(DiskOperation operation);

enum class CrashKind { PowerCut, ProcessKilled };

// Thrown by the change at which the simulated crash happens, and by every change after it.
class SimulatedCrash : public std::exception {
  public:
    const char* what() const noexcept override { return "simulated crash"; }
};

class FaultInjectingFileSystem final : public xbase::FileSystem {
  public:
    FaultInjectingFileSystem();
    ~FaultInjectingFileSystem() override;

    // --- What to do wrong (each replaces the plan of its kind)
    void failNth(DiskOperation operation, int n);  // 1-based
    void fillDiskAfter(uint64_t grownBytes);
    void crashAtChange(int n);  // 1-based; changes are writes, syncs, truncates, creates,
                                // renames, removes and folder syncs

    // --- What happened
    int count(DiskOperation operation) const;
    int changes() const { return changes_; }
    uint64_t grownBytes() const { return grown_; }
    // The growth at the start of each write so far, for "disk full" points.
    const std::vector<uint64_t>& growthBeforeWrites() const { return growthBeforeWrites_; }
    bool failed() const { return !failedPath_.empty(); }
    bool crashed() const { return crashed_; }
    // The file (or for a rename, the source) of the failure that was injected.
    const std::filesystem::path& failedPath() const { return failedPath_; }

    // Puts the disk as the crash left it; afterwards this file system works faultlessly and
    // counts from zero, with the disk as it is then counting as synced.
    void recover(CrashKind kind);

    // xbase::FileSystem
    std::unique_ptr<xbase::File> open(const std::filesystem::path& path,
                                      xbase::OpenFlags flags) override;
    std::unique_ptr<xbase::File> createTemporary(const std::filesystem::path& target,
                                                 const std::string& tag) override;
    xbase::EntryType entryType(const std::filesystem::path& path) override;
    std::vector<std::string> folderEntries(const std::filesystem::path& folder) override;
    void remove(const std::filesystem::path& path) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void syncFolder(const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                          const std::string& name) override;

  private:
    friend class FaultyFile;

    // Each throws SimulatedCrash, or the injected error with `text` and the system's
    // wording, when this change is the one to fail.
    void change(const std::filesystem::path& path);
    void operation(DiskOperation kind, const std::filesystem::path& path, const std::string& text);
    // How many of `wanted` more bytes the disk still takes.
    uint64_t room(uint64_t wanted);
    void noteGrowth(uint64_t bytes) { grown_ += bytes; }
    [[noreturn]] void diskFull(const std::filesystem::path& path);

    // Files are told apart by a number of our own (0: none), since a new file may reuse
    // the inode number of one deleted a moment ago.
    uint64_t idOf(const std::filesystem::path& path, bool created);
    // Notes what `path` durably stands for before it first changes.
    void trackName(const std::filesystem::path& path);
    uint64_t created(const std::filesystem::path& path);

    xbase::FileSystem& real_;
    std::map<DiskOperation, int> counts_;
    std::map<DiskOperation, int> failAt_;
    std::optional<uint64_t> diskRoom_;
    int changes_ = 0;
    int crashAt_ = 0;
    bool crashed_ = false;
    uint64_t grown_ = 0;
    std::vector<uint64_t> growthBeforeWrites_;
    std::filesystem::path failedPath_;

    std::map<std::pair<uint64_t, uint64_t>, uint64_t> idOfInode_;  // (device, inode)
    uint64_t lastId_ = 0;
    std::map<uint64_t, std::string> durableContent_;  // as of the file's last sync
    std::map<std::string, uint64_t> durableName_;     // as of the folder's last sync
};

}  // namespace testsupport
