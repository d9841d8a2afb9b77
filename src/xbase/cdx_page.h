#pragma once
// The page codec of the compound index: one 512-byte page <-> one decoded node.
//
// Interior nodes hold full keys, each followed by a big-endian record number and child
// offset. Leaves are compressed: an entry table of packed (record number, duplicate count,
// trailing count) integers grows up from offset 24 while the key bytes that are neither
// shared with the previous key nor trailing pad grow down from the end of the page. The
// bit widths of the packed integers are chosen per leaf.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xbase::cdx {

inline constexpr uint32_t kPageSize = 512;
inline constexpr uint32_t kNoPage = 0xFFFFFFFF;  // "no sibling"
inline constexpr uint16_t kMaxKeyLength = 240;
inline constexpr size_t kNodeHeaderSize = 12;
inline constexpr size_t kLeafHeaderSize = 24;
inline constexpr size_t kLeafSpace = kPageSize - kLeafHeaderSize;      // 488
inline constexpr size_t kInteriorSpace = kPageSize - kNodeHeaderSize;  // 500

using Page = std::array<uint8_t, kPageSize>;

inline constexpr uint16_t kRootBit = 0x01;
inline constexpr uint16_t kLeafBit = 0x02;

struct Node {
    uint16_t attributes = 0;
    uint32_t left = kNoPage;
    uint32_t right = kNoPage;
    std::string keys;  // count() keys of the tag's key length, back to back
    std::vector<uint32_t> recnos;
    std::vector<uint32_t> children;  // interior nodes only: the page under each entry

    bool isLeaf() const { return (attributes & kLeafBit) != 0; }
    bool isRoot() const { return (attributes & kRootBit) != 0; }
    size_t count() const { return recnos.size(); }
    std::string_view key(size_t i, size_t keyLength) const {
        return {keys.data() + i * keyLength, keyLength};
    }

    void insertEntry(size_t at, std::string_view key, uint32_t recno, uint32_t child);
    void eraseEntry(size_t at, size_t keyLength);
    // Moves entries [from, count) to the end of `to`.
    void moveTail(size_t from, size_t keyLength, Node& to);
};

// Bit widths of a leaf's packed entries. The record number takes the low bits, then the
// duplicate count, then the trailing count; together they fill `bytes` bytes exactly.
struct LeafLayout {
    uint8_t recBits = 0;
    uint8_t dupBits = 0;
    uint8_t trailBits = 0;
    uint8_t bytes = 0;

    uint32_t recnoOf(uint64_t packed) const { return static_cast<uint32_t>(packed & recMask()); }
    size_t dupOf(uint64_t packed) const { return (packed >> recBits) & dupMask(); }
    size_t trailOf(uint64_t packed) const { return (packed >> (recBits + dupBits)) & trailMask(); }
    // Writes one entry of the table at `at`: `bytes` long, lowest byte first.
    void putEntry(uint8_t* at, uint32_t recno, uint64_t dup, uint64_t trail) const;
    // Writes the masks and widths into a leaf page's header (bytes 14 to 23).
    void putInto(uint8_t* page) const;
    // The widths a leaf page's header gives (bytes 20 to 23), unchecked.
    static LeafLayout readFrom(const uint8_t* page);

    uint32_t recMask() const { return recBits >= 32 ? 0xFFFFFFFFu : ((1u << recBits) - 1); }
    uint8_t dupMask() const { return static_cast<uint8_t>((1u << dupBits) - 1); }
    uint8_t trailMask() const { return static_cast<uint8_t>((1u << trailBits) - 1); }
};

// The narrowest layout that holds `maxRecno`: three bytes while the record numbers fit,
// one more byte each time they do not.
LeafLayout leafLayout(uint16_t keyLength, uint32_t maxRecno);

// Number of pad bytes at the end of `key`.
size_t trailingPad(std::string_view key, uint8_t pad);

// Bytes a leaf stores for `key` after `previous` (empty for a leaf's first key): the part
// that is neither shared with `previous` nor trailing pad. The shared part never reaches
// into the trailing pad of either key.
struct KeyCompression {
    size_t dup = 0;
    size_t trail = 0;
    size_t stored = 0;
};
KeyCompression compressKey(std::string_view previous, size_t previousTrail, std::string_view key,
                           uint8_t pad);

// Bytes the entries of leaf `node` need (entry table and key bytes); they fit in one page
// when this is at most kLeafSpace.
size_t leafBytes(const Node& node, uint16_t keyLength, uint8_t pad);
size_t leafBytes(const Node& node, size_t begin, size_t end, uint16_t keyLength, uint8_t pad);

size_t interiorCapacity(uint16_t keyLength);

// Encoders write the whole page; they return false when the entries do not fit in it.
bool encodeLeaf(const Node& node, uint16_t keyLength, uint8_t pad, uint8_t* page);
bool encodeInterior(const Node& node, uint16_t keyLength, uint8_t* page);

// The page of leaf `node` right after entry `at` went into it, made from `before`, the page
// encodeLeaf() wrote for the node without that entry: the entry table moves up by one
// entry, the new entry goes in, the entry after it is compressed again against the new key,
// and the key bytes of the entries after those two move down. Writes the page to `out`,
// another buffer than `before`, and returns true; returns false, with `out` undefined, when
// the entries get wider or no longer fit, which only encodeLeaf() and a split handle.
bool patchLeafInsert(const uint8_t* before, const Node& node, size_t at, uint16_t keyLength,
                     uint8_t pad, uint8_t* out);
// For tests: while on, patchLeafInsert() encodes every page it patches in full as well and
// throws std::logic_error when the two differ in any byte.
void setPatchCheck(bool on);

// What a decoded leaf says about itself beyond its entries; checked by verify().
struct LeafFacts {
    uint16_t storedFreeSpace = 0;
    uint16_t actualFreeSpace = 0;
    bool firstEntryHasDup = false;
};

// Decodes a page into `out`. Returns an empty text on success, otherwise what is wrong
// with the page ("key bytes run into the entry table"). Leaf keys get their trailing pad
// back, so every key in `out` is exactly keyLength bytes long.
std::string decodeNode(const uint8_t* page, uint16_t keyLength, uint8_t pad, Node& out,
                       LeafFacts* facts = nullptr);

}  // namespace xbase::cdx
