#pragma once
// A cursor on a DBF table: position, order, filter and a record being edited.
//
// Several cursors on the same file in one process share one table object (header, file
// handles, index pages, memo file), so a change made through one is seen by the others
// at once. Exclusive and shared use are enforced between processes with OS locks; inside
// one process an exclusive cursor may sit beside shared ones.
//
// Navigation follows the usual data-set rules: first() sets bof(), moving past the last
// record sets eof() and stays on the last one, an empty view is at bof() and eof() at
// once. Deleted records are never visible.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/file_system.h"
#include "xbase/types.h"

namespace xbase {

class SharedTable;

struct OpenOptions {
    ShareMode mode = ShareMode::Shared;
    std::string index;  // tag to select on open; empty for natural order
    bool readOnly = false;
    FileSystem* fileSystem = nullptr;  // nullptr: the operating system's
};

enum class EditState { Browse, Edit, Append };

class Cursor {
  public:
    Cursor();
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // Opens the table at `dbfPath` (found ignoring the letter case of the file name; the
    // memo and index files beside it likewise). A pack that a crash interrupted is
    // completed or undone first. Throws Error: NotFound, Locked (another process holds
    // the table exclusively, or holds it at all when `mode` is Exclusive), Corruption.
    void open(const std::filesystem::path& dbfPath, const OpenOptions& options = {});
    void close();  // an edit in progress is discarded
    bool isOpen() const;
    ShareMode shareMode() const;
    const std::filesystem::path& path() const;  // the DBF as found on disk

    // --- Layout
    int fieldCount() const;
    const FieldInfo& field(int index) const;
    int fieldIndex(std::string_view name) const;    // ignoring case; -1 when none
    int requireField(std::string_view name) const;  // throws Error(NotFound)
    int codePage() const;                           // 1252 for new tables
    uint8_t codePageMark() const;
    bool hasMemoFile() const;
    // The memo file as found on disk (.fpt, or .dbt for dBASE tables); empty without one.
    std::filesystem::path memoPath() const;

    // --- Order
    std::vector<std::string> tagNames() const;
    // Selects a tag by name (ignoring case), or natural order for "". The current record
    // stays current. Throws Error(NotFound) for an unknown tag.
    void selectIndex(std::string_view tag);
    std::string indexName() const;  // upper case; "" in natural order
    std::string indexExpression() const;
    int keyLength() const;  // of the selected tag; 0 in natural order
    // Adds a tag to the structural index (creating ADDRESS.CDX beside the table and
    // marking the table as having one). Needs exclusive use.
    void createIndex(const std::string& tag, const std::string& expression,
                     const std::string& forExpression = {});

    // --- Navigation
    void first();
    void last();
    void next();
    void prior();
    bool bof() const;
    bool eof() const;
    bool isEmpty();
    uint32_t recno() const;  // 0 when there is no current record
    Bookmark bookmark() const;
    // Makes the bookmarked record current (also one the filter hides). Returns false,
    // keeping the position, when the record no longer exists or is deleted.
    bool gotoBookmark(Bookmark bookmark);
    // The visible records in the present order through expression and callback: what a
    // grid shows, row by row.
    std::vector<uint32_t> visibleRecords();
    // A field of any record, read without moving the cursor (what a grid paints).
    // Text fields come back with trailing blanks removed; "" for a record not there.
    std::string textAt(Bookmark record, int field);

    // --- Filter
    // Sets the filter expression; "" for none. A malformed expression is refused with
    // Error(Expression) and the cursor stays as it was. While filtered a new expression
    // applies at once and the first passing record becomes current.
    void setFilter(std::string_view expression);
    const std::string& filter() const;
    // Asked for each candidate record while filtered, with the cursor standing on it.
    void setFilterCallback(std::function<bool()> accept);
    void setFiltered(bool on);  // applies at once: the first passing record becomes current
    bool filtered() const;
    // Non-deleted records passing the filter expression (not the callback) while
    // filtered; all non-deleted records otherwise.
    uint32_t recordCount();
    uint32_t physicalRecordCount();  // every record in the file, deleted ones included

    // --- Seeks on the selected tag; Error "No parseable expressions in setting key
    // fields" without one.
    // True only for a key equal to `key` padded to the key length; that record becomes
    // current. False keeps the current record.
    bool seekExact(std::string_view key);
    // The first record whose key is at or after `key` becomes current; the last record
    // when there is none.
    void seekNearest(std::string_view key);

    // --- The current record (or the record being edited)
    std::string text(int field) const;     // trailing blanks removed
    std::string rawText(int field) const;  // the whole field
    Date date(int field) const;
    double number(int field) const;
    bool logical(int field) const;
    std::string memo(int field) const;
    uint32_t memoSize(int field) const;
    bool isDeleted() const;

    // --- Editing. Moving, closing or packing while editing is refused (Error BadState).
    EditState editState() const;
    void edit();    // shared use: locks the record, so two processes cannot both change it
    void append();  // starts a blank new record; nothing is written before post()
    void setText(int field, std::string_view value);  // cut to the field width
    void setDate(int field, Date value);
    void setNumber(int field, double value);
    void setLogical(int field, bool value);
    void setMemo(int field, std::string_view value);
    void clear(int field);
    void post();  // writes the record, its memos and every tag; the record stays current
    void cancel();
    void deleteRecord();  // marks the current record deleted; the next one becomes current

    // --- Maintenance; need exclusive use
    // Removes deleted records, compacts the memo file and rebuilds every tag, writing new
    // files beside the old ones and renaming them over: a crash leaves the old table or
    // the new one. The first record becomes current.
    void pack();
    void reindex();

    // --- Table facts
    Date lastUpdate() const;             // from the table header
    std::string lastUpdateText() const;  // "MM/DD/YY"
    // Changes whenever the table's records may have changed, through any cursor of this
    // process or (noticed before reading) another process.
    uint64_t changeStamp();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// True when `folder` holds a file named `tableName` (".dbf" added when it has no
// extension), compared ignoring letter case.
bool tableExists(const std::filesystem::path& folder, const std::string& tableName,
                 FileSystem* fileSystem = nullptr);

struct CreateOptions {
    uint16_t memoBlockSize = 64;
    uint8_t codePageMark = 0x03;  // Windows-1252
    FileSystem* fileSystem = nullptr;
};

// Creates an empty FoxPro 2.x table (and its memo file when a field needs one). The
// files are written complete, then the table is closed. Fails if the table exists.
void createTable(const std::filesystem::path& dbfPath, const std::vector<FieldInfo>& fields,
                 const CreateOptions& options = {});

}  // namespace xbase
