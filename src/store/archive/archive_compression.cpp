#include "archive_compression.h"

#include <zip.h>

// next_in as a pointer to const, so input needs no cast.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <store/archive_error.h>

namespace store {

namespace {

constexpr std::size_t kBlockBytes = 256 * 1024;
constexpr std::size_t kWindowBytes = 32 * 1024;  // how far back deflate looks for a match
// Read at a time: enough blocks to keep every core busy, little enough to hold.
constexpr std::size_t kBlocksPerBatch = 32;
constexpr unsigned kMostThreads = 8;
// A final fixed-code block holding nothing but its end code: ends a stream of flushed blocks.
constexpr unsigned char kEmptyFinalBlock[] = {0x03, 0x00};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle openForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return FileHandle(_wfopen(path.c_str(), L"rb"));
#else
    return FileHandle(std::fopen(path.c_str(), "rb"));
#endif
}

// One block to deflate; `dictionary` is the input just before it, up to 32 KB.
struct Block {
    const unsigned char* dictionary = nullptr;
    std::size_t dictionarySize = 0;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::string out;
    uLong crc = 0;
    bool failed = false;
};

// Raw deflate at the archive's level, ending on a sync flush. Runs on a worker thread:
// reports failure (out of memory) in the block rather than throwing.
void deflateBlock(Block& block) noexcept {
    block.crc = crc32(0, block.data, static_cast<uInt>(block.size));
    z_stream stream{};
    if (deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        block.failed = true;
        return;
    }
    try {
        if (block.dictionarySize > 0)
            deflateSetDictionary(&stream, block.dictionary,
                                 static_cast<uInt>(block.dictionarySize));
        block.out.resize(deflateBound(&stream, block.size) + 16);
        stream.next_in = block.data;
        stream.avail_in = static_cast<uInt>(block.size);
        std::size_t written = 0;
        for (;;) {
            stream.next_out = reinterpret_cast<Bytef*>(block.out.data() + written);
            stream.avail_out = static_cast<uInt>(block.out.size() - written);
            const int status = deflate(&stream, Z_SYNC_FLUSH);
            written = block.out.size() - stream.avail_out;
            if (status != Z_OK && status != Z_BUF_ERROR) {
                block.failed = true;
                break;
            }
            // Done when all input is taken and the flush had room to finish.
            if (stream.avail_in == 0 && stream.avail_out > 0) break;
            block.out.resize(block.out.size() * 2);
        }
        block.out.resize(written);
    } catch (const std::bad_alloc&) {
        block.failed = true;
    }
    deflateEnd(&stream);
}

// Deflates the blocks on up to `threads` threads, this one included.
void deflateAll(std::vector<Block>& blocks, unsigned threads) {
    std::atomic<std::size_t> nextBlock{0};
    auto work = [&] {
        for (std::size_t i; (i = nextBlock.fetch_add(1)) < blocks.size();) deflateBlock(blocks[i]);
    };
    std::vector<std::thread> helpers;
    const std::size_t wanted = std::min<std::size_t>(threads, blocks.size());
    try {
        for (std::size_t t = 1; t < wanted; ++t) helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had: the ones running, this one included, do it all.
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    for (const Block& block : blocks)
        if (block.failed) throw std::bad_alloc();
}

unsigned threadsToUse(unsigned asked) {
    if (asked == 0) asked = std::thread::hardware_concurrency();
    return std::clamp(asked, 1u, kMostThreads);
}

}  // namespace

DeflatedFile deflateFile(const std::filesystem::path& path, unsigned threads) {
    FileHandle file = openForReading(path);
    if (!file) throw ArchiveError(ZIP_ER_OPEN, errno, path);
    std::error_code sizeError;
    const std::uint64_t expectedSize = std::filesystem::file_size(path, sizeError);
    threads = threadsToUse(threads);

    DeflatedFile result;
    result.choice = EntryCompression::Deflated;
    // The input of one batch, after the last 32 KB of the batch before it.
    std::vector<unsigned char> input(kWindowBytes + kBlocksPerBatch * kBlockBytes);
    std::size_t carried = 0;
    uLong crc = crc32(0, nullptr, 0);
    for (bool end = false; !end;) {
        unsigned char* const batch = input.data() + kWindowBytes;
        const std::size_t got = std::fread(batch, 1, kBlocksPerBatch * kBlockBytes, file.get());
        if (got < kBlocksPerBatch * kBlockBytes) {
            if (std::ferror(file.get())) throw ArchiveError(ZIP_ER_READ, errno, path);
            end = true;
        }
        std::vector<Block> blocks;
        for (std::size_t at = 0; at < got; at += kBlockBytes) {
            Block& block = blocks.emplace_back();
            block.data = batch + at;
            block.size = std::min(kBlockBytes, got - at);
            block.dictionarySize = std::min<std::size_t>(kWindowBytes, at + carried);
            block.dictionary = block.data - block.dictionarySize;
        }
        deflateAll(blocks, threads);
        for (const Block& block : blocks) {
            result.deflated += block.out;
            crc = crc32_combine(crc, block.crc, static_cast<z_off_t>(block.size));
        }
        result.size += got;
        // Output that has already reached the file's size can only grow: storing wins.
        if (!sizeError && result.deflated.size() >= expectedSize) {
            result.choice = EntryCompression::Stored;
            result.deflated.clear();
            result.deflated.shrink_to_fit();
            return result;
        }
        if (end) break;
        // The tail of this batch primes the first block of the next.
        carried = std::min<std::size_t>(kWindowBytes, carried + got);
        std::memmove(input.data() + kWindowBytes - carried, batch + got - carried, carried);
    }
    result.deflated.append(reinterpret_cast<const char*>(kEmptyFinalBlock),
                           sizeof kEmptyFinalBlock);
    result.crc = static_cast<std::uint32_t>(crc);
    if (result.deflated.size() >= result.size) {
        result.choice = EntryCompression::Stored;
        result.deflated.clear();
        result.deflated.shrink_to_fit();
    }
    return result;
}

}  // namespace store
