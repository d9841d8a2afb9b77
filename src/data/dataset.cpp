#include <data/dataset.h>

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <exception>
#include <filesystem>

#include <xbase/error.h>

#include "dataset_impl.h"

namespace data {
namespace {

[[noreturn]] void badState(const std::string& text) {
    throw xbase::Error(xbase::ErrorKind::InvalidArgument, xbase::code::BadState, text);
}

std::filesystem::path localPath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

}  // namespace

DataSet::DataSet(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>()) {
    // The engine asks while it stands on the candidate, so fields read that record.
    d_->cursor.setFilterCallback([this] { return onFilterRecord ? onFilterRecord(*this) : true; });
}

DataSet::~DataSet() {
    // Handlers may belong to objects that are already gone; close without events.
    afterInsert = nullptr;
    beforePost = nullptr;
    afterPost = nullptr;
    afterCancel = nullptr;
    afterDelete = nullptr;
    onFilterRecord = nullptr;
    try {
        d_->cursor.close();
    } catch (...) {
    }
}

// ---------------------------------------------------------------- settings

void DataSet::requireActive() const {
    if (d_->state == DataSetState::Inactive)
        badState("The table " + d_->table.toStdString() + " is not open");
}

void DataSet::requireClosed(const char* what) const {
    if (d_->state != DataSetState::Inactive)
        badState(std::string("Close the table before changing its ") + what);
}

void DataSet::setDatabaseName(const QString& folder) {
    requireClosed("folder");
    d_->folder = folder;
}
const QString& DataSet::databaseName() const {
    return d_->folder;
}

void DataSet::setTableName(const QString& table) {
    requireClosed("name");
    d_->table = table;
}
const QString& DataSet::tableName() const {
    return d_->table;
}

void DataSet::setExclusive(bool exclusive) {
    requireClosed("sharing");
    d_->exclusive = exclusive;
}
bool DataSet::exclusive() const {
    return d_->exclusive;
}

void DataSet::setReadOnly(bool readOnly) {
    requireClosed("write access");
    d_->readOnly = readOnly;
}
bool DataSet::readOnly() const {
    return d_->readOnly;
}
bool DataSet::canModify() const {
    return active() && !d_->readOnly;
}

void DataSet::setIndexName(const QString& tag) {
    if (active()) {
        endEdit();
        d_->cursor.selectIndex(tag.toStdString());
        d_->index = tag;
        invalidateOrder();
        notifyData();
        return;
    }
    d_->index = tag;
}
QString DataSet::indexName() const {
    return d_->index;
}

// ---------------------------------------------------------------- open and close

void DataSet::open() {
    Impl& d = *d_;
    if (active()) return;
    if (d.table.isEmpty()) badState("No table name is set");
    QString table = d.table;
    if (QFileInfo(table).suffix().isEmpty()) table += QStringLiteral(".dbf");
    const QString folder = d.folder.isEmpty() ? QStringLiteral(".") : d.folder;
    xbase::OpenOptions options;
    options.mode = d.exclusive ? xbase::ShareMode::Exclusive : xbase::ShareMode::Shared;
    options.index = d.index.toStdString();
    options.readOnly = d.readOnly;
    d.cursor.open(localPath(folder) / localPath(table), options);
    try {
        d.text = CodePageText(d.cursor.codePage());
        // Keep the Field objects of names the table still has; their holders stay valid.
        std::vector<std::unique_ptr<Field>> fields;
        for (int i = 0; i < d.cursor.fieldCount(); ++i) {
            const QString name = QString::fromStdString(d.cursor.field(i).name);
            auto same = [&](const std::unique_ptr<Field>& f) {
                return f->name_.compare(name, Qt::CaseInsensitive) == 0;
            };
            auto found = std::find_if(d.fields.begin(), d.fields.end(), same);
            if (found != d.fields.end()) {
                (*found)->index_ = i;
                fields.push_back(std::move(*found));
                d.fields.erase(found);
            } else {
                fields.push_back(std::unique_ptr<Field>(new Field(*this, i, name)));
            }
        }
        for (auto& gone : d.fields) {
            gone->index_ = -1;
            d.retired.push_back(std::move(gone));
        }
        d.fields = std::move(fields);
        if (!d.filterText.isEmpty())
            d.cursor.setFilter(d.text.encode(d.filterText, QStringLiteral("filter")));
        if (d.filtered) d.cursor.setFiltered(true);
        d.physicalCount = d.cursor.physicalRecordCount();
    } catch (...) {
        d.cursor.close();
        throw;
    }
    ++d.epoch;
    d.modified = false;
    invalidateOrder();
    if (controlsDisabled()) d.reopenedWhileDisabled = true;
    setState(DataSetState::Browse);
    notifyData();
}

void DataSet::close() {
    Impl& d = *d_;
    if (!active()) return;
    if (editing()) cancel();
    d.cursor.close();
    invalidateOrder();
    d.order.clear();
    d.order.shrink_to_fit();
    d.rowByRecord.clear();
    d.rowByRecord.shrink_to_fit();
    if (controlsDisabled()) d.reopenedWhileDisabled = true;
    setState(DataSetState::Inactive);
    notifyData();
}

bool DataSet::active() const {
    return d_->state != DataSetState::Inactive;
}
DataSetState DataSet::state() const {
    return d_->state;
}
bool DataSet::editing() const {
    return d_->state == DataSetState::Edit || d_->state == DataSetState::Insert;
}
xbase::Cursor& DataSet::cursor() {
    return d_->cursor;
}

void DataSet::setState(DataSetState state) {
    if (d_->state == state) return;
    d_->state = state;
    if (!controlsDisabled()) emit stateChanged(state);
}

void DataSet::notifyData() {
    if (!controlsDisabled()) emit dataChanged();
}

// ---------------------------------------------------------------- navigation

void DataSet::flushControls() {
    bool accepted = true;
    emit updateRecord(accepted);
    if (!accepted) throw Abort{};
}

void DataSet::endEdit() {
    if (!editing()) return;
    flushControls();
    if (d_->modified)
        post();
    else
        cancel();
}

void DataSet::first() {
    requireActive();
    endEdit();
    d_->cursor.first();
    notifyData();
}

void DataSet::last() {
    requireActive();
    endEdit();
    d_->cursor.last();
    notifyData();
}

void DataSet::next() {
    requireActive();
    endEdit();
    d_->cursor.next();
    notifyData();
}

void DataSet::prior() {
    requireActive();
    endEdit();
    d_->cursor.prior();
    notifyData();
}

void DataSet::moveBy(int distance) {
    requireActive();
    endEdit();
    if (distance == 1 || distance == -1) {
        distance > 0 ? d_->cursor.next() : d_->cursor.prior();
    } else if (distance != 0) {
        // Long jumps go through the order vector instead of stepping record by record.
        const int row = currentRow();
        const auto& rows = order();
        if (row < 0) {
            distance > 0 ? d_->cursor.first() : d_->cursor.last();
        } else {
            const int64_t target = int64_t{row} + distance;
            if (target < 0)
                d_->cursor.first();
            else if (target >= static_cast<int64_t>(rows.size()))
                d_->cursor.last();
            else
                d_->cursor.gotoBookmark(Bookmark{rows[static_cast<size_t>(target)]});
        }
    }
    notifyData();
}

bool DataSet::bof() const {
    return !active() || d_->cursor.bof();
}
bool DataSet::eof() const {
    return !active() || d_->cursor.eof();
}

bool DataSet::isEmpty() {
    if (!active()) return true;
    if (editing()) return false;
    return d_->cursor.isEmpty();
}

Bookmark DataSet::bookmark() const {
    return active() ? d_->cursor.bookmark() : Bookmark{};
}

bool DataSet::gotoBookmark(Bookmark bookmark) {
    requireActive();
    endEdit();
    if (!d_->cursor.gotoBookmark(bookmark)) return false;
    notifyData();
    return true;
}

bool DataSet::bookmarkValid(Bookmark bookmark) {
    return active() && bookmark.valid() && rowOf(bookmark) >= 0;
}

quint64 DataSet::bookmarkEpoch() const {
    return d_->epoch;
}

void DataSet::refresh() {
    requireActive();
    endEdit();
    const Bookmark here = d_->cursor.bookmark();
    // Re-reads the current record; it may have gone meanwhile.
    if (!here.valid() || !d_->cursor.gotoBookmark(here)) d_->cursor.first();
    invalidateOrder();
    notifyData();
}

// ---------------------------------------------------------------- the order vector

void DataSet::invalidateOrder() {
    d_->orderValid = false;
    d_->orderFailure = nullptr;
    d_->rowsValid = false;
}

void DataSet::ensureOrder() {
    Impl& d = *d_;
    if (!active()) {
        d.order.clear();
        return;
    }
    xbase::Cursor& c = d.cursor;
    const uint64_t stamp = c.changeStamp();
    const bool same = d.orderValid && stamp == d.orderStamp && c.filtered() == d.orderFiltered &&
                      c.filter() == d.orderFilter && c.indexName() == d.orderIndex;
    if (same) {
        if (d.orderFailure) std::rethrow_exception(d.orderFailure);
        return;
    }
    // The engine lists records only between edits; meanwhile the last list stands, and
    // insert() and edit() build one before they start.
    if (c.editState() != xbase::EditState::Browse) return;
    const bool unannounced = d.orderValid;
    const uint32_t physical = c.physicalRecordCount();
    if (physical < d.physicalCount) ++d.epoch;  // packed: record numbers moved
    d.physicalCount = physical;
    // A list that cannot be made (a damaged index) fails the same way until something
    // changes, without reading the whole table again for every row painted.
    d.orderFailure = nullptr;
    try {
        d.order = c.visibleRecords();
    } catch (...) {
        d.order.clear();
        d.orderFailure = std::current_exception();
    }
    d.orderValid = true;
    d.rowsValid = false;
    d.orderStamp = stamp;
    d.orderFiltered = c.filtered();
    d.orderFilter = c.filter();
    d.orderIndex = c.indexName();
    // A change this set did not make (another cursor, another program): let the bound
    // controls catch up once the present event is done.
    if (unannounced && !d.noticeQueued) {
        d.noticeQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                d_->noticeQueued = false;
                notifyData();
            },
            Qt::QueuedConnection);
    }
    if (d.orderFailure) std::rethrow_exception(d.orderFailure);
}

