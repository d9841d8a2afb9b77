#include "shared_table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "ascii.h"
#include "byte_order.h"
#include "pack_hook.h"
#include "xbase/error.h"

namespace xbase {
namespace {

// FoxPro-family lock offsets (tables with a structural index use the high range).
constexpr uint64_t kHighLockBase = 0x7FFFFFFE;
constexpr uint64_t kLowLockBase = 0x40000000;
constexpr uint64_t kIndexLockOffset = 0x7FFFFFFE;
constexpr uint64_t kMemoLockOffset = 0;
// Header, index and memo locks are held for a moment by whoever writes; wait this long.
constexpr auto kShortLockPatience = std::chrono::seconds(3);

std::map<std::string, std::weak_ptr<SharedTable>>& registry() {
    static std::map<std::string, std::weak_ptr<SharedTable>> tables;
    return tables;
}

std::string registryKey(const std::filesystem::path& path) {
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return (ec ? path : canonical).string();
}

std::string stemOf(const std::filesystem::path& p) { return p.stem().string(); }

std::filesystem::path withSuffix(const std::filesystem::path& p, const char* suffix) {
    return std::filesystem::path(p.string() + suffix);
}

// New files are written under the final name, one of these tags and random characters, and
// renamed into place when complete. Old versions wrote "<name>.packing" without random part.
constexpr const char* kPackingTag = ".packing";
constexpr const char* kNewFileTag = ".packing-";
constexpr const char* kPackedMarkerSuffix = ".packed";
constexpr size_t kLargestMarker = 4096;

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && upperAscii(text.substr(0, prefix.size())) == upperAscii(prefix);
}

// Whether `name` is a new file or marker of a pack of the table at `dbfPath`, in any
// letter case: what a crash or a failure may leave.
bool isPackLeftover(const std::string& name, const std::filesystem::path& dbfPath) {
    const std::string stem = stemOf(dbfPath);
    for (const char* ext : {".dbf", ".fpt", ".dbt", ".cdx"})
        if (startsWithIgnoringCase(name, stem + ext + kPackingTag)) return true;
    const std::string table = dbfPath.filename().string();
    return startsWithIgnoringCase(name, table + kPackingTag) ||
           startsWithIgnoringCase(name, table + kPackedMarkerSuffix);
}

// The names that are a table's files: finishing a pack renames onto nothing else.
bool isTableFileName(const std::string& name, const std::filesystem::path& dbfPath) {
    const std::string stem = stemOf(dbfPath);
    if (upperAscii(name) == upperAscii(dbfPath.filename().string())) return true;
    for (const char* ext : {".fpt", ".dbt", ".cdx"})
        if (upperAscii(name) == upperAscii(stem + ext)) return true;
    return false;
}

bool isBareName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

// Reads every record of a DBF in large chunks.
void forEachRecord(File& file, const DbfHeader& header,
                   const std::function<void(uint32_t, std::string_view)>& visit) {
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
            visit(first + i, std::string_view(buffer.data() + static_cast<size_t>(i) * header.recordLength,
                                              header.recordLength));
    }
}

// Holds a byte-range lock for one scope.
class RangeLock {
public:
    RangeLock() = default;
    RangeLock(const RangeLock&) = delete;
    RangeLock& operator=(const RangeLock&) = delete;
    ~RangeLock() {
        if (file_) file_->unlockRange(offset_, 1);
    }
    void take(File& file, uint64_t offset, const std::string& what) {
        const auto deadline = std::chrono::steady_clock::now() + kShortLockPatience;
        while (!file.lockRange(offset, 1, true, false)) {
            if (std::chrono::steady_clock::now() > deadline)
                throw Error(ErrorKind::Locked, code::HeaderLocked,
                            what + " is locked by another program; try again in a moment");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        file_ = &file;
        offset_ = offset;
    }

private:
    File* file_ = nullptr;
    uint64_t offset_ = 0;
};

}  // namespace

PackHook& packHook() {
    static PackHook hook;
    return hook;
}

// ---------------------------------------------------------------- RecordView

