// The compound index file: its header, the tag directory (a tree whose keys are tag names
// and whose "record numbers" are the offsets of the tag headers) and the tags.

#include <algorithm>
#include <cstring>

#include "ascii.h"
#include "byte_order.h"
#include "cdx.h"
#include "cdx_header.h"
#include "cdx_page.h"
#include "cdx_store.h"
#include "cdx_tree.h"

namespace xbase {
namespace {

using cdx::PageStore;
using cdx::Tree;

constexpr size_t kMaxTagName = 10;

Error misuse(const std::string& text) {
    return Error(ErrorKind::InvalidArgument, code::BadState, text);
}

// Directory keys are padded with blanks; some writers leave NULs.
bool sameName(std::string_view a, std::string_view b) {
    return upperAscii(withoutPadding(a)) == upperAscii(withoutPadding(b));
}

class TagImpl final : public CdxTag {
  public:
    TagImpl(PageStore& store, TagInfo info, uint32_t root, uint8_t pad)
        : store_(store),
          info_(std::move(info)),
          pad_(pad),
          tree_(std::make_unique<Tree>(store, info_.headerOffset, root, info_.keyLength, pad)) {}

    const TagInfo& info() const override { return info_; }

    void setPadByte(uint8_t pad) override {
        pad_ = pad;
        tree_->setPad(pad);
    }

    void insert(std::string_view key, uint32_t recno) override {
        checkChange(key, recno);
        tree().insert(key, recno);
    }

    bool erase(std::string_view key, uint32_t recno) override {
        checkChange(key, recno);
        return tree().erase(key, recno);
    }

    std::optional<IndexEntry> first() override { return tree().first(); }
    std::optional<IndexEntry> last() override { return tree().last(); }

    std::optional<IndexEntry> lowerBound(std::string_view key, uint32_t recno) override {
        return tree().lowerBound({clip(key), recno});
    }
    std::optional<IndexEntry> next(const IndexEntry& after) override {
        return tree().next({clip(after.key), after.recno});
    }
    std::optional<IndexEntry> prior(const IndexEntry& before) override {
        return tree().prior({clip(before.key), before.recno});
    }

    void scan(std::string_view key, uint32_t recno,
              const std::function<bool(std::string_view key, uint32_t recno)>& visit) override {
        tree().scan({clip(key), recno}, visit);
    }

    std::vector<std::string> verify() override { return tree().verify(); }
    uint64_t keyCount() override { return tree().keyCount(); }

    // After the file was read again: the tag may have moved, or been rebuilt. The tree
    // object stays, so that a scan in progress (whose visitor caused this) finds its
    // place again instead of running on in freed memory.
    void attach(TagInfo info, uint32_t root) {
        info_ = std::move(info);
        tree_->reset(info_.headerOffset, root, info_.keyLength);
        attached_ = true;
    }
    void detach() { attached_ = false; }
    Tree* attachedTree() { return attached_ ? tree_.get() : nullptr; }

  private:
    Tree& tree() {
        if (!attached_)
            throw Error(
                ErrorKind::NotFound, code::TagNotFound,
                store_.fileName() + ": the tag " + info_.name + " is no longer in the file");
        return *tree_;
    }

    // Seek values longer than the key are cut to it, as xBase seeks do.
    std::string_view clip(std::string_view key) const { return key.substr(0, info_.keyLength); }

    void checkChange(std::string_view key, uint32_t recno) const {
        if (!info_.machineCollation)
            throw Error(ErrorKind::NotSupported, code::UnsupportedFeature,
                        store_.fileName() + ": the tag " + info_.name +
                            " is sorted by a national collation, which this program cannot "
                            "update; rebuild the index to change it");
        if (key.size() != info_.keyLength)
            throw misuse(store_.fileName() + ": the tag " + info_.name + " takes keys of " +
                         std::to_string(info_.keyLength) + " bytes, not " +
                         std::to_string(key.size()));
        if (recno == 0) throw misuse(store_.fileName() + ": record numbers start at 1");
    }

    PageStore& store_;
    TagInfo info_;
    uint8_t pad_;
    std::unique_ptr<Tree> tree_;
    bool attached_ = true;
};

struct LoadedTag {
    TagInfo info;
    uint32_t root = 0;
};

struct LoadedFile {
    cdx::TagHeader header;
    std::vector<LoadedTag> tags;
};

class FileImpl final : public CdxFile {
  public:
    explicit FileImpl(File& file) : store_(file) {}

