#pragma once
// Store or deflate: an entry is deflated only when that makes it smaller. libzip would
// deflate anything it is given, incompressible data included, so the choice is made here
// by deflating the file once beforehand with the settings libzip will use.

#include <cstdint>
#include <filesystem>

namespace store {

enum class EntryCompression { Stored, Deflated };

// "Normal" deflate, the level the archive is written with.
inline constexpr int kDeflateLevel = 6;

struct CompressionTrial {
    std::uint64_t inputBytes = 0;
    // What deflate produced. When the output had already reached the file's size the trial
    // stops there, and this is only a lower bound.
    std::uint64_t deflatedBytes = 0;

    EntryCompression choice() const {
        return deflatedBytes < inputBytes ? EntryCompression::Deflated : EntryCompression::Stored;
    }
};

// Reads the file once. Throws ArchiveError when it cannot be opened or read.
CompressionTrial trialDeflate(const std::filesystem::path& file);

}  // namespace store
