#ifndef _WIN32

#include "file_view_posix.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if ((end > knownSize_ || end > length_) && !cover(end)) return false;
    if (size == 0) return true;
    if (copyCatchingBusErrors(out, base_ + offset, size)) return true;
    knownSize_ = 0;  // the file shrank: ask its size again next time
    return false;
}

bool FileView::cover(uint64_t end) {
    if (unavailable_) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    knownSize_ = static_cast<uint64_t>(st.st_size);
    if (end > knownSize_) return false;
    if (end <= length_) return true;
    const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    uint64_t want = knownSize_ + knownSize_ / 4 + kGrowthRoom;
    want = (want + page - 1) / page * page;
    if (sizeof(void*) < 8 || want > kLargestView) {
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
