#include "archive_compression.h"

#include <zip.h>

// next_in as a pointer to const, so input needs no cast.
#define ZLIB_CONST
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <store/archive_error.h>

namespace store {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

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

// A raw deflate stream that counts its output and throws the output away.
class DeflateCounter {
  public:
    DeflateCounter() : output_(kChunk) {
        // Raw deflate with the largest memory level: what libzip's deflate writer uses, so
        // the count matches the entry it will write.
        if (deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL,
                         Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~DeflateCounter() { deflateEnd(&stream_); }
    DeflateCounter(const DeflateCounter&) = delete;
    DeflateCounter& operator=(const DeflateCounter&) = delete;

    void feed(const unsigned char* data, std::size_t size) { run(data, size, Z_NO_FLUSH); }
    void finish() { run(nullptr, 0, Z_FINISH); }
    std::uint64_t produced() const { return produced_; }

  private:
    void run(const unsigned char* data, std::size_t size, int flush) {
        stream_.next_in = data;
        stream_.avail_in = static_cast<uInt>(size);
        int status = Z_OK;
        do {
            stream_.next_out = output_.data();
            stream_.avail_out = static_cast<uInt>(output_.size());
            status = deflate(&stream_, flush);
            if (status == Z_STREAM_ERROR) throw std::logic_error("deflate stream inconsistent");
            produced_ += output_.size() - stream_.avail_out;
        } while (stream_.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }

    z_stream stream_{};
    std::vector<unsigned char> output_;
    std::uint64_t produced_ = 0;
};

}  // namespace

CompressionTrial trialDeflate(const std::filesystem::path& path) {
    FileHandle file = openForReading(path);
    if (!file) throw ArchiveError(ZIP_ER_OPEN, errno, path);
    std::error_code sizeError;
    const std::uint64_t expectedSize = std::filesystem::file_size(path, sizeError);

    CompressionTrial trial;
    DeflateCounter deflater;
    std::vector<unsigned char> input(kChunk);
    for (;;) {
        const std::size_t got = std::fread(input.data(), 1, input.size(), file.get());
        if (got == 0) {
            if (std::ferror(file.get())) throw ArchiveError(ZIP_ER_READ, errno, path);
            break;
        }
        trial.inputBytes += got;
        deflater.feed(input.data(), got);
        // Output that has already reached the file's size can only grow: storing wins.
        if (!sizeError && deflater.produced() >= expectedSize) {
            trial.deflatedBytes = deflater.produced();
            return trial;
        }
    }
    deflater.finish();
    trial.deflatedBytes = deflater.produced();
    return trial;
}

}  // namespace store
