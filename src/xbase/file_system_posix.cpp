// The file system seam on POSIX systems: pread/pwrite, flock() for the whole-file share
// lock (the lock other xBase engines on Linux take), fcntl() for byte-range locks.
// Folders may come from anyone: writes never go through a symbolic link, and a pipe or a
// device where a table file should be is refused at once.

#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_view_posix.h"
#include "random_name.h"
#include "xbase/error.h"
#include "xbase/file_system.h"

namespace xbase {
namespace {

std::string describe(const std::filesystem::path& path, const char* what, int err) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(err);
}

class PosixFile final : public File {
  public:
    PosixFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)), view_(fd) {}
    ~PosixFile() override { ::close(fd_); }

    size_t readAt(uint64_t offset, void* buffer, size_t size) override {
        auto* out = static_cast<char*>(buffer);
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                throw Error(ErrorKind::IoError, code::ReadFailed,
                            describe(path_, "Cannot read", errno), errno);
            }
            if (n == 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

    void writeAt(uint64_t offset, const void* data, size_t size) override {
        const auto* in = static_cast<const char*>(data);
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                throw Error(ErrorKind::IoError, code::WriteFailed,
                            describe(path_, "Cannot write", errno), errno);
            }
            done += static_cast<size_t>(n);
        }
        view_.wroteUpTo(offset + size);
    }

    bool readFromView(uint64_t offset, void* buffer, size_t size) override {
        return view_.copy(offset, buffer, size);
    }

    uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            throw Error(ErrorKind::IoError, code::ReadFailed,
                        describe(path_, "Cannot examine", errno), errno);
        return static_cast<uint64_t>(st.st_size);
    }

    void truncate(uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            throw Error(ErrorKind::IoError, code::WriteFailed,
                        describe(path_, "Cannot resize", errno), errno);
        view_.truncatedTo(size);
    }

    void sync() override {
        if (::fsync(fd_) != 0)
            throw Error(ErrorKind::IoError, code::SyncFailed,
                        describe(path_, "Cannot flush", errno), errno);
    }

    bool lockShared() override { return flockNoWait(LOCK_SH); }
    bool lockExclusive() override { return flockNoWait(LOCK_EX); }
    void unlockShare() override { ::flock(fd_, LOCK_UN); }

    bool lockRange(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
        struct flock lk {};
        lk.l_type = exclusive ? F_WRLCK : F_RDLCK;
        lk.l_whence = SEEK_SET;
        lk.l_start = static_cast<off_t>(offset);
        lk.l_len = static_cast<off_t>(length);
        for (;;) {
            if (::fcntl(fd_, wait ? F_SETLKW : F_SETLK, &lk) == 0) return true;
            if (errno == EINTR) continue;
            if (errno == EACCES || errno == EAGAIN) return false;
            // A file system without byte locks: behave as a single-user system.
            if (errno == ENOLCK || errno == EINVAL) return true;
            return false;
        }
    }

    void unlockRange(uint64_t offset, uint64_t length) override {
        struct flock lk {};
        lk.l_type = F_UNLCK;
        lk.l_whence = SEEK_SET;
        lk.l_start = static_cast<off_t>(offset);
        lk.l_len = static_cast<off_t>(length);
        ::fcntl(fd_, F_SETLK, &lk);
    }

    const std::filesystem::path& path() const override { return path_; }

  private:
    bool flockNoWait(int how) {
        for (;;) {
            if (::flock(fd_, how | LOCK_NB) == 0) return true;
            if (errno == EINTR) continue;
            if (errno == EWOULDBLOCK) return false;
            return true;  // no flock support on this file system
        }
    }

    int fd_;
    std::filesystem::path path_;
    FileView view_;
};

