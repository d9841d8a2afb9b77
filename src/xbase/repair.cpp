// The repair of a damaged table: the records the file holds whole, memo pointers that lead
// nowhere cleared, the memo file's header mended, the index built again. A copy of the files
// as they were goes into a new folder first, and every loss is reported entry by entry.

#include "xbase/repair.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <system_error>

#include "byte_order.h"
#include "local_time.h"
#include "memo_file.h"
#include "shared_table.h"
#include "xbase/error.h"
#include "xbase/inspect.h"

namespace xbase {
namespace {

namespace fsys = std::filesystem;

std::string timeStamp() {
    const std::tm local = localNow();
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

fsys::path makeCopyFolder(const fsys::path& folder) {
    const std::string name = "damaged-" + timeStamp();
    for (int attempt = 1; attempt < 100; ++attempt) {
        const fsys::path path =
            folder / (attempt == 1 ? name : name + "-" + std::to_string(attempt));
        std::error_code error;
        if (fsys::create_directory(path, error)) return path;
        if (error)
            throw Error(ErrorKind::IoError, code::CreateFailed,
                        "Cannot create the folder " + path.string() + ": " + error.message(),
                        error.value());
    }
    throw Error(ErrorKind::IoError, code::CreateFailed,
                "Cannot create a folder for the damaged files in " + folder.string());
}

void copyFile(FileSystem& files, const fsys::path& from, const fsys::path& to) {
    auto in = files.open(from, OpenFlags::ReadOnly);
    auto out = files.open(to, OpenFlags::CreateNew);
    std::string buffer(1u << 20, '\0');
    for (uint64_t at = 0;;) {
        const size_t got = in->readAt(at, buffer.data(), buffer.size());
        if (got == 0) break;
        out->writeAt(at, buffer.data(), got);
        at += got;
    }
    out->sync();
}

DbfHeader readHeader(File& dbf, const std::string& fileName) {
    std::string bytes(32, '\0');
    bytes.resize(dbf.readAt(0, bytes.data(), bytes.size()));
    if (bytes.size() == 32) {
        bytes.resize(std::max<size_t>(
            32, getLe16(reinterpret_cast<const unsigned char*>(bytes.data()) + 8)));
        bytes.resize(dbf.readAt(0, bytes.data(), bytes.size()));
    }
    return DbfHeader::parse(bytes, fileName);
}

// "entry 7 (Smith, John)": the record number and its first character field.
std::string entryLabel(const DbfHeader& header, uint32_t recno, std::string_view record) {
    std::string label = "entry " + std::to_string(recno);
    for (const auto& field : header.fields) {
        if (field.info.type != 'C') continue;
        if (record.size() <= static_cast<size_t>(field.offset)) break;
        std::string name(record.substr(static_cast<size_t>(field.offset),
                                       static_cast<size_t>(field.info.length)));
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
        if (!name.empty()) label += " (" + name + ")";
        break;
    }
    return label;
}

uint32_t memoBlockOf(const DbfHeader& header, const FieldLayout& field, std::string_view record) {
    const std::string_view raw =
        record.substr(static_cast<size_t>(field.offset), static_cast<size_t>(field.info.length));
    if (header.binaryMemoPointers() && field.info.length == 4)
        return getLe32(reinterpret_cast<const unsigned char*>(raw.data()));
    uint64_t block = 0;
    for (char c : raw) {
        if (c >= '0' && c <= '9')
            block = std::min<uint64_t>(block * 10 + static_cast<uint64_t>(c - '0'), UINT32_MAX);
    }
    return static_cast<uint32_t>(block);
}

void clearMemoPointer(const DbfHeader& header, const FieldLayout& field, std::string& record) {
    const char fill = header.binaryMemoPointers() && field.info.length == 4 ? '\0' : ' ';
    record.replace(static_cast<size_t>(field.offset), static_cast<size_t>(field.info.length),
                   static_cast<size_t>(field.info.length), fill);
}

// Why the memo at `block` cannot be the memo of a record; empty when it can. `end` is where
// it ends.
std::string memoFault(MemoFile& memo, uint32_t block, uint32_t owner, uint64_t& end) {
    try {
        if (memo.format() == MemoFormat::Fpt) {
            unsigned char type[4] = {};
            const uint64_t start = static_cast<uint64_t>(block) * memo.blockSize();
            if (memo.file().readAt(start, type, 4) == 4 && getBe32(type) > 1)
                return "block " + std::to_string(block) + " is no memo block";
        }
        end = memo.endOfMemo(block, owner);
        return {};
    } catch (const Error& e) {
        return e.what();
    }
}

}  // namespace

RepairReport repairTable(const fsys::path& requested, const RepairOptions& options) {
    FileSystem& files = options.fileSystem ? *options.fileSystem : defaultFileSystem();
    const auto found =
        files.findIgnoringCase(requested.parent_path(), requested.filename().string());
    if (!found)
        throw Error(ErrorKind::NotFound, code::FileNotFound,
                    "Table not found: " + requested.string());
    const fsys::path folder = found->parent_path();
    const std::string stem = found->stem().string();
    const std::string tableName = found->filename().string();
    SharedTable::recoverInterruptedPack(files, *found);

    RepairReport report;
    {
        auto dbf = files.open(*found, OpenFlags::ReadWrite);
        if (!dbf->lockExclusive())
            throw Error(
                ErrorKind::Locked, code::TableInUse,
                "The table " + tableName + " is in use by another program; close it there first");
        DbfHeader header = readHeader(*dbf, tableName);
        const bool dbase = header.version == 0x83 || header.version == 0x8B;
        const MemoFormat memoFormat = header.version == 0x83   ? MemoFormat::DbaseIII
                                      : header.version == 0x8B ? MemoFormat::DbaseIV
                                                               : MemoFormat::Fpt;
        const std::string memoName = stem + (dbase ? ".dbt" : ".fpt");
        const auto memoPath =
            header.hasMemoFields() ? files.findIgnoringCase(folder, memoName) : std::nullopt;
        const auto indexPath = files.findIgnoringCase(folder, stem + ".cdx");

        // The files as they are, before anything changes.
        report.copyFolder = makeCopyFolder(folder);
        for (const auto& path : {std::optional<fsys::path>(*found), memoPath, indexPath})
            if (path) copyFile(files, *path, report.copyFolder / path->filename());
        files.syncFolder(report.copyFolder);

        // The records the file holds whole.
        const uint64_t size = dbf->size();
        const uint64_t body = size > header.headerLength ? size - header.headerLength : 0;
        const auto whole = static_cast<uint32_t>(
            std::min<uint64_t>(body / header.recordLength, header.recordCount));
        const bool headerChanged = whole < header.recordCount || header.changeInProgress;
        if (whole < header.recordCount) {
            const uint64_t partial = body - static_cast<uint64_t>(whole) * header.recordLength;
            uint32_t firstAbsent = whole + 1;
            if (partial > 0) {
                std::string piece(static_cast<size_t>(partial), '\0');
                piece.resize(
                    dbf->readAt(header.recordOffset(whole + 1), piece.data(), piece.size()));
                report.changes.push_back(entryLabel(header, whole + 1, piece) +
                                         ": lost, the file ends " + std::to_string(partial) +
                                         " bytes into it");
                ++firstAbsent;
            }
            if (firstAbsent <= header.recordCount)
                report.changes.push_back(
                    (firstAbsent == header.recordCount
                         ? "entry " + std::to_string(firstAbsent)
                         : "entries " + std::to_string(firstAbsent) + " to " +
                               std::to_string(header.recordCount)) +
                    ": lost, the table's header counts them but the file ends before them");
        }
        if (header.changeInProgress)
            report.changes.push_back(
                "the table was left in the middle of a change: its index is built again");
        if (headerChanged) {
            header.recordCount = whole;
            header.changeInProgress = false;
            const std::string head = header.encodeRecord();
            dbf->writeAt(4, head.data() + 4, 4);
            dbf->writeAt(DbfHeader::kChangeMarkOffset, head.data() + DbfHeader::kChangeMarkOffset,
                         1);
            dbf->truncate(header.recordOffset(whole + 1));
            dbf->writeAt(header.recordOffset(whole + 1), "\x1A", 1);
        }

        // The memo file: there, with a header, holding every memo a record points to.
        std::unique_ptr<MemoFile> memo;
        std::string memosGone;  // why every memo is gone
        if (header.hasMemoFields()) {
            const fsys::path path = memoPath ? *memoPath : folder / memoName;
            std::unique_ptr<File> file;
            if (memoPath) {
                try {
                    memo = std::make_unique<MemoFile>(files.open(path, OpenFlags::ReadWrite),
                                                      memoFormat);
                } catch (const Error& e) {
                    if (e.kind() != ErrorKind::Corruption) throw;
                    memosGone = e.what();
                    file = files.open(path, OpenFlags::ReadWrite);
                    file->truncate(0);
                }
            } else {
                memosGone = "the memo file " + memoName + " was missing";
                file = files.open(path, OpenFlags::CreateNew);
            }
            if (!memo) {
                MemoFile::initialize(*file, memoFormat, MemoFile::kDefaultBlockSize);
                file->sync();
                memo = std::make_unique<MemoFile>(std::move(file), memoFormat);
                report.changes.push_back(memosGone + ": the memo file starts afresh, empty");
            }
        }

        // Each record: its deletion mark and its memo pointers.
        DbfHeader present = header;
        present.recordCount = whole;
        std::vector<std::pair<uint32_t, std::string>> mended;
        uint64_t memoEnd = memo ? static_cast<uint64_t>(memo->nextFree()) * memo->blockSize() : 0;
        forEachRecord(*dbf, present, [&](uint32_t recno, std::string_view bytes) {
            std::string record(bytes);
            const std::string label = entryLabel(header, recno, record);
            bool changed = false;
            if (record[0] != ' ' && record[0] != '*') {
                record[0] = ' ';
                report.changes.push_back(
                    label + ": its deletion mark was damaged; it is kept as a live entry");
                changed = true;
            }
            for (const auto& field : header.fields) {
                if (!isMemoType(field.info.type)) continue;
                const uint32_t block = memoBlockOf(header, field, record);
                if (block == 0) continue;
                uint64_t end = 0;
                std::string fault = memo ? memoFault(*memo, block, recno, end) : "";
                if (!memosGone.empty()) fault = memosGone;
                if (fault.empty()) {
                    memoEnd = std::max(memoEnd, end);
                    continue;
                }
                clearMemoPointer(header, field, record);
                report.changes.push_back(label + ": its " + field.info.name +
                                         " memo was cleared (" + fault + ")");
                changed = true;
            }
            if (changed) mended.emplace_back(recno, std::move(record));
        });
        for (const auto& [recno, record] : mended)
            dbf->writeAt(header.recordOffset(recno), record.data(), record.size());
        if (memo && memoEnd > static_cast<uint64_t>(memo->nextFree()) * memo->blockSize()) {
            memo->setNextFree(
                static_cast<uint32_t>((memoEnd + memo->blockSize() - 1) / memo->blockSize()));
            report.changes.push_back(
                "the memo file's count of used blocks was raised over memos that lay past it");
        }
        if (memo) memo->file().sync();
        dbf->sync();
    }

    // The index, from the mended records.
    try {
        report.index = rebuildIndex(*found, options.knownTags, &files);
        const IndexRebuild& index = report.index;
        for (const LostTag& tag : index.lostTags)
            report.changes.push_back("index tag " +
                                     (tag.name.empty() ? std::string("(unnamed)") : tag.name) +
                                     " cannot be built again: " + tag.reason);
        if (!index.indexProblem.empty() && index.rebuiltTags.empty()) {
            // Nothing of it could be built again: without it the table opens, in natural order.
            if (const auto path = files.findIgnoringCase(folder, stem + ".cdx"))
                files.remove(*path);
            auto dbf = files.open(*found, OpenFlags::ReadWrite);
            unsigned char flags = 0;
            dbf->readAt(28, &flags, 1);
            flags = static_cast<unsigned char>(flags & ~DbfHeader::kFlagStructuralIndex);
            dbf->writeAt(28, &flags, 1);
            dbf->sync();
            report.changes.push_back("the index could not be read (" + index.indexProblem +
                                     ") and no tag of it could be built again: it was removed");
        } else if (!index.indexProblem.empty()) {
            report.changes.push_back("the index could not be read (" + index.indexProblem +
                                     "): it was built again from the entries");
        }
    } catch (const Error& e) {
        report.remainingFaults.push_back("the index could not be built again: " +
                                         std::string(e.what()));
        return report;
    }
    report.remainingFaults = checkTable(*found, &files).faults;
    return report;
}

}  // namespace xbase
