// Building a table's compound index anew: a rebuild of every tag, a new tag, and the index
// of a packed table. The new index is written to a temporary beside the old one and
// renamed over it when complete, so a failure leaves the old index as it was.

#include <algorithm>

#include "ascii.h"
#include "shared_table.h"
#include "xbase/error.h"

namespace xbase {

void SharedTable::reindex() {
    requireExclusive("to rebuild its index");
    if (!cdx_) return;
    replaceIndexFile(*cdxPath_, tagDefinitions());
    openIndex();
    touch();
}

void SharedTable::createTag(const std::string& name, const std::string& expression,
                            const std::string& forExpression) {
    requireExclusive("to create an index");
    if (!isTagName(name))
        throw Error(
            ErrorKind::InvalidArgument, code::BadState,
            "Invalid index tag name \"" + name + "\": 1 to 10 letters, digits or underscores");
    const std::string tagName = upperAscii(name);
    RecordView schema(*this, {}, 0);
    Expression::compile(expression, schema);  // refuse a bad expression before touching a file
    if (!forExpression.empty()) Expression::compile(forExpression, schema);

    std::vector<TagDefinition> defs;
    for (const TagDefinition& tag : tagDefinitions())
        if (tag.name != tagName) defs.push_back(tag);
    defs.push_back({tagName, expression, forExpression});

    // The table says it has an index before the index is there: should the index then
    // fail to arrive, the table opens in natural order and its index is built again.
    const uint8_t flags = header_.tableFlags;
    if (!(flags & DbfHeader::kFlagStructuralIndex)) {
        const uint8_t marked = flags | DbfHeader::kFlagStructuralIndex;
        dbf_->writeAt(28, &marked, 1);
        header_.tableFlags = marked;
        dbf_->sync();
    }
    try {
        replaceIndexFile(
            cdxPath_ ? *cdxPath_ : dbfPath_.parent_path() / (dbfPath_.stem().string() + ".CDX"),
            defs);
    } catch (...) {
        if (header_.tableFlags != flags) {
            try {
                dbf_->writeAt(28, &flags, 1);
                header_.tableFlags = flags;
            } catch (...) {
            }
        }
        throw;
    }
    openIndex();
    touch();
}

void SharedTable::replaceIndexFile(std::filesystem::path target,
                                   const std::vector<TagDefinition>& tags) {
    const auto temporary = buildIndexFile(target, *dbf_, header_, tags);
    // Closed first, since Windows renames nothing over an open file.
    closeIndex();
    try {
        fs_->rename(temporary, target);
    } catch (...) {
        try {
            fs_->remove(temporary);
        } catch (...) {
        }
        try {
            openIndex();
        } catch (...) {
        }
        throw;
    }
    fs_->syncFolder(target.parent_path());
}

std::filesystem::path SharedTable::buildIndexFile(const std::filesystem::path& target, File& source,
                                                  const DbfHeader& header,
                                                  const std::vector<TagDefinition>& tags) {
    auto file = fs_->createTemporary(target, kNewFileTag);
    const std::filesystem::path temporary = file->path();
    try {
        writeIndexFile(*file, source, header, tags);
    } catch (...) {
        file.reset();
        fs_->remove(temporary);
        throw;
    }
    return temporary;
}

void SharedTable::writeIndexFile(File& file, File& source, const DbfHeader& header,
                                 const std::vector<TagDefinition>& tags) {
    auto cdx = CdxFile::create(file);
    RecordView schema(*this, {}, 0);
    for (const TagDefinition& tag : tags) {
        Expression key = Expression::compile(tag.keyExpression, schema);
        std::optional<Expression> condition;
        if (!tag.forExpression.empty())
            condition.emplace(Expression::compile(tag.forExpression, schema));
        BulkKeys keys;
        keys.keyLength = static_cast<uint16_t>(key.keyLength());
        keys.recnos.reserve(header.recordCount);
        keys.bytes.reserve(static_cast<size_t>(header.recordCount) * keys.keyLength);
        std::string buffer;
        forEachRecord(source, header, [&](uint32_t recno, std::string_view bytes) {
            RecordView view(*this, bytes, recno);
            if (condition && !condition->isTrue(view)) return;
            key.evaluateKey(view, buffer);
            keys.add(buffer, recno);
        });
        cdx->createTag(tag.name, tag.keyExpression, tag.forExpression, key.keyPadByte(),
                       std::move(keys));
    }
    cdx.reset();
    file.sync();
}

IndexRebuild SharedTable::rebuildIndexOf(FileSystem& fs, const std::filesystem::path& requested,
                                         const std::vector<TagDefinition>& known) {
    auto found = fs.findIgnoringCase(requested.parent_path(), requested.filename().string());
    if (!found)
        throw Error(ErrorKind::NotFound, code::FileNotFound,
                    "Table not found: " + requested.string());
    if (openInThisProgram(*found))
        throw Error(ErrorKind::InvalidArgument, code::BadState,
                    "The table " + found->filename().string() +
                        " is open; close it before its index is rebuilt");
    recoverInterruptedPack(fs, *found);
    std::shared_ptr<SharedTable> table(new SharedTable(fs, *found, false));
    table->openFiles();
    table->addUser(ShareMode::Exclusive);
    struct Release {
        SharedTable& table;
        ~Release() { table.removeUser(ShareMode::Exclusive); }
    } release{*table};
    table->loadHeader();
    table->requireWritable();

    IndexRebuild result;
    result.recordCount = table->header_.recordCount;
    std::vector<TagDefinition> defs;
    try {
        table->openIndex();
        for (const TagState& tag : table->tags_) {
            if (tag.problem.empty())
                defs.push_back(
                    {tag.name, tag.tag->info().keyExpression, tag.tag->info().forExpression});
            else
                result.lostTags.push_back({tag.name, tag.problem});
        }
    } catch (const Error& e) {
        if (e.kind() != ErrorKind::Corruption) throw;
        result.indexProblem = e.what();
        table->closeIndex();
        auto file = fs.open(*table->cdxPath_, OpenFlags::ReadOnly);
        std::string directoryProblem;
        for (SalvagedTag& tag : CdxFile::salvageTags(*file, directoryProblem)) {
            if (tag.problem.empty())
                defs.push_back({tag.name, tag.keyExpression, tag.forExpression});
            else
                result.lostTags.push_back({tag.name, tag.problem});
        }
        // Tags it can no longer name are lost, unless the caller knows what the table has.
        if (!directoryProblem.empty() && known.empty())
            result.lostTags.push_back(
                {"", "the index's list of tags cannot be read (" + directoryProblem + ")"});
    }
    const auto named = [](const std::string& name) {
        return
            [wanted = upperAscii(name)](const auto& tag) { return upperAscii(tag.name) == wanted; };
    };
    for (const TagDefinition& tag : known) {
        std::erase_if(result.lostTags, named(tag.name));
        if (std::none_of(defs.begin(), defs.end(), named(tag.name)))
            defs.push_back({upperAscii(tag.name), tag.keyExpression, tag.forExpression});
    }
    // A definition read from a damaged file may not fit this table.
    RecordView schema(*table, {}, 0);
    std::erase_if(defs, [&](const TagDefinition& tag) {
        try {
            Expression::compile(tag.keyExpression, schema);
            if (!tag.forExpression.empty()) Expression::compile(tag.forExpression, schema);
            return false;
        } catch (const Error& e) {
            result.lostTags.push_back({tag.name, e.what()});
            return true;
        }
    });
    if (defs.empty() && table->cdxPath_ && !result.indexProblem.empty())
        return result;  // nothing to build
    if (defs.empty() && !table->cdxPath_) return result;

    const std::filesystem::path target =
        table->cdxPath_ ? *table->cdxPath_
                        : found->parent_path() / (found->stem().string() + ".CDX");
    if (!(table->header_.tableFlags & DbfHeader::kFlagStructuralIndex)) {
        const uint8_t marked = table->header_.tableFlags | DbfHeader::kFlagStructuralIndex;
        table->dbf_->writeAt(28, &marked, 1);
        table->header_.tableFlags = marked;
        table->dbf_->sync();
    }
    table->replaceIndexFile(target, defs);
    if (table->header_.changeInProgress) table->markChange(false);
    table->openIndex();
    for (const TagState& tag : table->tags_) result.rebuiltTags.push_back(tag.name);
    return result;
}

IndexRebuild rebuildIndex(const std::filesystem::path& dbfPath,
                          const std::vector<TagDefinition>& known, FileSystem* fileSystem) {
    return SharedTable::rebuildIndexOf(fileSystem ? *fileSystem : defaultFileSystem(), dbfPath,
                                       known);
}

std::vector<TagDefinition> SharedTable::tagDefinitions() const {
    std::vector<TagDefinition> defs;
    for (const auto& tag : tags_)
        defs.push_back({tag.name, tag.tag->info().keyExpression, tag.tag->info().forExpression});
    return defs;
}

}  // namespace xbase