int RecordView::fieldIndex(std::string_view name) const { return table_.fieldIndex(name); }
char RecordView::fieldType(int field) const { return table_.header().fields[field].info.type; }
int RecordView::fieldLength(int field) const { return table_.header().fields[field].info.length; }
int RecordView::fieldDecimals(int field) const { return table_.header().fields[field].info.decimals; }
std::string_view RecordView::rawField(int field) const {
    const auto& f = table_.header().fields[field];
    if (bytes_.size() < static_cast<size_t>(f.offset + f.info.length)) return std::string(f.info.length, ' ');
    return bytes_.substr(f.offset, f.info.length);
}
std::string RecordView::memoText(int field) const {
    if (bytes_.empty()) return {};
    return table_.readMemo(bytes_, field, recno_);
}

// ---------------------------------------------------------------- opening

SharedTable::SharedTable(FileSystem& fs, std::filesystem::path dbfPath, bool readOnly)
    : fs_(&fs), dbfPath_(std::move(dbfPath)), readOnly_(readOnly) {}

SharedTable::~SharedTable() {
    unlockAllFiles();
    registry().erase(registryKey(dbfPath_));
}

std::shared_ptr<SharedTable> SharedTable::acquire(const std::filesystem::path& requested,
                                                  const OpenOptions& options) {
    FileSystem& fs = options.fileSystem ? *options.fileSystem : defaultFileSystem();
    auto found = fs.findIgnoringCase(requested.parent_path(), requested.filename().string());
    if (!found)
        throw Error(ErrorKind::NotFound, code::FileNotFound, "Table not found: " + requested.string());

    const std::string key = registryKey(*found);
    if (auto existing = registry()[key].lock()) {
        existing->addUser(options.mode);
        return existing;
    }

    recoverInterruptedPack(fs, *found);
    // The files are opened for writing whenever the system allows it, whatever this first
    // cursor asks: a later cursor of the program on the same table may need to write. A
    // read-only cursor refuses writes itself.
    std::shared_ptr<SharedTable> table(new SharedTable(fs, *found, false));
    table->openFiles();
    table->addUser(options.mode);
    table->loadHeader();
    table->openIndex();
    registry()[key] = table;
    return table;
}

void SharedTable::openFiles() { dbf_ = openTableFile(dbfPath_); }

std::unique_ptr<File> SharedTable::openTableFile(const std::filesystem::path& path) {
    if (!readOnly_) {
        try {
            return fs_->open(path, OpenFlags::ReadWrite);
        } catch (const Error& e) {
            if (e.kind() != ErrorKind::IoError || e.number() == code::NotRegularFile) throw;
            // A write-protected table can still be browsed. So can one whose files are
            // symbolic links: writing through them could change any file the user owns.
            readOnly_ = true;
            if (e.number() == code::SymbolicLink)
                readOnlyReason_ =
                    path.filename().string() + " is a symbolic link, which this program never writes through";
        }
    }
    return fs_->open(path, OpenFlags::ReadOnly);
}

void SharedTable::loadHeader() {
    std::string bytes(32, '\0');
    size_t got = dbf_->readAt(0, bytes.data(), 32);
    bytes.resize(got);
    if (got == 32) {
        const uint16_t headerLength = getLe16(reinterpret_cast<const unsigned char*>(bytes.data()) + 8);
        bytes.resize(std::max<size_t>(32, headerLength));
        got = dbf_->readAt(0, bytes.data(), bytes.size());
        bytes.resize(got);
    }
    header_ = DbfHeader::parse(bytes, fileName());

    const uint64_t size = dbf_->size();
    const uint64_t needed = header_.headerLength + static_cast<uint64_t>(header_.recordCount) * header_.recordLength;
    if (size < needed) {
        const uint64_t present = size > header_.headerLength ? (size - header_.headerLength) / header_.recordLength : 0;
        throw Error(ErrorKind::Corruption, code::BadTableHeader,
                    fileName() + " is damaged: its header counts " + std::to_string(header_.recordCount) +
                        " records but the file holds only " + std::to_string(present));
    }
    fieldByName_.clear();
    for (size_t i = 0; i < header_.fields.size(); ++i) fieldByName_[header_.fields[i].info.name] = static_cast<int>(i);

    if (header_.hasMemoFields()) {
        const bool dbase = header_.version == 0x83 || header_.version == 0x8B;
        const std::string memoName = stemOf(dbfPath_) + (dbase ? ".dbt" : ".fpt");
        memoPath_ = fs_->findIgnoringCase(dbfPath_.parent_path(), memoName);
        if (!memoPath_)
            throw Error(ErrorKind::NotFound, code::FileNotFound,
                        "The memo file " + memoName + " of table " + fileName() + " is missing");
        auto file = openTableFile(*memoPath_);
        if (!(filesLockedExclusive_ ? file->lockExclusive() : file->lockShared()))
            throw Error(ErrorKind::Locked, code::TableInUse, memoName + " is in use by another program");
        const MemoFormat format = header_.version == 0x83   ? MemoFormat::DbaseIII
                                  : header_.version == 0x8B ? MemoFormat::DbaseIV
                                                            : MemoFormat::Fpt;
        memo_ = std::make_unique<MemoFile>(std::move(file), format);
    }
}

