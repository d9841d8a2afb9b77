#include "shared_table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

#include "ascii.h"
#include "byte_order.h"
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

// ---------------------------------------------------------------- RecordView

int RecordView::fieldIndex(std::string_view name) const {
    return table_.fieldIndex(name);
}
char RecordView::fieldType(int field) const {
    return table_.header().fields[field].info.type;
}
int RecordView::fieldLength(int field) const {
    return table_.header().fields[field].info.length;
}
int RecordView::fieldDecimals(int field) const {
    return table_.header().fields[field].info.decimals;
}
std::string_view RecordView::rawField(int field) const {
    const auto& f = table_.header().fields[field];
    if (bytes_.size() < static_cast<size_t>(f.offset + f.info.length)) {
        // No record (a schema for compiling) or a short one: blanks, as wide as any field.
        static const std::string blanks(65536, ' ');
        return std::string_view(blanks).substr(0, static_cast<size_t>(f.info.length));
    }
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
    if (dbf_) settleChangeMark();
    unlockAllFiles();
    registry().erase(registryKey(dbfPath_));
}

std::shared_ptr<SharedTable> SharedTable::acquire(const std::filesystem::path& requested,
                                                  const OpenOptions& options) {
    FileSystem& fs = options.fileSystem ? *options.fileSystem : defaultFileSystem();
    auto found = fs.findIgnoringCase(requested.parent_path(), requested.filename().string());
    if (!found)
        throw Error(ErrorKind::NotFound, code::FileNotFound,
                    "Table not found: " + requested.string());

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
    table->finishInterruptedChange();
    registry()[key] = table;
    return table;
}

bool SharedTable::openInThisProgram(const std::filesystem::path& dbfPath) {
    const auto it = registry().find(registryKey(dbfPath));
    return it != registry().end() && !it->second.expired();
}

void SharedTable::openFiles() {
    dbf_ = openTableFile(dbfPath_);
}

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
                readOnlyReason_ = path.filename().string() +
                                  " is a symbolic link, which this program never writes through";
        }
    }
    return fs_->open(path, OpenFlags::ReadOnly);
}

void SharedTable::loadHeader() {
    std::string bytes(32, '\0');
    size_t got = dbf_->readAt(0, bytes.data(), 32);
    bytes.resize(got);
    if (got == 32) {
        const uint16_t headerLength =
            getLe16(reinterpret_cast<const unsigned char*>(bytes.data()) + 8);
        bytes.resize(std::max<size_t>(32, headerLength));
        got = dbf_->readAt(0, bytes.data(), bytes.size());
        bytes.resize(got);
    }
    header_ = DbfHeader::parse(bytes, fileName());

    const uint64_t size = dbf_->size();
    const uint64_t needed =
        header_.headerLength + static_cast<uint64_t>(header_.recordCount) * header_.recordLength;
    if (size < needed) {
        const uint64_t present =
            size > header_.headerLength ? (size - header_.headerLength) / header_.recordLength : 0;
        throw Error(ErrorKind::Corruption, code::BadTableHeader,
                    fileName() + " is damaged: its header counts " +
                        std::to_string(header_.recordCount) + " records but the file holds only " +
                        std::to_string(present));
    }
    fieldByName_.clear();
    for (size_t i = 0; i < header_.fields.size(); ++i)
        fieldByName_[header_.fields[i].info.name] = static_cast<int>(i);

    if (header_.hasMemoFields()) {
        const bool dbase = header_.version == 0x83 || header_.version == 0x8B;
        const std::string memoName = dbfPath_.stem().string() + (dbase ? ".dbt" : ".fpt");
        memoPath_ = fs_->findIgnoringCase(dbfPath_.parent_path(), memoName);
        if (!memoPath_)
            throw Error(ErrorKind::NotFound, code::FileNotFound,
                        "The memo file " + memoName + " of table " + fileName() + " is missing");
        auto file = openTableFile(*memoPath_);
        if (!(filesLockedExclusive_ ? file->lockExclusive() : file->lockShared()))
            throw Error(ErrorKind::Locked, code::TableInUse,
                        memoName + " is in use by another program");
        const MemoFormat format = header_.version == 0x83   ? MemoFormat::DbaseIII
                                  : header_.version == 0x8B ? MemoFormat::DbaseIV
                                                            : MemoFormat::Fpt;
        memo_ = std::make_unique<MemoFile>(std::move(file), format);
        updateMemoWindow();
    }
}

void SharedTable::closeIndex() {
    tags_.clear();
    cdx_.reset();
    cdxFile_.reset();
}

