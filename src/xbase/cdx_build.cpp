// Building a tag in one pass: sort the entries, pack them into leaves, then build each
// interior level over the one below until a level has a single node, the root.

#include <algorithm>
#include <cstring>
#include <utility>

#include "byte_order.h"
#include "cdx_tree.h"

namespace xbase::cdx {
namespace {

struct SortItem {
    uint64_t chunk;  // eight key bytes, big-endian, so that integers order like the bytes
    uint32_t index;
};

// Below this many items a comparison sort of the whole keys beats another round of
// sorting by chunks; below the second, sorting the chunks by comparison beats radix passes.
constexpr size_t kChunkThreshold = 64;
constexpr size_t kRadixThreshold = 1024;

// Stable LSD radix sort of [begin, end) on the chunk, one byte per pass. A pass over a
// byte that is the same in every item (the blanks at the end of short names, say) is
// skipped.
void radixSortByChunk(SortItem* begin, SortItem* end, SortItem* scratch) {
    const size_t n = static_cast<size_t>(end - begin);
    uint32_t counts[8][256] = {};
    for (const SortItem* item = begin; item != end; ++item)
        for (int b = 0; b < 8; ++b) ++counts[b][(item->chunk >> (8 * b)) & 0xFF];
    SortItem* from = begin;
    SortItem* to = scratch;
    for (int b = 0; b < 8; ++b) {
        if (counts[b][(begin->chunk >> (8 * b)) & 0xFF] == n) continue;
        uint32_t start = 0;
        for (uint32_t& c : counts[b]) start += std::exchange(c, start);
        for (const SortItem* item = from; item != from + n; ++item)
            to[counts[b][(item->chunk >> (8 * b)) & 0xFF]++] = *item;
        std::swap(from, to);
    }
    if (from != begin) std::copy(from, from + n, begin);
}

class KeySorter {
  public:
    explicit KeySorter(const BulkKeys& keys)
        : keys_(keys), bytes_(reinterpret_cast<const uint8_t*>(keys.bytes.data())) {}

    // Orders [begin, end), whose keys agree on their first `offset` bytes, by the rest of
    // the key and then by record number: radix passes over the next eight bytes, then
    // the same again inside each run of items that agree on them.
    void sort(SortItem* begin, SortItem* end, SortItem* scratch, size_t offset) const {
        const size_t length = keys_.keyLength;
        if (offset >= length) {
            std::sort(begin, end, [&](const SortItem& a, const SortItem& b) {
                return keys_.recnos[a.index] < keys_.recnos[b.index];
            });
            return;
        }
        const auto n = static_cast<size_t>(end - begin);
        if (n < kChunkThreshold) {
            std::sort(begin, end, [&](const SortItem& a, const SortItem& b) {
                const int c = std::memcmp(bytes_ + a.index * length + offset,
                                          bytes_ + b.index * length + offset, length - offset);
                if (c != 0) return c < 0;
                return keys_.recnos[a.index] < keys_.recnos[b.index];
            });
            return;
        }
        const size_t take = std::min<size_t>(8, length - offset);
        for (SortItem* item = begin; item != end; ++item) {
            const uint8_t* key = bytes_ + item->index * length + offset;
            uint64_t chunk = 0;
            if (take == 8) {
                for (size_t b = 0; b < 8; ++b) chunk = (chunk << 8) | key[b];  // one load
            } else {
                for (size_t b = 0; b < 8; ++b) chunk = (chunk << 8) | (b < take ? key[b] : 0);
            }
            item->chunk = chunk;
        }
        if (n < kRadixThreshold)
            std::sort(begin, end,
                      [](const SortItem& a, const SortItem& b) { return a.chunk < b.chunk; });
        else
            radixSortByChunk(begin, end, scratch);
        for (SortItem* run = begin; run != end;) {
            SortItem* runEnd = run + 1;
            while (runEnd != end && runEnd->chunk == run->chunk) ++runEnd;
            if (runEnd - run > 1) sort(run, runEnd, scratch + (run - begin), offset + take);
            run = runEnd;
        }
    }