const std::vector<uint32_t>& DataSet::order() {
    ensureOrder();
    return d_->order;
}

int DataSet::insertRow() const {
    return std::clamp(d_->insertRow, 0, static_cast<int>(d_->order.size()));
}

int DataSet::visibleCount() {
    const int rows = static_cast<int>(order().size());
    return d_->state == DataSetState::Insert ? rows + 1 : rows;
}

Bookmark DataSet::visibleAt(int row) {
    const auto& rows = order();
    if (d_->state == DataSetState::Insert) {
        const int inserted = insertRow();
        if (row == inserted) return Bookmark{};
        if (row > inserted) --row;
    }
    if (row < 0 || row >= static_cast<int>(rows.size())) return Bookmark{};
    return Bookmark{rows[static_cast<size_t>(row)]};
}

int DataSet::rowOf(Bookmark bookmark) {
    Impl& d = *d_;
    const auto& rows = order();
    const bool inserting = d.state == DataSetState::Insert;
    if (inserting && !bookmark.valid()) return insertRow();
    if (!bookmark.valid()) return -1;
    if (!d.rowsValid) {
        uint32_t highest = 0;
        for (uint32_t r : rows) highest = std::max(highest, r);
        d.rowByRecord.assign(size_t{highest} + 1, -1);
        for (size_t i = 0; i < rows.size(); ++i) d.rowByRecord[rows[i]] = static_cast<int32_t>(i);
        d.rowsValid = true;
    }
    if (bookmark.recno >= d.rowByRecord.size()) return -1;
    int row = d.rowByRecord[bookmark.recno];
    if (row >= 0 && inserting && row >= insertRow()) ++row;
    return row;
}

