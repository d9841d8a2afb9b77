#pragma once
// A write that fails part-way: while a FileSizeLimit lives, no file of this process may
// grow past the limit, and a write past it fails with EFBIG (the signal that would end
// the process is ignored meanwhile). Files already larger stay readable.

#include <signal.h>
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = before_;
        limited.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return active_; }

  private:
    rlimit before_{};
    sighandler_t previousHandler_ = SIG_DFL;
    bool active_ = false;
};

}  // namespace testsupport