    LoadedFile read();
    void install(LoadedFile loaded);

    std::vector<std::string> tagNames() const override {
        std::vector<std::string> names;
        for (const auto& tag : tags_) names.push_back(tag->info().name);
        return names;
    }

    CdxTag* findTag(std::string_view name) override { return find(name); }

    CdxTag& createTag(const std::string& name, const std::string& keyExpression,
                      const std::string& forExpression, uint8_t padByte, BulkKeys keys) override;

    uint32_t readChangeCounter() override {
        uint8_t bytes[4];
        store_.readExact(cdx::kChangeCounterOffset, bytes, 4, "file header");
        return getBe32(bytes);
    }

    void bumpChangeCounter() override {
        const uint32_t counter = readChangeCounter();
        uint8_t bytes[4];
        putBe32(bytes, counter);
        std::string old(reinterpret_cast<const char*>(bytes), 4);
        putBe32(bytes, counter + 1);
        store_.writeDirect(cdx::kChangeCounterOffset, bytes, 4, std::move(old));
    }

    void dropCache() override { install(read()); }

    void beginUndoable() override { store_.beginUndoable(); }
    void endUndoable() override { store_.endUndoable(); }
    void rollBack() override {
        store_.rollBack();
        try {
            dropCache();
        } catch (...) {
            // Pages that could not be put back: the next read reports the damage.
        }
    }

  private:
    TagImpl* find(std::string_view name) {
        for (const auto& tag : tags_)
            if (sameName(tag->info().name, name)) return tag.get();
        return nullptr;
    }
    cdx::TagHeader readTagHeader(const std::string& name, uint32_t offset);
    void freeTagPages(TagImpl& tag);

