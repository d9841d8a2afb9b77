// The file system seam on Windows: positioned ReadFile/WriteFile, and LockFileEx for
// both the byte-range locks at the FoxPro offsets and the whole-file share lock.
//
// Other xBase programs on Windows keep each other out of a table with share modes; this
// program opens its files sharing everything and takes its whole-file lock on a byte far
// beyond any data and beyond the FoxPro lock offsets, so that its record and header locks
// still meet theirs.

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "random_name.h"
#include "xbase/error.h"
#include "xbase/file_system.h"

namespace xbase {
namespace {

// One byte at 2^40: no table reaches it, and no other xBase program locks there.
constexpr uint64_t kShareLockOffset = 1ull << 40;

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::string systemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.'))
        text.pop_back();
    return utf8(text);
}

std::string describe(const std::filesystem::path& path, const char* what, DWORD code) {
    return std::string(what) + " " + path.string() + ": " + systemText(code);
}

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

class WindowsFile final : public File {
  public:
    WindowsFile(HANDLE handle, std::filesystem::path path)
        : handle_(handle), path_(std::move(path)) {}
    ~WindowsFile() override { CloseHandle(handle_); }

    size_t readAt(uint64_t offset, void* buffer, size_t size) override {
        auto* out = static_cast<char*>(buffer);
        size_t done = 0;
        while (done < size) {
            OVERLAPPED place = at(offset + done);
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
            if (!ReadFile(handle_, out + done, want, &got, &place)) {
                const DWORD code = GetLastError();
                if (code == ERROR_HANDLE_EOF) break;
                throw Error(ErrorKind::IoError, code::ReadFailed,
                            describe(path_, "Cannot read", code));
            }
            if (got == 0) break;
            done += got;
        }
        return done;
    }

    void writeAt(uint64_t offset, const void* data, size_t size) override {
        const auto* in = static_cast<const char*>(data);
        size_t done = 0;
        while (done < size) {
            OVERLAPPED place = at(offset + done);
            DWORD put = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
            if (!WriteFile(handle_, in + done, want, &put, &place))
                throw Error(ErrorKind::IoError, code::WriteFailed,
                            describe(path_, "Cannot write", GetLastError()));
            done += put;
        }
    }

    uint64_t size() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size))
            throw Error(ErrorKind::IoError, code::ReadFailed,
                        describe(path_, "Cannot examine", GetLastError()));
        return static_cast<uint64_t>(size.QuadPart);
    }

    void truncate(uint64_t size) override {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end))
            throw Error(ErrorKind::IoError, code::WriteFailed,
                        describe(path_, "Cannot resize", GetLastError()));
    }

    void sync() override {
        if (!FlushFileBuffers(handle_))
            throw Error(ErrorKind::IoError, code::SyncFailed,
                        describe(path_, "Cannot flush", GetLastError()));
    }

    bool lockShared() override { return takeShareLock(false); }
    bool lockExclusive() override { return takeShareLock(true); }
    void unlockShare() override {
        if (shareLock_ != ShareLock::None) unlockRange(kShareLockOffset, 1);
        shareLock_ = ShareLock::None;
    }

    bool lockRange(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
        OVERLAPPED place = at(offset);
        DWORD flags = exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
        if (!wait) flags |= LOCKFILE_FAIL_IMMEDIATELY;
        return LockFileEx(handle_, flags, 0, static_cast<DWORD>(length),
                          static_cast<DWORD>(length >> 32), &place) != 0;
    }

    void unlockRange(uint64_t offset, uint64_t length) override {
        OVERLAPPED place = at(offset);
        UnlockFileEx(handle_, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32),
                     &place);
    }

    const std::filesystem::path& path() const override { return path_; }

  private:
    enum class ShareLock { None, Shared, Exclusive };

    // Windows locks do not convert between shared and exclusive: give the old one back,
    // try the new one, and take the old one again if that fails.
    bool takeShareLock(bool exclusive) {
        const ShareLock wanted = exclusive ? ShareLock::Exclusive : ShareLock::Shared;
        if (shareLock_ == wanted) return true;
        const ShareLock before = shareLock_;
        unlockShare();
        if (lockRange(kShareLockOffset, 1, exclusive, false)) {
            shareLock_ = wanted;
            return true;
        }
        if (before != ShareLock::None &&
            lockRange(kShareLockOffset, 1, before == ShareLock::Exclusive, false))
            shareLock_ = before;
        return false;
    }

    HANDLE handle_;
    std::filesystem::path path_;
    ShareLock shareLock_ = ShareLock::None;
};

