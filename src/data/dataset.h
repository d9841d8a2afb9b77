#pragma once
// The data set between the table engine and the widgets: one cursor on a DBF table with
// the states, events, fields and display control that data-aware forms expect.
//
//   DataSet table;                     // closed ("inactive")
//   table.setDatabaseName(folder);     // where the table lives
//   table.setTableName("ADDRESS.DBF");
//   table.setIndexName("ADDRESS");     // "" for natural order
//   table.open();                      // browse state, first record current
//   table.insert(); table.fieldByName("NAME").setAsString("Smith"); table.post();
//
// Engine failures arrive as xbase::Error, which the program's standard error display
// shows. A beforePost handler refuses a save by throwing data::Abort (silent: the
// caller catches it and shows nothing more); the data set then stays in its editing
// state.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <xbase/cursor.h>

namespace data {

enum class DataSetState { Inactive, Browse, Edit, Insert };

// A record's place; compares, and survives changes of order and filter.
using Bookmark = xbase::Bookmark;

// Thrown by an event handler to refuse the operation without a message of its own.
struct Abort {};

class DataSet;

// One column of the table, seen through the data set's current record (or the record
// being edited). Text is converted between QString and the table's code page.
class Field {
public:
    const QString& fieldName() const { return name_; }
    char dataType() const;  // 'C', 'M', 'D', 'N', 'L', ...
    int size() const;       // width in bytes (10 for memo pointers)

    QString asString() const;  // trailing blanks removed; memo text for memo fields
    // Throws xbase::Error(InvalidArgument) naming the characters the table's code page
    // cannot hold; nothing is written then. Needs the edit or insert state.
    void setAsString(const QString& value);
    QDate asDate() const;  // null QDate for an empty date
    void setAsDate(const QDate& value);
    void clear();
    bool isNull() const;  // blank text, empty memo, empty date

    // The raw bytes of a memo as stored (what a "sized stream" read gives).
    QByteArray asBytes() const;
    uint32_t memoSize() const;

private:
    friend class DataSet;
    Field(DataSet& owner, int index, QString name) : owner_(owner), index_(index), name_(std::move(name)) {}
    DataSet& owner_;
    int index_;
    QString name_;
};

class DataSet : public QObject {
    Q_OBJECT
public:
    explicit DataSet(QObject* parent = nullptr);
    ~DataSet() override;

    // --- Settings; folder, table and exclusive only while closed.
    void setDatabaseName(const QString& folder);
    const QString& databaseName() const;
    void setTableName(const QString& table);
    const QString& tableName() const;
    void setExclusive(bool exclusive);
    bool exclusive() const;
    // Tag name, case-insensitive; "" for natural order. While open, the current record
    // stays current.
    void setIndexName(const QString& tag);
    QString indexName() const;
    void setReadOnly(bool readOnly);

    // --- Open and close. open() on an open set does nothing; close() discards an edit.
    void open();
    void close();
    bool active() const;
    DataSetState state() const;
    xbase::Cursor& cursor();  // the engine cursor, for what the data set does not wrap

    // --- Navigation (an edit in progress is posted first, as data-aware forms expect)
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int distance);
    bool bof() const;
    bool eof() const;
    bool isEmpty();
    Bookmark bookmark() const;
    bool gotoBookmark(Bookmark bookmark);
    bool bookmarkValid(Bookmark bookmark);

    // --- Random access to the visible records in the present order and filter, for
    // grids: kept as a vector of record numbers, rebuilt only after a change.
    int visibleCount();
    Bookmark visibleAt(int row);
    int rowOf(Bookmark bookmark);  // -1 when not visible
    int currentRow();              // -1 when there is no current record
    QString fieldTextAt(int row, const QString& fieldName);

    // --- Filter
    void setFilter(const QString& expression);  // refused expressions leave all as it was
    QString filter() const;
    void setFiltered(bool filtered);
    bool filtered() const;
    // Asked for each record while filtered; the record is current during the call.
    std::function<bool(DataSet&)> onFilterRecord;
    int recordCount();  // respects the filter expression, not onFilterRecord

    // --- Keys of the selected index
    bool findKey(const QString& key);      // exact seek
    void findNearest(const QString& key);  // nearest seek
    int keyLength() const;

    // --- Fields
    Field& fieldByName(const QString& name);  // throws xbase::Error(NotFound)
    Field* findField(const QString& name);
    const std::vector<std::unique_ptr<Field>>& fields() const;

    // --- Editing
    void insert();  // a new blank record; afterInsert runs
    void append();  // the same, at the end of the order
    void edit();
    void post();    // beforePost (may throw Abort), the write, afterPost
    void cancel();  // afterCancel
    void deleteRecord();  // afterDelete; the caller asks for confirmation first
    bool modified() const;

    // Events, run in every insert, save, cancel and delete, whoever starts it.
    std::function<void(DataSet&)> afterInsert;
    std::function<void(DataSet&)> beforePost;
    std::function<void(DataSet&)> afterPost;
    std::function<void(DataSet&)> afterCancel;
    std::function<void(DataSet&)> afterDelete;
    // Which of insert/edit the last cancelled or posted change was (for afterCancel).
    DataSetState lastEditState() const;

    // --- Display of bound controls; nested: controls follow again at the last enable.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const;

    // --- Code page of the table's text.
    int codePage() const;
    QString toUnicode(const std::string& bytes) const;
    // Throws xbase::Error(InvalidArgument) naming what cannot be held.
    std::string fromUnicode(const QString& text) const;

    // Last update of the table, as "MM/DD/YY".
    QString lastUpdateText() const;

signals:
    // The current record moved, or its contents or the set of records changed.
    // Not sent while controls are disabled; one is sent at the last enableControls().
    void dataChanged();
    void stateChanged(data::DataSetState state);
    // While editing: a field's value changed.
    void fieldChanged(const QString& fieldName);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    friend class Field;
};

}  // namespace data
