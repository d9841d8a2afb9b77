#pragma once
// The in-process object behind every cursor on one table file: file handles, header,
// memo file, compound index with its compiled key expressions, locks and caches.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cdx.h"
#include "dbf_header.h"
#include "memo_file.h"
#include "xbase/cursor.h"
#include "xbase/error.h"
#include "xbase/expression.h"
#include "xbase/file_system.h"
#include "xbase/repair.h"

namespace xbase {

class SharedTable;

// New files (a packed table, a rebuilt index, a new memo file) are written under their
// final name, this tag and random characters, and renamed into place when complete. What a
// failure or a crash leaves under such a name goes when the table is next opened.
inline constexpr const char* kNewFileTag = ".packing-";

// Reads every record of a table file in large chunks, for pack and index builds:
// visit(record number, bytes) for each.
template <typename Visit>
void forEachRecord(File& file, const DbfHeader& header, const Visit& visit) {
    const uint32_t perChunk = std::max<uint32_t>(1, (1u << 20) / header.recordLength);
    std::string buffer;
    for (uint32_t first = 1; first <= header.recordCount; first += perChunk) {
        const uint32_t count = std::min(perChunk, header.recordCount - first + 1);
        buffer.resize(static_cast<size_t>(count) * header.recordLength);
        size_t got = file.readAt(header.recordOffset(first), buffer.data(), buffer.size());
        if (got < buffer.size())
            throw Error(ErrorKind::Corruption, code::BadRecord,
                        file.path().filename().string() + " is damaged: the records end early");
        for (uint32_t i = 0; i < count; ++i)
            visit(first + i,
                  std::string_view(buffer.data() + static_cast<size_t>(i) * header.recordLength,
                                   header.recordLength));
    }
}

// A record's bytes seen through the expression interface.
class RecordView final : public RecordSource {
  public:
    RecordView(SharedTable& table, std::string_view bytes, uint32_t recno)
        : table_(table), bytes_(bytes), recno_(recno) {}

    int fieldIndex(std::string_view name) const override;
    char fieldType(int field) const override;
    int fieldLength(int field) const override;
    int fieldDecimals(int field) const override;
    std::string_view rawField(int field) const override;
    std::string memoText(int field) const override;
    bool isDeleted() const override { return !bytes_.empty() && bytes_[0] == '*'; }
    uint32_t recordNumber() const override { return recno_; }

  private:
    SharedTable& table_;
    std::string_view bytes_;
    uint32_t recno_;
};

struct TagState {
    CdxTag* tag = nullptr;
    std::string name;  // upper case
    std::optional<Expression> key;
    std::optional<Expression> condition;  // FOR
    std::string problem;  // why the tag cannot be kept up to date; empty when it can
    uint8_t pad = ' ';
};

class SharedTable {
  public:
    // Finds or opens the table object for `dbfPath`; one per file per process.
    static std::shared_ptr<SharedTable> acquire(const std::filesystem::path& dbfPath,
                                                const OpenOptions& options);
    ~SharedTable();

    // Registers one more user in `mode`; for Exclusive takes the exclusive file locks.
    void addUser(ShareMode mode);
    void removeUser(ShareMode mode);

    FileSystem& fs() { return *fs_; }
    const std::filesystem::path& dbfPath() const { return dbfPath_; }
    const std::optional<std::filesystem::path>& indexPath() const { return cdxPath_; }
    const DbfHeader& header() const { return header_; }
    bool exclusive() const { return exclusiveUsers_ > 0; }
    bool readOnly() const { return readOnly_; }
    int fieldIndex(std::string_view name) const;
    std::string fileName() const { return dbfPath_.filename().string(); }