void SharedTable::openIndex() {
    closeIndex();
    cdxPath_ = fs_->findIgnoringCase(dbfPath_.parent_path(), dbfPath_.stem().string() + ".cdx");
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
                state.problem = "the index tag " + state.name + " has keys of " +
                                std::to_string(info.keyLength) +
                                " bytes, but its expression gives " +
                                std::to_string(state.key->keyLength());
        } catch (const Error& e) {
            state.problem = "the index tag " + state.name +
                            " uses an expression this program cannot evaluate (" + e.what() + ")";
        }
        if (!info.machineCollation)
            state.problem = "the index tag " + state.name +
                            " uses a collation sequence this program does not know";
        if (info.unique && state.problem.empty())
            state.problem = "the index tag " + state.name +
                            " is a unique index, which this program cannot keep up to date";
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
    auto take = [exclusive](File* f) {
        return !f || (exclusive ? f->lockExclusive() : f->lockShared());
    };
    if (!take(dbf_.get())) return false;
    if (!take(memo_ ? &memo_->file() : nullptr) || !take(cdxFile_.get())) {
        // Give back what was taken so that a failed upgrade leaves the old lock in place.
        if (filesLockedExclusive_ != exclusive) lockAllFiles(filesLockedExclusive_);
        return false;
    }
    filesLockedExclusive_ = exclusive;
    updateMemoWindow();
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
    updateMemoWindow();
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
                        "The table " + fileName() +
                            " is in use by another program and cannot be opened exclusively");
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
        settleChangeMark();
        lockAllFiles(false);
        chunk_.clear();
    }
}

// ---------------------------------------------------------------- reading