void SharedTable::openIndex() {
    tags_.clear();
    cdx_.reset();
    cdxFile_.reset();
    cdxPath_ = fs_->findIgnoringCase(dbfPath_.parent_path(), stemOf(dbfPath_) + ".cdx");
    // A table marked as having a structural index whose file is gone still opens, in
    // natural order, so that the index can be built again.
    if (!cdxPath_) return;
    cdxFile_ = openTableFile(*cdxPath_);
    if (!(filesLockedExclusive_ ? cdxFile_->lockExclusive() : cdxFile_->lockShared()))
        throw Error(ErrorKind::Locked, code::TableInUse,
                    cdxPath_->filename().string() + " is in use by another program");
    cdx_ = CdxFile::open(*cdxFile_);
    cdxCounter_ = cdx_->readChangeCounter();
    compileTags();
}

void SharedTable::compileTags() {
    tags_.clear();
    RecordView schema(*this, {}, 0);
    for (const auto& name : cdx_->tagNames()) {
        TagState state;
        state.tag = cdx_->findTag(name);
        state.name = upperAscii(name);
        if (!state.tag) continue;
        const TagInfo& info = state.tag->info();
        try {
            state.key.emplace(Expression::compile(info.keyExpression, schema));
            if (!info.forExpression.empty())
                state.condition.emplace(Expression::compile(info.forExpression, schema));
            state.pad = state.key->keyPadByte();
            if (state.key->keyLength() != info.keyLength)
                state.problem = "the index tag " + state.name + " has keys of " + std::to_string(info.keyLength) +
                                " bytes, but its expression gives " + std::to_string(state.key->keyLength());
        } catch (const Error& e) {
            state.problem = "the index tag " + state.name + " uses an expression this program cannot evaluate (" +
                            e.what() + ")";
        }
        if (!info.machineCollation)
            state.problem = "the index tag " + state.name + " uses a collation sequence this program does not know";
        if (info.unique && state.problem.empty())
            state.problem = "the index tag " + state.name + " is a unique index, which this program cannot keep up to date";
        state.tag->setPadByte(state.pad);
        tags_.push_back(std::move(state));
    }
}

int SharedTable::fieldIndex(std::string_view name) const {
    auto it = fieldByName_.find(upperAscii(name));
    return it == fieldByName_.end() ? -1 : it->second;
}

