#pragma once
// Another process holding the address table: a child opens it and keeps it open until
// the holder is destroyed, so the locks between processes are real. Make the holder
// before this process opens the table: a child forked later would share its open files,
// and their locks with them.

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <xbase/cursor.h>

namespace testsupport {

class TableHolder {
  public:
    // Opens `table` in the child with `mode`. ok() tells whether the child managed.
    TableHolder(const std::filesystem::path& table, xbase::ShareMode mode) {
        int ready[2];
        int done[2];
        if (pipe(ready) != 0 || pipe(done) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            close(ready[0]);
            close(done[1]);
            char status = 'y';
            xbase::Cursor cursor;
            try {
                xbase::OpenOptions options;
                options.mode = mode;
                cursor.open(table, options);
            } catch (...) {
                status = 'n';
            }
            if (write(ready[1], &status, 1) != 1) _exit(2);
            char c;
            if (read(done[0], &c, 1) < 0) _exit(2);
            _exit(0);  // no destructors: the parent owns everything else
        }
        close(ready[1]);
        close(done[0]);
        done_ = done[1];
        char status = 0;
        ok_ = read(ready[0], &status, 1) == 1 && status == 'y';
        close(ready[0]);
    }
    ~TableHolder() {
        if (done_ >= 0) close(done_);
        if (child_ > 0) {
            int status = 0;
            waitpid(child_, &status, 0);
        }
    }
    TableHolder(const TableHolder&) = delete;
    TableHolder& operator=(const TableHolder&) = delete;

    bool ok() const { return ok_; }

  private:
    pid_t child_ = -1;
    int done_ = -1;
    bool ok_ = false;
};

}  // namespace testsupport