  private:
    const BulkKeys& keys_;
    const uint8_t* bytes_;
};

struct Span {
    size_t begin;
    size_t end;
};

}  // namespace

std::vector<uint32_t> sortedOrder(const BulkKeys& keys) {
    const size_t n = keys.count();
    std::vector<SortItem> items(n);
    for (size_t i = 0; i < n; ++i) items[i] = {0, static_cast<uint32_t>(i)};
    std::vector<SortItem> scratch(n);
    KeySorter(keys).sort(items.data(), items.data() + n, scratch.data(), 0);

    std::vector<uint32_t> order;
    order.reserve(n);
    for (const SortItem& item : items) {
        if (!order.empty()) {
            const uint32_t previous = order.back();
            if (keys.recnos[previous] == keys.recnos[item.index] &&
                keys.key(previous) == keys.key(item.index))
                continue;  // the same entry twice
        }
        order.push_back(item.index);
    }
    return order;
}

namespace {

// Fills leaf pages in order. Key bytes go into the page as each entry is added; the entry
// table waits for the leaf to be complete, since its width depends on the largest record
// number in the leaf.
class LeafWriter {
  public:
    LeafWriter(uint16_t keyLength, uint8_t pad, std::string& pages)
        : keyLength_(keyLength), pad_(pad), pages_(pages) {}

    // Adds an entry to the current leaf, or closes it and starts the next when it is full.
    void add(std::string_view key, uint32_t recno, uint32_t entry) {
        KeyCompression c = compressKey(previous_, previousTrail_, key, pad_);
        if (!entries_.empty()) {
            const uint32_t wider = std::max(maxRecno_, recno);
            if ((entries_.size() + 1) * leafLayout(keyLength_, wider).bytes + keyBytes_ + c.stored >
                kLeafSpace) {
                close();
                c = compressKey({}, 0, key, pad_);
            }
        }
        if (entries_.empty()) {
            pages_.resize(pages_.size() + kPageSize);  // zero-filled
            maxRecno_ = 0;
            keyBytes_ = 0;
        }
        uint8_t* page = currentPage();
        keyBytes_ += c.stored;
        std::memcpy(page + kPageSize - keyBytes_, key.data() + c.dup, c.stored);
        entries_.push_back({recno, static_cast<uint8_t>(c.dup), static_cast<uint8_t>(c.trail)});
        maxRecno_ = std::max(maxRecno_, recno);
        previous_ = key;
        previousTrail_ = c.trail;
        lastEntry_ = entry;
    }

    // Writes the entry table and the header of the current leaf, all but the attributes
    // and siblings. An empty tag still gets its one (empty) leaf.
    void close() {
        if (entries_.empty() && !lastEntries.empty()) return;
        if (entries_.empty()) pages_.resize(pages_.size() + kPageSize);
        uint8_t* page = currentPage();
        const LeafLayout layout = leafLayout(keyLength_, maxRecno_);
        uint8_t* slot = page + kLeafHeaderSize;
        for (const Entry& e : entries_) {
            layout.putEntry(slot, e.recno, e.dup, e.trail);
            slot += layout.bytes;
        }
        putLe16(page + 2, static_cast<uint16_t>(entries_.size()));
        putLe16(page + 12,
                static_cast<uint16_t>(kLeafSpace - entries_.size() * layout.bytes - keyBytes_));
        layout.putInto(page);
        lastEntries.push_back(entries_.empty() ? kNoEntry : lastEntry_);
        entries_.clear();
        previous_ = {};
        previousTrail_ = 0;
    }

    static constexpr uint32_t kNoEntry = 0xFFFFFFFF;
    std::vector<uint32_t> lastEntries;  // per leaf: its last entry, an index into the keys

  private:
    struct Entry {
        uint32_t recno;
        uint8_t dup;
        uint8_t trail;
    };
    uint8_t* currentPage() {
        return reinterpret_cast<uint8_t*>(pages_.data()) + pages_.size() - kPageSize;
    }

