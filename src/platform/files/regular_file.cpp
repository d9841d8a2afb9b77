#include <platform/regular_file.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif

#include <cerrno>

#include <algorithm>

namespace platform {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

[[noreturn]] void refuse(RegularFileError::Reason reason, int systemError,
                         const std::filesystem::path& path, const std::string& what) {
    throw RegularFileError(reason, systemError, path.string() + ": " + what);
}

}  // namespace

#ifdef _WIN32

// The errno value callers know for the system's answer.
int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        case ERROR_PATH_NOT_FOUND:
            return ENOTDIR;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        default:
            return EIO;
    }
}

std::string readRegularFile(const std::filesystem::path& path, std::size_t limit) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        refuse(RegularFileError::Reason::System, errnoFor(error), path, "cannot open");
    }
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};
    if (GetFileType(file) != FILE_TYPE_DISK)
        refuse(RegularFileError::Reason::NotRegular, 0, path, "not a regular file");
    std::string bytes;
    for (;;) {
        const std::size_t before = bytes.size();
        bytes.resize(before + kChunk);
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + before, static_cast<DWORD>(kChunk), &got, nullptr)) {
            const DWORD error = GetLastError();
            refuse(RegularFileError::Reason::System, errnoFor(error), path, "cannot read");
        }
        bytes.resize(before + got);
        if (bytes.size() > limit) refuse(RegularFileError::Reason::TooLarge, 0, path, "too large");
        if (got == 0) return bytes;
    }
}

#else

std::string readRegularFile(const std::filesystem::path& path, std::size_t limit) {
    int file;
    do {
        file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (file < 0 && errno == EINTR);
    if (file < 0) {
        const int error = errno;
        refuse(RegularFileError::Reason::System, error, path, std::strerror(error));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{file};
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        const int error = errno;
        refuse(RegularFileError::Reason::System, error, path, std::strerror(error));
    }
    if (!S_ISREG(status.st_mode))
        refuse(RegularFileError::Reason::NotRegular, 0, path, "not a regular file");
    std::string bytes;
    bytes.reserve(
        std::min<std::size_t>(static_cast<std::size_t>(std::max<off_t>(status.st_size, 0)), limit) +
        1);
    char buffer[kChunk];
    for (;;) {
        const ssize_t got = ::read(file, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            refuse(RegularFileError::Reason::System, error, path, std::strerror(error));
        }
        if (got == 0) return bytes;
        if (bytes.size() + static_cast<std::size_t>(got) > limit)
            refuse(RegularFileError::Reason::TooLarge, 0, path, "too large");
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

#endif

}  // namespace platform
