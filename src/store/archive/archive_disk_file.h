#pragma once
// Finding the file that an archive entry is made from: one ordinary file, looked up the
// way a Windows file system would (any letter case), named as the disk names it.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace store {

enum class DiskFileCheck {
    Found,
    NotFound,        // nothing of that name, in any letter case
    NotRegularFile,  // a folder, a device, a pipe, or a symbolic link (never followed)
    Hidden,          // a dot file here; hidden or system attribute on Windows
};

struct DiskFile {
    DiskFileCheck check = DiskFileCheck::NotFound;
    std::filesystem::path path;  // as found on disk; the asked path when nothing was found
    std::string name;            // the bare file name as found on disk: the entry's name
    std::uint64_t size = 0;
    std::time_t modified = 0;
};

// Looks `asked` up on disk. When no file has exactly that name, a file of the same folder
// whose name differs only in the letter case of a to z stands in for it, as data files
// copied from Windows arrive in any case. Throws ArchiveError when the disk refuses the
// lookup itself (an unreadable folder, for example).
DiskFile findDiskFile(const std::filesystem::path& asked);

// The entry name or the libzip path for a file-system name, in UTF-8.
std::string utf8Name(const std::filesystem::path& path);

// Compares two names folding only the letters a to z.
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace store
