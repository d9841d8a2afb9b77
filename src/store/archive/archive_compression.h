#pragma once
// Deflating a file for the archive, once, on every core, before libzip writes the entry.
//
// The file is cut into blocks that are deflated side by side, each primed with the 32 KB
// that come before it, so that a match may reach back as far as in one long stream. Each
// block ends with a sync flush (an empty stored block, which leaves the stream on a byte
// boundary), so the blocks join into one deflate stream; an empty final block closes it.
// The result decides between storing and deflating: an entry is deflated only when that
// makes it smaller, and libzip copies the deflated bytes as they are.

#include <cstdint>
#include <filesystem>
#include <string>

namespace store {

enum class EntryCompression { Stored, Deflated };

// "Normal" deflate, the level the archive is written with.
inline constexpr int kDeflateLevel = 6;

struct DeflatedFile {
    EntryCompression choice = EntryCompression::Stored;
    std::uint64_t size = 0;  // the bytes read
    std::uint32_t crc = 0;   // CRC-32 of the bytes read, when deflated
    // The raw deflate stream when deflated; empty when storing wins. Deflating stops as
    // soon as its output reaches the file's size, so this never holds more than the file.
    std::string deflated;
};

// Reads the file once, on `threads` threads (0: one for each core). Throws ArchiveError
// when it cannot be opened or read.
DeflatedFile deflateFile(const std::filesystem::path& file, unsigned threads = 0);

}  // namespace store