class WindowsFileSystem final : public FileSystem {
  public:
    std::unique_ptr<File> open(const std::filesystem::path& path, OpenFlags flags) override {
        DWORD access = GENERIC_READ | GENERIC_WRITE;
        DWORD disposition = OPEN_EXISTING;
        // A link is opened as itself where it must not be written through, and refused below.
        DWORD attributes = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
        switch (flags) {
            case OpenFlags::ReadWrite:
                break;
            case OpenFlags::ReadOnly:
                access = GENERIC_READ;
                attributes = FILE_ATTRIBUTE_NORMAL;
                break;
            case OpenFlags::CreateNew:
                disposition = CREATE_NEW;
                break;
        }
        HANDLE handle = CreateFileW(path.wstring().c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    disposition, attributes, nullptr);
        const bool creating = flags == OpenFlags::CreateNew;
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (!creating && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND))
                throw Error(ErrorKind::NotFound, code::FileNotFound,
                            "File not found: " + path.string());
            throw Error(ErrorKind::IoError, creating ? code::CreateFailed : code::OpenFailed,
                        describe(path, creating ? "Cannot create" : "Cannot open", code));
        }
        BY_HANDLE_FILE_INFORMATION information{};
        if (flags == OpenFlags::ReadWrite && GetFileInformationByHandle(handle, &information) &&
            (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            CloseHandle(handle);
            throw Error(ErrorKind::IoError, code::SymbolicLink,
                        "Cannot open " + path.string() + " for writing: it is a symbolic link");
        }
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            CloseHandle(handle);
            throw Error(ErrorKind::IoError, code::NotRegularFile,
                        "Cannot open " + path.string() + ": not a regular file");
        }
        return std::make_unique<WindowsFile>(handle, path);
    }

    // New files take the folder's inherited access rights.
    std::unique_ptr<File> createTemporary(const std::filesystem::path& target,
                                          const std::string& tag) override {
        for (int attempt = 0;; ++attempt) {
            const std::filesystem::path path(target.wstring() +
                                             std::filesystem::path(tag + randomName()).wstring());
            try {
                return open(path, OpenFlags::CreateNew);
            } catch (const Error&) {
                if (attempt < 8 && exists(path)) continue;  // a name already taken
                throw;
            }
        }
    }

    EntryType entryType(const std::filesystem::path& path) override {
        const DWORD attributes = GetFileAttributesW(path.wstring().c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return EntryType::Missing;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryType::SymbolicLink;
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
            return EntryType::Other;
        return EntryType::RegularFile;
    }

    std::vector<std::string> folderEntries(const std::filesystem::path& folder) override {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(
                 folder.empty() ? std::filesystem::path(".") : folder, ec)) {
            try {
                names.push_back(entry.path().filename().string());
            } catch (const std::exception&) {
                // A name the narrow code page cannot hold is none of the table's.
            }
        }
        return names;
    }

    void remove(const std::filesystem::path& path) override {
        if (!DeleteFileW(path.wstring().c_str())) {
            const DWORD code = GetLastError();
            if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
                throw Error(ErrorKind::IoError, code::WriteFailed,
                            describe(path, "Cannot delete", code));
        }
    }

    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (!MoveFileExW(from.wstring().c_str(), to.wstring().c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw Error(ErrorKind::IoError, code::RenameFailed,
                        "Cannot rename " + from.string() + " to " + to.string() + ": " +
                            systemText(GetLastError()));
    }

    // MOVEFILE_WRITE_THROUGH already made the rename durable.
    void syncFolder(const std::filesystem::path&) override {}

    // Windows file names compare without regard to case already.
    std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                          const std::string& name) override {
        const std::filesystem::path candidate =
            (folder.empty() ? std::filesystem::path(".") : folder) / name;
        if (exists(candidate)) return candidate;
        return std::nullopt;
    }
};

}  // namespace

FileSystem& defaultFileSystem() {
    static WindowsFileSystem instance;
    return instance;
}

}  // namespace xbase

#endif  // _WIN32
