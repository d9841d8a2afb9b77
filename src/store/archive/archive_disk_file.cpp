#include "archive_disk_file.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <system_error>

#include <store/archive_error.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace store {

namespace {

char foldAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isMissing(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

[[noreturn]] void throwLookupError(const std::error_code& error, const fs::path& path) {
    throw ArchiveError(ZIP_ER_OPEN, error.value(), path);
}

// The one file of `asked`'s folder whose name matches it but for letter case; the first
// in byte order when there are several, so the choice does not depend on folder order.
std::optional<fs::path> findIgnoringCase(const fs::path& asked) {
    const std::string wanted = utf8Name(asked.filename());
    if (wanted.empty()) return std::nullopt;
    std::error_code error;
    fs::directory_iterator folder(asked.parent_path().empty() ? fs::path(".") : asked.parent_path(),
                                  error);
    if (error) {
        if (isMissing(error)) return std::nullopt;
        throwLookupError(error, asked.parent_path());
    }
    std::optional<fs::path> best;
    for (; folder != fs::directory_iterator(); folder.increment(error)) {
        if (error) throwLookupError(error, asked.parent_path());
        const fs::path& candidate = folder->path();
        const std::string name = utf8Name(candidate.filename());
        if (!equalIgnoringAsciiCase(name, wanted)) continue;
        if (!best || name < utf8Name(best->filename())) best = candidate;
    }
    if (error) throwLookupError(error, asked.parent_path());
    return best;
}

bool isHidden(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
#else
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
#endif
}

std::time_t toTimeT(fs::file_time_type stamp) {
    const auto system = std::chrono::file_clock::to_sys(stamp);
    return std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::system_clock::duration>(system));
}

}  // namespace

std::string utf8Name(const fs::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldAscii(x) == foldAscii(y);
           });
}

DiskFile findDiskFile(const fs::path& asked) {
    DiskFile file;
    file.path = asked;

    std::error_code error;
    fs::file_status linkStatus = fs::symlink_status(asked, error);
    if (error && !isMissing(error)) throwLookupError(error, asked);
    if (!fs::exists(linkStatus)) {
        const std::optional<fs::path> other = findIgnoringCase(asked);
        if (!other) return file;
        file.path = *other;
    }
    file.name = utf8Name(file.path.filename());

    if (isHidden(file.path)) {
        file.check = DiskFileCheck::Hidden;
        return file;
    }
    // A link is never followed: in a folder from elsewhere it may point at any file of the
    // user's, a private key or a mailbox, which must not end up in a backup others see.
    const fs::file_status status = fs::symlink_status(file.path, error);
    if (error && !isMissing(error)) throwLookupError(error, file.path);
    if (!fs::is_regular_file(status)) {
        file.check = DiskFileCheck::NotRegularFile;
        return file;
    }
    file.size = fs::file_size(file.path, error);
    if (!error) file.modified = toTimeT(fs::last_write_time(file.path, error));
    if (error) {
        // Gone between the two looks: as if it had never been there.
        if (isMissing(error)) return DiskFile{DiskFileCheck::NotFound, asked, {}, 0, 0};
        throwLookupError(error, file.path);
    }
    file.check = DiskFileCheck::Found;
    return file;
}

}  // namespace store
