// Pack: the table, its memo file and its index written anew without deleted records, in
// new files beside the old ones. A marker written when every new file is complete decides
// what a crash leaves: before it the new files are thrown away, after it the next open
// renames them into place.

#include <algorithm>
#include <cstring>

#include "ascii.h"
#include "shared_table.h"
#include "xbase/error.h"

namespace xbase {
namespace {

std::filesystem::path withSuffix(const std::filesystem::path& p, const char* suffix) {
    return std::filesystem::path(p.string() + suffix);
}

// Every new file's name holds this tag (kNewFileTag, with random characters after it).
// Old versions wrote "<name>.packing" without the random part.
constexpr const char* kPackingTag = ".packing";
constexpr const char* kPackedMarkerSuffix = ".packed";
constexpr size_t kLargestMarker = 4096;

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           upperAscii(text.substr(0, prefix.size())) == upperAscii(prefix);
}

// Whether `name` is a new file or marker of a pack of the table at `dbfPath`, in any
// letter case: what a crash or a failure may leave.
bool isPackLeftover(const std::string& name, const std::filesystem::path& dbfPath) {
    const std::string stem = dbfPath.stem().string();
    for (const char* ext : {".dbf", ".fpt", ".dbt", ".cdx"})
        if (startsWithIgnoringCase(name, stem + ext + kPackingTag)) return true;
    const std::string table = dbfPath.filename().string();
    return startsWithIgnoringCase(name, table + kPackingTag) ||
           startsWithIgnoringCase(name, table + kPackedMarkerSuffix);
}

// The names that are a table's files: finishing a pack renames onto nothing else.
bool isTableFileName(const std::string& name, const std::filesystem::path& dbfPath) {
    const std::string stem = dbfPath.stem().string();
    if (upperAscii(name) == upperAscii(dbfPath.filename().string())) return true;
    for (const char* ext : {".fpt", ".dbt", ".cdx"})
        if (upperAscii(name) == upperAscii(stem + ext)) return true;
    return false;
}

bool isBareName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

}  // namespace

void SharedTable::pack() {
    requireExclusive("to pack it");
    try {
        writePackedFiles();
    } catch (...) {
        // Nothing of the table was touched yet: throw the new files away.
        finishOrUndoPack(*fs_, dbfPath_);
        throw;
    }
    try {
        memo_.reset();
        closeIndex();
        finishOrUndoPack(*fs_, dbfPath_);
    } catch (...) {
        // The marker is written, so the new files are complete: the next open finishes
        // the renames. Try once more now; when that works, the pack is done after all.
        try {
            finishOrUndoPack(*fs_, dbfPath_);
        } catch (...) {
            try {
                reopenAfterRewrite();
            } catch (...) {
            }
            throw;
        }
    }
    reopenAfterRewrite();
}

void SharedTable::writePackedFiles() {
    const auto folder = dbfPath_.parent_path();

    // 1. The new table: live records only, memos copied into a fresh memo file.
    DbfHeader packed = header_;
    packed.recordCount = 0;
    packed.changeInProgress = false;
    packed.lastUpdate = Date::today();
    auto newDbf = fs_->createTemporary(dbfPath_, kNewFileTag);
    const std::filesystem::path newDbfPath = newDbf->path();
    std::unique_ptr<MemoFile> newMemo;
    std::optional<std::filesystem::path> newMemoPath;
    uint32_t nextBlock = 0;
    std::string memoBuffer;
    uint64_t memoBufferStart = 0;
    auto flushMemo = [&] {
        if (memoBuffer.empty()) return;
        newMemo->file().writeAt(memoBufferStart, memoBuffer.data(), memoBuffer.size());
        memoBufferStart += memoBuffer.size();
        memoBuffer.clear();
    };
    if (memo_) {
        auto file = fs_->createTemporary(*memoPath_, kNewFileTag);
        newMemoPath = file->path();
        MemoFile::initialize(*file, memo_->format(), static_cast<uint16_t>(memo_->blockSize()));
        newMemo = std::make_unique<MemoFile>(std::move(file), memo_->format());
        nextBlock = newMemo->nextFree();
        memoBufferStart = static_cast<uint64_t>(nextBlock) * newMemo->blockSize();
    }

    std::string out;
    const std::string head = packed.encode();
    newDbf->writeAt(0, head.data(), head.size());
    uint64_t writePos = packed.headerLength;
    forEachRecord(*dbf_, header_, [&](uint32_t recno, std::string_view bytes) {
        if (bytes[0] == '*') return;
        std::string record(bytes);
        record[0] = ' ';
        if (memo_) {
            for (size_t f = 0; f < header_.fields.size(); ++f) {
                const auto& field = header_.fields[f];
                if (!isMemoType(field.info.type)) continue;
                const uint32_t oldBlock = memoBlock(bytes, static_cast<int>(f));
                uint32_t newBlock = 0;
                if (oldBlock != 0) {
                    const std::string text = memo_->read(oldBlock, recno);
                    if (!text.empty()) {
                        newBlock = nextBlock;
                        nextBlock += newMemo->encode(text, memoBuffer);
                        if (memoBuffer.size() >= (1u << 20)) flushMemo();
                    }
                }
                record.replace(static_cast<size_t>(field.offset),
                               static_cast<size_t>(field.info.length),
                               memoPointer(newBlock, field.info.length));
            }
        }
        out += record;
        ++packed.recordCount;
        if (out.size() >= (1u << 20)) {
            newDbf->writeAt(writePos, out.data(), out.size());
            writePos += out.size();
            out.clear();
        }
    });
    out.push_back('\x1A');
    newDbf->writeAt(writePos, out.data(), out.size());
    const std::string finalHead = packed.encodeRecord();
    newDbf->writeAt(0, finalHead.data(), finalHead.size());
    if (newMemo) {
        flushMemo();
        newMemo->setNextFree(nextBlock);
        newMemo->file().sync();
        newMemo.reset();
    }
    newDbf->sync();

    // 2. The new index, built from the new records.
    std::optional<std::filesystem::path> newCdxPath;
    if (cdx_) newCdxPath = buildIndexFile(*cdxPath_, *newDbf, packed, tagDefinitions());
    newDbf.reset();

    // 3. The marker says every new file is complete: from here on a crash is finished
    // forward by the next open; before it, the new files are thrown away.
    // Each line: the final name, a tab, the new file's name.
    const auto markerPath = withSuffix(dbfPath_, kPackedMarkerSuffix);
    std::string names;
    const auto list = [&names](const std::filesystem::path& final,
                               const std::filesystem::path& temporary) {
        names += final.filename().string() + "\t" + temporary.filename().string() + "\n";
    };
    list(dbfPath_, newDbfPath);
    if (newMemoPath) list(*memoPath_, *newMemoPath);
    if (newCdxPath) list(*cdxPath_, *newCdxPath);
    auto marker = fs_->createTemporary(markerPath, "-");
    marker->writeAt(0, names.data(), names.size());
    marker->sync();
    const std::filesystem::path markerTemporary = marker->path();
    marker.reset();
    fs_->syncFolder(folder);
    fs_->rename(markerTemporary, markerPath);
    fs_->syncFolder(folder);
}

