#pragma once
// Looking inside a table: its header, fields and tags, and a full consistency check.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "xbase/file_system.h"
#include "xbase/types.h"

namespace xbase {

struct TagSummary {
    std::string name;
    std::string keyExpression;
    std::string forExpression;
    int keyLength = 0;
    uint64_t keyCount = 0;
    std::string problem;  // why the engine cannot keep it up to date; empty when it can
};

struct TableSummary {
    std::filesystem::path path;
    uint8_t version = 0;
    Date lastUpdate;
    uint32_t recordCount = 0;  // every record in the file
    uint32_t deletedCount = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    uint8_t tableFlags = 0;
    uint8_t codePageMark = 0;
    std::vector<FieldInfo> fields;
    std::filesystem::path memoPath;  // empty when the table has no memo file
    uint32_t memoBlockSize = 0;
    uint32_t memoNextFree = 0;
    std::filesystem::path indexPath;  // empty when the table has no index file
    std::vector<TagSummary> tags;
};

TableSummary describeTable(const std::filesystem::path& dbfPath);

struct CheckReport {
    std::vector<std::string> faults;  // one line each; empty when the table is sound
    uint32_t recordsChecked = 0;
    uint32_t memosChecked = 0;
    uint64_t keysChecked = 0;
    bool ok() const { return faults.empty(); }
};

// Reads the whole table: every memo pointer and memo block, every tag's tree (order,
// parent keys, sibling links) and every tag's keys against the keys the records give.
// Opens the table shared and writes nothing but what any open does (finishing a pack or a
// record change that a crash interrupted). A table that cannot be opened at all gives a
// report with that one fault.
CheckReport checkTable(const std::filesystem::path& dbfPath, FileSystem* fileSystem = nullptr);

}  // namespace xbase
