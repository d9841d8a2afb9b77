#pragma once
// A read-only view of an open file mapped into memory. The pages are the system's page
// cache itself, so the view sees every write to the file, by this process or any other,
// the moment it is made, and reading through it costs no system call. That is what makes
// checking for another program's changes before every positioning cheap in shared use.
//
// Views are made only on local disk file systems: on a network file system a view may
// show pages older than what another machine wrote.
//
// A file that another program cuts short under the view would kill the process with
// SIGBUS when a page past its new end is touched; copies out of the view catch that
// signal and report failure instead, and the caller reads the bytes the ordinary way,
// which then reports the file as damaged.

#ifndef _WIN32

#include <cstddef>
#include <cstdint>

namespace xbase {

class FileView {
  public:
    explicit FileView(int fd) : fd_(fd) {}
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    // Copies `size` bytes at `offset` into `out`. Returns false when they cannot be had
    // from the view: they lie past the end of the file, the file shrank under the view, or
    // the system gives no view. Not for use from several threads at once.
    bool copy(uint64_t offset, void* out, size_t size);

    // This process wrote up to `end`, or cut the file to `size`.
    void wroteUpTo(uint64_t end) {
        if (end > knownSize_) knownSize_ = end;
    }
    void truncatedTo(uint64_t size) { knownSize_ = size; }

  private:
    // Makes the view cover [0, end) when the file is that long; asks the system for the
    // file's size only when `end` lies past the size last seen.
    bool cover(uint64_t end);
    uint64_t lastPageStart() const;
    void unmap();

    int fd_;
    const char* base_ = nullptr;
    uint64_t length_ = 0;     // bytes mapped; may run past the end of the file
    uint64_t knownSize_ = 0;  // the file is at least this long, as far as we know
    uint64_t pageSize_ = 4096;
    bool checked_ = false;  // the system's page size and the file system looked at
    bool unavailable_ = false;
};

}  // namespace xbase

#endif  // !_WIN32