void SharedTable::reopenAfterRewrite() {
    memo_.reset();
    closeIndex();
    dbf_.reset();
    chunk_.clear();
    openFiles();
    if (!dbf_->lockExclusive())
        throw Error(ErrorKind::Locked, code::TableInUse,
                    "The table " + fileName() + " was opened by another program");
    filesLockedExclusive_ = true;
    loadHeader();
    openIndex();
    ++generation_;
    touch();
}

void SharedTable::recoverInterruptedPack(FileSystem& fs, const std::filesystem::path& dbfPath) {
    bool leftovers = false;
    for (const std::string& name : fs.folderEntries(dbfPath.parent_path()))
        leftovers = leftovers || isPackLeftover(name, dbfPath);
    if (!leftovers) return;

    // Only the program that holds the table alone may finish or undo a pack: the files
    // may belong to a pack running in another program right now.
    auto guard = fs.open(dbfPath, OpenFlags::ReadOnly);
    if (!guard->lockExclusive()) return;
    finishOrUndoPack(fs, dbfPath);
}

void SharedTable::finishOrUndoPack(FileSystem& fs, const std::filesystem::path& dbfPath) {
    const auto folder = dbfPath.parent_path();
    const auto markerPath = withSuffix(dbfPath, kPackedMarkerSuffix);
    // A marker that is a link or anything but a file was not written by a pack.
    if (fs.entryType(markerPath) == EntryType::RegularFile) {
        auto marker = fs.open(markerPath, OpenFlags::ReadOnly);
        std::string names(static_cast<size_t>(std::min<uint64_t>(marker->size(), kLargestMarker)),
                          '\0');
        names.resize(marker->readAt(0, names.data(), names.size()));
        marker.reset();
        size_t start = 0;
        while (start < names.size()) {
            size_t end = names.find('\n', start);
            if (end == std::string::npos) end = names.size();
            const std::string line = names.substr(start, end - start);
            start = end + 1;
            const size_t tab = line.find('\t');
            const std::string name = line.substr(0, tab);
            const std::string temporaryName =
                tab == std::string::npos ? name + kPackingTag : line.substr(tab + 1);
            // Only a new file of this pack goes, and only onto one of the table's names.
            if (!isBareName(name) || !isBareName(temporaryName) ||
                !isTableFileName(name, dbfPath) ||
                temporaryName.compare(0, name.size() + std::strlen(kPackingTag),
                                      name + kPackingTag) != 0)
                continue;
            const auto temporary = folder / temporaryName;
            if (fs.entryType(temporary) == EntryType::RegularFile) {
                fs.rename(temporary, folder / name);
            }
        }
        fs.syncFolder(folder);
        fs.remove(markerPath);
    }
    // Whatever else a pack left, every letter case and links included: removing a name
    // never touches what a link points to.
    for (const std::string& name : fs.folderEntries(folder))
        if (isPackLeftover(name, dbfPath)) fs.remove(folder / name);
    fs.syncFolder(folder);
}

}  // namespace xbase
