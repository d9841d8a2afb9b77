#pragma once
// The memo file beside a table: FoxPro .fpt (big-endian block headers) or dBASE .dbt.
//
// New memos always go to fresh blocks at the end and the record's pointer is changed
// only after they are written, so a crash while saving leaves the old text readable.
// The space of replaced memos is given back by a pack.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "xbase/file_system.h"

namespace xbase {

enum class MemoFormat { Fpt, DbaseIII, DbaseIV };

class MemoFile {
  public:
    static constexpr uint16_t kDefaultBlockSize = 64;

    // Reads the header. Throws Error(Corruption) when it cannot be right.
    MemoFile(std::unique_ptr<File> file, MemoFormat format);

    // Writes the header of an empty memo file into `file`.
    static void initialize(File& file, MemoFormat format, uint16_t blockSize);

    MemoFormat format() const { return format_; }
    uint32_t blockSize() const { return blockSize_; }
    uint32_t nextFree() const { return nextFree_; }
    File& file() { return *file_; }

    // Reads the header again (another process may have added memos).
    void refreshHeader();

    // Lets reads be served from a copy of the file (see readBytes) while the file cannot
    // change underneath (held exclusively) or for one scan. Off: every read goes to the
    // file. Writes through this object keep the copy right.
    void setWindowed(bool on);

    // The memo starting at `block`. `record` names its owner in error texts ("record 7").
    std::string read(uint32_t block, uint32_t record);
    uint32_t length(uint32_t block, uint32_t record);
    // Adds a memo at the end; returns its first block. The caller holds the memo lock
    // in shared use and has refreshed the header.
    uint32_t append(std::string_view data);

    // Appends to `out` the blocks a memo of `text` fills in this file: its block header
    // (none in dBASE III files), the text, its end marks and padding to whole blocks.
    // Returns how many blocks that is.
    uint32_t encode(std::string_view text, std::string& out) const;
    // Records `block` as the first free one, after blocks were written straight to the file.
    void setNextFree(uint32_t block);

    // The byte range a memo at `block` occupies, for checks; throws like read().
    uint64_t endOfMemo(uint32_t block, uint32_t record);

  private:
    void writeHeader();
    uint64_t sizeCovering(uint64_t end);
    // Like File::readAt: from the file's view in memory where the file system offers one,
    // else through the window when there is one.
    size_t readBytes(uint64_t offset, void* out, size_t size);
    void writeBytes(uint64_t offset, const void* data, size_t size);
    // The text length a memo's 8-byte block header gives, checked against the file.
    uint32_t memoLengthIn(const unsigned char* head, uint32_t record, uint32_t block,
                          uint64_t start);
    [[noreturn]] void damaged(uint32_t record, uint32_t block, const std::string& what);

    std::unique_ptr<File> file_;
    MemoFormat format_;
    uint32_t blockSize_ = kDefaultBlockSize;
    uint32_t nextFree_ = 0;
    uint64_t knownSize_ = 0;

    // Without a view, the window is the whole file, read once enough memos have been asked
    // for.
    static constexpr uint64_t kWindowBytes = 64u << 20;
    static constexpr int kDirectReadsBeforeWindow = 64;
    bool windowed_ = false;
    int directReads_ = 0;
    std::string window_;
};

}  // namespace xbase
