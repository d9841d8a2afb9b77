// The playlist reader on any bytes; what it reads must survive being written and read again.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <playlist/playlist_file.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const playlist::Items items =
        playlist::parsePlaylist(std::string_view(reinterpret_cast<const char*>(data), size));
    if (playlist::parsePlaylist(playlist::formatPlaylist(items)) != items) std::abort();
    return 0;
}
