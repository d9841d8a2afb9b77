#pragma once
// Page I/O of one compound index file. Reads are checked against the file's bounds, so a
// damaged pointer becomes an engine error that names the file and the offset. Writes are
// collected in a batch (the pages of one change), together with page allocation from the
// free-page list, and reach the file together on commit().

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "xbase/error.h"
#include "xbase/file_system.h"

namespace xbase::cdx {

class PageStore {
  public:
    explicit PageStore(File& file);

    File& file() { return file_; }
    const std::string& fileName() const { return fileName_; }

    // Error(Corruption, BadIndex) with the text "<file name>: <text>".
    Error corruption(const std::string& text) const;
    static std::string hex(uint64_t offset);  // "0x1200"

    uint64_t size() const { return size_; }
    void refreshSize();
    // An upper bound on the pages any walk of the file can meet; walks stop beyond it.
    uint64_t pageLimit() const { return size_ / 512 + 1; }

    // Empty when `offset` can name a node page of this file; otherwise what is wrong.
    std::string checkNodeOffset(uint32_t offset);
    // Reads the node page at `offset`; throws when it is not a whole page inside the file.
    void readNode(uint32_t offset, uint8_t* page);
    // Reads exactly `size` bytes, through the file's view where there is one; throws,
    // naming `what`, when the file ends first.
    void readExact(uint64_t offset, void* out, size_t size, const std::string& what);

    // What bytes at an offset held before a change, made only if the change is undone.
    using Original = std::function<std::string()>;

    // The write batch. `original`, when given, spares reading the old bytes back for undo.
    void stage(uint64_t offset, const void* data, size_t size, Original original = {});
    void stage(uint64_t offset, std::string bytes);  // taken over rather than copied
    uint32_t allocatePage();                         // a free page, or a new one at the end
    uint32_t appendPages(size_t count);              // `count` new consecutive pages at the end
    void freePage(uint32_t offset, Original original = {});  // onto the free-page list
    void commit();   // writes the batch and the free-list head
    void discard();  // forgets the batch

    // Changes that must happen together or not at all (a record's keys in every tag): from
    // beginUndoable() on, each commit first notes what the bytes it overwrites were, and
    // rollBack() writes them back, newest first, and cuts off the pages added since.
    void beginUndoable();
    void endUndoable();
    bool undoable() const { return undoable_; }
    void rollBack();
    // A write outside the batch (the change counter) that rollBack() also undoes.
    void writeDirect(uint64_t offset, const void* data, size_t size, std::string original);

    // The free-page list as it is in the file, for checks; stops at the first bad link.
    std::vector<uint32_t> freePages();

  private:
    uint32_t freeHead();
    void noteForUndo(uint64_t offset, size_t size);

    File& file_;
    std::string fileName_;
    uint64_t size_ = 0;

    std::map<uint64_t, std::string> staged_;
    bool endKnown_ = false;
    uint64_t end_ = 0;  // where the next appended page goes
    bool headKnown_ = false;
    bool headChanged_ = false;
    uint32_t head_ = 0;                                 // free-list head; 0 = empty
    std::unordered_map<uint32_t, uint32_t> freedNext_;  // pages freed in this batch

    bool undoable_ = false;
    std::optional<uint64_t> sizeBeforeChange_;                // set when pages are added
    std::unordered_map<uint64_t, Original> originals_;        // of the staged bytes
    uint32_t headInFile_ = 0;                                 // the free-list head as read
    std::vector<std::pair<uint64_t, Original>> overwritten_;  // in the order written
};

}  // namespace xbase::cdx
