#include "cdx_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "byte_order.h"
#include "cdx_header.h"
#include "cdx_page.h"

namespace xbase::cdx {
namespace {

// Staged pieces longer than this are written on their own.
constexpr size_t kJoinLimit = 64 * 1024;

}  // namespace

PageStore::PageStore(File& file) : file_(file), fileName_(file.path().filename().string()) {
    if (fileName_.empty()) fileName_ = "compound index";
    refreshSize();
}

Error PageStore::corruption(const std::string& text) const {
    return Error(ErrorKind::Corruption, code::BadIndex, fileName_ + ": " + text);
}

std::string PageStore::hex(uint64_t offset) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(offset));
    return text;
}

void PageStore::refreshSize() {
    size_ = file_.size();
}

std::string PageStore::checkNodeOffset(uint32_t offset) {
    const char* fault = nullptr;
    if (offset % kPageSize != 0) {
        fault = " is not on a page boundary";
    } else if (offset < kTagHeaderSize) {
        fault = " lies inside the file header";
    } else if (uint64_t{offset} + kPageSize > size_) {
        refreshSize();  // another process may have grown the file
        if (uint64_t{offset} + kPageSize > size_) fault = " lies beyond the end of the file";
    }
    return fault ? "node at offset " + hex(offset) + fault : std::string();
}

void PageStore::readNode(uint32_t offset, uint8_t* page) {
    if (const std::string fault = checkNodeOffset(offset); !fault.empty()) throw corruption(fault);
    if (file_.readThroughView(offset, page, kPageSize) != kPageSize)
        throw corruption("node at offset " + hex(offset) + " is cut short by the end of the file");
}

void PageStore::readExact(uint64_t offset, void* out, size_t size, const std::string& what) {
    if (file_.readThroughView(offset, out, size) != size)
        throw corruption(what + " is cut short by the end of the file");
}

void PageStore::stage(uint64_t offset, const void* data, size_t size, Original original) {
    if (undoable_ && original)
        originals_.try_emplace(offset, std::move(original));  // the first one counts
    stage(offset, std::string(static_cast<const char*>(data), size));
}

void PageStore::stage(uint64_t offset, std::string bytes) {
    auto [it, inserted] = staged_.try_emplace(offset);
    if (inserted || bytes.size() >= it->second.size())
        it->second = std::move(bytes);
    else
        it->second.replace(0, bytes.size(), bytes);  // a root pointer inside a staged header
}

uint32_t PageStore::freeHead() {
    if (!headKnown_) {
        uint8_t bytes[4];
        readExact(kFreeListOffset, bytes, 4, "file header");
        head_ = getLe32(bytes);
        headInFile_ = head_;
        if (head_ == kNoPage) head_ = 0;  // both spellings of "empty" occur
        headKnown_ = true;
    }
    return head_;
}

uint32_t PageStore::allocatePage() {
    const uint32_t page = freeHead();
    if (page == 0) return appendPages(1);

    uint32_t next = 0;
    if (auto it = freedNext_.find(page); it != freedNext_.end()) {
        next = it->second;
        freedNext_.erase(it);
    } else {
        // A free page holds its link and zeros. Anything else means the list is damaged
        // (or was left half-written): reusing such a page could overwrite a live node,
        // so the list is abandoned and the file grows instead.
        uint8_t bytes[kPageSize];
        bool sound = checkNodeOffset(page).empty();
        if (sound) {
            readExact(page, bytes, kPageSize, "free page at offset " + hex(page));
            sound = std::all_of(bytes + 4, bytes + kPageSize, [](uint8_t b) { return b == 0; });
        }
        if (!sound) {
            head_ = 0;
            headChanged_ = true;
            return appendPages(1);
        }
        next = getLe32(bytes);
        if (undoable_) {
            originals_.try_emplace(page, [next] {
                std::string free(kPageSize, '\0');
                putLe32(reinterpret_cast<uint8_t*>(free.data()), next);
                return free;
            });
        }
    }
    head_ = next == kNoPage ? 0 : next;
    headChanged_ = true;
    return page;
}

uint32_t PageStore::appendPages(size_t count) {
    if (!endKnown_) {
        const uint64_t size = file_.size();
        if (undoable_ && !sizeBeforeChange_) sizeBeforeChange_ = size;
        end_ = (size + kPageSize - 1) / kPageSize * kPageSize;
        endKnown_ = true;
    }
    if (end_ + count * kPageSize > 0xFFFFFE00u)
        throw Error(ErrorKind::IoError, code::WriteFailed,
                    fileName_ + ": the index file cannot grow beyond 4 GB");
    const auto offset = static_cast<uint32_t>(end_);
    end_ += count * kPageSize;
    return offset;
}

