#include "xbase/inspect.h"

#include <algorithm>
#include <set>
#include <utility>

#include "shared_table.h"
#include "xbase/error.h"

namespace xbase {
namespace {

constexpr size_t kMaxFaultsPerKind = 50;

std::shared_ptr<SharedTable> openShared(const std::filesystem::path& dbfPath,
                                        FileSystem* fileSystem = nullptr) {
    OpenOptions options;
    options.readOnly = true;
    options.fileSystem = fileSystem;
    return SharedTable::acquire(dbfPath, options);
}

// Releases the user that openShared registered.
struct UserGuard {
    std::shared_ptr<SharedTable> table;
    ~UserGuard() {
        if (table) table->removeUser(ShareMode::Shared);
    }
};

std::string printable(std::string_view key) {
    std::string out;
    for (unsigned char c : key) {
        if (c >= 32 && c < 127) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return "\"" + out + "\"";
}

}  // namespace

TableSummary describeTable(const std::filesystem::path& dbfPath) {
    UserGuard guard{openShared(dbfPath)};
    SharedTable& table = *guard.table;
    table.refresh();
    const DbfHeader& h = table.header();
    TableSummary s;
    s.path = table.dbfPath();
    s.version = h.version;
    s.lastUpdate = h.lastUpdate;
    s.recordCount = h.recordCount;
    s.headerLength = h.headerLength;
    s.recordLength = h.recordLength;
    s.tableFlags = h.tableFlags;
    s.codePageMark = h.codePageMark;
    for (const auto& f : h.fields) s.fields.push_back(f.info);
    std::string bytes;
    {
        ScanScope scan(table);
        for (uint32_t r = 1; r <= h.recordCount; ++r) {
            table.readRecord(r, bytes);
            if (bytes[0] == '*') ++s.deletedCount;
        }
    }
    if (MemoFile* memo = table.memo()) {
        s.memoPath = memo->file().path();
        s.memoBlockSize = memo->blockSize();
        s.memoNextFree = memo->nextFree();
    }
    for (auto& tag : table.tags()) {
        TagSummary t;
        t.name = tag.name;
        t.keyExpression = tag.tag->info().keyExpression;
        t.forExpression = tag.tag->info().forExpression;
        t.keyLength = tag.tag->info().keyLength;
        t.keyCount = tag.tag->keyCount();
        t.problem = tag.problem;
        s.tags.push_back(std::move(t));
    }
    if (table.indexPath()) s.indexPath = *table.indexPath();
    return s;
}

CheckReport checkTable(const std::filesystem::path& dbfPath, FileSystem* fileSystem) {
    CheckReport report;
    UserGuard guard;
    try {
        guard.table = openShared(dbfPath, fileSystem);
    } catch (const Error& e) {
        report.faults.push_back(e.what());
        return report;
    }
    SharedTable& table = *guard.table;
    table.refresh();
    const DbfHeader& h = table.header();
    auto fault = [&report](std::string line) {
        if (report.faults.size() < kMaxFaultsPerKind * 4) report.faults.push_back(std::move(line));
    };

    if (h.changeInProgress)
        fault("the table was left in the middle of a change: its index may not match its records");

    // Records and their memos.
    std::string bytes;
    size_t memoFaults = 0;
    {
        ScanScope scan(table);
        for (uint32_t r = 1; r <= h.recordCount; ++r) {
            table.readRecord(r, bytes);
            ++report.recordsChecked;
            if (bytes[0] != ' ' && bytes[0] != '*') {
                fault("record " + std::to_string(r) + ": deletion flag is neither blank nor '*'");
            }
            for (size_t f = 0; f < h.fields.size(); ++f) {
                if (!isMemoType(h.fields[f].info.type)) continue;
                const uint32_t block = table.memoBlock(bytes, static_cast<int>(f));
                if (block == 0) continue;
                if (!table.memo()) {
                    fault("record " + std::to_string(r) + ": memo pointer without a memo file");
                    continue;
                }
                try {
                    const uint64_t end = table.memo()->endOfMemo(block, r);
                    if (end >
                        static_cast<uint64_t>(table.memo()->nextFree()) * table.memo()->blockSize())
                        throw Error(ErrorKind::Corruption, code::BadMemo,
                                    "the memo of record " + std::to_string(r) +
                                        " runs past the memo file's next free block");
                    ++report.memosChecked;
                } catch (const Error& e) {
                    if (++memoFaults <= kMaxFaultsPerKind) fault(e.what());
                }
            }
        }
    }

    // Every tag: its tree, then its keys against the records.
    for (size_t t = 0; t < table.tags().size(); ++t) {
        TagState& tag = table.tags()[t];
        const std::string label = "tag " + tag.name + ": ";
        std::vector<std::string> treeFaults;
        try {
            treeFaults = tag.tag->verify();
        } catch (const Error& e) {
            treeFaults.push_back(e.what());
        }
        for (size_t i = 0; i < treeFaults.size() && i < kMaxFaultsPerKind; ++i)
            fault(label + treeFaults[i]);
        if (!treeFaults.empty()) continue;
        if (!tag.key) {
            fault(label + tag.problem);
            continue;
        }
        std::set<std::pair<std::string, uint32_t>> expected;
        try {
            ScanScope scan(table);
            for (uint32_t r = 1; r <= h.recordCount; ++r) {
                table.readRecord(r, bytes);
                if (auto key = table.keyOf(static_cast<int>(t), bytes, r))
                    expected.emplace(std::move(*key), r);
            }
        } catch (const Error& e) {
            fault(label + e.what());
        }
        size_t keyFaults = 0;
        uint64_t seen = 0;
        try {
            tag.tag->scan({}, 0, [&](std::string_view key, uint32_t recno) {
                ++seen;
                auto it = expected.find({std::string(key), recno});
                if (it == expected.end()) {
                    if (++keyFaults <= kMaxFaultsPerKind)
                        fault(label + "key " + printable(key) + " for record " +
                              std::to_string(recno) + " does not match the record");
                } else {
                    expected.erase(it);
                }
                return seen <= static_cast<uint64_t>(h.recordCount) * 2 +
                                   16;  // a loop in a damaged file ends here
            });
        } catch (const Error& e) {
            fault(label + e.what());
        }
        report.keysChecked += seen;
        for (const auto& [key, recno] : expected) {
            if (++keyFaults > kMaxFaultsPerKind) break;
            fault(label + "record " + std::to_string(recno) + " has no key " + printable(key));
        }
    }
    return report;
}

}  // namespace xbase
