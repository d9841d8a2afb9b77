#pragma once
// Entries written straight into an address table through the engine, past every check a
// save in the program makes: names that differ only in case, blank names and any bytes
// go in as given. Plain engine, no Qt, for the tests of every layer.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <xbase/cursor.h>
#include <xbase/types.h>

namespace testsupport {

// The address table as the program makes it: its fields, and its one tag.
inline constexpr const char* kAddressFieldList = "Name,Char,30;Info,Memo;LastDate,Date;";
inline constexpr const char* kAddressTableFile = "ADDRESS.DBF";

// One entry: a name, and a memo and a last-change date when they are not empty.
struct Entry {
    Entry(const char* entryName) : name(entryName) {}
    Entry(std::string entryName, std::string entryMemo = {}, xbase::Date changed = {})
        : name(std::move(entryName)), memo(std::move(entryMemo)), lastDate(changed) {}

    std::string name;
    std::string memo;
    xbase::Date lastDate;
};

// Creates ADDRESS.DBF with its memo file and its Address tag on upper(Name) in `folder`;
// the engine refuses when the table is there already. Another field list makes a table
// such as other programs leave. Returns the table's path.
inline std::filesystem::path makeAddressTable(const std::filesystem::path& folder,
                                              const char* fieldList = kAddressFieldList) {
    const auto path = folder / kAddressTableFile;
    xbase::createTable(path, xbase::parseFieldList(fieldList));
    xbase::Cursor cursor;
    xbase::OpenOptions exclusive;
    exclusive.mode = xbase::ShareMode::Exclusive;
    cursor.open(path, exclusive);
    cursor.createIndex("Address", "upper(Name)");
    return path;
}

// Appends one entry through a cursor open on an address table.
inline void addEntry(xbase::Cursor& cursor, const Entry& entry) {
    cursor.append();
    cursor.setText(cursor.requireField("NAME"), entry.name);
    if (!entry.memo.empty()) cursor.setMemo(cursor.requireField("INFO"), entry.memo);
    if (!entry.lastDate.empty()) cursor.setDate(cursor.requireField("LASTDATE"), entry.lastDate);
    cursor.post();
}
inline void addEntry(xbase::Cursor& cursor, std::string name, std::string memo) {
    addEntry(cursor, Entry(std::move(name), std::move(memo)));
}

// Appends the entries, in this natural order, to the address table in `folder`, making
// the table first when it is missing. Returns the table's path.
inline std::filesystem::path writeEntries(const std::filesystem::path& folder,
                                          const std::vector<Entry>& entries) {
    const auto path = folder / kAddressTableFile;
    if (!std::filesystem::exists(path)) makeAddressTable(folder);
    xbase::Cursor cursor;
    cursor.open(path);
    for (const Entry& entry : entries) addEntry(cursor, entry);
    return path;
}

// How many records the table file holds, deleted ones included.
inline uint32_t recordsInFile(const std::filesystem::path& folder) {
    xbase::Cursor cursor;
    cursor.open(folder / kAddressTableFile);
    return cursor.physicalRecordCount();
}

}  // namespace testsupport