    // --- Reading
    // Checks, in shared use, whether another process changed the table (record count,
    // index change counter) and drops what is cached. Called before every positioning.
    void refresh();
    uint32_t recordCount() const { return header_.recordCount; }
    // Marks a stretch of work that reads many records; see kScanWindowBytes. Use ScanScope.
    void beginScan() {
        if (scanDepth_++ == 0) updateMemoWindow();
    }
    void endScan() {
        if (--scanDepth_ == 0 && !filesLockedExclusive_) chunk_.clear();
        if (scanDepth_ == 0) updateMemoWindow();
    }
    // Reads record `recno` (1-based, must exist) into `out`.
    void readRecord(uint32_t recno, std::string& out);
    // The memo a record's field points to.
    std::string readMemo(std::string_view recordBytes, int field, uint32_t recno);
    uint32_t memoLength(std::string_view recordBytes, int field, uint32_t recno);
    uint32_t memoBlock(std::string_view recordBytes, int field) const;
    MemoFile* memo() { return memo_.get(); }

    // --- Index
    std::vector<TagState>& tags() { return tags_; }
    int findTag(std::string_view name) const;  // -1 when none
    // The key of `recordBytes` in tag `t`, or nullopt when its FOR condition excludes it.
    std::optional<std::string> keyOf(int t, std::string_view recordBytes, uint32_t recno);

    // --- Writing
    void requireWritable();
    // Locks for shared use (no-ops when this process holds the table exclusively).
    void lockRecord(uint32_t recno);
    void unlockRecord(uint32_t recno);
    // Writes a changed record: memos first, then the record, then every tag.
    void writeRecord(uint32_t recno, std::string& bytes, const std::map<int, std::string>& memos);
    uint32_t appendRecord(std::string& bytes, const std::map<int, std::string>& memos);
    void markDeleted(uint32_t recno, bool deleted);

    // In-process record locks, so two cursors of one program do not edit one record.
    bool claimRecord(uint32_t recno) { return editing_.insert(recno).second; }
    void releaseRecord(uint32_t recno) { editing_.erase(recno); }

    // --- Maintenance (exclusive; pack.cpp and index_rebuild.cpp)
    void pack();
    void reindex();
    void createTag(const std::string& name, const std::string& expression,
                   const std::string& forExpression);

    uint64_t changeStamp() const { return changeStamp_; }
    uint64_t generation() const { return generation_; }  // changes when records renumber
    Date lastUpdate() const { return header_.lastUpdate; }

    // rebuildIndex() of repair.h.
    static IndexRebuild rebuildIndexOf(FileSystem& fs, const std::filesystem::path& dbfPath,
                                       const std::vector<TagDefinition>& known);

    // Completes or undoes a pack that a crash interrupted. Needs no other process to
    // have the table open; does nothing when there is nothing to recover.
    static void recoverInterruptedPack(FileSystem& fs, const std::filesystem::path& dbfPath);

  private:
    // Makes one record's change all or nothing: index pages written meanwhile are kept for
    // undo, and rollBack() restores the table's bytes, then the index pages.
    class RecordChange {
      public:
        explicit RecordChange(SharedTable& table);
        ~RecordChange();
        RecordChange(const RecordChange&) = delete;
        RecordChange& operator=(const RecordChange&) = delete;
        // Never throws: each step is tried whatever became of the one before.
        void rollBack(const std::function<void()>& restoreTable);

      private:
        SharedTable& table_;
        bool rolledBack_ = false;
    };

    // Sets or clears the change mark in the header (DbfHeader::changeInProgress).
    void markChange(bool inProgress);
    // A change is complete. In shared use its mark is cleared at once: other programs look
    // at it. In exclusive use nobody else can, so it stays set until settleChangeMark(), at
    // the next positioning, the return to shared use or the close: a run of appends then
    // writes it once instead of twice each. A crash meanwhile costs an index rebuild at the
    // next open, nothing else.
    void endChange();
    void settleChangeMark() noexcept;
    // A writer died between a record and its keys: rebuilds the index from the records,
    // when nobody else has the table open.
    void finishInterruptedChange();

    // With the marker beside the table: renames the new files over the old ones.
    // Without it: removes whatever new files a failed pack left.
    static void finishOrUndoPack(FileSystem& fs, const std::filesystem::path& dbfPath);
    void writePackedFiles();

