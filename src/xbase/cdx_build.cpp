// Building a tag in one pass: sort the entries, pack them into leaves, then build each
// interior level over the one below until a level has a single node, the root.

#include <algorithm>
#include <cstring>
#include <utility>

#include "cdx_tree.h"

namespace xbase::cdx {
namespace {

struct SortItem {
    uint64_t chunk;  // eight key bytes, big-endian, so that integers order like the bytes
    uint32_t index;
};

// Below this many items a comparison sort beats another round of radix passes.
constexpr size_t kRadixThreshold = 64;

// Stable LSD radix sort of [begin, end) on the chunk, one byte per pass. A pass over a
// byte that is the same in every item (the blanks at the end of short names, say) is
// skipped.
void radixSortByChunk(SortItem* begin, SortItem* end, SortItem* scratch) {
    const size_t n = static_cast<size_t>(end - begin);
    size_t counts[8][256] = {};
    for (const SortItem* item = begin; item != end; ++item)
        for (int b = 0; b < 8; ++b) ++counts[b][(item->chunk >> (8 * b)) & 0xFF];
    SortItem* from = begin;
    SortItem* to = scratch;
    for (int b = 0; b < 8; ++b) {
        if (std::any_of(std::begin(counts[b]), std::end(counts[b]),
                        [n](size_t c) { return c == n; }))
            continue;
        size_t start = 0;
        for (size_t& c : counts[b]) start += std::exchange(c, start);
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
        if (static_cast<size_t>(end - begin) < kRadixThreshold) {
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
            for (size_t b = 0; b < 8; ++b) chunk = (chunk << 8) | (b < take ? key[b] : 0);
            item->chunk = chunk;
        }
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

uint32_t buildTree(PageStore& store, const BulkKeys& keys, const std::vector<uint32_t>& order,
                   uint8_t pad) {
    const uint16_t keyLength = keys.keyLength;

    // Leaves, packed full.
    std::vector<Span> leaves;
    {
        size_t begin = 0;
        size_t keyBytes = 0;
        uint32_t maxRecno = 0;
        std::string_view previous;
        size_t previousTrail = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            const std::string_view key = keys.key(order[i]);
            const uint32_t recno = keys.recnos[order[i]];
            KeyCompression c = compressKey(previous, previousTrail, key, pad);
            uint32_t wider = std::max(maxRecno, recno);
            if (i > begin &&
                (i - begin + 1) * leafLayout(keyLength, wider).bytes + keyBytes + c.stored >
                    kLeafSpace) {
                leaves.push_back({begin, i});
                begin = i;
                keyBytes = 0;
                c = compressKey({}, 0, key, pad);
                wider = recno;
            }
            keyBytes += c.stored;
            maxRecno = wider;
            previous = key;
            previousTrail = c.trail;
        }
        leaves.push_back({begin, order.size()});  // an empty tag still has its root leaf
    }

    // Interior levels, their nodes evenly filled.
    std::vector<std::vector<Span>> levels{std::move(leaves)};
    const size_t capacity = interiorCapacity(keyLength);
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

    std::vector<std::vector<uint32_t>> offsets(levels.size());
    std::vector<std::vector<uint32_t>> lastEntry(levels.size());  // index into `keys`
    uint32_t next = first;
    for (size_t l = 0; l < levels.size(); ++l) {
        for (const Span& span : levels[l]) {
            offsets[l].push_back(next);
            next += kPageSize;
            if (span.end > span.begin)
                lastEntry[l].push_back(l == 0 ? order[span.end - 1]
                                              : lastEntry[l - 1][span.end - 1]);
        }
    }

    std::string buffer(total * kPageSize, '\0');
    auto* page = reinterpret_cast<uint8_t*>(buffer.data());
    for (size_t l = 0; l < levels.size(); ++l) {
        const bool leafLevel = l == 0;
        const bool rootLevel = l + 1 == levels.size();
        for (size_t j = 0; j < levels[l].size(); ++j, page += kPageSize) {
            Node node;
            node.attributes =
                static_cast<uint16_t>((leafLevel ? kLeafBit : 0) | (rootLevel ? kRootBit : 0));
            node.left = j > 0 ? offsets[l][j - 1] : kNoPage;
            node.right = j + 1 < levels[l].size() ? offsets[l][j + 1] : kNoPage;
            const Span span = levels[l][j];
            for (size_t i = span.begin; i < span.end; ++i) {
                const uint32_t entry = leafLevel ? order[i] : lastEntry[l - 1][i];
                node.keys.append(keys.key(entry));
                node.recnos.push_back(keys.recnos[entry]);
                if (!leafLevel) node.children.push_back(offsets[l - 1][i]);
            }
            const bool fits = leafLevel ? encodeLeaf(node, keyLength, pad, page)
                                        : encodeInterior(node, keyLength, page);
            if (!fits) throw store.corruption("a node of a new tag does not fit its page");
        }
    }
    store.stage(first, buffer.data(), buffer.size());
    return offsets.back().front();
}

}  // namespace xbase::cdx
