#include "cdx_tree.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "byte_order.h"

namespace xbase::cdx {
namespace {

// A 512-byte page holds at least two interior entries, so 32 levels are more than any
// file can hold; a deeper walk is going round a cycle.
constexpr int kMaxDepth = 32;
// Decoded pages kept before the cache starts over (a few megabytes).
constexpr size_t kCacheLimit = 8192;
constexpr size_t kNone = std::numeric_limits<size_t>::max();

}  // namespace

Tree::Tree(PageStore& store, uint32_t headerOffset, uint32_t root, uint16_t keyLength, uint8_t pad)
    : store_(store), headerOffset_(headerOffset), root_(root), keyLength_(keyLength), pad_(pad) {}

void Tree::setPad(uint8_t pad) {
    if (pad == pad_) return;
    pad_ = pad;
    cache_.clear();
    ++generation_;
}

void Tree::reset(uint32_t headerOffset, uint32_t root, uint16_t keyLength) {
    headerOffset_ = headerOffset;
    root_ = root;
    keyLength_ = keyLength;
    cache_.clear();
    hint_ = {};
    ++generation_;
}

// ---- comparing ----

int Tree::compare(const Node& node, size_t i, const Target& target) const {
    if (!target.key.empty()) {
        const int c =
            std::memcmp(node.keys.data() + i * keyLength_, target.key.data(), target.key.size());
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (target.key.size() < keyLength_) return 0;
    const uint32_t recno = node.recnos[i];
    return recno < target.recno ? -1 : (recno > target.recno ? 1 : 0);
}

size_t Tree::lowerBoundIn(const Node& node, const Target& target) const {
    size_t low = 0;
    size_t high = node.count();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (compare(node, middle, target) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

size_t Tree::upperBoundIn(const Node& node, const Target& target) const {
    size_t low = 0;
    size_t high = node.count();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (compare(node, middle, target) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

IndexEntry Tree::entryAt(const Node& node, size_t i) const {
    return IndexEntry{std::string(node.key(i, keyLength_)), node.recnos[i]};
}

// ---- reading ----

std::shared_ptr<const Node> Tree::load(uint32_t offset) {
    if (auto it = cache_.find(offset); it != cache_.end()) return it->second.node;
    uint8_t page[kPageSize];
    store_.readNode(offset, page);
    auto node = std::make_shared<Node>();
    const std::string fault = decodeNode(page, keyLength_, pad_, *node);
    if (!fault.empty())
        throw store_.corruption("node at offset " + PageStore::hex(offset) + ": " + fault);
    cache_.emplace(offset, Cached{node, nullptr});
    return node;
}

std::shared_ptr<const Node> Tree::loadLeaf(uint32_t offset, uint32_t from) {
    auto node = load(offset);
    if (!node->isLeaf())
        throw store_.corruption("node at offset " + PageStore::hex(offset) +
                                ", a sibling of the leaf at " + PageStore::hex(from) +
                                ", is not a leaf");
    return node;
}

void Tree::trimCache() {
    if (cache_.size() > kCacheLimit) cache_.clear();  // held pages stay alive through shared_ptr
}

void Tree::throwTooDeep() const {
    throw store_.corruption("the tree of the tag header at offset " +
                            PageStore::hex(headerOffset_) +
                            " is deeper than any index can be (its pages form a cycle)");
}

std::optional<Tree::Position> Tree::seek(const Target& target, bool strict) {
    uint32_t offset = root_;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        auto node = load(offset);
        const size_t i = strict ? upperBoundIn(*node, target) : lowerBoundIn(*node, target);
        if (node->isLeaf()) return forwardFrom({node, offset, i});
        if (i == node->count()) return std::nullopt;  // everything is below the target
        offset = node->children[i];
    }
    throwTooDeep();
}

std::optional<Tree::Position> Tree::forwardFrom(Position position) {
    uint64_t steps = 0;
    while (position.index >= position.leaf->count()) {
        const uint32_t right = position.leaf->right;
        if (right == kNoPage) return std::nullopt;
        if (++steps > store_.pageLimit())
            throw store_.corruption("the chain of leaves after offset " +
                                    PageStore::hex(position.offset) + " does not end");
        position = {loadLeaf(right, position.offset), right, 0};
    }
    return position;
}

std::optional<Tree::Position> Tree::backwardFrom(Position position) {
    uint64_t steps = 0;
    while (position.index == 0) {
        const uint32_t left = position.leaf->left;
        if (left == kNoPage) return std::nullopt;
        if (++steps > store_.pageLimit())
            throw store_.corruption("the chain of leaves before offset " +
                                    PageStore::hex(position.offset) + " does not end");
        auto leaf = loadLeaf(left, position.offset);
        position = {leaf, left, leaf->count()};
    }
    --position.index;
    return position;
}

std::optional<Tree::Position> Tree::seekFirst() {
    uint32_t offset = root_;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        auto node = load(offset);
        if (node->isLeaf()) return forwardFrom({node, offset, 0});
        offset = node->children.front();
    }
    throwTooDeep();
}

std::optional<Tree::Position> Tree::seekLast() {
    uint32_t offset = root_;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        auto node = load(offset);
        if (node->isLeaf()) return backwardFrom({node, offset, node->count()});
        offset = node->children.back();
    }
    throwTooDeep();
}

bool Tree::hintHolds() const {
    return hint_.leaf && hintGeneration_ == generation_ && hint_.leaf->count() > 0;
}

std::optional<IndexEntry> Tree::answer(const std::optional<Position>& position) {
    if (!position) return std::nullopt;
    hint_ = *position;
    hintGeneration_ = generation_;
    return entryAt(*position->leaf, position->index);
}

std::optional<IndexEntry> Tree::first() {
    trimCache();
    return answer(seekFirst());
}

std::optional<IndexEntry> Tree::last() {
    trimCache();
    return answer(seekLast());
}

// The navigation calls first try the leaf the previous call ended in: a scan with next()
// or prior() then stays in one leaf until it runs off its end. compare() grows along the
// order of the entries, so a leaf whose first entry is below the target and whose last
// is not holds the answer.
std::optional<IndexEntry> Tree::lowerBound(Target target) {
    trimCache();
    if (hintHolds()) {
        const Node& leaf = *hint_.leaf;
        if (compare(leaf, 0, target) < 0 && compare(leaf, leaf.count() - 1, target) >= 0) {
            Position position = hint_;
            position.index = lowerBoundIn(leaf, target);
            return answer(position);
        }
    }
    return answer(seek(target, false));
}

std::optional<IndexEntry> Tree::next(Target after) {
    trimCache();
    if (hintHolds()) {
        const Node& leaf = *hint_.leaf;
        if (compare(leaf, 0, after) <= 0) {
            const int atLast = compare(leaf, leaf.count() - 1, after);
            Position position = hint_;
            if (atLast > 0) {
                position.index = upperBoundIn(leaf, after);
                return answer(position);
            }
            if (atLast == 0 && after.key.size() == keyLength_) {
                position.index = leaf.count();
                return answer(forwardFrom(position));
            }
        }
    }
    return answer(seek(after, true));
}

std::optional<IndexEntry> Tree::prior(Target before) {
    trimCache();
    if (hintHolds()) {
        const Node& leaf = *hint_.leaf;
        if (compare(leaf, leaf.count() - 1, before) >= 0) {
            const int atFirst = compare(leaf, 0, before);
            Position position = hint_;
            if (atFirst < 0) {
                position.index = lowerBoundIn(leaf, before);
                return answer(backwardFrom(position));
            }
            if (atFirst == 0 && before.key.size() == keyLength_) {
                position.index = 0;
                return answer(backwardFrom(position));
            }
        }
    }
    const auto found = seek(before, false);
    return answer(found ? backwardFrom(*found) : seekLast());
}

void Tree::scan(Target from, const std::function<bool(std::string_view, uint32_t)>& visit) {
    trimCache();
    std::optional<Position> position = seek(from, false);
    uint64_t generation = generation_;
    uint64_t steps = 0;
    while (position) {
        // Holding the leaf keeps its keys alive whatever the visitor does.
        const std::shared_ptr<const Node> leaf = position->leaf;
        const uint32_t offset = position->offset;
        bool lost = false;
        for (size_t i = position->index; i < leaf->count(); ++i) {
            if (!visit(leaf->key(i, keyLength_), leaf->recnos[i])) return;
            if (generation != generation_) {
                // The visitor changed the tree: find the place after this entry again.
                const IndexEntry done = entryAt(*leaf, i);
                position = seek({done.key, done.recno}, true);
                generation = generation_;
                steps = 0;
                lost = true;
                break;
            }
        }
        if (lost) continue;
        if (leaf->right == kNoPage) return;
        if (++steps > store_.pageLimit())
            throw store_.corruption("the chain of leaves after offset " + PageStore::hex(offset) +
                                    " does not end");
        position = forwardFrom({loadLeaf(leaf->right, offset), leaf->right, 0});
    }
}

uint64_t Tree::keyCount() {
    trimCache();
    if (keyCountGeneration_ == generation_) return keyCount_;
    uint32_t offset = root_;
    std::shared_ptr<const Node> node;
    for (int depth = 0;; ++depth) {
        if (depth == kMaxDepth) throwTooDeep();
        node = load(offset);
        if (node->isLeaf()) break;
        offset = node->children.front();
    }
    uint64_t total = node->count();
    for (uint64_t steps = 0; node->right != kNoPage; ++steps) {
        if (steps > store_.pageLimit())
            throw store_.corruption("the chain of leaves after offset " + PageStore::hex(offset) +
                                    " does not end");
        const uint32_t right = node->right;
        node = loadLeaf(right, offset);
        offset = right;
        total += node->count();
    }
    keyCount_ = total;
    keyCountGeneration_ = generation_;
    return total;
}

// ---- changing ----

template <typename Body>
auto Tree::change(Body body) -> decltype(body()) {
    trimCache();
    dirty_.clear();
    released_.clear();
    rootChanged_ = false;
    keptOffset_ = kNoPage;
    const uint32_t rootBefore = root_;
    bool writing = false;
    try {
        auto result = body();
        if (dirty_.empty() && released_.empty() && !rootChanged_) {
            store_.discard();
            return result;
        }
        for (auto& [offset, changed] : dirty_) {
            const Node& node = *changed.node;
            bool fits = true;
            if (!node.isLeaf()) {
                uint8_t page[kPageSize];
                fits = encodeInterior(node, keyLength_, page);
                if (fits) store_.stage(offset, page, kPageSize, originalOf(offset));
            } else if (offset == keptOffset_) {
                changed.page = std::make_shared<const Page>(keptPage_);
            } else {
                auto page = std::make_shared<Page>();
                fits = encodeLeaf(node, keyLength_, pad_, page->data());
                changed.page = std::move(page);
            }
            if (!fits)
                throw store_.corruption("node at offset " + PageStore::hex(offset) +
                                        " does not fit its page after a change");
            if (changed.page)
                store_.stage(offset, changed.page->data(), kPageSize, originalOf(offset));
        }
        keptOffset_ = kNoPage;
        if (rootChanged_) {
            uint8_t bytes[4];
            putLe32(bytes, root_);
            store_.stage(headerOffset_, bytes, 4, [rootBefore] {
                std::string old(4, '\0');
                putLe32(reinterpret_cast<uint8_t*>(old.data()), rootBefore);
                return old;
            });
        }
        writing = true;
        store_.commit();
        for (auto& [offset, changed] : dirty_)
            cache_[offset] = Cached{std::move(changed.node), std::move(changed.page)};
        for (uint32_t offset : released_) cache_.erase(offset);
        dirty_.clear();
        released_.clear();
        ++generation_;
        return result;
    } catch (...) {
        dirty_.clear();
        released_.clear();
        keptOffset_ = kNoPage;
        store_.discard();
        root_ = rootBefore;
        if (writing) {
            // Part of the batch may have reached the file: trust nothing cached.
            cache_.clear();
            ++generation_;
            try {
                uint8_t bytes[4];
                if (store_.file().readAt(headerOffset_, bytes, 4) == 4) root_ = getLe32(bytes);
            } catch (...) {
            }
        }
        throw;
    }
}

const Node& Tree::view(uint32_t offset) {
    if (auto it = dirty_.find(offset); it != dirty_.end()) return *it->second.node;
    if (auto it = cache_.find(offset); it != cache_.end()) return *it->second.node;
    return *load(offset);  // the cache keeps it alive until the change ends
}

Node& Tree::edit(uint32_t offset) {
    if (offset == keptOffset_) keptOffset_ = kNoPage;  // the caller is about to change it
    if (auto it = dirty_.find(offset); it != dirty_.end()) return *it->second.node;
    const Node& original = view(offset);
    // With room for the entry most changes add, so that adding it moves nothing again.
    auto copy = std::make_shared<Node>();
    Node& node = *copy;
    node.attributes = original.attributes;
    node.left = original.left;
    node.right = original.right;
    node.keys.reserve(original.keys.size() + keyLength_);
    node.keys = original.keys;
    node.recnos.reserve(original.count() + 1);
    node.recnos = original.recnos;
    if (!original.isLeaf()) {
        node.children.reserve(original.count() + 1);
        node.children = original.children;
    }
    dirty_.emplace(offset, Changed{std::move(copy), nullptr});
    return node;
}

Node& Tree::create(uint32_t offset, uint16_t attributes) {
    if (offset == keptOffset_) keptOffset_ = kNoPage;
    released_.erase(offset);
    auto fresh = std::make_shared<Node>();
    fresh->attributes = attributes;
    Node& node = *fresh;
    dirty_[offset] = Changed{std::move(fresh), nullptr};
    return node;
}

void Tree::release(uint32_t offset) {
    if (offset == keptOffset_) keptOffset_ = kNoPage;
    dirty_.erase(offset);
    released_.insert(offset);
    store_.freePage(offset, originalOf(offset));
}

PageStore::Original Tree::originalOf(uint32_t offset) const {
    if (!store_.undoable()) return {};
    const auto it = cache_.find(offset);
    if (it == cache_.end()) return {};
    // The page as it is in the file, encoded again from the node read from it.
    return [node = it->second.node, keyLength = keyLength_, pad = pad_] {
        std::string page(kPageSize, '\0');
        auto* bytes = reinterpret_cast<uint8_t*>(page.data());
        if (node->isLeaf())
            encodeLeaf(*node, keyLength, pad, bytes);
        else
            encodeInterior(*node, keyLength, bytes);
        return page;
    };
}

std::vector<Tree::Step> Tree::pathTo(const Target& target) {
    std::vector<Step> path;
    uint32_t offset = root_;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        const Node& node = view(offset);
        size_t i = lowerBoundIn(node, target);
        if (node.isLeaf()) {
            path.push_back({offset, i});
            return path;
        }
        if (i == node.count()) i = node.count() - 1;  // beyond every entry: the last subtree
        path.push_back({offset, i});
        offset = node.children[i];
    }
    throwTooDeep();
}

bool Tree::insertEntry(std::string_view key, uint32_t recno) {
    std::vector<Step> path = pathTo({key, recno});
    const Step at = path.back();
    const Node& found = view(at.offset);
    if (at.index < found.count() && compare(found, at.index, {key, recno}) == 0) return false;
    // The leaf's page as this tree last wrote it, unless this change has touched the leaf.
    std::shared_ptr<const Page> before;
    if (!dirty_.contains(at.offset))
        if (auto it = cache_.find(at.offset); it != cache_.end()) before = it->second.page;
    Node& leaf = edit(at.offset);
    leaf.insertEntry(at.index, key, recno, 0);
    if (before) {
        keptOffset_ = kNoPage;  // whatever page was kept is written over
        if (patchLeafInsert(before->data(), leaf, at.index, keyLength_, pad_, keptPage_.data()))
            keptOffset_ = at.offset;
    }
    rebalance(path, false, at.index);
    return true;
}

bool Tree::eraseEntry(std::string_view key, uint32_t recno) {
    std::vector<Step> path = pathTo({key, recno});
    const Step at = path.back();
    const Node& found = view(at.offset);
    if (at.index >= found.count() || compare(found, at.index, {key, recno}) != 0) return false;
    edit(at.offset).eraseEntry(at.index, keyLength_);
    rebalance(path, true, kNone);
    return true;
}

bool Tree::insert(std::string_view key, uint32_t recno) {
    const bool counted = keyCountGeneration_ == generation_;
    const bool added = change([&] { return insertEntry(key, recno); });
    if (added && counted) {
        ++keyCount_;
        keyCountGeneration_ = generation_;
    }
    return added;
}

bool Tree::erase(std::string_view key, uint32_t recno) {
    const bool counted = keyCountGeneration_ == generation_;
    const bool removed = change([&] { return eraseEntry(key, recno); });
    if (removed && counted) {
        --keyCount_;
        keyCountGeneration_ = generation_;
    }
    return removed;
}

void Tree::move(std::string_view key, uint32_t fromRecno, uint32_t toRecno) {
    change([&] {
        eraseEntry(key, fromRecno);
        insertEntry(key, toRecno);
        return 0;
    });
}

// Walks up from the leaf of `path` after one entry went in (insertedAt: its slot) or out
// (shrunk): splits what overflows, drops what emptied, merges an underfull node into a
// neighbour when they fit together, and carries a changed last entry up to the parents.
void Tree::rebalance(std::vector<Step>& path, bool shrunk, size_t insertedAt) {
    for (size_t level = path.size() - 1;; --level) {
        const uint32_t offset = path[level].offset;
        if (level == 0) {
            settleRoot(offset, insertedAt);
            return;
        }
        const uint32_t parentOffset = path[level - 1].offset;
        const size_t index = path[level - 1].index;
        const Node& node = view(offset);  // changed already: this loop goes up only past changes

        if (node.count() == 0) {
            unlink(node);
            release(offset);
            edit(parentOffset).eraseEntry(index, keyLength_);
            shrunk = true;
            insertedAt = kNone;
            continue;
        }
        if (overflows(offset, node)) {
            const bool packLeft =
                insertedAt != kNone && insertedAt + 1 == node.count() && node.right == kNoPage;
            const size_t pieces = split(offset, edit(offset), edit(parentOffset), index, packLeft);
            insertedAt = index + pieces;
            shrunk = false;
            continue;
        }
        if (shrunk && underfull(node) && mergeWithNeighbour(parentOffset, index)) {
            insertedAt = kNone;
            continue;
        }
        const Node& parent = view(parentOffset);
        if (compare(parent, index, {node.key(node.count() - 1, keyLength_), node.recnos.back()}) ==
            0)
            return;  // nothing above changes
        setParentEntry(edit(parentOffset), index, node);
        shrunk = false;
        insertedAt = kNone;
    }
}

void Tree::settleRoot(uint32_t offset, size_t insertedAt) {
    for (int round = 0; round < kMaxDepth; ++round) {
        const Node& root = view(offset);
        if (!root.isLeaf() && root.count() == 0) {
            Node& emptied = edit(offset);
            emptied = Node{};
            emptied.attributes = kRootBit | kLeafBit;
            return;
        }
        if (!root.isLeaf() && root.count() == 1) {
            // A root with one child is a level too many.
            const uint32_t child = root.children.front();
            release(offset);
            Node& only = edit(child);
            only.attributes |= kRootBit;
            only.left = kNoPage;
            only.right = kNoPage;
            root_ = child;
            rootChanged_ = true;
            offset = child;
            insertedAt = kNone;
            continue;
        }
        if (!overflows(offset, root)) return;
        // Split the root under a new one.
        const bool packLeft = insertedAt != kNone && insertedAt + 1 == root.count();
        const uint32_t top = store_.allocatePage();
        Node& newRoot = create(top, kRootBit);
        Node& old = edit(offset);
        old.attributes &= static_cast<uint16_t>(~kRootBit);
        newRoot.insertEntry(0, old.key(old.count() - 1, keyLength_), old.recnos.back(), offset);
        insertedAt = split(offset, old, newRoot, 0, packLeft);
        root_ = top;
        rootChanged_ = true;
        offset = top;
    }
    throwTooDeep();
}

// Callers take `node` from view() and change it further only through edit(), which drops
// the kept page.
bool Tree::overflows(uint32_t offset, const Node& node) {
    if (!node.isLeaf()) return node.count() > interiorCapacity(keyLength_);
    if (offset == keptOffset_) return false;  // patched by insertEntry(), so it fits
    keptOffset_ = kNoPage;
    if (!encodeLeaf(node, keyLength_, pad_, keptPage_.data())) return true;
    keptOffset_ = offset;
    return false;
}

bool Tree::underfull(const Node& node) const {
    if (node.isLeaf()) return leafBytes(node, keyLength_, pad_) < kLeafSpace / 2;
    return node.count() < (interiorCapacity(keyLength_) + 1) / 2;
}

// Where to cut an overflowing node: the start of every piece after the first. Two pieces
// of even size normally; when the entry that overflowed the node was appended at the
// right end of the level, the left piece is kept full, so that keys arriving in order
// leave full nodes behind. Leaf sizes depend on the entries (compression, and the width
// of record numbers), so leaves are measured rather than counted.
std::vector<size_t> Tree::splitPoints(const Node& node, bool packLeft) const {
    const size_t n = node.count();
    if (!node.isLeaf()) {
        const size_t capacity = interiorCapacity(keyLength_);
        if (packLeft && n - capacity <= capacity) return {capacity};
        const size_t pieces = std::max<size_t>(2, (n + capacity - 1) / capacity);
        std::vector<size_t> cuts;
        for (size_t j = 1; j < pieces; ++j) cuts.push_back(n * j / pieces);
        return cuts;
    }

    std::vector<size_t> alone(n);       // key bytes of entry i as the first of a leaf
    std::vector<size_t> sum(n + 1, 0);  // key bytes of entries [0, i) following each other
    std::vector<uint32_t> prefixMax(n + 1, 0);
    std::vector<uint32_t> suffixMax(n + 1, 0);
    size_t previousTrail = 0;
    for (size_t i = 0; i < n; ++i) {
        const std::string_view previous = i == 0 ? std::string_view{} : node.key(i - 1, keyLength_);
        const KeyCompression c =
            compressKey(previous, previousTrail, node.key(i, keyLength_), pad_);
        alone[i] = keyLength_ - c.trail;
        sum[i + 1] = sum[i] + c.stored;
        previousTrail = c.trail;
        prefixMax[i + 1] = std::max(prefixMax[i], node.recnos[i]);
    }
    for (size_t i = n; i-- > 0;) suffixMax[i] = std::max(suffixMax[i + 1], node.recnos[i]);
    const auto cost = [&](size_t begin, size_t end, uint32_t maxRecno) {
        return (end - begin) * leafLayout(keyLength_, maxRecno).bytes + alone[begin] +
               (sum[end] - sum[begin + 1]);
    };

    size_t best = kNone;
    size_t bestCost = kNone;
    for (size_t m = 1; m < n; ++m) {
        const size_t left = cost(0, m, prefixMax[m]);
        const size_t right = cost(m, n, suffixMax[m]);
        if (left > kLeafSpace || right > kLeafSpace) continue;
        if (packLeft) {
            best = m;
        } else if (std::max(left, right) < bestCost) {
            best = m;
            bestCost = std::max(left, right);
        }
    }
    if (best != kNone) return {best};

    // Two pieces cannot hold it (record numbers that just got wider): as many as needed.
    std::vector<size_t> cuts;
    size_t begin = 0;
    uint32_t maxRecno = node.recnos[0];
    for (size_t i = 1; i < n; ++i) {
        const uint32_t wider = std::max(maxRecno, node.recnos[i]);
        if (cost(begin, i + 1, wider) > kLeafSpace) {
            cuts.push_back(i);
            begin = i;
            maxRecno = node.recnos[i];
        } else {
            maxRecno = wider;
        }
    }
    return cuts;
}

// Cuts `node` into pieces: it keeps the first, new pages to its right take the others.
// Fixes the sibling links of the level and the entries of `parent`. Returns how many
// pages were added.
size_t Tree::split(uint32_t offset, Node& node, Node& parent, size_t index, bool packLeft) {
    const std::vector<size_t> cuts = splitPoints(node, packLeft);
    const size_t count = cuts.size();
    std::vector<uint32_t> offsets(count);
    for (uint32_t& page : offsets) page = store_.allocatePage();

    const auto attributes = static_cast<uint16_t>(node.attributes & ~kRootBit);
    std::vector<Node*> pieces(count);
    for (size_t j = count; j-- > 0;) {
        pieces[j] = &create(offsets[j], attributes);
        node.moveTail(cuts[j], keyLength_, *pieces[j]);
    }

    const uint32_t oldRight = node.right;
    uint32_t previous = offset;
    Node* previousNode = &node;
    for (size_t j = 0; j < count; ++j) {
        pieces[j]->left = previous;
        previousNode->right = offsets[j];
        previous = offsets[j];
        previousNode = pieces[j];
    }
    previousNode->right = oldRight;
    if (oldRight != kNoPage) edit(oldRight).left = previous;

    setParentEntry(parent, index, node);
    for (size_t j = 0; j < count; ++j) {
        const Node& piece = *pieces[j];
        parent.insertEntry(index + 1 + j, piece.key(piece.count() - 1, keyLength_),
                           piece.recnos.back(), offsets[j]);
    }
    return count;
}

// Joins the child at `index` of `parent` with its left or right neighbour under the same
// parent when their entries fit in one page; the right one of the pair goes free.
bool Tree::mergeWithNeighbour(uint32_t parentOffset, size_t index) {
    for (const bool withLeft : {true, false}) {
        if (withLeft && index == 0) continue;
        const size_t a = withLeft ? index - 1 : index;
        const Node& below = view(parentOffset);
        if (a + 1 >= below.count()) continue;
        const uint32_t leftOffset = below.children[a];
        const uint32_t rightOffset = below.children[a + 1];
        if (leftOffset == rightOffset) continue;  // a damaged parent naming one child twice
        const Node& left = view(leftOffset);
        const Node& right = view(rightOffset);
        if (left.right != rightOffset || right.left != leftOffset ||
            left.isLeaf() != right.isLeaf())
            continue;
        bool fits;
        if (left.isLeaf()) {
            Node joined = left;
            joined.keys += right.keys;
            joined.recnos.insert(joined.recnos.end(), right.recnos.begin(), right.recnos.end());
            fits = leafBytes(joined, keyLength_, pad_) <= kLeafSpace;
        } else {
            fits = left.count() + right.count() <= interiorCapacity(keyLength_);
        }
        if (!fits) continue;

        Node& keep = edit(leftOffset);
        Node& gone = edit(rightOffset);
        gone.moveTail(0, keyLength_, keep);
        const uint32_t after = gone.right;
        keep.right = after;
        release(rightOffset);
        if (after != kNoPage) edit(after).left = leftOffset;
        Node& parent = edit(parentOffset);
        setParentEntry(parent, a, keep);
        parent.eraseEntry(a + 1, keyLength_);
        return true;
    }
    return false;
}

void Tree::setParentEntry(Node& parent, size_t index, const Node& child) const {
    const std::string_view last = child.key(child.count() - 1, keyLength_);
    std::copy(last.begin(), last.end(),
              parent.keys.begin() + static_cast<std::ptrdiff_t>(index * keyLength_));
    parent.recnos[index] = child.recnos.back();
}

void Tree::unlink(const Node& node) {
    const uint32_t left = node.left;
    const uint32_t right = node.right;
    if (left != kNoPage) edit(left).right = right;
    if (right != kNoPage) edit(right).left = left;
}

}  // namespace xbase::cdx
