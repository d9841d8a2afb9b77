#pragma once
// The compound index file (.CDX): a tag directory and one B+tree per tag, in 512-byte
// pages, with compact (compressed) leaves. Keys are raw bytes of the tag's key length,
// ordered as unsigned bytes; equal keys are ordered by record number, so an entry
// (key, record number) is unique within a tag.
//
// The table layer computes key bytes (from the tag's expression) and takes care of
// locking; this layer only reads and writes pages. Every mutating call leaves the file
// consistent on disk before it returns, so another process may read it as soon as the
// table releases its index lock.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/file_system.h"

namespace xbase {

// A tag name: 1 to 10 letters, digits and underscores, starting with a letter or underscore.
bool isTagName(std::string_view name);

struct IndexEntry {
    std::string key;  // exactly keyLength bytes, trailing pad included
    uint32_t recno = 0;

    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// Keys for a bulk build, kept flat so that 100,000 of them sort quickly.
struct BulkKeys {
    uint16_t keyLength = 0;
    std::string bytes;             // count * keyLength bytes
    std::vector<uint32_t> recnos;  // one per key, in any order

    size_t count() const { return recnos.size(); }
    std::string_view key(size_t i) const { return {bytes.data() + i * keyLength, keyLength}; }
    void add(std::string_view key, uint32_t recno) {
        bytes.append(key.data(), key.size());
        recnos.push_back(recno);
    }
};

struct TagInfo {
    std::string name;           // upper case, as in the tag directory
    std::string keyExpression;  // as stored in the tag header
    std::string forExpression;  // empty when the tag has no FOR condition
    uint16_t keyLength = 0;
    uint8_t options = 0;  // raw option bits of the tag header
    bool descending = false;
    bool unique = false;
    // False when the header names a collation other than MACHINE: its keys are collation
    // weights, which this engine cannot compute, so the tag can be read but not updated.
    bool machineCollation = true;
    uint32_t headerOffset = 0;  // byte offset of the tag header in the file
};

class CdxTag {
  public:
    virtual ~CdxTag() = default;

    virtual const TagInfo& info() const = 0;

    // Byte that pads keys on the right: a blank for character keys, 0 for numeric,
    // date and logical keys. Leaves store keys without their trailing pad.
    virtual void setPadByte(uint8_t pad) = 0;

    // Adds (key, recno); the key has exactly keyLength bytes and record numbers start at 1.
    // Adding an entry the tag already holds changes nothing.
    virtual void insert(std::string_view key, uint32_t recno) = 0;
    // Removes (key, recno); returns false when the tag holds no such entry.
    virtual bool erase(std::string_view key, uint32_t recno) = 0;

    // Navigation by position: a position is an entry, so it stays meaningful while the
    // tree changes underneath. All return nothing when there is no such entry.
    virtual std::optional<IndexEntry> first() = 0;
    virtual std::optional<IndexEntry> last() = 0;
    // First entry at or after (key, recno). `key` may be shorter than keyLength: it is
    // then compared as a prefix and the record number does not count, so
    // lowerBound("SMI", 0) finds the first key starting with "SMI" or greater. A key
    // longer than keyLength is cut to it, as xBase seeks do.
    virtual std::optional<IndexEntry> lowerBound(std::string_view key, uint32_t recno) = 0;
    virtual std::optional<IndexEntry> next(const IndexEntry& after) = 0;
    virtual std::optional<IndexEntry> prior(const IndexEntry& before) = 0;

    // Walks the entries in order from the first at or after (key, recno) until `visit`
    // returns false. The fast path for scans and for building the grid's order vector.
    // `visit` may change the tag; the walk then goes on after the entry it was given.
    virtual void scan(std::string_view key, uint32_t recno,
                      const std::function<bool(std::string_view key, uint32_t recno)>& visit) = 0;

    // Checks the whole tree as it is in the file: key order, parent keys equal to their
    // child's last entry, sibling links, leaf free-space counts, node offsets inside the
    // file, cycles, nodes that are also on the free-page list. Returns one line per fault
    // found; empty when the tag is sound.
    virtual std::vector<std::string> verify() = 0;
    virtual uint64_t keyCount() = 0;
};

// What a damaged index still tells about one of its tags.
struct SalvagedTag {
    std::string name;
    std::string keyExpression;
    std::string forExpression;
    std::string problem;  // why it cannot be built again as it was; empty when it can
};

class CdxFile {
  public:
    virtual ~CdxFile() = default;

    // Reads what can be read of an index that does not open: the names in its tag
    // directory and each tag's expressions. When the directory itself cannot be read,
    // `directoryProblem` says why and the tags found before the fault are returned.
    static std::vector<SalvagedTag> salvageTags(File& file, std::string& directoryProblem);

    // Reads the tag directory and the tag headers. Throws Error(Corruption, BadIndex)
    // naming the file and offset when a page or pointer cannot be right.
    static std::unique_ptr<CdxFile> open(File& file);
    // Writes an empty compound index (a directory with no tags) into an empty file.
    static std::unique_ptr<CdxFile> create(File& file);

    virtual std::vector<std::string> tagNames() const = 0;  // in directory order
    // Case-insensitive; nullptr when the file has no such tag.
    virtual CdxTag* findTag(std::string_view name) = 0;

    // Adds a tag built in one pass from `keys` (sorted here; an entry given twice is kept
    // once), replacing a tag of the same name. Leaves are packed full, interior levels
    // built bottom-up. Name: up to 10 letters, digits and underscores, starting with a
    // letter or underscore, stored upper case. The new tag is complete in the file before
    // the directory names it; the pages of a replaced tag go on the free-page list, and
    // the CdxTag of the replaced tag stays valid and now reads the new one.
    virtual CdxTag& createTag(const std::string& name, const std::string& keyExpression,
                              const std::string& forExpression, uint8_t padByte, BulkKeys keys) = 0;

    // Shared use between processes. The change counter lives in the file header; a
    // writer bumps it after each change, readers compare it before they trust cached pages.
    virtual uint32_t readChangeCounter() = 0;  // from the file, not the cache
    virtual void bumpChangeCounter() = 0;

    // Changes that must happen together or not at all: rollBack() puts every page written
    // since beginUndoable() back as it was, cuts off pages added since, and forgets what
    // is cached. Neither throws.
    virtual void beginUndoable() = 0;
    virtual void endUndoable() = 0;
    virtual void rollBack() = 0;
    // Forgets every cached page and rereads the tag headers (a root may have moved).
    // CdxTag pointers handed out before stay valid; those of tags no longer in the file
    // throw Error(NotFound, TagNotFound) from then on.
    virtual void dropCache() = 0;
};

}  // namespace xbase
