#ifndef _WIN32

#include "file_view_posix.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/vfs.h>
#endif

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace xbase {
namespace {

// Views larger than this are not made; such files are read the ordinary way.
constexpr uint64_t kLargestView = uint64_t{16} << 30;
// Room for growth past the end of the file, so that appends need no new view.
constexpr uint64_t kGrowthRoom = uint64_t{1} << 20;

// Whether the file lies on a local disk file system, whose page cache is the one truth for
// every process. On network file systems (NFS, SMB, FUSE and the like) a view can show pages
// older than what another machine wrote, where a read asks the server: those are read the
// ordinary way.
bool onLocalFileSystem(int fd) {
#ifdef __linux__
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // XFS
        case 0x9123683E:  // Btrfs
        case 0x01021994:  // tmpfs
        case 0x858458F6:  // ramfs
        case 0xF2F52010:  // F2FS
        case 0x2FC12FC1:  // ZFS
        case 0xCA451A4E:  // bcachefs
        case 0x794C7630:  // overlayfs
        case 0x3153464A:  // JFS
        case 0x52654973:  // ReiserFS
        case 0x4D44:      // FAT
        case 0x2011BAB0:  // exFAT
        case 0x7366746E:  // NTFS (the kernel's driver)
            return true;
        default:
            return false;
    }
#else
    (void)fd;
    return true;
#endif
}

// Where a copy out of a view goes on when a page under it has gone (the file shrank).
thread_local sigjmp_buf* pendingCopy = nullptr;
struct sigaction previousBusAction {};

void onBusError(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* resume = pendingCopy) {
        pendingCopy = nullptr;
        siglongjmp(*resume, 1);
    }
    // Not one of our copies: whoever handled the signal before handles it now.
    if ((previousBusAction.sa_flags & SA_SIGINFO) && previousBusAction.sa_sigaction) {
        previousBusAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signal);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);
}

void catchBusErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        // Not blocked while handled: the handler jumps out instead of returning.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
}

// memcpy that reports a vanished page instead of ending the process.
bool copyCatchingBusErrors(void* out, const char* from, size_t size) {
    sigjmp_buf resume;
    if (sigsetjmp(resume, 0) != 0) return false;
    pendingCopy = &resume;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(out, from, size);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pendingCopy = nullptr;
    // What another process wrote before these bytes is seen by the reads after them.
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

}  // namespace

FileView::~FileView() {
    unmap();
}

void FileView::unmap() {
    if (base_) ::munmap(const_cast<char*>(base_), length_);
    base_ = nullptr;
    length_ = 0;
}

bool FileView::copy(uint64_t offset, void* out, size_t size) {
    const uint64_t end = offset + size;
    if (end < offset) return false;
    // The last page of a view reads as zeros past the end of the file, so a read that
    // reaches into it asks for the file's size again: a file cut short by a few bytes then
    // gives a short read, as it would without a view. (Whole pages that a file lost raise
    // SIGBUS, caught below.)
    if ((end > knownSize_ || end > length_ || end > lastPageStart()) && !cover(end)) return false;
    if (size == 0) return true;
    if (copyCatchingBusErrors(out, base_ + offset, size)) return true;
    knownSize_ = 0;  // the file shrank: ask its size again next time
    return false;
}

uint64_t FileView::lastPageStart() const {
    return knownSize_ / pageSize_ * pageSize_;
}

bool FileView::cover(uint64_t end) {
    if (unavailable_) return false;
    if (!checked_) {
        checked_ = true;
        pageSize_ = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
        if (sizeof(void*) < 8 || !onLocalFileSystem(fd_)) {
            unavailable_ = true;
            return false;
        }
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    knownSize_ = static_cast<uint64_t>(st.st_size);
    if (end > knownSize_) return false;
    if (end <= length_) return true;
    uint64_t want = knownSize_ + knownSize_ / 4 + kGrowthRoom;
    want = (want + pageSize_ - 1) / pageSize_ * pageSize_;
    if (want > kLargestView) {
        unavailable_ = true;
        return false;
    }
    catchBusErrors();
    void* mapped = ::mmap(nullptr, want, PROT_READ, MAP_SHARED, fd_, 0);
    if (mapped == MAP_FAILED) {
        unavailable_ = true;
        return false;
    }
    unmap();
    base_ = static_cast<const char*>(mapped);
    length_ = want;
    return true;
}

}  // namespace xbase

#endif  // !_WIN32