int DataSet::currentRow() {
    if (!active()) return -1;
    if (d_->state == DataSetState::Insert) {
        order();
        return insertRow();
    }
    return rowOf(d_->cursor.bookmark());
}

QString DataSet::fieldTextAt(int row, const QString& fieldName) {
    Field* field = findField(fieldName);
    if (field == nullptr || !active()) return {};
    const Bookmark record = visibleAt(row);
    if (!record.valid()) {
        const bool newRow = d_->state == DataSetState::Insert && row == insertRow();
        return newRow ? field->asString() : QString();
    }
    const int column = field->column();
    const std::string bytes = d_->cursor.textAt(record, column);
    if (d_->cursor.field(column).type == 'D')
        return QString::fromStdString(xbase::Date::fromStorage(bytes).toDisplay());
    return d_->text.decode(bytes);
}

// ---------------------------------------------------------------- filter

void DataSet::setFilter(const QString& expression) {
    if (!active()) {
        d_->filterText = expression;
        return;
    }
    endEdit();
    const std::string bytes = d_->text.encode(expression, QStringLiteral("filter"));
    try {
        d_->cursor.setFilter(bytes);
    } catch (...) {
        // A refused expression changes nothing; one taken but failing on a record is set.
        if (d_->cursor.filter() == bytes) filterChanged(expression);
        throw;
    }
    filterChanged(expression);
}

