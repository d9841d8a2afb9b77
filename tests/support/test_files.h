#pragma once
// Whole files as bytes and as lines, for every test folder (plain C++; the Qt form of a
// path is in test_paths.h).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

// The file's bytes; empty when it cannot be read.
inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces the file's content with `bytes`, exactly; a write that fails fails the test.
inline void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.good()) ADD_FAILURE() << "could not write " << path;
}

// The text's lines without their "\n" (a "\r" before it stays); no line after a last "\n".
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::vector<std::string> readLines(const std::filesystem::path& path) {
    return linesOf(readBytes(path));
}

// The unsigned little-endian number of `width` bytes at `at` (a read past the end throws).
inline uint32_t littleEndian(const std::string& bytes, size_t at, int width = 4) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<size_t>(i)));
    return value;
}

// `value` as `width` little-endian bytes.
inline std::string littleEndianBytes(uint32_t value, int width = 4) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

// A tiny shell script, executable when asked: what the open-file tests hand over.
inline std::filesystem::path makeFile(const std::filesystem::path& path, bool executable = false) {
    writeBytes(path, "#!/bin/sh\n");
    if (executable) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    }
    return path;
}

}  // namespace testsupport
