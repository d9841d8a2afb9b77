#include "cdx_page.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "byte_order.h"

namespace xbase::cdx {
namespace {

// Leaf entries are little-endian integers of 1 to 8 bytes; nearly always 3 or 4, which
// get loops of a fixed length that the compiler turns into a few loads or stores.
template <size_t N>
uint64_t getLeFixed(const uint8_t* p) {
    uint64_t v = 0;
    for (size_t i = 0; i < N; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

template <size_t N>
void putLeFixed(uint8_t* p, uint64_t v) {
    for (size_t i = 0; i < N; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t getLeN(const uint8_t* p, size_t n) {
    if (n == 3) return getLeFixed<3>(p);
    if (n == 4) return getLeFixed<4>(p);
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

void putLeN(uint8_t* p, size_t n, uint64_t v) {
    if (n == 3) return putLeFixed<3>(p, v);
    if (n == 4) return putLeFixed<4>(p, v);
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void Node::insertEntry(size_t at, std::string_view key, uint32_t recno, uint32_t child) {
    keys.insert(at * key.size(), key.data(), key.size());
    recnos.insert(recnos.begin() + static_cast<std::ptrdiff_t>(at), recno);
    if (!isLeaf()) children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), child);
}

void Node::eraseEntry(size_t at, size_t keyLength) {
    keys.erase(at * keyLength, keyLength);
    recnos.erase(recnos.begin() + static_cast<std::ptrdiff_t>(at));
    if (!isLeaf()) children.erase(children.begin() + static_cast<std::ptrdiff_t>(at));
}

void Node::moveTail(size_t from, size_t keyLength, Node& to) {
    const auto cut = static_cast<std::ptrdiff_t>(from);
    to.keys.append(keys, from * keyLength, std::string::npos);
    keys.resize(from * keyLength);
    to.recnos.insert(to.recnos.end(), recnos.begin() + cut, recnos.end());
    recnos.resize(from);
    if (!isLeaf()) {
        to.children.insert(to.children.end(), children.begin() + cut, children.end());
        children.resize(from);
    }
}

LeafLayout leafLayout(uint16_t keyLength, uint32_t maxRecno) {
    // The counts need enough bits to hold the key length itself (a blank key trails it all).
    const int countBits = std::max(1, static_cast<int>(std::bit_width(keyLength)));
    int bytes = countBits <= 8 ? 3 : (countBits <= 12 ? 4 : 5);
    int recBits = 8 * bytes - 2 * countBits;
    while (recBits < 32 && maxRecno > (uint64_t{1} << recBits) - 1) {
        ++bytes;
        recBits += 8;
    }
    int dupBits = countBits;
    int trailBits = countBits;
    if (recBits > 32) {
        // Record numbers are 32 bits; hand the spare bits to the counts so that the
        // fields still fill the entry and the counts stay in its top bits.
        const int spare = recBits - 32;
        recBits = 32;
        dupBits += spare / 2;
        trailBits += spare - spare / 2;
    }
    LeafLayout layout;
    layout.recBits = static_cast<uint8_t>(recBits);
    layout.dupBits = static_cast<uint8_t>(dupBits);
    layout.trailBits = static_cast<uint8_t>(trailBits);
    layout.bytes = static_cast<uint8_t>(bytes);
    return layout;
}

// Both scans below go eight bytes at a time where they can: they run for every key of a
// leaf each time the leaf is written, and on every key of a bulk build.
namespace {

uint64_t load64(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

}  // namespace

void LeafLayout::putInto(uint8_t* page) const {
    putLe32(page + 14, recMask());
    page[18] = dupMask();
    page[19] = trailMask();
    page[20] = recBits;
    page[21] = dupBits;
    page[22] = trailBits;
    page[23] = bytes;
}

void LeafLayout::putEntry(uint8_t* at, uint32_t recno, uint64_t dup, uint64_t trail) const {
    putLeN(at, bytes, uint64_t{recno} | (dup << recBits) | (trail << (recBits + dupBits)));
}

LeafLayout LeafLayout::readFrom(const uint8_t* page) {
    LeafLayout layout;
    layout.recBits = page[20];
    layout.dupBits = page[21];
    layout.trailBits = page[22];
    layout.bytes = page[23];
    return layout;
}

size_t trailingPad(std::string_view key, uint8_t pad) {
    size_t n = key.size();
    if constexpr (kLittleEndian) {
        const uint64_t pads = 0x0101010101010101ull * pad;
        while (n >= 8) {
            // The last byte in memory is the most significant one.
            const uint64_t differ = load64(key.data() + n - 8) ^ pads;
            if (differ != 0) return key.size() - n + std::countl_zero(differ) / 8;
            n -= 8;
        }
    }
    while (n > 0 && static_cast<uint8_t>(key[n - 1]) == pad) --n;
    return key.size() - n;
}

KeyCompression compressKey(std::string_view previous, size_t previousTrail, std::string_view key,
                           uint8_t pad) {
    KeyCompression c;
    c.trail = trailingPad(key, pad);
    if (!previous.empty()) {
        const size_t limit = key.size() - std::max(previousTrail, c.trail);
        if constexpr (kLittleEndian) {
            while (c.dup + 8 <= limit) {
                const uint64_t differ =
                    load64(previous.data() + c.dup) ^ load64(key.data() + c.dup);
                if (differ != 0) {
                    c.dup += std::countr_zero(differ) / 8;
                    c.stored = key.size() - c.dup - c.trail;
                    return c;
                }
                c.dup += 8;
            }
        }
        while (c.dup < limit && previous[c.dup] == key[c.dup]) ++c.dup;
    }
    c.stored = key.size() - c.dup - c.trail;
    return c;
}

size_t leafBytes(const Node& node, size_t begin, size_t end, uint16_t keyLength, uint8_t pad) {
    if (begin >= end) return 0;
    uint32_t maxRecno = 0;
    size_t keyBytes = 0;
    std::string_view previous;
    size_t previousTrail = 0;
    for (size_t i = begin; i < end; ++i) {
        maxRecno = std::max(maxRecno, node.recnos[i]);
        const std::string_view key = node.key(i, keyLength);
        const KeyCompression c = compressKey(previous, previousTrail, key, pad);
        keyBytes += c.stored;
        previous = key;
        previousTrail = c.trail;
    }
    return (end - begin) * leafLayout(keyLength, maxRecno).bytes + keyBytes;
}

size_t leafBytes(const Node& node, uint16_t keyLength, uint8_t pad) {
    return leafBytes(node, 0, node.count(), keyLength, pad);
}

size_t interiorCapacity(uint16_t keyLength) {
    return kInteriorSpace / (keyLength + 8u);
}

namespace {

void putNodeHeader(const Node& node, uint8_t* page) {
    putLe16(page, node.attributes);
    putLe16(page + 2, static_cast<uint16_t>(node.count()));
    putLe32(page + 4, node.left);
    putLe32(page + 8, node.right);
}

std::string describeEntry(const char* what, size_t index) {
    return std::string(what) + " of entry " + std::to_string(index);
}

}  // namespace

bool encodeLeaf(const Node& node, uint16_t keyLength, uint8_t pad, uint8_t* page) {
    std::memset(page, 0, kPageSize);
    uint32_t maxRecno = 0;
    for (uint32_t r : node.recnos) maxRecno = std::max(maxRecno, r);
    const LeafLayout layout = leafLayout(keyLength, maxRecno);

    size_t table = kLeafHeaderSize;  // next entry goes here
    size_t bytesStart = kPageSize;   // key bytes start here
    std::string_view previous;
    size_t previousTrail = 0;
    for (size_t i = 0; i < node.count(); ++i) {
        const std::string_view key = node.key(i, keyLength);
        const KeyCompression c = compressKey(previous, previousTrail, key, pad);
        if (table + layout.bytes + c.stored > bytesStart) return false;
        layout.putEntry(page + table, node.recnos[i], c.dup, c.trail);
        table += layout.bytes;
        bytesStart -= c.stored;
        std::memcpy(page + bytesStart, key.data() + c.dup, c.stored);
        previous = key;
        previousTrail = c.trail;
    }
    putNodeHeader(node, page);
    putLe16(page + 12, static_cast<uint16_t>(bytesStart - table));
    layout.putInto(page);
    return true;
}

namespace {

std::atomic<bool> patchCheck{false};

// What a packed leaf entry says about its key's bytes.
struct EntryCounts {
    size_t stored = 0;
    size_t trail = 0;
};

EntryCounts countsAt(const uint8_t* page, size_t i, const LeafLayout& layout, uint16_t keyLength) {
    const uint64_t packed = getLeN(page + kLeafHeaderSize + i * layout.bytes, layout.bytes);
    const size_t trail = layout.trailOf(packed);
    return {keyLength - layout.dupOf(packed) - trail, trail};
}

void checkAgainstFullEncoding(const Node& node, uint16_t keyLength, uint8_t pad,
                              const uint8_t* patched) {
    Page full;
    if (!encodeLeaf(node, keyLength, pad, full.data()))
        throw std::logic_error("a patched leaf holds entries that do not fit in a page");
    const auto differ = std::mismatch(full.begin(), full.end(), patched);
    if (differ.first != full.end())
        throw std::logic_error("a patched leaf differs from its full encoding at byte " +
                               std::to_string(differ.first - full.begin()));
}

}  // namespace

void setPatchCheck(bool on) {
    patchCheck.store(on, std::memory_order_relaxed);
}

bool patchLeafInsert(const uint8_t* before, const Node& node, size_t at, uint16_t keyLength,
                     uint8_t pad, uint8_t* out) {
    const size_t count = node.count();  // with the new entry
    if (!node.isLeaf() || at >= count || getLe16(before + 2) + size_t{1} != count) return false;
    const LeafLayout layout = LeafLayout::readFrom(before);
    // A record number wider than the others widens every entry of the leaf.
    if (node.recnos[at] > layout.recMask()) return false;

    const size_t width = layout.bytes;
    const size_t countBefore = count - 1;
    const size_t tableEnd = kLeafHeaderSize + count * width;
    const size_t bytesStartBefore = tableEnd - width + getLe16(before + 12);
    // The key bytes of the entries ahead of `at` fill the page from `end` on; they are
    // counted from whichever end of the table is nearer.
    size_t end = kPageSize;
    if (at <= countBefore / 2) {
        for (size_t i = 0; i < at; ++i) end -= countsAt(before, i, layout, keyLength).stored;
    } else {
        end = bytesStartBefore;
        for (size_t i = at; i < countBefore; ++i)
            end += countsAt(before, i, layout, keyLength).stored;
    }

    std::string_view previous;
    size_t previousTrail = 0;
    if (at > 0) {
        previous = node.key(at - 1, keyLength);
        previousTrail = countsAt(before, at - 1, layout, keyLength).trail;
    }
    const std::string_view key = node.key(at, keyLength);
    const KeyCompression added = compressKey(previous, previousTrail, key, pad);
    const bool followed = at < countBefore;
    std::string_view next;
    KeyCompression following;
    size_t followingBefore = 0;  // what the next entry stored while it followed `previous`
    if (followed) {
        next = node.key(at + 1, keyLength);
        following = compressKey(key, added.trail, next, pad);
        followingBefore = countsAt(before, at, layout, keyLength).stored;
    }
    // A key sorted in between two others shares at least as much with the one after it as
    // the one before it did, so the key bytes never shrink: those of the later entries move
    // towards the table and leave nothing behind to clear. Were it otherwise, encodeLeaf()
    // would do the work.
    if (added.stored + following.stored < followingBefore) return false;
    // The key bytes of the entries after those two: [bytesStartBefore, tailEnd) in `before`,
    // ending where the next entry's bytes begin in `out`.
    const size_t tailEnd = end - followingBefore;
    const size_t tail = tailEnd - bytesStartBefore;
    if (end < tableEnd + tail + added.stored + following.stored) return false;  // a split then
    const size_t tailEndAfter = end - added.stored - following.stored;
    const size_t bytesStart = tailEndAfter - tail;

    std::memcpy(out, before, kPageSize);
    std::memmove(out + bytesStart, out + bytesStartBefore, tail);
    std::memcpy(out + end - added.stored, key.data() + added.dup, added.stored);
    if (followed) std::memcpy(out + tailEndAfter, next.data() + following.dup, following.stored);

    uint8_t* entry = out + kLeafHeaderSize + at * width;
    std::memmove(entry + width, entry, (countBefore - at) * width);
    layout.putEntry(entry, node.recnos[at], added.dup, added.trail);
    if (followed)
        layout.putEntry(entry + width, node.recnos[at + 1], following.dup, following.trail);
    putNodeHeader(node, out);
    putLe16(out + 12, static_cast<uint16_t>(bytesStart - tableEnd));

    if (patchCheck.load(std::memory_order_relaxed))
        checkAgainstFullEncoding(node, keyLength, pad, out);
    return true;
}

bool encodeInterior(const Node& node, uint16_t keyLength, uint8_t* page) {
    if (node.count() > interiorCapacity(keyLength)) return false;
    std::memset(page, 0, kPageSize);
    putNodeHeader(node, page);
    uint8_t* entry = page + kNodeHeaderSize;
    for (size_t i = 0; i < node.count(); ++i) {
        std::memcpy(entry, node.keys.data() + i * keyLength, keyLength);
        putBe32(entry + keyLength, node.recnos[i]);
        putBe32(entry + keyLength + 4, node.children[i]);
        entry += keyLength + 8;
    }
    return true;
}

std::string decodeNode(const uint8_t* page, uint16_t keyLength, uint8_t pad, Node& out,
                       LeafFacts* facts) {
    out = Node{};
    out.attributes = getLe16(page);
    const size_t count = getLe16(page + 2);
    out.left = getLe32(page + 4);
    out.right = getLe32(page + 8);
    if (out.attributes > (kRootBit | kLeafBit)) {
        char text[64];
        std::snprintf(text, sizeof text, "attributes 0x%04X are not those of an index node",
                      out.attributes);
        return text;
    }
    out.keys.reserve(count * keyLength);
    out.recnos.reserve(count);

    if (!out.isLeaf()) {
        if (count == 0) return "interior node has no keys";
        if (count > interiorCapacity(keyLength))
            return "key count " + std::to_string(count) + " does not fit in a page";
        out.children.reserve(count);
        const uint8_t* entry = page + kNodeHeaderSize;
        for (size_t i = 0; i < count; ++i) {
            out.keys.append(reinterpret_cast<const char*>(entry), keyLength);
            out.recnos.push_back(getBe32(entry + keyLength));
            out.children.push_back(getBe32(entry + keyLength + 4));
            entry += keyLength + 8;
        }
        return {};
    }

    const LeafLayout layout = LeafLayout::readFrom(page);
    const uint16_t storedFree = getLe16(page + 12);
    const uint32_t recMask = getLe32(page + 14);
    const uint8_t dupMask = page[18];
    const uint8_t trailMask = page[19];
    if (layout.bytes < 1 || layout.bytes > 8)
        return "entry size " + std::to_string(layout.bytes) + " is not between 1 and 8 bytes";
    if (layout.recBits > 32 || layout.dupBits > 8 || layout.trailBits > 8 ||
        layout.recBits + layout.dupBits + layout.trailBits > 8 * layout.bytes)
        return "bit widths " + std::to_string(layout.recBits) + "/" +
               std::to_string(layout.dupBits) + "/" + std::to_string(layout.trailBits) +
               " do not fit " + std::to_string(layout.bytes) + "-byte entries";
    if (recMask != layout.recMask() || dupMask != layout.dupMask() ||
        trailMask != layout.trailMask())
        return "bit masks do not match the bit widths";
    const size_t tableEnd = kLeafHeaderSize + count * layout.bytes;
    if (tableEnd > kPageSize)
        return "key count " + std::to_string(count) + " does not fit in a page";

    bool firstEntryHasDup = false;
    size_t bytesStart = kPageSize;
    const char* previous = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t packed = getLeN(page + kLeafHeaderSize + i * layout.bytes, layout.bytes);
        const uint32_t recno = layout.recnoOf(packed);  // the masks match the widths
        size_t dup = layout.dupOf(packed);
        const size_t trail = layout.trailOf(packed);
        if (i == 0 && dup != 0) {
            // Nothing precedes the first key; other engines read its count as 0 too.
            firstEntryHasDup = true;
            dup = 0;
        }
        if (dup + trail > keyLength)
            return describeEntry("duplicate and trailing counts", i) + " exceed the key length";
        const size_t stored = keyLength - dup - trail;
        if (bytesStart < tableEnd + stored) return "key bytes run into the entry table";
        bytesStart -= stored;
        const size_t start = out.keys.size();
        if (dup > 0) out.keys.append(previous, dup);
        out.keys.append(reinterpret_cast<const char*>(page + bytesStart), stored);
        out.keys.append(trail, static_cast<char>(pad));
        out.recnos.push_back(recno);
        previous = out.keys.data() + start;  // reserve() above keeps this valid
    }
    if (facts) {
        facts->storedFreeSpace = storedFree;
        facts->actualFreeSpace = static_cast<uint16_t>(bytesStart - tableEnd);
        facts->firstEntryHasDup = firstEntryHasDup;
    }
    return {};
}

}  // namespace xbase::cdx
