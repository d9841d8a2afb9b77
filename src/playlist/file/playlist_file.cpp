#include <playlist/playlist_file.h>

#include <cerrno>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <platform/regular_file.h>

namespace playlist {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfText = '\x1a';
// Thousands of items of the longest kind; a larger file is no playlist.
constexpr std::size_t kLargestPlaylist = 16u << 20;

enum class Direction { Read, Write };

// The wording of the classic input/output errors, which is what the editor shows.
std::string ioErrorText(int error, Direction direction) {
    switch (error) {
        case ENOENT:
            return "File not found";
        case ENOTDIR:
            return "Path not found";
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return "File access denied";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case ENOSPC:
            return "Disk full";
        default:
            return direction == Direction::Read ? "Disk read error" : "Disk write error";
    }
}

[[noreturn]] void fail(const std::filesystem::path& path, int error, Direction direction) {
    throw PlaylistFileError(ioErrorText(error, direction), path, error);
}

}  // namespace

Items parsePlaylist(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find(kEndOfText));
    Items items;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find(kCarriageReturn, start);
        if (end == std::string_view::npos) {
            items.emplace_back(bytes.substr(start));
            break;
        }
        items.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
        if (start < bytes.size() && bytes[start] == kLineFeed) ++start;
    }
    return items;
}

std::string formatPlaylist(const Items& items) {
    std::size_t size = 0;
    for (const std::string& item : items) size += item.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& item : items) {
        bytes += item;
        bytes += "\r\n";
    }
    return bytes;
}

Items readPlaylistFile(const std::filesystem::path& path) {
    try {
        return parsePlaylist(platform::readRegularFile(path, kLargestPlaylist));
    } catch (const platform::RegularFileError& error) {
        switch (error.reason()) {
            case platform::RegularFileError::Reason::System:
                fail(path, error.systemError(), Direction::Read);
            case platform::RegularFileError::Reason::NotRegular:
                // A folder, a pipe, a device such as /dev/zero: nothing a list is read from.
                throw PlaylistFileError("File access denied", path, 0);
            case platform::RegularFileError::Reason::TooLarge:
                break;
        }
        throw PlaylistFileError("File too large", path, 0);
    }
}

void writePlaylistFile(const std::filesystem::path& path, const Items& items) {
    // The list goes to a temporary file beside the old one, which it replaces only once it
    // is whole and on the disk: a full disk or a failing write leaves the old list as it was.
#ifdef _WIN32
    QSaveFile file(QString::fromStdWString(path.wstring()));
#else
    QSaveFile file(QFile::decodeName(path.c_str()));
#endif
    // The system's reason, read at once: Qt keeps only its own wording.
    const auto failed = [&path, &file] {
        const int error = errno != 0 ? errno : QFileInfo(file.fileName()).isDir() ? EISDIR : EIO;
        fail(path, error, Direction::Write);
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) failed();
    const std::string bytes = formatPlaylist(items);
    errno = 0;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
        failed();
    errno = 0;
    if (!file.commit()) failed();
}

}  // namespace playlist
