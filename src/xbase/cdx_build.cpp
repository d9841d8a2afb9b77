// Building a tag in one pass: sort the entries, pack them into leaves, then build each
// interior level over the one below until a level has a single node, the root.

#include <algorithm>
#include <cstring>
#include <utility>

#include "cdx_tree.h"

namespace xbase::cdx {
namespace {

struct SortItem {
    uint64_t prefix;  // the first eight key bytes, big-endian, so integers order like keys
    uint32_t index;
};

// Stable LSD radix sort on the prefix, one byte per pass. A pass over a byte that is the
// same in every key (the blanks at the end of short names, say) is skipped.
void radixSortByPrefix(std::vector<SortItem>& items) {
    const size_t n = items.size();
    std::vector<SortItem> scratch(n);
    size_t counts[8][256] = {};
    for (const SortItem& item : items)
        for (int b = 0; b < 8; ++b) ++counts[b][(item.prefix >> (8 * b)) & 0xFF];
    for (int b = 0; b < 8; ++b) {
        if (std::any_of(std::begin(counts[b]), std::end(counts[b]),
                        [n](size_t c) { return c == n; }))
            continue;
        size_t start = 0;
        for (size_t& c : counts[b]) start += std::exchange(c, start);
        for (const SortItem& item : items)
            scratch[counts[b][(item.prefix >> (8 * b)) & 0xFF]++] = item;
        items.swap(scratch);
    }
}

struct Span {
    size_t begin;
    size_t end;
};

}  // namespace

std::vector<uint32_t> sortedOrder(const BulkKeys& keys) {
    const size_t n = keys.count();
    const size_t length = keys.keyLength;
    const auto* bytes = reinterpret_cast<const uint8_t*>(keys.bytes.data());
    const size_t head = std::min<size_t>(8, length);

    std::vector<SortItem> items(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* key = bytes + i * length;
        uint64_t prefix = 0;
        for (size_t b = 0; b < 8; ++b) prefix = (prefix << 8) | (b < head ? key[b] : 0);
        items[i] = {prefix, static_cast<uint32_t>(i)};
    }
    radixSortByPrefix(items);

    // Equal prefixes: the rest of the key decides, then the record number.
    const auto byRest = [&](const SortItem& a, const SortItem& b) {
        if (length > 8) {
            const int c =
                std::memcmp(bytes + a.index * length + 8, bytes + b.index * length + 8, length - 8);
            if (c != 0) return c < 0;
        }
        return keys.recnos[a.index] < keys.recnos[b.index];
    };
    for (size_t begin = 0; begin < n;) {
        size_t end = begin + 1;
        while (end < n && items[end].prefix == items[begin].prefix) ++end;
        if (end - begin > 1)
            std::sort(items.begin() + static_cast<std::ptrdiff_t>(begin),
                      items.begin() + static_cast<std::ptrdiff_t>(end), byRest);
        begin = end;
    }

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
