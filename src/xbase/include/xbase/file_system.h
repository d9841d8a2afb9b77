#pragma once
// Every byte the engine reads or writes goes through this seam, so tests can put a
// failing or crashing disk under a table and check that nothing is lost.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace xbase {

class File {
  public:
    virtual ~File() = default;

    // Reads up to `size` bytes at `offset`; returns how many were read (short at end of file).
    virtual size_t readAt(uint64_t offset, void* buffer, size_t size) = 0;
    virtual void writeAt(uint64_t offset, const void* data, size_t size) = 0;
    // Copies `size` bytes at `offset` out of a view of the file in memory, without a system
    // call, where the file system offers one. Returns false when it does not or cannot (the
    // bytes lie past the end of the file, say): then read them with readAt, which says why.
    virtual bool readFromView(uint64_t offset, void* buffer, size_t size) {
        (void)offset, (void)buffer, (void)size;
        return false;
    }
    // readAt, from the view where there is one.
    size_t readThroughView(uint64_t offset, void* buffer, size_t size) {
        return readFromView(offset, buffer, size) ? size : readAt(offset, buffer, size);
    }
    virtual uint64_t size() = 0;
    virtual void truncate(uint64_t size) = 0;
    virtual void sync() = 0;

    // Whole-file share lock between processes, held for as long as the table is open.
    // Returns false when another process holds a conflicting lock.
    virtual bool lockShared() = 0;
    virtual bool lockExclusive() = 0;
    virtual void unlockShare() = 0;

    // Byte-range locks for records, the header and index writes (xBase lock offsets).
    virtual bool lockRange(uint64_t offset, uint64_t length, bool exclusive, bool wait) = 0;
    virtual void unlockRange(uint64_t offset, uint64_t length) = 0;

    virtual const std::filesystem::path& path() const = 0;
};

enum class OpenFlags {
    ReadWrite,  // existing file, read and write; never through a symbolic link
    ReadOnly,   // existing file, read only; a symbolic link is followed
    CreateNew,  // new file; fails if anything, a symbolic link included, has the name
};

// What a name in a folder stands for, the name itself looked at (a link is not followed).
enum class EntryType { Missing, RegularFile, SymbolicLink, Other };

// Every open refuses anything but a regular file, and never waits for a writer on a pipe.
// New files and temporaries get the permissions the user's umask leaves.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Throws xbase::Error (NotFound or IoError) when the file cannot be opened; a
    // ReadWrite open of a symbolic link fails with code::SymbolicLink.
    virtual std::unique_ptr<File> open(const std::filesystem::path& path, OpenFlags flags) = 0;
    // A new, empty file beside `target`, named `target`, `tag` and random characters nobody
    // can guess, to be renamed over `target` when complete. It takes the permissions
    // `target` has when that is a regular file. Its path() is where it is.
    virtual std::unique_ptr<File> createTemporary(const std::filesystem::path& target,
                                                  const std::string& tag) = 0;
    virtual EntryType entryType(const std::filesystem::path& path) = 0;
    bool exists(const std::filesystem::path& path) { return entryType(path) != EntryType::Missing; }
    // The names in `folder`; an unreadable folder gives none.
    virtual std::vector<std::string> folderEntries(const std::filesystem::path& folder) = 0;
    // Removes the name itself (a link, never what it points to); absent is not an error.
    virtual void remove(const std::filesystem::path& path) = 0;
    // Replaces whatever `to` names (a link itself, not its target).
    virtual void rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Makes a rename or a new file in `folder` durable.
    virtual void syncFolder(const std::filesystem::path& folder) = 0;

    // The entry of `folder` whose name equals `name` ignoring ASCII letter case; the exact
    // name wins when several match. Tables copied from Windows arrive with any case.
    virtual std::optional<std::filesystem::path> findIgnoringCase(
        const std::filesystem::path& folder, const std::string& name) = 0;
};

// The operating system's file system.
FileSystem& defaultFileSystem();

}  // namespace xbase