    uint16_t keyLength_;
    uint8_t pad_;
    std::string& pages_;
    std::vector<Entry> entries_;
    uint32_t maxRecno_ = 0;
    size_t keyBytes_ = 0;
    std::string_view previous_;
    size_t previousTrail_ = 0;
    uint32_t lastEntry_ = kNoEntry;
};

}  // namespace

uint32_t buildTree(PageStore& store, const BulkKeys& keys, const std::vector<uint32_t>& order,
                   uint8_t pad) {
    const uint16_t keyLength = keys.keyLength;
    if (keyLength > kMaxKeyLength || keyLength + 8u > kLeafSpace)
        throw store.corruption("a node of a new tag does not fit its page");

    // Leaves, packed full. No entry takes more than its key and eight bytes, which bounds
    // the pages they need, and each interior node has at least two entries.
    const size_t capacity = interiorCapacity(keyLength);
    const size_t mostLeaves = order.size() * (keyLength + 8u) / kLeafSpace + 1;
    std::string pages;
    pages.reserve((mostLeaves + mostLeaves / (capacity - 1) + kMaxKeyLength) * kPageSize);
    LeafWriter leaves(keyLength, pad, pages);
    for (const uint32_t entry : order) leaves.add(keys.key(entry), keys.recnos[entry], entry);
    leaves.close();

    // Interior levels, their nodes evenly filled.
    std::vector<std::vector<Span>> levels{{}};
    const size_t leafCount = leaves.lastEntries.size();
    for (size_t j = 0; j < leafCount; ++j) levels[0].push_back({j, j + 1});
    while (levels.back().size() > 1) {
        const size_t below = levels.back().size();
        const size_t nodes = (below + capacity - 1) / capacity;
        std::vector<Span> level;
        for (size_t j = 0; j < nodes; ++j)
            level.push_back({below * j / nodes, below * (j + 1) / nodes});
        levels.push_back(std::move(level));
    }

    size_t total = 0;
    for (const auto& level : levels) total += level.size();
    const uint32_t first = store.appendPages(total);
    pages.resize(total * kPageSize);

    // Level l starts at page levelStart[l]; node j of it holds the entries of nodes
    // [span.begin, span.end) of the level below.
    std::vector<size_t> levelStart(levels.size(), 0);
    for (size_t l = 1; l < levels.size(); ++l)
        levelStart[l] = levelStart[l - 1] + levels[l - 1].size();
    const auto offsetOf = [&](size_t l, size_t j) {
        return static_cast<uint32_t>(first + (levelStart[l] + j) * kPageSize);
    };
    std::vector<uint32_t> lastBelow = std::move(leaves.lastEntries);
    auto* base = reinterpret_cast<uint8_t*>(pages.data());
    for (size_t l = 0; l < levels.size(); ++l) {
        const bool rootLevel = l + 1 == levels.size();
        std::vector<uint32_t> lastHere;
        for (size_t j = 0; j < levels[l].size(); ++j) {
            uint8_t* page = base + (levelStart[l] + j) * kPageSize;
            const Span span = levels[l][j];
            if (l > 0) {
                uint8_t* slot = page + kNodeHeaderSize;
                for (size_t i = span.begin; i < span.end; ++i) {
                    const uint32_t entry = lastBelow[i];
                    std::memcpy(slot, keys.key(entry).data(), keyLength);
                    putBe32(slot + keyLength, keys.recnos[entry]);
                    putBe32(slot + keyLength + 4, offsetOf(l - 1, i));
                    slot += keyLength + 8;
                }
                putLe16(page + 2, static_cast<uint16_t>(span.end - span.begin));
                lastHere.push_back(lastBelow[span.end - 1]);
            }
            putLe16(page,
                    static_cast<uint16_t>((l == 0 ? kLeafBit : 0) | (rootLevel ? kRootBit : 0)));
            putLe32(page + 4, j > 0 ? offsetOf(l, j - 1) : kNoPage);
            putLe32(page + 8, j + 1 < levels[l].size() ? offsetOf(l, j + 1) : kNoPage);
        }
        if (l > 0) lastBelow = std::move(lastHere);
    }
    store.stage(first, std::move(pages));
    return offsetOf(levels.size() - 1, 0);
}

}  // namespace xbase::cdx