void PageStore::freePage(uint32_t offset, Original original) {
    if (freedNext_.count(offset) != 0) return;
    if (undoable_ && original) originals_.try_emplace(offset, std::move(original));
    const uint32_t next = freeHead();
    freedNext_[offset] = next;
    uint8_t page[kPageSize] = {};
    putLe32(page, next);
    stage(offset, page, kPageSize);
    head_ = offset;
    headChanged_ = true;
}

void PageStore::commit() {
    try {
        if (undoable_)
            for (const auto& [offset, bytes] : staged_) noteForUndo(offset, bytes.size());
        auto it = staged_.begin();
        while (it != staged_.end()) {
            // Neighbouring pages go out in one write, unless joining them would copy more
            // than a write costs (the pages of a new tag).
            const uint64_t start = it->first;
            std::string run = std::move(it->second);
            for (++it; it != staged_.end() && it->first <= start + run.size() &&
                       std::max(run.size(), it->second.size()) <= kJoinLimit;
                 ++it) {
                const size_t at = it->first - start;
                if (at + it->second.size() > run.size()) run.resize(at + it->second.size());
                run.replace(at, it->second.size(), it->second);
            }
            file_.writeAt(start, run.data(), run.size());
            size_ = std::max(size_, start + run.size());
        }
        // The head goes last: until then it still names a list whose pages are intact.
        if (headChanged_) {
            uint8_t bytes[4];
            putLe32(bytes, head_);
            if (undoable_) {
                overwritten_.emplace_back(kFreeListOffset, [head = headInFile_] {
                    std::string old(4, '\0');
                    putLe32(reinterpret_cast<uint8_t*>(old.data()), head);
                    return old;
                });
            }
            file_.writeAt(kFreeListOffset, bytes, 4);
        }
    } catch (...) {
        discard();
        throw;
    }
    discard();
}

void PageStore::discard() {
    staged_.clear();
    originals_.clear();
    endKnown_ = false;
    headKnown_ = false;
    headChanged_ = false;
    head_ = 0;
    freedNext_.clear();
}

void PageStore::beginUndoable() {
    undoable_ = true;
    sizeBeforeChange_.reset();
    overwritten_.clear();
}

void PageStore::endUndoable() {
    undoable_ = false;
    sizeBeforeChange_.reset();
    originals_.clear();
    overwritten_.clear();
}

void PageStore::noteForUndo(uint64_t offset, size_t size) {
    if (sizeBeforeChange_ && offset >= *sizeBeforeChange_) return;  // a new page: cut off instead
    if (auto it = originals_.find(offset); it != originals_.end()) {
        overwritten_.emplace_back(offset, std::move(it->second));
        originals_.erase(it);
        return;
    }
    std::string old(size, '\0');
    old.resize(file_.readAt(offset, old.data(), old.size()));
    overwritten_.emplace_back(offset, [old = std::move(old)] { return old; });
}

void PageStore::writeDirect(uint64_t offset, const void* data, size_t size, std::string original) {
    if (undoable_)
        overwritten_.emplace_back(offset, [original = std::move(original)] { return original; });
    file_.writeAt(offset, data, size);
}

void PageStore::rollBack() {
    // Each step is tried whatever became of the one before: every page put back counts.
    for (auto it = overwritten_.rbegin(); it != overwritten_.rend(); ++it) {
        try {
            const std::string bytes = it->second();
            file_.writeAt(it->first, bytes.data(), bytes.size());
        } catch (...) {
        }
    }
    try {
        if (sizeBeforeChange_ && file_.size() > *sizeBeforeChange_)
            file_.truncate(*sizeBeforeChange_);
    } catch (...) {
    }
    discard();
    endUndoable();
    try {
        refreshSize();
    } catch (...) {
    }
}

std::vector<uint32_t> PageStore::freePages() {
    std::vector<uint32_t> pages;
    uint8_t bytes[4];
    if (file_.readAt(kFreeListOffset, bytes, 4) != 4) return pages;
    uint32_t page = getLe32(bytes);
    std::unordered_set<uint32_t> seen;
    while (page != 0 && page != kNoPage && pages.size() < pageLimit()) {
        if (!checkNodeOffset(page).empty() || !seen.insert(page).second) break;
        pages.push_back(page);
        if (file_.readAt(page, bytes, 4) != 4) break;
        page = getLe32(bytes);
    }
    return pages;
}

}  // namespace xbase::cdx