  private:
    SharedTable(FileSystem& fs, std::filesystem::path dbfPath, bool readOnly);
    static bool openInThisProgram(const std::filesystem::path& dbfPath);
    void openFiles();
    void loadHeader();
    void openIndex();
    void closeIndex();  // the tags first: they point into the index
    void compileTags();
    void lockAllFiles(bool exclusive);
    bool tryLockAllFiles(bool exclusive);
    void unlockAllFiles();
    // Writable and held by this process alone, as pack and index builds need; `purpose`
    // completes the refusal ("to pack it").
    void requireExclusive(const std::string& purpose);
    void touch();  // something changed
    // Memos are read through a window of the memo file when nobody else can change it
    // (exclusive use) or during a scan, as records are.
    void updateMemoWindow() {
        if (memo_) memo_->setWindowed(filesLockedExclusive_ || scanDepth_ > 0);
    }
    // In shared use, tells other processes that the index changed (they drop their caches).
    void announceIndexChange();
    // Keeps the record window in step with what this process writes.
    void updateCache(uint64_t offset, const char* bytes, size_t size);
    void stampHeaderDate();
    void writeHeaderRecord();
    void lockRange(File& file, uint64_t offset, const char* what);
    void unlockRange(File& file, uint64_t offset);
    std::string memoPointer(uint32_t block, int fieldLength) const;
    void writeMemos(std::string& bytes, const std::map<int, std::string>& memos);
    // Builds the index of `tags` beside `target` and renames it over `target`; the index
    // that was open is closed and must be opened again.
    void replaceIndexFile(std::filesystem::path target, const std::vector<TagDefinition>& tags);
    // Writes a new index for `target` into a temporary beside it and returns its path.
    std::filesystem::path buildIndexFile(const std::filesystem::path& target, File& dbfSource,
                                         const DbfHeader& header,
                                         const std::vector<TagDefinition>& tags);
    void writeIndexFile(File& file, File& dbfSource, const DbfHeader& header,
                        const std::vector<TagDefinition>& tags);
    // Opens one of the table's files for writing, or for reading only when it must be.
    std::unique_ptr<File> openTableFile(const std::filesystem::path& path);
    std::vector<TagDefinition> tagDefinitions() const;
    void reopenAfterRewrite();
    uint64_t recordLockOffset(uint32_t recno) const;
    uint64_t headerLockOffset() const;

    FileSystem* fs_;
    std::filesystem::path dbfPath_;
    std::optional<std::filesystem::path> memoPath_;
    std::optional<std::filesystem::path> cdxPath_;
    bool readOnly_;
    std::string readOnlyReason_;  // why, when the user can do something about it
    std::unique_ptr<File> dbf_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<File> cdxFile_;
    std::unique_ptr<CdxFile> cdx_;
    DbfHeader header_;
    std::vector<TagState> tags_;
    std::map<std::string, int> fieldByName_;

    int sharedUsers_ = 0;
    int exclusiveUsers_ = 0;
    bool filesLockedExclusive_ = false;
    std::set<uint32_t> editing_;
    uint32_t cdxCounter_ = 0;
    uint64_t changeStamp_ = 1;
    uint64_t generation_ = 1;

    // Records are read from the file's view in memory, which sees other programs' writes at
    // once, where the file system offers one. Otherwise through a window of the file, kept
    // across calls only while this process holds the table exclusively (no other process
    // can change it underneath) or while a scan runs. A scan loads every record at once, up
    // to kScanWindowBytes.
    static constexpr uint32_t kChunkBytes = 8192;
    static constexpr uint64_t kScanWindowBytes = 64u << 20;
    uint64_t chunkStart_ = 0;
    std::string chunk_;
    int scanDepth_ = 0;
};

// Keeps a table in scan mode for one scope, however the scope is left.
class ScanScope {
  public:
    explicit ScanScope(SharedTable& table) : table_(table) { table_.beginScan(); }
    ~ScanScope() { table_.endScan(); }
    ScanScope(const ScanScope&) = delete;
    ScanScope& operator=(const ScanScope&) = delete;

  private:
    SharedTable& table_;
};

}  // namespace xbase
