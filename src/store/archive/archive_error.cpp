#include <store/archive_error.h>

#include <cerrno>
#include <utility>

#include <zip.h>

namespace store {

namespace {

std::string libzipText(int zipError, int systemError) {
    zip_error_t error;
    zip_error_init(&error);
    zip_error_set(&error, zipError, systemError);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

}  // namespace

ArchiveError::ArchiveError(int zipError, int systemError, std::filesystem::path file)
    : ArchiveError(zipError, systemError, std::move(file), libzipText(zipError, systemError)) {}

ArchiveError ArchiveError::symbolicLink(std::filesystem::path file) {
    return ArchiveError(ZIP_ER_OPEN, ELOOP, std::move(file),
                        "The archive is a symbolic link, which this program never uses");
}

ArchiveError::ArchiveError(int zipError, int systemError, std::filesystem::path file,
                           std::string text)
    : std::runtime_error(text + " (" + file.string() + ")"),
      zipError_(zipError),
      systemError_(systemError),
      libraryText_(std::move(text)),
      file_(std::move(file)) {}

}  // namespace store
