#pragma once
// The one error type of the zip archive. Its text is libzip's own wording of the failure
// followed by the file concerned, and is what the user is shown.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace store {

class ArchiveError : public std::runtime_error {
  public:
    // zipError is one of libzip's ZIP_ER_* codes; systemError the errno (or zlib code) that
    // libzip pairs with it, 0 when there is none.
    ArchiveError(int zipError, int systemError, std::filesystem::path file);
    // An archive that is a symbolic link, which is neither read nor written.
    static ArchiveError symbolicLink(std::filesystem::path file);

    int zipError() const noexcept { return zipError_; }
    int systemError() const noexcept { return systemError_; }
    // libzip's text alone, for example "Not a zip archive".
    const std::string& libraryText() const noexcept { return libraryText_; }
    const std::filesystem::path& file() const noexcept { return file_; }

  private:
    ArchiveError(int zipError, int systemError, std::filesystem::path file, std::string text);

    int zipError_;
    int systemError_;
    std::string libraryText_;
    std::filesystem::path file_;
};

}  // namespace store
