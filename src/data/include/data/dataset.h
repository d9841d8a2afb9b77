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

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
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

// Error number of a text the table's code page cannot hold (kind InvalidArgument).
inline constexpr int kUnencodableText = 5101;

class DataSet;

// One column of the table, seen through the data set's current record (or the record
// being edited). Text is converted between QString and the table's code page.
// A Field stays valid for the life of its data set, also across close and open.
class Field {
  public:
    const QString& fieldName() const { return name_; }
    char dataType() const;  // 'C', 'M', 'D', 'N', 'L', ...
    int size() const;       // width in bytes (10 for memo pointers)
    // How messages name the field: "name" for NAME, "memo" for memo fields, unless set.
    QString displayLabel() const;
    void setDisplayLabel(const QString& label);

    // Trailing blanks removed; memo text for memo fields; "MM/DD/YY" for dates.
    QString asString() const;
    // Throws xbase::Error(InvalidArgument) naming the characters the table's code page
    // cannot hold; nothing is written then. Needs the edit or insert state. Text longer
    // than the field is cut to its width.
    void setAsString(const QString& value);
    // Throws what setAsString would throw for text the code page cannot hold; writes nothing.
    void validate(const QString& value) const;
    QDate asDate() const;  // null QDate for an empty date
    void setAsDate(const QDate& value);
    void clear();
    bool isNull() const;  // blank text, empty memo, empty date

    // The raw bytes of a memo as stored (what a "sized stream" read gives).
    QByteArray asBytes() const;
    uint32_t memoSize() const;

  private:
    friend class DataSet;
    Field(DataSet& owner, int index, QString name)
        : owner_(owner), index_(index), name_(std::move(name)) {}
    int column() const;  // the cursor's field number; throws when the field is gone
    void changed();

    DataSet& owner_;
    int index_;
    QString name_;
    QString label_;
};

class DataSet : public QObject {
    Q_OBJECT
  public:
    explicit DataSet(QObject* parent = nullptr);
    ~DataSet() override;

    // --- Settings; folder, table, exclusive and read-only only while closed.
    void setDatabaseName(const QString& folder);
    const QString& databaseName() const;
    void setTableName(const QString& table);  // ".dbf" is added when it has no extension
    const QString& tableName() const;
    void setExclusive(bool exclusive);
    bool exclusive() const;
    // Tag name, case-insensitive; "" for natural order. While open, the current record
    // stays current.
    void setIndexName(const QString& tag);
    QString indexName() const;
    void setReadOnly(bool readOnly);
    bool readOnly() const;
    bool canModify() const;  // open and not read-only

    // --- Open and close. open() on an open set does nothing; close() cancels an edit
    // in progress (afterCancel runs) and closes.
    void open();
    void close();
    bool active() const;
    DataSetState state() const;
    bool editing() const;     // Edit or Insert
    xbase::Cursor& cursor();  // the engine cursor, for what the data set does not wrap

    // --- Navigation (an edit in progress is posted first when it was changed, and
    // cancelled when it was not, as data-aware forms expect)
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int distance);
    bool bof() const;
    bool eof() const;
    bool isEmpty();
    Bookmark bookmark() const;  // invalid while inserting
    bool gotoBookmark(Bookmark bookmark);
    // Whether the bookmarked record is still there and visible in the present order and
    // filter.
    bool bookmarkValid(Bookmark bookmark);
    // Changes whenever bookmarks taken earlier may name other records now: the table was
    // opened again or packed.
    quint64 bookmarkEpoch() const;
    // Reads the table afresh (for changes made by other programs) and tells the controls.
    void refresh();

    // --- Random access to the visible records in the present order and filter, for
    // grids: kept as a vector of record numbers, rebuilt only after a change. While
    // inserting, the new record counts as a row of its own (bookmark invalid).
    int visibleCount();
    Bookmark visibleAt(int row);
    int rowOf(Bookmark bookmark);  // -1 when not visible; the new record while inserting
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
    bool findKey(const QString& key);      // exact seek; false for text the table cannot hold
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
    // beforePost (may throw Abort), the write, afterPost. A saved record that the filter
    // hides does not stay current: the next visible one in the order does (the last one
    // when there is none after it, no record when none is visible).
    void post();
    void cancel();  // afterCancel
    // afterDelete; the caller asks for confirmation first. While inserting it cancels the
    // new record instead; while editing the change is dropped with the record.
    void deleteRecord();
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
    // Before a post or a move that ends an edit: controls holding typed text write it
    // into the fields now, and set `accepted` to false when the text was refused (they
    // have shown why; the post or move is then abandoned silently).
    void updateRecord(bool& accepted);

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    friend class Field;

    void requireActive() const;
    void requireClosed(const char* what) const;
    void endEdit();  // posts a changed record, cancels an untouched one
    void startInsert(int row);
    void leaveHiddenRecord();
    void filterChanged(const QString& expression);
    void flushControls();
    void setState(DataSetState state);
    void notifyData();
    void invalidateOrder();
    void ensureOrder();
    const std::vector<uint32_t>& order();
    int insertRow() const;
};

}  // namespace data
