#pragma once
// The backup archive: a standard ZIP file that takes ordinary files under their bare names
// and refreshes an entry only when its file has changed. Each added or refreshed entry is
// written to disk before the next file is looked at, so a failure on a later file keeps
// what the earlier ones put in.

#include <filesystem>
#include <optional>
#include <string>

#include <store/archive_error.h>

struct zip;

namespace xbase {
class FileSystem;
}

namespace store {

enum class AddOutcome {
    Added,           // a new entry
    Refreshed,       // the entry of that name, in any letter case, took the file's content
    Unchanged,       // the entry already had the file's date, time and size
    NotFound,        // no such file: nothing added, nothing to tell the user
    NotRegularFile,  // a folder, device, pipe, or a symbolic link (never followed)
    Hidden,          // a dot file here; hidden or system attribute on Windows
};

struct AddResult {
    AddOutcome outcome = AddOutcome::NotFound;
    std::string entryName;       // the entry added, refreshed or left alone; empty if skipped
    std::filesystem::path file;  // the file as found on disk, or the path asked for
};

class ZipArchive {
  public:
    // Opens the ZIP archive at `path`, keeping every entry it holds, or starts a new, empty
    // one there when no file of that name exists. Throws ArchiveError when the file is not
    // a ZIP archive, is a symbolic link, is read-only or cannot be read. The archive file
    // is read and written through `files` (the operating system's when null); each write
    // makes a new archive beside the old one and renames it over when it is on the disk.
    explicit ZipArchive(std::filesystem::path path, xbase::FileSystem* files = nullptr);
    // Nothing is pending at any time (each change is written when it is made), so letting
    // the archive go without close() loses no entry.
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Takes the file into the archive and writes the archive out:
    // - an ordinary file only, looked up in any letter case; anything else, a symbolic link
    //   included, is skipped;
    // - the entry is the file's bare name as the disk reports it;
    // - an existing entry of that name in any letter case is refreshed when its DOS date
    //   and time or its size differ from the file's (it keeps its name and moves to the
    //   end of the archive), and is left byte for byte otherwise;
    // - deflated at level 6, or stored when deflating would not make it smaller.
    // Throws ArchiveError when the file cannot be read or the archive cannot be written.
    // The archive file then holds what it held before the call; after a failed write this
    // object is closed.
    AddResult addFile(const std::filesystem::path& file);

    // Releases the archive. A new archive that took no entry is written out empty, so that
    // the archive file exists afterwards.
    void close();

    bool isOpen() const noexcept { return archive_ != nullptr; }
    const std::filesystem::path& path() const noexcept { return path_; }

  private:
    void open();
    void abandon() noexcept;
    [[noreturn]] void abandonAndThrow(const ArchiveError& error);

    std::filesystem::path path_;
    xbase::FileSystem& files_;
    zip* archive_ = nullptr;
};

// The backup archive's name, in the data folder.
inline constexpr const char* kArchiveFileName = "MGdata.zip";

// What an archive run did with each data file.
struct ArchiveRun {
    std::filesystem::path archive;
    AddResult table;
    AddResult memo;  // NotFound when the table has no memo file
};

// The backup archive of the address book in `dataFolder`: the folder made absolute, then
// MGdata.zip.
std::filesystem::path backupArchivePath(const std::filesystem::path& dataFolder);

// The archive step of file maintenance: opens or creates `archive`, takes the table file,
// then its memo file when there is one, and closes it. Throws ArchiveError as addFile() does;
// an entry added before the failure stays in the archive.
ArchiveRun archiveDataFiles(const std::filesystem::path& archive,
                            const std::filesystem::path& tableFile,
                            const std::optional<std::filesystem::path>& memoFile,
                            xbase::FileSystem* files = nullptr);

}  // namespace store