int SharedTable::findTag(std::string_view name) const {
    const std::string wanted = upperAscii(name);
    for (size_t i = 0; i < tags_.size(); ++i)
        if (tags_[i].name == wanted) return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------- users and file locks

bool SharedTable::tryLockAllFiles(bool exclusive) {
    auto take = [exclusive](File* f) { return !f || (exclusive ? f->lockExclusive() : f->lockShared()); };
    if (!take(dbf_.get())) return false;
    if (!take(memo_ ? &memo_->file() : nullptr) || !take(cdxFile_.get())) {
        // Give back what was taken so that a failed upgrade leaves the old lock in place.
        if (filesLockedExclusive_ != exclusive) lockAllFiles(filesLockedExclusive_);
        return false;
    }
    filesLockedExclusive_ = exclusive;
    return true;
}

void SharedTable::lockAllFiles(bool exclusive) {
    auto take = [exclusive](File* f) {
        if (f) exclusive ? f->lockExclusive() : f->lockShared();
    };
    take(dbf_.get());
    take(memo_ ? &memo_->file() : nullptr);
    take(cdxFile_.get());
    filesLockedExclusive_ = exclusive;
}

void SharedTable::unlockAllFiles() {
    if (dbf_) dbf_->unlockShare();
    if (memo_) memo_->file().unlockShare();
    if (cdxFile_) cdxFile_->unlockShare();
}

void SharedTable::addUser(ShareMode mode) {
    const bool first = sharedUsers_ + exclusiveUsers_ == 0;
    if (mode == ShareMode::Exclusive && !filesLockedExclusive_) {
        if (!tryLockAllFiles(true))
            throw Error(ErrorKind::Locked, code::TableInUse,
                        "The table " + fileName() + " is in use by another program and cannot be opened exclusively");
    } else if (first && !tryLockAllFiles(filesLockedExclusive_)) {
        throw Error(ErrorKind::Locked, code::TableInUse,
                    "The table " + fileName() + " is opened exclusively by another program");
    }
    (mode == ShareMode::Exclusive ? exclusiveUsers_ : sharedUsers_)++;
    if (!first && mode == ShareMode::Exclusive) refresh();
}

void SharedTable::removeUser(ShareMode mode) {
    (mode == ShareMode::Exclusive ? exclusiveUsers_ : sharedUsers_)--;
    if (exclusiveUsers_ == 0 && sharedUsers_ > 0 && filesLockedExclusive_) {
        lockAllFiles(false);
        chunk_.clear();
    }
}

// ---------------------------------------------------------------- reading

void SharedTable::touch() { ++changeStamp_; }

void SharedTable::updateCache(uint64_t offset, const char* bytes, size_t size) {
    if (chunk_.empty()) return;
    const uint64_t end = chunkStart_ + chunk_.size();
    if (offset == end) {
        chunk_.append(bytes, size);  // an append right after the cached records
        return;
    }
    if (offset + size <= chunkStart_ || offset >= end) return;
    if (offset < chunkStart_ || offset + size > end) {
        chunk_.clear();
        return;
    }
    std::memcpy(chunk_.data() + (offset - chunkStart_), bytes, size);
}

void SharedTable::refresh() {
    if (filesLockedExclusive_) return;
    chunk_.clear();
    unsigned char head[8];
    if (dbf_->readAt(0, head, 8) == 8) {
        const uint32_t count = getLe32(head + 4);
        Date updated{yearFromHeaderByte(head[1]), head[2], head[3]};
        if (updated.valid()) header_.lastUpdate = updated;
        if (count != header_.recordCount) {
            const uint64_t size = dbf_->size();
            const uint64_t fits = size > header_.headerLength ? (size - header_.headerLength) / header_.recordLength : 0;
            header_.recordCount = static_cast<uint32_t>(std::min<uint64_t>(count, fits));
            ++changeStamp_;
        }
    }
    if (cdx_) {
        const uint32_t counter = cdx_->readChangeCounter();
        if (counter != cdxCounter_) {
            cdx_->dropCache();
            cdxCounter_ = counter;
            ++changeStamp_;
        }
    }
}

void SharedTable::readRecord(uint32_t recno, std::string& out) {
    const uint32_t length = header_.recordLength;
    const uint64_t offset = header_.recordOffset(recno);
    out.resize(length);
    if (!chunk_.empty() && offset >= chunkStart_ && offset + length <= chunkStart_ + chunk_.size()) {
        std::memcpy(out.data(), chunk_.data() + (offset - chunkStart_), length);
        return;
    }
    if (filesLockedExclusive_ || scanDepth_ > 0) {
        const uint64_t end = header_.recordOffset(header_.recordCount + 1);
        uint64_t start = offset;
        uint64_t want = std::max<uint32_t>(kChunkBytes, length);
        if (end - header_.headerLength <= kScanWindowBytes) {
            start = header_.headerLength;
            want = end - start;
        }
        want = std::min<uint64_t>(want, end - start);
        chunk_.resize(want);
        chunkStart_ = start;
        if (dbf_->readAt(start, chunk_.data(), want) == want) {
            std::memcpy(out.data(), chunk_.data() + (offset - start), length);
            return;
        }
        chunk_.clear();
    }
    if (dbf_->readAt(offset, out.data(), length) != length)
        throw Error(ErrorKind::Corruption, code::BadRecord,
                    fileName() + " is damaged: record " + std::to_string(recno) + " is cut short");
}

uint32_t SharedTable::memoBlock(std::string_view recordBytes, int field) const {
    const auto& f = header_.fields[field];
    std::string_view raw = recordBytes.substr(f.offset, f.info.length);
    if (header_.binaryMemoPointers() && f.info.length == 4)
        return getLe32(reinterpret_cast<const unsigned char*>(raw.data()));
    uint32_t block = 0;
    for (char c : raw) {
        if (c >= '0' && c <= '9') {
            if (block > 429496728u) return 0;  // not a block number any file can have
            block = block * 10 + static_cast<uint32_t>(c - '0');
        }
    }
    return block;
}

std::string SharedTable::readMemo(std::string_view recordBytes, int field, uint32_t recno) {
    const uint32_t block = memoBlock(recordBytes, field);
    if (block == 0 || !memo_) return {};
    return memo_->read(block, "record " + std::to_string(recno));
}

uint32_t SharedTable::memoLength(std::string_view recordBytes, int field, uint32_t recno) {
    const uint32_t block = memoBlock(recordBytes, field);
    if (block == 0 || !memo_) return 0;
    return memo_->length(block, "record " + std::to_string(recno));
}

std::optional<std::string> SharedTable::keyOf(int t, std::string_view recordBytes, uint32_t recno) {
    TagState& tag = tags_[t];
    if (!tag.key) return std::nullopt;
    RecordView view(*this, recordBytes, recno);
    if (tag.condition && !tag.condition->isTrue(view)) return std::nullopt;
    std::string key;
    tag.key->evaluateKey(view, key);
    return key;
}

// ---------------------------------------------------------------- writing

void SharedTable::requireWritable() {
    if (readOnly_)
        throw Error(ErrorKind::IoError, code::ReadOnly,
                    "The table " + fileName() + " is read-only" +
                        (readOnlyReason_.empty() ? "" : ": " + readOnlyReason_));
    for (const auto& tag : tags_)
        if (!tag.problem.empty())
            throw Error(ErrorKind::NotSupported, code::UnsupportedFeature,
                        "The table " + fileName() + " cannot be changed: " + tag.problem);
}

uint64_t SharedTable::recordLockOffset(uint32_t recno) const {
    if (header_.tableFlags & DbfHeader::kFlagStructuralIndex) return kHighLockBase - recno;
    return kLowLockBase + header_.recordOffset(recno);
}

uint64_t SharedTable::headerLockOffset() const {
    return (header_.tableFlags & DbfHeader::kFlagStructuralIndex) ? kHighLockBase : kLowLockBase;
}

void SharedTable::lockRecord(uint32_t recno) {
    if (filesLockedExclusive_) return;
    if (!dbf_->lockRange(recordLockOffset(recno), 1, true, false))
        throw Error(ErrorKind::Locked, code::RecordLocked,
                    "Record " + std::to_string(recno) + " of " + fileName() + " is being changed by another program");
}

void SharedTable::unlockRecord(uint32_t recno) {
    if (filesLockedExclusive_) return;
    dbf_->unlockRange(recordLockOffset(recno), 1);
}

std::string SharedTable::memoPointer(uint32_t block, int fieldLength) const {
    if (header_.binaryMemoPointers() && fieldLength == 4) {
        std::string out(4, '\0');
        putLe32(reinterpret_cast<unsigned char*>(out.data()), block);
        return out;
    }
    if (block == 0) return std::string(static_cast<size_t>(fieldLength), ' ');
    std::string digits = std::to_string(block);
    if (digits.size() > static_cast<size_t>(fieldLength))
        throw Error(ErrorKind::InvalidArgument, code::WriteFailed, "The memo file of " + fileName() + " is full");
    return std::string(static_cast<size_t>(fieldLength) - digits.size(), ' ') + digits;
}

void SharedTable::writeMemos(std::string& bytes, const std::map<int, std::string>& memos) {
    if (memos.empty()) return;
    if (!memo_)
        throw Error(ErrorKind::NotFound, code::FileNotFound, "The table " + fileName() + " has no memo file");
    RangeLock memoLock;
    if (!filesLockedExclusive_) {
        memoLock.take(memo_->file(), kMemoLockOffset, "The memo file of " + fileName());
        memo_->refreshHeader();
    }
    for (const auto& [field, text] : memos) {
        const auto& f = header_.fields[field];
        const uint32_t block = text.empty() ? 0 : memo_->append(text);
        const std::string pointer = memoPointer(block, f.info.length);
        bytes.replace(static_cast<size_t>(f.offset), static_cast<size_t>(f.info.length), pointer);
    }
}

void SharedTable::stampHeaderDate() {
    const Date today = Date::today();
    if (header_.lastUpdate == today) return;
    header_.lastUpdate = today;
    unsigned char date[3] = {static_cast<unsigned char>(today.year - 1900), static_cast<unsigned char>(today.month),
                             static_cast<unsigned char>(today.day)};
    dbf_->writeAt(1, date, 3);
}

void SharedTable::writeRecord(uint32_t recno, std::string& bytes, const std::map<int, std::string>& memos) {
    requireWritable();
    RangeLock indexLock;
    if (cdx_ && !filesLockedExclusive_) {
        indexLock.take(*cdxFile_, kIndexLockOffset, "The index of " + fileName());
        refresh();
    }
    std::string old(header_.recordLength, ' ');
    if (dbf_->readAt(header_.recordOffset(recno), old.data(), old.size()) != old.size())
        throw Error(ErrorKind::Corruption, code::BadRecord,
                    fileName() + " is damaged: record " + std::to_string(recno) + " is cut short");
    writeMemos(bytes, memos);
    bytes[0] = old[0];  // the deletion flag is changed only by markDeleted
    dbf_->writeAt(header_.recordOffset(recno), bytes.data(), bytes.size());
    updateCache(header_.recordOffset(recno), bytes.data(), bytes.size());
    touch();
    for (size_t t = 0; t < tags_.size(); ++t) {
        auto before = keyOf(static_cast<int>(t), old, recno);
        auto after = keyOf(static_cast<int>(t), bytes, recno);
        if (before == after) continue;
        if (before) tags_[t].tag->erase(*before, recno);
        if (after) tags_[t].tag->insert(*after, recno);
    }
    stampHeaderDate();
    if (cdx_ && !filesLockedExclusive_) {
        cdx_->bumpChangeCounter();
        cdxCounter_ = cdx_->readChangeCounter();
    }
}

uint32_t SharedTable::appendRecord(std::string& bytes, const std::map<int, std::string>& memos) {
    requireWritable();
    RangeLock headerLock;
    RangeLock indexLock;
    if (!filesLockedExclusive_) {
        headerLock.take(*dbf_, headerLockOffset(), "The table " + fileName());
        if (cdx_) indexLock.take(*cdxFile_, kIndexLockOffset, "The index of " + fileName());
        refresh();
    }
    const uint32_t recno = header_.recordCount + 1;
    writeMemos(bytes, memos);
    bytes[0] = ' ';
    std::string out = bytes;
    out.push_back('\x1A');
    dbf_->writeAt(header_.recordOffset(recno), out.data(), out.size());
    updateCache(header_.recordOffset(recno), bytes.data(), bytes.size());
    // The record is in place before the header counts it: a crash in between loses
    // only the new record, never an old one.
    header_.recordCount = recno;
    header_.lastUpdate = Date::today();
    const std::string head = header_.encodeRecord();
    dbf_->writeAt(1, head.data() + 1, 7);
    touch();
    for (size_t t = 0; t < tags_.size(); ++t)
        if (auto key = keyOf(static_cast<int>(t), bytes, recno)) tags_[t].tag->insert(*key, recno);
    if (cdx_ && !filesLockedExclusive_) {
        cdx_->bumpChangeCounter();
        cdxCounter_ = cdx_->readChangeCounter();
    }
    return recno;
}

void SharedTable::markDeleted(uint32_t recno, bool deleted) {
    requireWritable();
    const char flag = deleted ? '*' : ' ';
    dbf_->writeAt(header_.recordOffset(recno), &flag, 1);
    updateCache(header_.recordOffset(recno), &flag, 1);
    touch();
    stampHeaderDate();
}

// ---------------------------------------------------------------- maintenance

std::filesystem::path SharedTable::buildIndexFile(const std::filesystem::path& target, File& source,
                                                  const DbfHeader& header, const std::vector<TagDefinition>& tags) {
    auto file = fs_->createTemporary(target, kNewFileTag);
    const std::filesystem::path temporary = file->path();
    try {
        writeIndexFile(*file, source, header, tags);
    } catch (...) {
        file.reset();
        fs_->remove(temporary);
        throw;
    }
    return temporary;
}

void SharedTable::writeIndexFile(File& file, File& source, const DbfHeader& header,
                                 const std::vector<TagDefinition>& tags) {
    auto cdx = CdxFile::create(file);
    RecordView schema(*this, {}, 0);
    for (const TagDefinition& tag : tags) {
        Expression key = Expression::compile(tag.keyExpression, schema);
        std::optional<Expression> condition;
        if (!tag.forExpression.empty()) condition.emplace(Expression::compile(tag.forExpression, schema));
        BulkKeys keys;
        keys.keyLength = static_cast<uint16_t>(key.keyLength());
        keys.recnos.reserve(header.recordCount);
        keys.bytes.reserve(static_cast<size_t>(header.recordCount) * keys.keyLength);
        std::string buffer;
        forEachRecord(source, header, [&](uint32_t recno, std::string_view bytes) {
            RecordView view(*this, bytes, recno);
            if (condition && !condition->isTrue(view)) return;
            key.evaluateKey(view, buffer);
            keys.add(buffer, recno);
        });
        cdx->createTag(tag.name, tag.keyExpression, tag.forExpression, key.keyPadByte(), std::move(keys));
    }
    cdx.reset();
    file.sync();
}

std::vector<TagDefinition> SharedTable::tagDefinitions() const {
    std::vector<TagDefinition> defs;
    for (const auto& tag : tags_)
        defs.push_back({tag.name, tag.tag->info().keyExpression, tag.tag->info().forExpression});
    return defs;
}

void SharedTable::reopenAfterRewrite() {
    memo_.reset();
    cdx_.reset();
    cdxFile_.reset();
    tags_.clear();
    dbf_.reset();
    chunk_.clear();
    openFiles();
    if (!dbf_->lockExclusive())
        throw Error(ErrorKind::Locked, code::TableInUse, "The table " + fileName() + " was opened by another program");
    filesLockedExclusive_ = true;
    loadHeader();
    openIndex();
    ++generation_;
    touch();
}

void SharedTable::reindex() {
    requireWritable();
    if (!filesLockedExclusive_)
        throw Error(ErrorKind::InvalidArgument, code::NeedsExclusive,
                    "The table " + fileName() + " must be opened exclusively to rebuild its index");
    if (!cdx_) return;
    const std::vector<TagDefinition> defs = tagDefinitions();
    const auto target = *cdxPath_;
    const auto temporary = buildIndexFile(target, *dbf_, header_, defs);
    cdx_.reset();
    cdxFile_.reset();
    fs_->rename(temporary, target);
    fs_->syncFolder(target.parent_path());
    openIndex();
    touch();
}

void SharedTable::createTag(const std::string& name, const std::string& expression, const std::string& forExpression) {
    requireWritable();
    if (!filesLockedExclusive_)
        throw Error(ErrorKind::InvalidArgument, code::NeedsExclusive,
                    "The table " + fileName() + " must be opened exclusively to create an index");
    const std::string tagName = upperAscii(name);
    bool validName = !tagName.empty() && tagName.size() <= 10 && !(tagName[0] >= '0' && tagName[0] <= '9');
    for (char c : tagName) validName = validName && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
    if (!validName)
        throw Error(ErrorKind::InvalidArgument, code::BadState,
                    "Invalid index tag name \"" + name + "\": 1 to 10 letters, digits or underscores");
    RecordView schema(*this, {}, 0);
    Expression::compile(expression, schema);  // refuse a bad expression before touching a file
    if (!forExpression.empty()) Expression::compile(forExpression, schema);

    std::vector<TagDefinition> defs;
    for (const TagDefinition& tag : tagDefinitions())
        if (tag.name != tagName) defs.push_back(tag);
    defs.push_back({tagName, expression, forExpression});

    const auto target = cdxPath_ ? *cdxPath_ : dbfPath_.parent_path() / (stemOf(dbfPath_) + ".CDX");
    const auto temporary = buildIndexFile(target, *dbf_, header_, defs);
    cdx_.reset();
    cdxFile_.reset();
    fs_->rename(temporary, target);
    fs_->syncFolder(target.parent_path());
    if (!(header_.tableFlags & DbfHeader::kFlagStructuralIndex)) {
        header_.tableFlags |= DbfHeader::kFlagStructuralIndex;
        dbf_->writeAt(28, &header_.tableFlags, 1);
    }
    openIndex();
    touch();
}

void SharedTable::pack() {
    requireWritable();
    if (!filesLockedExclusive_)
        throw Error(ErrorKind::InvalidArgument, code::NeedsExclusive,
                    "The table " + fileName() + " must be opened exclusively to pack it");
    try {
        writePackedFiles();
    } catch (...) {
        // Nothing of the table was touched yet: throw the new files away.
        finishOrUndoPack(*fs_, dbfPath_);
        throw;
    }
    try {
        auto& hook = packHook();
        hook("marker written");
        memo_.reset();
        cdx_.reset();
        cdxFile_.reset();
        tags_.clear();
        finishOrUndoPack(*fs_, dbfPath_);
        hook("files renamed");
    } catch (...) {
        // The marker is written, so the new files are complete: the next open finishes
        // the renames. Try once more now so that this program can go on.
        try {
            finishOrUndoPack(*fs_, dbfPath_);
            reopenAfterRewrite();
        } catch (...) {
        }
        throw;
    }
    reopenAfterRewrite();
}

void SharedTable::writePackedFiles() {
    auto& hook = packHook();
    const auto folder = dbfPath_.parent_path();

    // 1. The new table: live records only, memos copied into a fresh memo file.
    DbfHeader packed = header_;
    packed.recordCount = 0;
    packed.lastUpdate = Date::today();
    auto newDbf = fs_->createTemporary(dbfPath_, kNewFileTag);
    const std::filesystem::path newDbfPath = newDbf->path();
    std::unique_ptr<MemoFile> newMemo;
    std::optional<std::filesystem::path> newMemoPath;
    uint32_t nextBlock = 0;
    uint32_t blockSize = 0;
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
        blockSize = memo_->blockSize();
        MemoFile::initialize(*file, memo_->format(), static_cast<uint16_t>(blockSize));
        newMemo = std::make_unique<MemoFile>(std::move(file), memo_->format());
        nextBlock = newMemo->nextFree();
        memoBufferStart = static_cast<uint64_t>(nextBlock) * blockSize;
    }
    hook("memo file started");

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
                    const std::string text = memo_->read(oldBlock, "record " + std::to_string(recno));
                    if (!text.empty()) {
                        std::string block;
                        if (memo_->format() == MemoFormat::DbaseIII) {
                            block = text + "\x1A\x1A";
                        } else {
                            block.assign(8, '\0');
                            auto* p = reinterpret_cast<unsigned char*>(block.data());
                            if (memo_->format() == MemoFormat::Fpt) {
                                putBe32(p, 1);
                                putBe32(p + 4, static_cast<uint32_t>(text.size()));
                            } else {
                                p[0] = 0xFF, p[1] = 0xFF, p[2] = 0x08, p[3] = 0x00;
                                putLe32(p + 4, static_cast<uint32_t>(text.size() + 8));
                            }
                            block += text;
                        }
                        const size_t blocks = (block.size() + blockSize - 1) / blockSize;
                        block.resize(blocks * blockSize, '\0');
                        memoBuffer += block;
                        newBlock = nextBlock;
                        nextBlock += static_cast<uint32_t>(blocks);
                        if (memoBuffer.size() >= (1u << 20)) flushMemo();
                    }
                }
                record.replace(static_cast<size_t>(field.offset), static_cast<size_t>(field.info.length),
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
    hook("records written");
    if (newMemo) {
        flushMemo();
        unsigned char next[4];
        if (memo_->format() == MemoFormat::Fpt)
            putBe32(next, nextBlock);
        else
            putLe32(next, nextBlock);
        newMemo->file().writeAt(0, next, 4);
        newMemo->file().sync();
        newMemo.reset();
    }
    newDbf->sync();
    hook("table synced");

    // 2. The new index, built from the new records.
    std::optional<std::filesystem::path> newCdxPath;
    if (cdx_) newCdxPath = buildIndexFile(*cdxPath_, *newDbf, packed, tagDefinitions());
    newDbf.reset();
    hook("index written");

    // 3. The marker says every new file is complete: from here on a crash is finished
    // forward by the next open; before it, the new files are thrown away.
    // Each line: the final name, a tab, the new file's name.
    const auto markerPath = withSuffix(dbfPath_, kPackedMarkerSuffix);
    std::string names;
    const auto list = [&names](const std::filesystem::path& final, const std::filesystem::path& temporary) {
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
        std::string names(static_cast<size_t>(std::min<uint64_t>(marker->size(), kLargestMarker)), '\0');
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
            if (!isBareName(name) || !isBareName(temporaryName) || !isTableFileName(name, dbfPath) ||
                temporaryName.compare(0, name.size() + std::strlen(kPackingTag), name + kPackingTag) != 0)
                continue;
            const auto temporary = folder / temporaryName;
            if (fs.entryType(temporary) == EntryType::RegularFile) {
                fs.rename(temporary, folder / name);
                packHook()("renamed " + name);
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
