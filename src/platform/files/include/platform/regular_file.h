#pragma once
// Reading a whole file that someone else may have made: a report file, a playlist. Such a
// name can be a link to /dev/zero, a pipe nobody writes to, or a file of many gigabytes;
// each is refused at once instead of blocking or filling the memory.

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace platform {

class RegularFileError : public std::runtime_error {
  public:
    enum class Reason {
        System,      // the system refused to open or read it; systemError() says why
        NotRegular,  // a folder, a device, a pipe: not a file with contents
        TooLarge,    // more bytes than the caller takes
    };
    RegularFileError(Reason reason, int systemError, const std::string& text)
        : std::runtime_error(text), reason_(reason), systemError_(systemError) {}

    Reason reason() const noexcept { return reason_; }
    // The errno value of the system's refusal (Windows errors translated); 0 when the
    // system did not refuse.
    int systemError() const noexcept { return systemError_; }

  private:
    Reason reason_;
    int systemError_;
};

// The whole content of the regular file at `path` (a link to one is followed), of at most
// `limit` bytes as actually read, not as the file claims. The open never waits for a
// writer. Throws RegularFileError.
std::string readRegularFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace platform