void DataSet::filterChanged(const QString& expression) {
    d_->filterText = expression;
    d_->filtered = d_->cursor.filtered();
    invalidateOrder();
    notifyData();
}

QString DataSet::filter() const {
    return d_->filterText;
}

void DataSet::setFiltered(bool filtered) {
    if (!active()) {
        d_->filtered = filtered;
        return;
    }
    endEdit();
    try {
        d_->cursor.setFiltered(filtered);
    } catch (...) {
        filterChanged(d_->filterText);  // switched, but no first record could be found
        throw;
    }
    filterChanged(d_->filterText);
}
bool DataSet::filtered() const {
    return d_->filtered;
}

int DataSet::recordCount() {
    return active() ? static_cast<int>(d_->cursor.recordCount()) : 0;
}

// ---------------------------------------------------------------- keys

bool DataSet::findKey(const QString& key) {
    requireActive();
    endEdit();
    // No record can hold a key the code page cannot; the seek would only fail later.
    if (!d_->text.canHold(key)) {
        if (d_->cursor.indexName().empty()) d_->cursor.seekExact({});  // reports "no index"
        return false;
    }
    const bool found = d_->cursor.seekExact(d_->text.encode(key, QStringLiteral("key")));
    if (found) notifyData();
    return found;
}

void DataSet::findNearest(const QString& key) {
    requireActive();
    endEdit();
    d_->cursor.seekNearest(d_->text.encode(key, QStringLiteral("key")));
    notifyData();
}

int DataSet::keyLength() const {
    return active() ? d_->cursor.keyLength() : 0;
}

// ---------------------------------------------------------------- fields

