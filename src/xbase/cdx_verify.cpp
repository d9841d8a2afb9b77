// The consistency check of one tree: reads every page from the file (not the cache) level
// by level, so that it sees what another engine would see.

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "cdx_tree.h"

namespace xbase::cdx {
namespace {

constexpr int kMaxDepth = 32;
constexpr size_t kMaxFaults = 100;

int compareEntries(std::string_view keyA, uint32_t recnoA, std::string_view keyB, uint32_t recnoB) {
    const int bytes = std::memcmp(keyA.data(), keyB.data(), std::min(keyA.size(), keyB.size()));
    if (bytes != 0) return bytes < 0 ? -1 : 1;
    if (keyA.size() != keyB.size()) return keyA.size() < keyB.size() ? -1 : 1;
    return recnoA < recnoB ? -1 : (recnoA > recnoB ? 1 : 0);
}

}  // namespace

std::vector<std::string> Tree::verify() {
    std::vector<std::string> faults;
    check(faults, nullptr);
    return faults;
}

std::vector<uint32_t> Tree::pages() {
    std::vector<std::string> faults;
    std::vector<uint32_t> pages;
    check(faults, &pages);
    if (!faults.empty()) pages.clear();
    return pages;
}

void Tree::check(std::vector<std::string>& faults, std::vector<uint32_t>* pages) {
    const auto fault = [&faults](std::string text) {
        if (faults.size() < kMaxFaults) faults.push_back(std::move(text));
    };
    const auto hex = [](uint32_t offset) { return PageStore::hex(offset); };
    store_.refreshSize();

    struct Item {
        uint32_t offset;
        uint32_t parent;  // kNoPage for the root
        std::string parentKey;
        uint32_t parentRecno;
    };
    std::vector<Item> level{{root_, kNoPage, {}, 0}};
    std::unordered_set<uint32_t> seen;

    for (int depth = 0; !level.empty(); ++depth) {
        if (depth == kMaxDepth) {
            fault("the tree is deeper than any index can be (its pages form a cycle)");
            break;
        }
        std::vector<Item> below;
        bool levelIsLeaf = false;
        bool previousKnown = false;  // whether the node before this one could be read
        uint32_t previousRight = kNoPage;
        std::string previousKey;
        uint32_t previousRecno = 0;

        for (size_t k = 0; k < level.size(); ++k) {
            const Item& item = level[k];
            const std::string where = "node at offset " + hex(item.offset);
            const uint32_t expectedLeft = k == 0 ? kNoPage : level[k - 1].offset;
            if (const std::string bad = store_.checkNodeOffset(item.offset); !bad.empty()) {
                fault(bad);
                previousKnown = false;
                continue;
            }
            if (!seen.insert(item.offset).second) {
                fault(where + " is reached a second time (its pages form a cycle)");
                previousKnown = false;
                continue;
            }
            if (pages) pages->push_back(item.offset);

            uint8_t page[kPageSize];
            store_.readNode(item.offset, page);
            Node node;
            LeafFacts facts;
            if (const std::string bad = decodeNode(page, keyLength_, pad_, node, &facts);
                !bad.empty()) {
                fault(where + ": " + bad);
                previousKnown = false;
                continue;
            }

            if (depth == 0 && !node.isRoot()) fault(where + " is the root but is not marked so");
            if (depth > 0 && node.isRoot()) fault(where + " is marked as a root but is not one");
            if (k == 0)
                levelIsLeaf = node.isLeaf();
            else if (node.isLeaf() != levelIsLeaf)
                fault(where + " is a " + (node.isLeaf() ? "leaf" : "interior node") + " among " +
                      (levelIsLeaf ? "leaves" : "interior nodes") +
                      " (leaves at different depths)");
            if (node.count() == 0 && depth > 0) fault(where + " holds no keys");
            if (node.isLeaf()) {
                if (facts.storedFreeSpace != facts.actualFreeSpace)
                    fault(where + " records " + std::to_string(facts.storedFreeSpace) +
                          " free bytes but has " + std::to_string(facts.actualFreeSpace));
                if (facts.firstEntryHasDup)
                    fault(where + ": its first key claims bytes of a key before it");
            }

            // Order inside the node and across the level.
            for (size_t i = 0; i < node.count(); ++i) {
                const std::string_view key = node.key(i, keyLength_);
                const bool haveBefore = i > 0 || (k > 0 && !previousKey.empty());
                const std::string_view keyBefore =
                    i > 0 ? node.key(i - 1, keyLength_) : std::string_view(previousKey);
                const uint32_t recnoBefore = i > 0 ? node.recnos[i - 1] : previousRecno;
                if (haveBefore &&
                    compareEntries(keyBefore, recnoBefore, key, node.recnos[i]) >= 0) {
                    fault(where + ": keys out of order at entry " + std::to_string(i) +
                          (i == 0 ? " (against the node before it)" : ""));
                    break;
                }
            }

            if (item.parent != kNoPage && node.count() > 0 &&
                compareEntries(item.parentKey, item.parentRecno,
                               node.key(node.count() - 1, keyLength_), node.recnos.back()) != 0)
                fault("the entry for the " + where + " in its parent at " + hex(item.parent) +
                      " is not the node's last key");

            if (node.left != expectedLeft)
                fault(where + " names " + (node.left == kNoPage ? "no node" : hex(node.left)) +
                      " as its left sibling instead of " +
                      (expectedLeft == kNoPage ? "none" : hex(expectedLeft)));
            if (k > 0 && previousKnown && previousRight != item.offset)
                fault("node at offset " + hex(expectedLeft) + " names " +
                      (previousRight == kNoPage ? "no node" : hex(previousRight)) +
                      " as its right sibling instead of " + hex(item.offset));
            if (k + 1 == level.size() && node.right != kNoPage)
                fault(where + " ends its level but names " + hex(node.right) +
                      " as its right sibling");

            previousKnown = true;
            previousRight = node.right;
            if (node.count() > 0) {
                previousKey.assign(node.key(node.count() - 1, keyLength_));
                previousRecno = node.recnos.back();
            }
            if (!node.isLeaf()) {
                for (size_t i = 0; i < node.count(); ++i)
                    below.push_back({node.children[i], item.offset,
                                     std::string(node.key(i, keyLength_)), node.recnos[i]});
            }
        }
        if (below.size() > store_.pageLimit()) {
            fault("the tree names more nodes than the file holds");
            break;
        }
        level = std::move(below);
    }

    for (uint32_t page : store_.freePages())
        if (seen.count(page) != 0)
            fault("node at offset " + hex(page) + " is also on the list of free pages");
}

}  // namespace xbase::cdx
