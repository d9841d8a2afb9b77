#pragma once
// The playlist file (.m3u or .txt): one item per line, 8-bit text kept byte for byte.
//
// Reading: a CR ends a line and an LF right after it belongs to that line end; an LF
// anywhere else is an ordinary character. Ctrl-Z (26) or the end of the data ends the text.
// A last line without a line end is an item; a text ending in a line end gives no empty item.
// Writing: every item followed by CR LF, nothing else.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace playlist {

using Items = std::vector<std::string>;

// A file that could not be read or written. what() is the input/output error text the user
// sees ("File not found", "File access denied", ...).
class PlaylistFileError : public std::runtime_error {
  public:
    PlaylistFileError(const std::string& message, std::filesystem::path path, int systemError)
        : std::runtime_error(message), path_(std::move(path)), systemError_(systemError) {}

    const std::filesystem::path& path() const noexcept { return path_; }
    // The operating system's error number (errno), 0 when there was none.
    int systemError() const noexcept { return systemError_; }

  private:
    std::filesystem::path path_;
    int systemError_;
};

Items parsePlaylist(std::string_view bytes);
std::string formatPlaylist(const Items& items);

// Throw PlaylistFileError when the file cannot be opened, read, created or written. A list
// is read only from a regular file (a link to one is fine) of at most 16 MiB: a pipe or a
// device such as /dev/zero is refused at once.
Items readPlaylistFile(const std::filesystem::path& path);
void writePlaylistFile(const std::filesystem::path& path, const Items& items);

}  // namespace playlist