Field* DataSet::findField(const QString& name) {
    for (auto& f : d_->fields)
        if (f->name_.compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

Field& DataSet::fieldByName(const QString& name) {
    if (Field* f = findField(name)) return *f;
    std::string where = d_->table.toStdString();
    if (!active()) where += " (the table is not open)";
    throw xbase::Error(xbase::ErrorKind::NotFound, xbase::code::FieldNotFound,
                       "Field " + name.toStdString() + " not found in " + where);
}

const std::vector<std::unique_ptr<Field>>& DataSet::fields() const {
    return d_->fields;
}

// ---------------------------------------------------------------- editing

void DataSet::insert() {
    requireActive();
    endEdit();
    startInsert(std::max(0, currentRow()));
}

void DataSet::append() {
    requireActive();
    endEdit();
    startInsert(static_cast<int>(order().size()));
}

void DataSet::startInsert(int row) {
    d_->cursor.append();
    d_->insertRow = row;
    d_->modified = false;
    setState(DataSetState::Insert);
    notifyData();
    if (afterInsert) afterInsert(*this);
}

void DataSet::edit() {
    requireActive();
    if (editing()) return;
    order();  // the grid keeps its rows while the engine cannot list them
    d_->cursor.edit();
    d_->modified = false;
    setState(DataSetState::Edit);
    notifyData();  // the record was read afresh
}

void DataSet::post() {
    requireActive();
    if (!editing()) return;
    flushControls();
    if (beforePost) beforePost(*this);
    const DataSetState was = d_->state;
    d_->cursor.post();
    d_->modified = false;
    d_->lastEdit = was;
    invalidateOrder();
    setState(DataSetState::Browse);
    leaveHiddenRecord();
    notifyData();
    if (afterPost) afterPost(*this);
}

void DataSet::leaveHiddenRecord() {
    if (!d_->cursor.filtered() || rowOf(d_->cursor.bookmark()) >= 0) return;
    // The record saved is one the filter hides. Left current, it would be what Edit and
    // Delete act on while the grid shows another row: the next visible record in the
    // order takes its place (at the end, the last one; with none left, no record).
    d_->cursor.next();
    if (rowOf(d_->cursor.bookmark()) >= 0) return;
    d_->cursor.prior();
    if (rowOf(d_->cursor.bookmark()) >= 0) return;
    d_->cursor.first();
}

void DataSet::cancel() {
    requireActive();
    if (!editing()) return;
    const DataSetState was = d_->state;
    d_->cursor.cancel();
    d_->modified = false;
    d_->lastEdit = was;
    setState(DataSetState::Browse);
    notifyData();
    if (afterCancel) afterCancel(*this);
}

void DataSet::deleteRecord() {
    requireActive();
    if (d_->state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (d_->state == DataSetState::Edit) {
        d_->cursor.cancel();
        d_->modified = false;
        setState(DataSetState::Browse);
    }
    if (d_->cursor.isEmpty() || !d_->cursor.bookmark().valid())
        badState("There is no record to delete");
    d_->cursor.deleteRecord();
    invalidateOrder();
    notifyData();
    if (afterDelete) afterDelete(*this);
}

bool DataSet::modified() const {
    return d_->modified;
}
DataSetState DataSet::lastEditState() const {
    return d_->lastEdit;
}

// ---------------------------------------------------------------- display control

void DataSet::disableControls() {
    if (d_->disableCount++ == 0) {
        d_->disableState = d_->state;
        d_->reopenedWhileDisabled = false;
    }
}

void DataSet::enableControls() {
    if (d_->disableCount == 0) return;
    if (--d_->disableCount > 0) return;
    if (d_->state != d_->disableState || d_->reopenedWhileDisabled) emit stateChanged(d_->state);
    d_->reopenedWhileDisabled = false;
    emit dataChanged();
}

bool DataSet::controlsDisabled() const {
    return d_->disableCount > 0;
}

// ---------------------------------------------------------------- text

int DataSet::codePage() const {
    return d_->text.codePage();
}
QString DataSet::toUnicode(const std::string& bytes) const {
    return d_->text.decode(bytes);
}
std::string DataSet::fromUnicode(const QString& text) const {
    return d_->text.encode(text, QStringLiteral("text"));
}

QString DataSet::lastUpdateText() const {
    return active() ? QString::fromStdString(d_->cursor.lastUpdateText()) : QString();
}

}  // namespace data