    PageStore store_;
    std::unique_ptr<Tree> directory_;
    std::vector<std::unique_ptr<TagImpl>> tags_;  // in directory order
    std::vector<std::unique_ptr<TagImpl>> gone_;  // no longer in the file; callers may hold them
};

cdx::TagHeader FileImpl::readTagHeader(const std::string& name, uint32_t offset) {
    const std::string where = "the header of tag " + name + " at offset " + PageStore::hex(offset);
    if (offset % cdx::kPageSize != 0 || offset < cdx::kTagHeaderSize)
        throw store_.corruption(where + " is not on a page of its own");
    if (uint64_t{offset} + cdx::kTagHeaderSize > store_.size())
        throw store_.corruption(where + " lies beyond the end of the file");
    uint8_t bytes[cdx::kTagHeaderSize];
    store_.readExact(offset, bytes, sizeof bytes, where);
    cdx::TagHeader header;
    if (const std::string fault = cdx::decodeTagHeader(bytes, header); !fault.empty())
        throw store_.corruption(where + ": " + fault);
    return header;
}

LoadedFile FileImpl::read() {
    store_.refreshSize();
    if (store_.size() < cdx::kTagHeaderSize + cdx::kPageSize)
        throw store_.corruption(store_.size() == 0
                                    ? "the file is empty"
                                    : "the file is too short (" + std::to_string(store_.size()) +
                                          " bytes) to be a compound index");
    LoadedFile loaded;
    uint8_t bytes[cdx::kTagHeaderSize];
    store_.readExact(0, bytes, sizeof bytes, "the file header");
    if (const std::string fault = cdx::decodeTagHeader(bytes, loaded.header); !fault.empty())
        throw store_.corruption("the file header: " + fault);

    Tree directory(store_, 0, loaded.header.root, loaded.header.keyLength, ' ');
    std::vector<std::pair<std::string, uint32_t>> entries;
    directory.scan({}, [&](std::string_view key, uint32_t offset) {
        entries.emplace_back(withoutPadding(key), offset);
        return true;
    });
    for (const auto& [name, offset] : entries) {
        const cdx::TagHeader header = readTagHeader(name, offset);
        if (const std::string fault = store_.checkNodeOffset(header.root); !fault.empty())
            throw store_.corruption("the root of tag " + name + ": " + fault);
        LoadedTag tag;
        tag.info.name = name;
        tag.info.keyExpression = header.keyExpression;
        tag.info.forExpression = header.forExpression;
        tag.info.keyLength = header.keyLength;
        tag.info.options = header.options;
        tag.info.descending = header.descending;
        tag.info.unique = (header.options & cdx::kOptionUnique) != 0;
        tag.info.machineCollation = cdx::isMachineCollation(header.collation);
        tag.info.headerOffset = offset;
        tag.root = header.root;
        loaded.tags.push_back(std::move(tag));
    }
    return loaded;
}

// Tag objects are matched by name, so that pointers handed out earlier stay valid.
void FileImpl::install(LoadedFile loaded) {
    directory_ =
        std::make_unique<Tree>(store_, 0, loaded.header.root, loaded.header.keyLength, ' ');
    std::vector<std::unique_ptr<TagImpl>> current;
    for (LoadedTag& tag : loaded.tags) {
        std::unique_ptr<TagImpl> object;
        for (auto* pool : {&tags_, &gone_}) {
            auto it = std::find_if(pool->begin(), pool->end(), [&](const auto& candidate) {
                return candidate && sameName(candidate->info().name, tag.info.name);
            });
            if (it != pool->end()) {
                object = std::move(*it);
                pool->erase(it);
                break;
            }
        }
        if (object)
            object->attach(std::move(tag.info), tag.root);
        else
            object = std::make_unique<TagImpl>(store_, std::move(tag.info), tag.root, ' ');
        current.push_back(std::move(object));
    }
    for (auto& left : tags_) {
        left->detach();
        gone_.push_back(std::move(left));
    }
    tags_ = std::move(current);
}

CdxTag& FileImpl::createTag(const std::string& name, const std::string& keyExpression,
                            const std::string& forExpression, uint8_t padByte, BulkKeys keys) {
    const std::string& file = store_.fileName();
    if (!isTagName(name) || name.size() > directory_->keyLength())
        throw misuse(file + ": \"" + name +
                     "\" is not a tag name (up to 10 letters, digits and underscores, "
                     "starting with a letter)");
    if (keys.keyLength < 1 || keys.keyLength > cdx::kMaxKeyLength)
        throw misuse(file + ": index keys must be 1 to 240 bytes long, not " +
                     std::to_string(keys.keyLength));
    if (keys.bytes.size() != keys.count() * keys.keyLength)
        throw misuse(file + ": the key bytes do not match the number of record numbers");
    if (std::find(keys.recnos.begin(), keys.recnos.end(), 0u) != keys.recnos.end())
        throw misuse(file + ": record numbers start at 1");
    if (!cdx::expressionsFit(keyExpression, forExpression))
        throw misuse(file + ": the key and FOR expressions of a tag may hold 510 bytes together");
    const std::string tagName = upperAscii(name);
    const std::vector<uint32_t> order = cdx::sortedOrder(keys);

    // The new tag first, complete, in pages nothing points at yet: a failure or a crash
    // before the directory names it leaves the file as it was, give or take unused pages.
    cdx::TagHeader header;
    header.keyLength = keys.keyLength;
    header.options = static_cast<uint8_t>(cdx::kOptionCompact | cdx::kOptionCompound |
                                          (forExpression.empty() ? 0 : cdx::kOptionHasFor));
    header.keyExpression = keyExpression;
    header.forExpression = forExpression;
    uint32_t headerOffset = 0;
    try {
        headerOffset = store_.appendPages(2);
        header.root = cdx::buildTree(store_, keys, order, padByte);
        uint8_t bytes[cdx::kTagHeaderSize];
        cdx::encodeTagHeader(header, bytes);
        store_.stage(headerOffset, bytes, sizeof bytes);
        store_.commit();
    } catch (...) {
        store_.discard();
        throw;
    }

    std::string directoryKey = tagName;
    directoryKey.resize(directory_->keyLength(), ' ');
    TagImpl* existing = find(tagName);
    if (existing)
        directory_->move(directoryKey, existing->info().headerOffset, headerOffset);
    else
        directory_->insert(directoryKey, headerOffset);
    if (existing) freeTagPages(*existing);

    TagInfo info;
    info.name = tagName;
    info.keyExpression = keyExpression;
    info.forExpression = forExpression;
    info.keyLength = keys.keyLength;
    info.options = header.options;
    info.headerOffset = headerOffset;
    if (existing) {
        existing->setPadByte(padByte);
        existing->attach(std::move(info), header.root);
        return *existing;
    }
    auto tag = std::make_unique<TagImpl>(store_, std::move(info), header.root, padByte);
    TagImpl& created = *tag;
    // Directory order: names padded with blanks, compared as bytes.
    const auto place = std::find_if(tags_.begin(), tags_.end(), [&](const auto& other) {
        std::string padded = other->info().name;
        padded.resize(directory_->keyLength(), ' ');
        return std::memcmp(padded.data(), directoryKey.data(), directoryKey.size()) > 0;
    });
    tags_.insert(place, std::move(tag));
    return created;
}

// The pages of a replaced tag go on the free list, but only when its tree checks out:
// freeing a page that a damaged tree shares with another would be worse than leaking.
void FileImpl::freeTagPages(TagImpl& tag) {
    Tree* tree = tag.attachedTree();
    if (!tree) return;
    try {
        const std::vector<uint32_t> pages = tree->pages();
        if (pages.empty()) return;
        for (uint32_t page : pages) store_.freePage(page);
        store_.freePage(tag.info().headerOffset);
        store_.freePage(tag.info().headerOffset + cdx::kPageSize);
        store_.commit();
    } catch (const Error&) {
        store_.discard();  // the new tag is in place; the old pages stay unused
    }
}

}  // namespace

bool isTagName(std::string_view name) {
    if (name.empty() || name.size() > kMaxTagName) return false;
    const auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (!letter(name.front())) return false;
    return std::all_of(name.begin(), name.end(),
                       [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

std::vector<SalvagedTag> CdxFile::salvageTags(File& file, std::string& directoryProblem) {
    PageStore store(file);
    std::vector<std::pair<SalvagedTag, uint32_t>> found;
    try {
        if (store.size() < cdx::kTagHeaderSize + cdx::kPageSize)
            throw store.corruption("the file is too short to be a compound index");
        uint8_t bytes[cdx::kTagHeaderSize];
        store.readExact(0, bytes, sizeof bytes, "the file header");
        cdx::TagHeader header;
        if (const std::string fault = cdx::decodeTagHeader(bytes, header); !fault.empty())
            throw store.corruption("the file header: " + fault);
        Tree directory(store, 0, header.root, header.keyLength, ' ');
        directory.scan({}, [&](std::string_view key, uint32_t offset) {
            SalvagedTag tag;
            tag.name = upperAscii(withoutPadding(key));
            found.emplace_back(std::move(tag), offset);
            return found.size() < store.pageLimit();
        });
    } catch (const Error& e) {
        directoryProblem = e.what();
    }
    std::vector<SalvagedTag> tags;
    for (auto& [tag, offset] : found) {
        const std::string where =
            "the header of tag " + tag.name + " at offset " + PageStore::hex(offset);
        cdx::TagHeader header;
        uint8_t bytes[cdx::kTagHeaderSize];
        if (!isTagName(tag.name)) {
            tag.problem = "the tag directory holds a name that is no tag name";
        } else if (offset % cdx::kPageSize != 0 || offset < cdx::kTagHeaderSize ||
                   uint64_t{offset} + cdx::kTagHeaderSize > store.size() ||
                   store.file().readAt(offset, bytes, sizeof bytes) != sizeof bytes) {
            tag.problem = where + " lies outside the file";
        } else if (const std::string fault = cdx::decodeTagHeader(bytes, header); !fault.empty()) {
            tag.problem = where + ": " + fault;
        } else {
            tag.keyExpression = header.keyExpression;
            tag.forExpression = header.forExpression;
            if (header.options & cdx::kOptionUnique)
                tag.problem = "it is a unique index, which this program cannot build";
            else if (header.descending)
                tag.problem = "it is a descending index, which this program cannot build";
            else if (!cdx::isMachineCollation(header.collation))
                tag.problem = "it is sorted by a collation sequence this program does not know";
        }
        tags.push_back(std::move(tag));
    }
    return tags;
}

std::unique_ptr<CdxFile> CdxFile::open(File& file) {
    auto index = std::make_unique<FileImpl>(file);
    index->install(index->read());
    return index;
}

std::unique_ptr<CdxFile> CdxFile::create(File& file) {
    PageStore store(file);
    if (store.size() != 0)
        throw misuse(store.fileName() + ": a new compound index needs an empty file");
    uint8_t bytes[cdx::kTagHeaderSize + cdx::kPageSize];
    cdx::TagHeader header;
    header.root = cdx::kTagHeaderSize;
    header.keyLength = cdx::kDirectoryKeyLength;
    header.options = cdx::kOptionCompact | cdx::kOptionCompound | cdx::kOptionDirectory;
    cdx::encodeTagHeader(header, bytes);
    cdx::Node root;
    root.attributes = cdx::kRootBit | cdx::kLeafBit;
    cdx::encodeLeaf(root, cdx::kDirectoryKeyLength, ' ', bytes + cdx::kTagHeaderSize);
    file.writeAt(0, bytes, sizeof bytes);
    return open(file);
}

}  // namespace xbase
