#pragma once
// Mending a damaged table: its index built again from the records (also when the index
// file cannot be read at all), and the repair of a table or memo file that a crash, a
// full disk or a bad copy has left damaged. Both need the table to themselves.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "xbase/file_system.h"

namespace xbase {

// What a tag is made from: enough to build it again.
struct TagDefinition {
    std::string name;
    std::string keyExpression;
    std::string forExpression;
};

struct LostTag {
    std::string name;    // as far as the damaged index still tells it; may be empty
    std::string reason;  // why it could not be built again
};

struct IndexRebuild {
    // Why the old index could not be read as a whole; empty when it could.
    std::string indexProblem;
    std::vector<std::string> rebuiltTags;  // in the index's order
    std::vector<LostTag> lostTags;
    uint32_t recordCount = 0;
    bool complete() const { return lostTags.empty(); }
};

// Builds the table's structural index anew from its records. When the index file cannot
// be read, each tag whose definition can still be read from it is built again; `known`
// stands in for tags the caller knows (a program knows its own table's tags) and adds
// those that are missing. The others are reported as lost. The table must not be open in
// this program, nor in any other. Throws Error when the table itself cannot be read.
IndexRebuild rebuildIndex(const std::filesystem::path& dbfPath,
                          const std::vector<TagDefinition>& known = {},
                          FileSystem* fileSystem = nullptr);

struct RepairOptions {
    std::vector<TagDefinition> knownTags;  // see rebuildIndex
    FileSystem* fileSystem = nullptr;
};

struct RepairReport {
    // The new folder beside the table that holds a copy of its files as they were.
    std::filesystem::path copyFolder;
    // What was lost or changed, one line each, entry by entry.
    std::vector<std::string> changes;
    IndexRebuild index;
    // What a check of the table still finds afterwards; empty when it is sound.
    std::vector<std::string> remainingFaults;
    bool sound() const { return remainingFaults.empty() && index.complete(); }
};

// Repairs the table at `dbfPath` after copying its files (table, memo file, index) into a
// new folder beside them, named damaged-YYYYMMDD-HHMMSS:
// - a table whose header counts more records than the file holds keeps the whole records
//   it holds; a record cut off part-way is lost;
// - a record whose deletion mark is neither blank nor "*" is kept as a live record;
// - a memo pointer past the end of the memo file, into its header, or to a block that is
//   no memo block is cleared; a memo file that is missing or has no header starts afresh;
// - the memo file's count of used blocks is raised over every memo that lies past it;
// - the index is built again (rebuildIndex).
// Throws Error, having changed nothing, when the table cannot be held alone, its header
// cannot be read, or the copy cannot be made.
RepairReport repairTable(const std::filesystem::path& dbfPath, const RepairOptions& options = {});

}  // namespace xbase