void SharedTable::touch() {
    ++changeStamp_;
}

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
    if (filesLockedExclusive_) {
        settleChangeMark();
        return;
    }
    chunk_.clear();
    unsigned char head[8];
    if (dbf_->readThroughView(0, head, 8) == 8) {
        const uint32_t count = getLe32(head + 4);
        Date updated{yearFromHeaderByte(head[1]), head[2], head[3]};
        if (updated.valid()) header_.lastUpdate = updated;
        if (count != header_.recordCount) {
            const uint64_t size = dbf_->size();
            const uint64_t fits = size > header_.headerLength
                                      ? (size - header_.headerLength) / header_.recordLength
                                      : 0;
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
    if (!chunk_.empty() && offset >= chunkStart_ &&
        offset + length <= chunkStart_ + chunk_.size()) {
        std::memcpy(out.data(), chunk_.data() + (offset - chunkStart_), length);
        return;
    }
    if (dbf_->readFromView(offset, out.data(), length)) return;
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
    return memo_->read(block, recno);
}

uint32_t SharedTable::memoLength(std::string_view recordBytes, int field, uint32_t recno) {
    const uint32_t block = memoBlock(recordBytes, field);
    if (block == 0 || !memo_) return 0;
    return memo_->length(block, recno);
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

void SharedTable::requireExclusive(const std::string& purpose) {
    requireWritable();
    if (!filesLockedExclusive_)
        throw Error(ErrorKind::InvalidArgument, code::NeedsExclusive,
                    "The table " + fileName() + " must be opened exclusively " + purpose);
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
                    "Record " + std::to_string(recno) + " of " + fileName() +
                        " is being changed by another program");
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
        throw Error(ErrorKind::InvalidArgument, code::WriteFailed,
                    "The memo file of " + fileName() + " is full");
    return std::string(static_cast<size_t>(fieldLength) - digits.size(), ' ') + digits;
}

void SharedTable::writeMemos(std::string& bytes, const std::map<int, std::string>& memos) {
    if (memos.empty()) return;
    if (!memo_)
        throw Error(ErrorKind::NotFound, code::FileNotFound,
                    "The table " + fileName() + " has no memo file");
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
    unsigned char date[3] = {static_cast<unsigned char>(today.year - 1900),
                             static_cast<unsigned char>(today.month),
                             static_cast<unsigned char>(today.day)};
    dbf_->writeAt(1, date, 3);
}

void SharedTable::writeRecord(uint32_t recno, std::string& bytes,
                              const std::map<int, std::string>& memos) {
    requireWritable();
    RangeLock indexLock;
    if (cdx_ && !filesLockedExclusive_) {
        indexLock.take(*cdxFile_, kIndexLockOffset, "The index of " + fileName());
        refresh();
    }
    std::string old(header_.recordLength, ' ');
    const uint64_t offset = header_.recordOffset(recno);
    if (dbf_->readThroughView(offset, old.data(), old.size()) != old.size())
        throw Error(ErrorKind::Corruption, code::BadRecord,
                    fileName() + " is damaged: record " + std::to_string(recno) + " is cut short");
    // New memos go to fresh blocks that nothing points to until the record does, and the
    // date is true either way: a failure from here on puts back the record and its keys.
    stampHeaderDate();
    writeMemos(bytes, memos);
    bytes[0] = old[0];  // the deletion flag is changed only by markDeleted
    std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>> keys;
    bool keysChange = false;
    for (size_t t = 0; t < tags_.size(); ++t) {
        keys.emplace_back(keyOf(static_cast<int>(t), old, recno),
                          keyOf(static_cast<int>(t), bytes, recno));
        keysChange = keysChange || keys.back().first != keys.back().second;
    }
    RecordChange change(*this);
    try {
        if (keysChange && !header_.changeInProgress) markChange(true);
        dbf_->writeAt(offset, bytes.data(), bytes.size());
        updateCache(offset, bytes.data(), bytes.size());
        touch();
        for (size_t t = 0; t < tags_.size(); ++t) {
            const auto& [before, after] = keys[t];
            if (before == after) continue;
            if (before) tags_[t].tag->erase(*before, recno);
            if (after) tags_[t].tag->insert(*after, recno);
        }
        announceIndexChange();
        if (keysChange) endChange();
    } catch (...) {
        change.rollBack([&] {
            dbf_->writeAt(offset, old.data(), old.size());
            updateCache(offset, old.data(), old.size());
            if (header_.changeInProgress) markChange(false);
        });
        throw;
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
    const Date lastUpdate = header_.lastUpdate;
    writeMemos(bytes, memos);
    bytes[0] = ' ';
    std::string out = bytes;
    out.push_back('\x1A');
    const uint64_t offset = header_.recordOffset(recno);
    RecordChange change(*this);
    try {
        dbf_->writeAt(offset, out.data(), out.size());
        updateCache(offset, bytes.data(), bytes.size());
        // The record is in place before the header counts it: a crash in between loses
        // only the new record, never an old one.
        // With an index, the same write sets the change mark until the keys are in.
        header_.recordCount = recno;
        header_.lastUpdate = Date::today();
        header_.changeInProgress = !tags_.empty();
        const std::string head = header_.encodeRecord();
        dbf_->writeAt(1, head.data() + 1,
                      header_.changeInProgress ? DbfHeader::kChangeMarkOffset : 7);
        touch();
        for (size_t t = 0; t < tags_.size(); ++t)
            if (auto key = keyOf(static_cast<int>(t), bytes, recno))
                tags_[t].tag->insert(*key, recno);
        announceIndexChange();
        if (header_.changeInProgress) endChange();
    } catch (...) {
        change.rollBack([&] {
            header_.recordCount = recno - 1;
            header_.lastUpdate = lastUpdate;
            header_.changeInProgress = false;
            chunk_.clear();
            const std::string head = header_.encodeRecord();
            dbf_->writeAt(1, head.data() + 1, DbfHeader::kChangeMarkOffset);
            // The end mark where the record began, and nothing after it.
            dbf_->truncate(offset + 1);
            dbf_->writeAt(offset, "\x1A", 1);
        });
        throw;
    }
    return recno;
}

void SharedTable::announceIndexChange() {
    if (!cdx_ || filesLockedExclusive_) return;
    cdx_->bumpChangeCounter();
    cdxCounter_ = cdx_->readChangeCounter();
}

void SharedTable::markDeleted(uint32_t recno, bool deleted) {
    requireWritable();
    // The date first: the flag is then the one write that makes the change.
    stampHeaderDate();
    const char flag = deleted ? '*' : ' ';
    dbf_->writeAt(header_.recordOffset(recno), &flag, 1);
    updateCache(header_.recordOffset(recno), &flag, 1);
    touch();
}

// ---------------------------------------------------------------- all or nothing

void SharedTable::endChange() {
    if (!filesLockedExclusive_) markChange(false);
}

void SharedTable::settleChangeMark() noexcept {
    if (!filesLockedExclusive_ || !header_.changeInProgress || readOnly_) return;
    try {
        markChange(false);
    } catch (...) {
        // The mark stays; the next open rebuilds the index, which is all it costs.
    }
}

void SharedTable::markChange(bool inProgress) {
    const char mark = inProgress ? 1 : 0;
    dbf_->writeAt(DbfHeader::kChangeMarkOffset, &mark, 1);
    header_.changeInProgress = inProgress;
}

void SharedTable::finishInterruptedChange() {
    if (!header_.changeInProgress || readOnly_) return;
    for (const auto& tag : tags_)
        if (!tag.problem.empty()) return;  // an index this program cannot build
    const bool wasExclusive = filesLockedExclusive_;
    // Someone else has the table open, perhaps in the middle of that very change.
    if (!wasExclusive && !tryLockAllFiles(true)) return;
    try {
        if (cdx_) {
            replaceIndexFile(*cdxPath_, tagDefinitions());
            openIndex();
        }
        markChange(false);
        dbf_->sync();
    } catch (const Error&) {
        // The table still opens; check reports the mark, and a reindex mends it.
    }
    if (!wasExclusive) lockAllFiles(false);
}

SharedTable::RecordChange::RecordChange(SharedTable& table) : table_(table) {
    if (table_.cdx_) table_.cdx_->beginUndoable();
}

SharedTable::RecordChange::~RecordChange() {
    if (table_.cdx_ && !rolledBack_) table_.cdx_->endUndoable();
}

void SharedTable::RecordChange::rollBack(const std::function<void()>& restoreTable) {
    rolledBack_ = true;
    try {
        restoreTable();
    } catch (...) {
        // What could not be put back stays as the failure left it; the error says why.
    }
    if (table_.cdx_) {
        table_.cdx_->rollBack();
        try {
            table_.announceIndexChange();  // other programs may have seen pages of the change
        } catch (...) {
        }
    }
    table_.touch();
}

}  // namespace xbase
