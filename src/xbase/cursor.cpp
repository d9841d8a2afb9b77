#include "xbase/cursor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "ascii.h"
#include "shared_table.h"
#include "xbase/error.h"
#include "xbase/expression.h"

namespace xbase {
namespace {

constexpr const char* kNoIndexText = "No parseable expressions in setting key fields";

[[noreturn]] void badState(const std::string& what) {
    throw Error(ErrorKind::InvalidArgument, code::BadState, what);
}

bool entryLess(const IndexEntry& a, const IndexEntry& b) {
    return a.key < b.key || (a.key == b.key && a.recno < b.recno);
}

}  // namespace

struct Cursor::Impl {
    std::shared_ptr<SharedTable> table;
    ShareMode mode = ShareMode::Shared;
    bool readOnly = false;
    int tag = -1;  // selected tag; -1 for natural order

    // The current record: its number, its bytes and, in index order, its key.
    uint32_t recno = 0;
    std::string record;
    std::string key;
    bool bof = true;
    bool eof = true;
    uint64_t generation = 0;

    std::string filterText;
    std::optional<Expression> filterExpr;
    std::function<bool()> callback;
    bool filtered = false;
    bool inCallback = false;

    uint64_t countStamp = 0;
    uint32_t cachedCount = 0;

    EditState state = EditState::Browse;
    std::string editBuffer;
    std::map<int, std::string> memos;
    uint32_t editRecno = 0;

    std::string scratch;

    // ------------------------------------------------------------ guards

    void requireOpen() const {
        if (!table) badState("The table is not open");
    }
    void requireBrowsing() const {
        requireOpen();
        if (state != EditState::Browse) badState("Save or cancel the record being edited first");
        if (inCallback) badState("A filter cannot move the cursor it filters");
    }
    void requireEditing() const {
        requireOpen();
        if (state == EditState::Browse) badState("The record is not being edited");
    }
    void requireWritable() const {
        if (readOnly)
            throw Error(ErrorKind::IoError, code::ReadOnly,
                        "The table " + table->fileName() + " is read-only");
        table->requireWritable();
    }
    CdxTag& selectedTag() {
        if (tag < 0) throw Error(ErrorKind::InvalidArgument, code::NoIndexSelected, kNoIndexText);
        return *table->tags()[static_cast<size_t>(tag)].tag;
    }

    // Catches up with other cursors and other programs before positioning.
    void sync() {
        table->refresh();
        if (generation != table->generation()) {
            generation = table->generation();
            recno = 0;
            record.clear();
            if (tag >= static_cast<int>(table->tags().size())) tag = -1;
            goFirst();
        }
    }

    // ------------------------------------------------------------ visibility

    void setCurrent(uint32_t r, const std::string& bytes, std::string_view k) {
        recno = r;
        record = bytes;
        key.assign(k);
    }

    void clearCurrent() {
        recno = 0;
        record.clear();
        key.clear();
    }

    // The current record, kept while a search makes others current for a moment.
    struct Position {
        uint32_t recno;
        std::string record;
        std::string key;
    };
    Position position() const { return {recno, record, key}; }
    void restore(const Position& kept) { setCurrent(kept.recno, kept.record, kept.key); }

    // Whether record `r` (bytes in `bytes`) is visible. The callback sees it as current.
    bool accept(uint32_t r, const std::string& bytes, std::string_view k) {
        if (bytes.empty() || bytes[0] == '*') return false;
        if (!filtered) return true;
        if (filterExpr) {
            RecordView view(*table, bytes, r);
            if (!filterExpr->isTrue(view)) return false;
        }
        if (callback) {
            setCurrent(r, bytes, k);
            inCallback = true;
            bool ok = false;
            try {
                ok = callback();
            } catch (...) {
                inCallback = false;
                throw;
            }
            inCallback = false;
            return ok;
        }
        return true;
    }

    bool findNatural(int64_t from, int direction) {
        const int64_t count = table->recordCount();
        for (int64_t r = from; r >= 1 && r <= count; r += direction) {
            table->readRecord(static_cast<uint32_t>(r), scratch);
            if (accept(static_cast<uint32_t>(r), scratch, {})) {
                setCurrent(static_cast<uint32_t>(r), scratch, {});
                return true;
            }
        }
        return false;
    }