bool equalsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// Opens without waiting on a pipe and without following a link where `flags` says so, and
// keeps only regular files.
int openRegularFile(const std::filesystem::path& path, int oflags, bool creating) {
    int fd;
    do {
        fd = ::open(path.c_str(), oflags | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT && !creating)
            throw Error(ErrorKind::NotFound, code::FileNotFound,
                        "File not found: " + path.string());
        if (err == ELOOP && (oflags & O_NOFOLLOW))
            throw Error(ErrorKind::IoError, code::SymbolicLink,
                        "Cannot open " + path.string() + " for writing: it is a symbolic link");
        if (err == EEXIST && creating)
            throw Error(
                ErrorKind::IoError, code::CreateFailed,
                "Cannot create " + path.string() + ": something of that name is in the way");
        throw Error(ErrorKind::IoError, creating ? code::CreateFailed : code::OpenFailed,
                    describe(path, creating ? "Cannot create" : "Cannot open", err), err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error(ErrorKind::IoError, code::NotRegularFile,
                    "Cannot open " + path.string() + ": not a regular file");
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

class PosixFileSystem final : public FileSystem {
  public:
    std::unique_ptr<File> open(const std::filesystem::path& path, OpenFlags flags) override {
        int oflags = 0;
        switch (flags) {
            case OpenFlags::ReadWrite:
                oflags = O_RDWR | O_NOFOLLOW;
                break;
            case OpenFlags::ReadOnly:
                oflags = O_RDONLY;
                break;
            case OpenFlags::CreateNew:
                oflags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
                break;
        }
        const int fd = openRegularFile(path, oflags, flags == OpenFlags::CreateNew);
        return std::make_unique<PosixFile>(fd, path);
    }

    std::unique_ptr<File> createTemporary(const std::filesystem::path& target,
                                          const std::string& tag) override {
        struct stat model {};
        const bool keepMode = ::lstat(target.c_str(), &model) == 0 && S_ISREG(model.st_mode);
        for (int attempt = 0;; ++attempt) {
            const std::filesystem::path path(target.string() + tag + randomName());
            int fd;
            try {
                fd = openRegularFile(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, true);
            } catch (const Error&) {
                if (attempt < 8 && entryType(path) != EntryType::Missing)
                    continue;  // a name already taken
                throw;
            }
            if (keepMode) ::fchmod(fd, model.st_mode & 07777);
            return std::make_unique<PosixFile>(fd, path);
        }
    }

    EntryType entryType(const std::filesystem::path& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return EntryType::Missing;
        if (S_ISLNK(st.st_mode)) return EntryType::SymbolicLink;
        return S_ISREG(st.st_mode) ? EntryType::RegularFile : EntryType::Other;
    }

    std::vector<std::string> folderEntries(const std::filesystem::path& folder) override {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(
                 folder.empty() ? std::filesystem::path(".") : folder, ec))
            names.push_back(entry.path().filename().string());
        return names;
    }

    void remove(const std::filesystem::path& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throw Error(ErrorKind::IoError, code::WriteFailed,
                        describe(path, "Cannot delete", errno), errno);
    }

    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw Error(ErrorKind::IoError, code::RenameFailed,
                        "Cannot rename " + from.string() + " to " + to.string() + ": " +
                            std::strerror(errno),
                        errno);
    }

    void syncFolder(const std::filesystem::path& folder) override {
        int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        ::fsync(fd);
        ::close(fd);
    }

    std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                          const std::string& name) override {
        const std::filesystem::path dir = folder.empty() ? std::filesystem::path(".") : folder;
        if (exists(dir / name)) return dir / name;
        std::optional<std::filesystem::path> found;
        for (const std::string& candidate : folderEntries(dir)) {
            if (equalsIgnoringAsciiCase(candidate, name)) {
                if (!found || candidate < found->filename().string()) found = dir / candidate;
            }
        }
        return found;
    }
};

}  // namespace

FileSystem& defaultFileSystem() {
    static PosixFileSystem instance;
    return instance;
}

}  // namespace xbase

#endif  // !_WIN32
