#pragma once
// The archive file as libzip reads and writes it, through the table engine's file-system
// seam (so that tests can put a failing disk under it). A new archive is written beside
// the old one, synced, and renamed over it: a failure or a crash at any point leaves the
// old archive or the new one, and no half of either.

#include <zip.h>

#include <filesystem>

#include <xbase/file_system.h>

namespace store {

// What a new archive is called until it is complete: the archive's name, this tag and
// random characters.
inline constexpr const char* kNewArchiveTag = ".writing-";

// A writable libzip source for the archive at `path`, or nullptr with `error` set.
zip_source_t* archiveFileSource(xbase::FileSystem& files, const std::filesystem::path& path,
                                zip_error_t* error);

}  // namespace store