    // Walks from `entry` until a visible record. `previous` is where the walk started
    // from, if anywhere: every step must move strictly away from it, or the index is
    // damaged (a walk that stood still would never end).
    bool findIndexed(std::optional<IndexEntry> entry, int direction,
                     std::optional<IndexEntry> previous = std::nullopt) {
        CdxTag& t = selectedTag();
        const uint32_t count = table->recordCount();
        while (entry) {
            if (previous &&
                (direction > 0 ? !entryLess(*previous, *entry) : !entryLess(*entry, *previous)))
                throw Error(ErrorKind::Corruption, code::BadIndex,
                            "The index of " + table->fileName() +
                                " is damaged (keys out of order); rebuild it");
            if (entry->recno >= 1 && entry->recno <= count) {
                table->readRecord(entry->recno, scratch);
                if (accept(entry->recno, scratch, entry->key)) {
                    setCurrent(entry->recno, scratch, entry->key);
                    return true;
                }
            }
            previous = std::move(entry);
            entry = direction > 0 ? t.next(*previous) : t.prior(*previous);
        }
        return false;
    }

    bool findFrom(bool fromStart, int direction) {
        if (tag < 0) {
            const int64_t start =
                fromStart ? (direction > 0 ? 1 : static_cast<int64_t>(table->recordCount()))
                          : static_cast<int64_t>(recno) + direction;
            return findNatural(start, direction);
        }
        CdxTag& t = selectedTag();
        if (fromStart) return findIndexed(direction > 0 ? t.first() : t.last(), direction);
        IndexEntry here{key, recno};
        return findIndexed(direction > 0 ? t.next(here) : t.prior(here), direction, here);
    }

    void goFirst() {
        if (findFrom(true, +1)) {
            bof = true;
            eof = false;
        } else {
            clearCurrent();
            bof = eof = true;
        }
    }

    void goLast() {
        if (findFrom(true, -1)) {
            bof = false;
            eof = true;
        } else {
            clearCurrent();
            bof = eof = true;
        }
    }

    // Moves one visible record on; at the end stays on the current record.
    void step(int direction) {
        if (recno == 0) {
            goFirst();
            if (recno == 0) return;
            if (direction < 0) return;
        }
        const Position kept = position();
        if (findFrom(false, direction)) {
            bof = eof = false;
        } else {
            restore(kept);
            if (direction > 0)
                eof = true;
            else
                bof = true;
        }
    }

    // Selects the tag `name` ("" for natural order) again after the index was reopened;
    // natural order when the tag is gone.
    void reselect(const std::string& name) {
        tag = name.empty() ? -1 : table->findTag(name);
        computeKey();
    }

    // The key of the current record in the selected tag (its place in index order).
    void computeKey() {
        key.clear();
        if (tag < 0 || recno == 0) return;
        if (auto k = table->keyOf(tag, record, recno)) key = *k;
    }

    // ------------------------------------------------------------ reading

    const std::string& currentBytes() const {
        return state == EditState::Browse ? record : editBuffer;
    }

    const FieldLayout& layout(int field) const {
        requireOpen();
        const auto& fields = table->header().fields;
        if (field < 0 || static_cast<size_t>(field) >= fields.size())
            throw Error(ErrorKind::NotFound, code::FieldNotFound,
                        "No field number " + std::to_string(field));
        return fields[static_cast<size_t>(field)];
    }

    std::string_view raw(int field) const {
        const auto& f = layout(field);
        const std::string& bytes = currentBytes();
        if (bytes.size() < static_cast<size_t>(f.offset + f.info.length)) return {};
        return std::string_view(bytes).substr(static_cast<size_t>(f.offset),
                                              static_cast<size_t>(f.info.length));
    }

    void putRaw(int field, std::string_view value, bool rightAlign) {
        requireEditing();
        const auto& f = layout(field);
        std::string cell(value.substr(0, static_cast<size_t>(f.info.length)));
        const size_t pad = static_cast<size_t>(f.info.length) - cell.size();
        cell = rightAlign ? std::string(pad, ' ') + cell : cell + std::string(pad, ' ');
        editBuffer.replace(static_cast<size_t>(f.offset), static_cast<size_t>(f.info.length), cell);
    }

