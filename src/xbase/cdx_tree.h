#pragma once
// One B+tree of the compound index (a tag, or the tag directory) over a PageStore.
//
// Decoded pages are cached and treated as immutable; a change works on copies of the
// nodes it touches, writes them as one batch and only then puts them in the cache, so a
// failed change leaves both the file and the cache as they were. Every entry of an
// interior node is the last (greatest) entry of the subtree under it; every level is a
// doubly linked list of nodes from left to right.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cdx.h"
#include "cdx_page.h"
#include "cdx_store.h"

namespace xbase::cdx {

// A place in the order of (key, record number). A key shorter than the key length is a
// prefix: every key that starts with it compares equal to it, whatever its record number.
struct Target {
    std::string_view key;
    uint32_t recno = 0;
};

class Tree {
  public:
    // `headerOffset`: the tag header whose first four bytes point at the root.
    Tree(PageStore& store, uint32_t headerOffset, uint32_t root, uint16_t keyLength, uint8_t pad);

    uint16_t keyLength() const { return keyLength_; }
    uint32_t root() const { return root_; }
    uint32_t headerOffset() const { return headerOffset_; }

    // Both forget every decoded page.
    void setPad(uint8_t pad);
    void reset(uint32_t headerOffset, uint32_t root, uint16_t keyLength);

    std::optional<IndexEntry> first();
    std::optional<IndexEntry> last();
    std::optional<IndexEntry> lowerBound(Target target);  // first entry >= target
    std::optional<IndexEntry> next(Target after);         // first entry > after
    std::optional<IndexEntry> prior(Target before);       // last entry < before
    void scan(Target from, const std::function<bool(std::string_view, uint32_t)>& visit);
    uint64_t keyCount();

    // The key must be exactly keyLength bytes. insert() returns false when the entry is
    // there already, erase() when it is not.
    bool insert(std::string_view key, uint32_t recno);
    bool erase(std::string_view key, uint32_t recno);
    // Moves the entry of `key` from one record number to another in one change (the tag
    // directory points a name at a new tag header this way).
    void move(std::string_view key, uint32_t fromRecno, uint32_t toRecno);

    std::vector<std::string> verify();
    // Every page of the tree, for the free list when the tree is dropped; empty when
    // verify() finds faults, since freeing a page some other tree uses would be worse
    // than leaking a few.
    std::vector<uint32_t> pages();

  private:
    struct Position {
        std::shared_ptr<const Node> leaf;
        uint32_t offset = kNoPage;
        size_t index = 0;
    };
    struct Step {
        uint32_t offset = kNoPage;
        size_t index = 0;  // interior: the entry descended through; leaf: the slot found
    };

    int compare(const Node& node, size_t i, const Target& target) const;
    size_t lowerBoundIn(const Node& node, const Target& target) const;
    size_t upperBoundIn(const Node& node, const Target& target) const;
    IndexEntry entryAt(const Node& node, size_t i) const;
    std::optional<IndexEntry> answer(const std::optional<Position>& position);

    std::shared_ptr<const Node> load(uint32_t offset);
    std::shared_ptr<const Node> loadLeaf(uint32_t offset, uint32_t from);
    void trimCache();
    [[noreturn]] void throwTooDeep() const;

    std::optional<Position> seek(const Target& target, bool strict);
    std::optional<Position> forwardFrom(Position position);
    std::optional<Position> backwardFrom(Position position);
    std::optional<Position> seekFirst();
    std::optional<Position> seekLast();
    bool hintHolds() const;

    // Changes.
    template <typename Body>
    auto change(Body body) -> decltype(body());
    const Node& view(uint32_t offset);
    Node& edit(uint32_t offset);
    Node& create(uint32_t offset, uint16_t attributes);
    void release(uint32_t offset);
    // For undo: the bytes of the page at `offset` before this change, from the cache.
    PageStore::Original originalOf(uint32_t offset) const;
    std::vector<Step> pathTo(const Target& target);
    bool insertEntry(std::string_view key, uint32_t recno);
    bool eraseEntry(std::string_view key, uint32_t recno);
    void rebalance(std::vector<Step>& path, bool shrunk, size_t insertedAt);
    void settleRoot(uint32_t offset, size_t insertedAt);
    // For a leaf, encodes it into the kept page (see keptOffset_) when it fits, unless
    // that page is its own already.
    bool overflows(uint32_t offset, const Node& node);
    bool underfull(const Node& node) const;
    std::vector<size_t> splitPoints(const Node& node, bool packLeft) const;
    size_t split(uint32_t offset, Node& node, Node& parent, size_t index, bool packLeft);
    bool mergeWithNeighbour(uint32_t parentOffset, size_t index);
    void setParentEntry(Node& parent, size_t index, const Node& child) const;
    void unlink(const Node& node);

    void check(std::vector<std::string>& faults, std::vector<uint32_t>* pages);

    PageStore& store_;
    uint32_t headerOffset_;
    uint32_t root_;
    uint16_t keyLength_;  // changes only in reset()
    uint8_t pad_;

    // A decoded node, and for a leaf this tree wrote, the page it wrote: exactly what
    // encodeLeaf() makes of the node, so that an insert can patch it (insertEntry()). A page
    // read from the file is not kept: another program may have encoded it differently.
    // Neither ever changes; a change works on copies and replaces both when it commits.
    struct Cached {
        std::shared_ptr<const Node> node;
        std::shared_ptr<const Page> page;
    };
    std::unordered_map<uint32_t, Cached> cache_;
    uint64_t generation_ = 0;  // changes whenever cached pages may no longer be current
    Position hint_;            // the leaf the last navigation ended in
    uint64_t hintGeneration_ = ~uint64_t{0};
    uint64_t keyCount_ = 0;
    uint64_t keyCountGeneration_ = ~uint64_t{0};

    struct Changed {
        std::shared_ptr<Node> node;
        std::shared_ptr<const Page> page;  // leaves: the page staged for it on commit
    };
    std::unordered_map<uint32_t, Changed> dirty_;
    std::unordered_set<uint32_t> released_;
    bool rootChanged_ = false;
    // The page of the changed leaf at keptOffset_ exactly as the node stands: patched by
    // insertEntry() or encoded by the overflow check, and written as it is when the change
    // commits, so that a leaf is encoded at most once per change. It is dropped whenever
    // that node is handed out for editing, created or released, and at the start and end of
    // every change: a node changed again is encoded anew. Code that only looks at a changed
    // node takes it from view(), which keeps the page.
    uint32_t keptOffset_ = kNoPage;
    Page keptPage_ = {};
};

// Bulk build. sortedOrder() gives the indexes of `keys` in (key, record number) order with
// repeated entries dropped; buildTree() stages the pages of the tree of those entries at
// the end of the file (leaves packed full, upper levels built bottom-up) and returns the
// offset of its root.
std::vector<uint32_t> sortedOrder(const BulkKeys& keys);
uint32_t buildTree(PageStore& store, const BulkKeys& keys, const std::vector<uint32_t>& order,
                   uint8_t pad);

}  // namespace xbase::cdx