    std::string blankRecord() const {
        std::string bytes(table->header().recordLength, ' ');
        for (const auto& f : table->header().fields) {
            if (isMemoType(f.info.type) && table->header().binaryMemoPointers() &&
                f.info.length == 4)
                bytes.replace(static_cast<size_t>(f.offset), 4, std::string(4, '\0'));
        }
        return bytes;
    }

    void releaseEdit() {
        if (state == EditState::Edit) {
            table->unlockRecord(editRecno);
            table->releaseRecord(editRecno);
        }
        state = EditState::Browse;
        editBuffer.clear();
        memos.clear();
        editRecno = 0;
    }
};

// ---------------------------------------------------------------- life cycle

Cursor::Cursor() : impl_(std::make_unique<Impl>()) {}
Cursor::~Cursor() {
    try {
        close();
    } catch (...) {
    }
}

void Cursor::open(const std::filesystem::path& dbfPath, const OpenOptions& options) {
    if (impl_->table) badState("The cursor is already open; close it first");
    auto table = SharedTable::acquire(dbfPath, options);
    Impl& d = *impl_;
    d.table = std::move(table);
    d.mode = options.mode;
    d.readOnly = options.readOnly;
    d.generation = d.table->generation();
    d.tag = -1;
    d.filtered = false;
    try {
        if (!options.index.empty()) selectIndex(options.index);
        d.sync();
        d.goFirst();
    } catch (...) {
        close();
        throw;
    }
}

void Cursor::close() {
    Impl& d = *impl_;
    if (!d.table) return;
    d.releaseEdit();
    d.table->removeUser(d.mode);
    d.table.reset();
    d.clearCurrent();
    d.bof = d.eof = true;
    d.tag = -1;
}

bool Cursor::isOpen() const {
    return impl_->table != nullptr;
}
ShareMode Cursor::shareMode() const {
    return impl_->mode;
}
const std::filesystem::path& Cursor::path() const {
    impl_->requireOpen();
    return impl_->table->dbfPath();
}

// ---------------------------------------------------------------- layout

int Cursor::fieldCount() const {
    impl_->requireOpen();
    return static_cast<int>(impl_->table->header().fields.size());
}
const FieldInfo& Cursor::field(int index) const {
    return impl_->layout(index).info;
}
int Cursor::fieldIndex(std::string_view name) const {
    impl_->requireOpen();
    return impl_->table->fieldIndex(name);
}
int Cursor::requireField(std::string_view name) const {
    const int index = fieldIndex(name);
    if (index < 0)
        throw Error(ErrorKind::NotFound, code::FieldNotFound,
                    "Field " + std::string(name) + " not found in " + impl_->table->fileName());
    return index;
}
uint8_t Cursor::codePageMark() const {
    impl_->requireOpen();
    return impl_->table->header().codePageMark;
}
int Cursor::codePage() const {
    const int page = codePageFromMark(codePageMark());
    return page == 0 ? 1252 : page;  // unmarked tables are taken as Windows ANSI text
}
bool Cursor::hasMemoFile() const {
    impl_->requireOpen();
    return impl_->table->memo() != nullptr;
}

std::filesystem::path Cursor::memoPath() const {
    impl_->requireOpen();
    MemoFile* memo = impl_->table->memo();
    return memo ? memo->file().path() : std::filesystem::path();
}

// ---------------------------------------------------------------- order

std::vector<std::string> Cursor::tagNames() const {
    impl_->requireOpen();
    std::vector<std::string> names;
    for (const auto& t : impl_->table->tags()) names.push_back(t.name);
    return names;
}

void Cursor::selectIndex(std::string_view tagName) {
    Impl& d = *impl_;
    d.requireBrowsing();
    if (tagName.empty()) {
        d.tag = -1;
        d.key.clear();
        return;
    }
    const int found = d.table->findTag(tagName);
    if (found < 0)
        throw Error(ErrorKind::NotFound, code::TagNotFound,
                    "Index tag " + std::string(tagName) + " not found for " + d.table->fileName());
    d.tag = found;
    d.computeKey();
}

std::string Cursor::indexName() const {
    impl_->requireOpen();
    return impl_->tag < 0 ? std::string()
                          : impl_->table->tags()[static_cast<size_t>(impl_->tag)].name;
}

std::string Cursor::indexExpression() const {
    impl_->requireOpen();
    return impl_->tag < 0
               ? std::string()
               : impl_->table->tags()[static_cast<size_t>(impl_->tag)].tag->info().keyExpression;
}

int Cursor::keyLength() const {
    impl_->requireOpen();
    return impl_->tag < 0
               ? 0
               : impl_->table->tags()[static_cast<size_t>(impl_->tag)].tag->info().keyLength;
}

void Cursor::createIndex(const std::string& tagName, const std::string& expression,
                         const std::string& forExpression) {
    Impl& d = *impl_;
    d.requireBrowsing();
    if (d.readOnly) d.requireWritable();
    const std::string selected = indexName();
    // Failed or not, the index was closed and opened again: find the tag anew.
    try {
        d.table->createTag(tagName, expression, forExpression);
    } catch (...) {
        d.reselect(selected);
        throw;
    }
    d.reselect(selected);
}

// ---------------------------------------------------------------- navigation

void Cursor::first() {
    impl_->requireBrowsing();
    impl_->sync();
    impl_->goFirst();
}

void Cursor::last() {
    impl_->requireBrowsing();
    impl_->sync();
    impl_->goLast();
}

void Cursor::next() {
    impl_->requireBrowsing();
    impl_->sync();
    impl_->step(+1);
}

void Cursor::prior() {
    impl_->requireBrowsing();
    impl_->sync();
    impl_->step(-1);
}

bool Cursor::bof() const {
    return impl_->bof;
}
bool Cursor::eof() const {
    return impl_->eof;
}

bool Cursor::isEmpty() {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.sync();
    if (d.recno != 0 && d.record.size() && d.record[0] != '*' && !d.filtered) return false;
    const Impl::Position kept = d.position();
    const bool found = d.findFrom(true, +1);
    d.restore(kept);
    return !found;
}

uint32_t Cursor::recno() const {
    return impl_->recno;
}
Bookmark Cursor::bookmark() const {
    return Bookmark{impl_->state == EditState::Browse ? impl_->recno : impl_->editRecno};
}

bool Cursor::gotoBookmark(Bookmark bookmark) {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.sync();
    if (bookmark.recno < 1 || bookmark.recno > d.table->recordCount()) return false;
    d.table->readRecord(bookmark.recno, d.scratch);
    if (d.scratch[0] == '*') return false;
    d.setCurrent(bookmark.recno, d.scratch, {});
    d.computeKey();
    d.bof = d.eof = false;
    return true;
}

std::vector<uint32_t> Cursor::visibleRecords() {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.sync();
    ScanScope scan(*d.table);
    std::vector<uint32_t> rows;
    const Impl::Position kept = d.position();
    const uint32_t count = d.table->recordCount();
    std::string bytes;
    auto consider = [&](uint32_t r, std::string_view k) {
        if (r < 1 || r > count) return;
        d.table->readRecord(r, bytes);
        if (d.accept(r, bytes, k)) rows.push_back(r);
    };
    try {
        if (d.tag < 0) {
            rows.reserve(count);
            for (uint32_t r = 1; r <= count; ++r) consider(r, {});
        } else {
            // A filter is asked in record order, whatever the index order: the records and
            // their memos are then read front to back, not at random.
            const bool askInRecordOrder = d.filtered;
            std::vector<uint32_t> listed;
            std::string keys;
            std::vector<uint32_t> keyEnds;
            uint32_t previous = 0;
            std::string previousKey;
            bool ordered = true;
            d.selectedTag().scan({}, 0, [&](std::string_view k, uint32_t r) {
                if (previous != 0 && (k < previousKey || (k == previousKey && r <= previous))) {
                    ordered = false;
                    return false;
                }
                previous = r;
                previousKey.assign(k);
                if (!askInRecordOrder) {
                    consider(r, k);
                } else if (r >= 1 && r <= count) {
                    listed.push_back(r);
                    keys.append(k);
                    keyEnds.push_back(static_cast<uint32_t>(keys.size()));
                }
                return true;
            });
            if (!ordered)
                throw Error(ErrorKind::Corruption, code::BadIndex,
                            "The index of " + d.table->fileName() +
                                " is damaged (keys out of order); rebuild it");
            if (askInRecordOrder) {
                // Placed by record number, which lies between 1 and count: a counting sort.
                std::vector<uint32_t> firstOf(static_cast<size_t>(count) + 2, 0);
                for (uint32_t r : listed) ++firstOf[r + 1];
                for (size_t r = 1; r < firstOf.size(); ++r) firstOf[r] += firstOf[r - 1];
                std::vector<uint32_t> byRecord(listed.size());
                for (uint32_t i = 0; i < listed.size(); ++i) byRecord[firstOf[listed[i]]++] = i;
                std::vector<bool> shown(listed.size());
                for (uint32_t i : byRecord) {
                    const uint32_t keyStart = i == 0 ? 0 : keyEnds[i - 1];
                    d.table->readRecord(listed[i], bytes);
                    shown[i] =
                        d.accept(listed[i], bytes,
                                 std::string_view(keys).substr(keyStart, keyEnds[i] - keyStart));
                }
                for (size_t i = 0; i < listed.size(); ++i)
                    if (shown[i]) rows.push_back(listed[i]);
            }
        }
    } catch (...) {
        d.restore(kept);
        throw;
    }
    d.restore(kept);
    return rows;
}

std::string Cursor::textAt(Bookmark record, int field) {
    Impl& d = *impl_;
    const auto& f = d.layout(field);
    if (record.recno < 1 || record.recno > d.table->recordCount()) return {};
    if (d.state != EditState::Browse && record.recno == d.editRecno) return text(field);
    std::string bytes;
    d.table->readRecord(record.recno, bytes);
    if (isMemoType(f.info.type)) return d.table->readMemo(bytes, field, record.recno);
    return withoutPadding(std::string_view(bytes).substr(static_cast<size_t>(f.offset),
                                                         static_cast<size_t>(f.info.length)));
}

// ---------------------------------------------------------------- filter

void Cursor::setFilter(std::string_view expression) {
    Impl& d = *impl_;
    d.requireBrowsing();
    std::optional<Expression> compiled;
    std::string text(expression);
    bool blank = text.find_first_not_of(" \t") == std::string::npos;
    if (!blank) {
        RecordView schema(*d.table, {}, 0);
        compiled.emplace(Expression::compile(text, schema));
        if (compiled->resultType() != ValueType::Logical)
            throw Error(
                ErrorKind::Expression, code::ExpressionType,
                "Invalid filter \"" + text + "\": a filter must be true or false for each record");
    }
    d.filterText = blank ? std::string() : text;
    d.filterExpr = std::move(compiled);
    d.countStamp = 0;
    if (d.filtered) {
        d.sync();
        d.goFirst();
    }
}

const std::string& Cursor::filter() const {
    return impl_->filterText;
}

void Cursor::setFilterCallback(std::function<bool()> accept) {
    impl_->callback = std::move(accept);
}

void Cursor::setFiltered(bool on) {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.filtered = on;
    d.countStamp = 0;
    d.sync();
    d.goFirst();
}

bool Cursor::filtered() const {
    return impl_->filtered;
}

uint32_t Cursor::recordCount() {
    Impl& d = *impl_;
    d.requireOpen();
    d.table->refresh();
    const uint64_t stamp = d.table->changeStamp();
    if (d.countStamp == stamp) return d.cachedCount;
    ScanScope scan(*d.table);
    const bool useExpression = d.filtered && d.filterExpr;
    uint32_t count = 0;
    std::string bytes;
    const uint32_t total = d.table->recordCount();
    for (uint32_t r = 1; r <= total; ++r) {
        d.table->readRecord(r, bytes);
        if (bytes[0] == '*') continue;
        if (useExpression) {
            RecordView view(*d.table, bytes, r);
            if (!d.filterExpr->isTrue(view)) continue;
        }
        ++count;
    }
    d.cachedCount = count;
    d.countStamp = stamp;
    return count;
}

uint32_t Cursor::physicalRecordCount() {
    impl_->requireOpen();
    impl_->table->refresh();
    return impl_->table->recordCount();
}

// ---------------------------------------------------------------- seeks

bool Cursor::seekExact(std::string_view wanted) {
    Impl& d = *impl_;
    d.requireBrowsing();
    CdxTag& t = d.selectedTag();
    d.sync();
    const auto& state = d.table->tags()[static_cast<size_t>(d.tag)];
    std::string padded(wanted.substr(0, t.info().keyLength));
    padded.resize(t.info().keyLength, static_cast<char>(state.pad));
    const Impl::Position kept = d.position();
    const uint32_t count = d.table->recordCount();
    for (auto entry = t.lowerBound(padded, 0); entry && entry->key == padded;
         entry = t.next(*entry)) {
        if (entry->recno < 1 || entry->recno > count) continue;
        d.table->readRecord(entry->recno, d.scratch);
        if (d.accept(entry->recno, d.scratch, entry->key)) {
            d.setCurrent(entry->recno, d.scratch, entry->key);
            d.bof = d.eof = false;
            return true;
        }
    }
    d.restore(kept);
    return false;
}

void Cursor::seekNearest(std::string_view wanted) {
    Impl& d = *impl_;
    d.requireBrowsing();
    CdxTag& t = d.selectedTag();
    d.sync();
    if (d.findIndexed(t.lowerBound(wanted.substr(0, t.info().keyLength), 0), +1)) {
        d.bof = d.eof = false;
        return;
    }
    d.goLast();
    if (d.recno != 0) d.eof = false;
}

// ---------------------------------------------------------------- reading fields

std::string Cursor::text(int field) const {
    if (isMemoType(impl_->layout(field).info.type)) return memo(field);
    return withoutPadding(impl_->raw(field));
}

std::string Cursor::rawText(int field) const {
    return std::string(impl_->raw(field));
}

Date Cursor::date(int field) const {
    return Date::fromStorage(impl_->raw(field));
}

double Cursor::number(int field) const {
    std::string value = withoutPadding(impl_->raw(field));
    size_t start = value.find_first_not_of(' ');
    if (start == std::string::npos) return 0;
    return std::strtod(value.c_str() + start, nullptr);
}

bool Cursor::logical(int field) const {
    std::string_view value = impl_->raw(field);
    return !value.empty() &&
           (value[0] == 'T' || value[0] == 't' || value[0] == 'Y' || value[0] == 'y');
}

std::string Cursor::memo(int field) const {
    const Impl& d = *impl_;
    const auto& f = d.layout(field);
    if (!isMemoType(f.info.type)) return text(field);
    if (d.state != EditState::Browse) {
        auto it = d.memos.find(field);
        if (it != d.memos.end()) return it->second;
    }
    const std::string& bytes = d.currentBytes();
    if (bytes.empty()) return {};
    return d.table->readMemo(bytes, field, d.state == EditState::Browse ? d.recno : d.editRecno);
}

uint32_t Cursor::memoSize(int field) const {
    const Impl& d = *impl_;
    const auto& f = d.layout(field);
    if (!isMemoType(f.info.type)) return static_cast<uint32_t>(text(field).size());
    if (d.state != EditState::Browse) {
        auto it = d.memos.find(field);
        if (it != d.memos.end()) return static_cast<uint32_t>(it->second.size());
    }
    const std::string& bytes = d.currentBytes();
    if (bytes.empty()) return 0;
    return d.table->memoLength(bytes, field, d.state == EditState::Browse ? d.recno : d.editRecno);
}

bool Cursor::isDeleted() const {
    const std::string& bytes = impl_->currentBytes();
    return !bytes.empty() && bytes[0] == '*';
}

// ---------------------------------------------------------------- editing

EditState Cursor::editState() const {
    return impl_->state;
}

void Cursor::edit() {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.requireWritable();
    if (d.recno == 0) badState("There is no record to edit");
    if (!d.table->claimRecord(d.recno))
        throw Error(ErrorKind::Locked, code::RecordLocked,
                    "Record " + std::to_string(d.recno) + " is already being edited");
    try {
        d.table->lockRecord(d.recno);
    } catch (...) {
        d.table->releaseRecord(d.recno);
        throw;
    }
    d.editRecno = d.recno;
    d.state = EditState::Edit;
    // Start from what is on disk now: another program may have saved it meanwhile.
    try {
        d.table->refresh();
        d.table->readRecord(d.recno, d.editBuffer);
    } catch (...) {
        d.releaseEdit();
        throw;
    }
    d.record = d.editBuffer;
}

void Cursor::append() {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.requireWritable();
    d.editBuffer = d.blankRecord();
    d.memos.clear();
    d.editRecno = 0;
    d.state = EditState::Append;
}

void Cursor::setText(int field, std::string_view value) {
    Impl& d = *impl_;
    const auto& f = d.layout(field);
    if (isMemoType(f.info.type)) {
        setMemo(field, value);
        return;
    }
    d.putRaw(field, value, f.info.type == 'N' || f.info.type == 'F');
}

void Cursor::setDate(int field, Date value) {
    Impl& d = *impl_;
    if (d.layout(field).info.type != 'D')
        badState("Field " + d.layout(field).info.name + " is not a date");
    if (!value.valid()) badState("Invalid date");
    d.putRaw(field, value.toStorage(), false);
}

void Cursor::setNumber(int field, double value) {
    Impl& d = *impl_;
    const auto& f = d.layout(field).info;
    if (f.type != 'N' && f.type != 'F') badState("Field " + f.name + " is not numeric");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%*.*f", f.length, f.decimals, value);
    if (std::strlen(buf) > static_cast<size_t>(f.length) || !std::isfinite(value))
        throw Error(ErrorKind::InvalidArgument, code::BadState,
                    "The number " + std::string(buf) + " does not fit field " + f.name);
    d.putRaw(field, buf, true);
}

void Cursor::setLogical(int field, bool value) {
    Impl& d = *impl_;
    if (d.layout(field).info.type != 'L')
        badState("Field " + d.layout(field).info.name + " is not logical");
    d.putRaw(field, value ? "T" : "F", false);
}

void Cursor::setMemo(int field, std::string_view value) {
    Impl& d = *impl_;
    d.requireEditing();
    if (!isMemoType(d.layout(field).info.type)) {
        setText(field, value);
        return;
    }
    d.memos[field] = std::string(value);
}

void Cursor::clear(int field) {
    Impl& d = *impl_;
    const auto& f = d.layout(field);
    if (isMemoType(f.info.type)) {
        setMemo(field, {});
        return;
    }
    d.putRaw(field, {}, false);
}

void Cursor::post() {
    Impl& d = *impl_;
    d.requireEditing();
    // Unchanged memos are not written again.
    for (auto it = d.memos.begin(); it != d.memos.end();) {
        bool same = false;
        if (d.state == EditState::Edit)
            same = d.table->readMemo(d.editBuffer, it->first, d.editRecno) == it->second;
        if (d.state == EditState::Append) same = it->second.empty();
        it = same ? d.memos.erase(it) : std::next(it);
    }
    std::string bytes = d.editBuffer;
    uint32_t r;
    if (d.state == EditState::Edit) {
        r = d.editRecno;
        d.table->writeRecord(r, bytes, d.memos);
    } else {
        r = d.table->appendRecord(bytes, d.memos);
    }
    d.releaseEdit();
    d.scratch = std::move(bytes);  // as written, memo pointers and deletion flag included
    d.setCurrent(r, d.scratch, {});
    d.computeKey();
    d.bof = d.eof = false;
    d.countStamp = 0;
}

void Cursor::cancel() {
    Impl& d = *impl_;
    if (d.state == EditState::Browse) return;
    const bool wasEdit = d.state == EditState::Edit;
    d.releaseEdit();
    if (wasEdit && d.recno != 0) {
        d.table->readRecord(d.recno, d.record);
    }
}

void Cursor::deleteRecord() {
    Impl& d = *impl_;
    d.requireBrowsing();
    d.requireWritable();
    d.sync();
    if (d.recno == 0) badState("There is no record to delete");
    const uint32_t r = d.recno;
    if (!d.table->claimRecord(r))
        throw Error(ErrorKind::Locked, code::RecordLocked,
                    "Record " + std::to_string(r) + " is being edited");
    try {
        d.table->lockRecord(r);
        d.table->markDeleted(r, true);
    } catch (...) {
        d.table->releaseRecord(r);
        throw;
    }
    d.table->unlockRecord(r);
    d.table->releaseRecord(r);
    d.record[0] = '*';
    d.countStamp = 0;
    // The next visible record takes its place; at the end, the one before.
    d.step(+1);
    if (d.recno == r) {
        d.step(-1);
        if (d.recno == r) {
            d.clearCurrent();
            d.bof = d.eof = true;
        } else {
            d.eof = true;
        }
    }
}

// ---------------------------------------------------------------- maintenance

void Cursor::pack() {
    Impl& d = *impl_;
    d.requireBrowsing();
    if (d.readOnly) d.requireWritable();
    const std::string selected = indexName();
    try {
        d.table->pack();
    } catch (...) {
        d.generation = d.table->generation();
        d.reselect(selected);
        throw;
    }
    d.generation = d.table->generation();
    d.reselect(selected);
    d.countStamp = 0;
    d.goFirst();
}

void Cursor::reindex() {
    Impl& d = *impl_;
    d.requireBrowsing();
    if (d.readOnly) d.requireWritable();
    const std::string selected = indexName();
    try {
        d.table->reindex();
    } catch (...) {
        d.reselect(selected);
        throw;
    }
    d.reselect(selected);
}

// ---------------------------------------------------------------- table facts

Date Cursor::lastUpdate() const {
    impl_->requireOpen();
    return impl_->table->lastUpdate();
}

std::string Cursor::lastUpdateText() const {
    return lastUpdate().toDisplay();
}

uint64_t Cursor::changeStamp() {
    impl_->requireOpen();
    impl_->table->refresh();
    return impl_->table->changeStamp();
}

// ---------------------------------------------------------------- files

bool tableExists(const std::filesystem::path& folder, const std::string& tableName,
                 FileSystem* fileSystem) {
    FileSystem& fs = fileSystem ? *fileSystem : defaultFileSystem();
    std::string name = tableName;
    if (std::filesystem::path(name).extension().empty()) name += ".dbf";
    return fs.findIgnoringCase(folder, name).has_value();
}

void createTable(const std::filesystem::path& dbfPath, const std::vector<FieldInfo>& fields,
                 const CreateOptions& options) {
    FileSystem& fs = options.fileSystem ? *options.fileSystem : defaultFileSystem();
    if (fields.empty())
        throw Error(ErrorKind::InvalidArgument, code::BadFieldList,
                    "A table needs at least one field");
    const std::filesystem::path folder = dbfPath.parent_path();
    if (fs.findIgnoringCase(folder, dbfPath.filename().string()))
        throw Error(ErrorKind::IoError, code::CreateFailed,
                    "Cannot create " + dbfPath.string() + ": the table exists");
    DbfHeader header = DbfHeader::forNewTable(fields, options.codePageMark);
    std::string bytes = header.encode();
    bytes.push_back('\x1A');

    // Memo and index files of that name belong to no table: a new table starts without
    // them. Removing a name never touches what a link points to.
    const std::string stem = dbfPath.stem().string();
    for (const std::string& name : fs.folderEntries(folder))
        if (upperAscii(name) == upperAscii(stem + ".fpt") ||
            upperAscii(name) == upperAscii(stem + ".cdx"))
            fs.remove(folder / name);

    auto dbf = fs.open(dbfPath, OpenFlags::CreateNew);
    std::optional<std::filesystem::path> newMemo;
    try {
        dbf->writeAt(0, bytes.data(), bytes.size());
        if (header.hasMemoFields()) {
            const auto memoPath = folder / (stem + ".fpt");
            auto memo = fs.createTemporary(memoPath, kNewFileTag);
            newMemo = memo->path();
            MemoFile::initialize(*memo, MemoFormat::Fpt, options.memoBlockSize);
            memo->sync();
            memo.reset();
            fs.rename(*newMemo, memoPath);
            newMemo.reset();
        }
        dbf->sync();
    } catch (...) {
        dbf.reset();
        if (newMemo) fs.remove(*newMemo);
        fs.remove(dbfPath);
        throw;
    }
    dbf.reset();
    fs.syncFolder(folder);
}

}  // namespace xbase
