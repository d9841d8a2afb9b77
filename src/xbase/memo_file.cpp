#include "memo_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "byte_order.h"
#include "xbase/error.h"

namespace xbase {
namespace {

constexpr uint32_t kFptHeaderSize = 512;
constexpr uint32_t kTextBlockType = 1;
// A memo larger than this is surely a damaged length field, not a note.
constexpr uint32_t kMaxMemoLength = 0x7FFFFFFF;

std::string fileNameOf(File& file) {
    return file.path().filename().string();
}

}  // namespace

MemoFile::MemoFile(std::unique_ptr<File> file, MemoFormat format)
    : file_(std::move(file)), format_(format) {
    refreshHeader();
}

void MemoFile::refreshHeader() {
    unsigned char header[32] = {};
    const size_t got = file_->readThroughView(0, header, sizeof header);
    const std::string name = fileNameOf(*file_);
    if (got < 8)
        throw Error(ErrorKind::Corruption, code::BadMemo,
                    name + " is damaged: the memo header is missing");
    switch (format_) {
        case MemoFormat::Fpt:
            nextFree_ = getBe32(header);
            blockSize_ = getBe16(header + 6);
            if (blockSize_ == 0) blockSize_ = 1;  // some writers store 0 for 1-byte blocks
            break;
        case MemoFormat::DbaseIII:
            nextFree_ = getLe32(header);
            blockSize_ = 512;
            break;
        case MemoFormat::DbaseIV:
            nextFree_ = getLe32(header);
            blockSize_ = got >= 22 ? getLe16(header + 20) : 512;
            if (blockSize_ == 0) blockSize_ = 512;
            break;
    }
    const uint32_t firstBlock = (kFptHeaderSize + blockSize_ - 1) / blockSize_;
    if (format_ == MemoFormat::Fpt && nextFree_ < firstBlock) nextFree_ = firstBlock;
    if (format_ != MemoFormat::Fpt && nextFree_ == 0) nextFree_ = 1;
}

void MemoFile::initialize(File& file, MemoFormat format, uint16_t blockSize) {
    std::vector<unsigned char> header(512, 0);
    if (format == MemoFormat::Fpt) {
        if (blockSize == 0) blockSize = kDefaultBlockSize;
        const uint32_t firstBlock = (kFptHeaderSize + blockSize - 1) / blockSize;
        putBe32(header.data(), firstBlock);
        putBe16(header.data() + 6, blockSize);
        header.resize(std::max<uint32_t>(kFptHeaderSize, firstBlock * blockSize), 0);
    } else {
        putLe32(header.data(), 1);
        if (format == MemoFormat::DbaseIV) putLe16(header.data() + 20, 512);
    }
    file.writeAt(0, header.data(), header.size());
}

void MemoFile::setWindowed(bool on) {
    windowed_ = on;
    directReads_ = 0;
    if (!on) {
        window_.clear();
        window_.shrink_to_fit();
    }
}

size_t MemoFile::readBytes(uint64_t offset, void* out, size_t size) {
    if (file_->readFromView(offset, out, size)) return size;
    if (windowed_ && offset + size <= window_.size()) {
        std::memcpy(out, window_.data() + offset, size);
        return size;
    }
    // A few memos are read straight from the file. Many (a filter that looks into every
    // memo) are read from the whole file at once, when it is not too large: they come in the
    // table's order, which is rarely the order the memos were written in.
    if (!windowed_ || ++directReads_ <= kDirectReadsBeforeWindow)
        return file_->readAt(offset, out, size);
    const uint64_t fileSize = file_->size();
    if (fileSize > kWindowBytes) return file_->readAt(offset, out, size);
    window_.resize(fileSize);
    window_.resize(file_->readAt(0, window_.data(), fileSize));
    const size_t have =
        offset >= window_.size() ? 0 : std::min<uint64_t>(size, window_.size() - offset);
    std::memcpy(out, window_.data() + (have ? offset : 0), have);
    return have;
}

void MemoFile::writeBytes(uint64_t offset, const void* data, size_t size) {
    file_->writeAt(offset, data, size);
    if (window_.empty()) return;
    if (offset == window_.size())
        window_.append(static_cast<const char*>(data), size);
    else if (offset + size <= window_.size())
        std::memcpy(window_.data() + offset, data, size);
    else
        window_.clear();
    directReads_ = 0;
}

void MemoFile::writeHeader() {
    unsigned char bytes[4];
    if (format_ == MemoFormat::Fpt)
        putBe32(bytes, nextFree_);
    else
        putLe32(bytes, nextFree_);
    writeBytes(0, bytes, 4);
}

void MemoFile::damaged(uint32_t record, uint32_t block, const std::string& what) {
    throw Error(ErrorKind::Corruption, code::BadMemo,
                fileNameOf(*file_) + " is damaged: the memo of record " + std::to_string(record) +
                    " (block " + std::to_string(block) + ") " + what);
}

uint64_t MemoFile::sizeCovering(uint64_t end) {
    // The size is asked of the system only when a read would run past the size last
    // seen: another program may have added memos since.
    if (end > knownSize_) knownSize_ = file_->size();
    return knownSize_;
}

uint32_t MemoFile::memoLengthIn(const unsigned char* head, uint32_t owner, uint32_t block,
                                uint64_t start) {
    uint32_t length;
    if (format_ == MemoFormat::Fpt) {
        length = getBe32(head + 4);
    } else {
        if (head[0] != 0xFF || head[1] != 0xFF || head[2] != 0x08 || head[3] != 0x00)
            damaged(owner, block, "has no memo block mark");
        length = getLe32(head + 4);
        if (length < 8) damaged(owner, block, "has an impossible length");
        length -= 8;
    }
    if (length > kMaxMemoLength || start + 8 + length > sizeCovering(start + 8 + length))
        damaged(owner, block,
                "claims " + std::to_string(length) + " bytes, more than the file holds");
    return length;
}

std::string MemoFile::read(uint32_t block, uint32_t owner) {
    if (block == 0) return {};
    const uint64_t fileSize = sizeCovering(static_cast<uint64_t>(block) * blockSize_ + 8);
    const uint64_t start = static_cast<uint64_t>(block) * blockSize_;
    if (format_ == MemoFormat::Fpt && start < kFptHeaderSize)
        damaged(owner, block, "lies inside the file header");
    if (start >= fileSize) damaged(owner, block, "lies beyond the end of the file");

    if (format_ == MemoFormat::DbaseIII) {
        // Text up to the first 0x1A; a missing end mark means the text runs to the end.
        std::string text;
        std::vector<char> chunk(512);
        uint64_t pos = start;
        while (pos < fileSize) {
            size_t got = file_->readAt(pos, chunk.data(), chunk.size());
            if (got == 0) break;
            auto end =
                std::find(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got), '\x1A');
            text.append(chunk.begin(), end);
            if (end != chunk.begin() + static_cast<std::ptrdiff_t>(got)) break;
            pos += got;
        }
        return text;
    }

    // From the file's view or the window: the block header, then the text.
    unsigned char head[8];
    const bool viewed = file_->readFromView(start, head, 8);
    if (viewed || windowed_) {
        if (!viewed && readBytes(start, head, 8) < 8) damaged(owner, block, "is cut short");
        const uint32_t length = memoLengthIn(head, owner, block, start);
        std::string text(length, '\0');
        if (readBytes(start + 8, text.data(), length) != length)
            damaged(owner, block, "is cut short");
        return text;
    }

    // Otherwise one read usually covers the block header and a short memo.
    std::string buffer(std::max<uint32_t>(512, blockSize_), '\0');
    size_t got = file_->readAt(start, buffer.data(), buffer.size());
    if (got < 8) damaged(owner, block, "is cut short");
    const uint32_t length =
        memoLengthIn(reinterpret_cast<const unsigned char*>(buffer.data()), owner, block, start);
    const uint32_t dataOffset = 8;
    if (dataOffset + length <= got) return buffer.substr(dataOffset, length);
    std::string text(length, '\0');
    size_t have = got - dataOffset;
    std::memcpy(text.data(), buffer.data() + dataOffset, have);
    size_t more = file_->readAt(start + dataOffset + have, text.data() + have, length - have);
    if (more != length - have) damaged(owner, block, "is cut short");
    return text;
}

uint32_t MemoFile::length(uint32_t block, uint32_t owner) {
    if (block == 0) return 0;
    if (format_ == MemoFormat::DbaseIII) return static_cast<uint32_t>(read(block, owner).size());
    const uint64_t start = static_cast<uint64_t>(block) * blockSize_;
    const uint64_t fileSize = sizeCovering(start + 8);
    if (format_ == MemoFormat::Fpt && start < kFptHeaderSize)
        damaged(owner, block, "lies inside the file header");
    unsigned char header[8];
    if (start >= fileSize || readBytes(start, header, 8) != 8)
        damaged(owner, block, "lies beyond the end of the file");
    uint32_t length = format_ == MemoFormat::Fpt ? getBe32(header + 4) : getLe32(header + 4) - 8;
    if (length > kMaxMemoLength || start + 8 + length > sizeCovering(start + 8 + length))
        damaged(owner, block,
                "claims " + std::to_string(length) + " bytes, more than the file holds");
    return length;
}

uint64_t MemoFile::endOfMemo(uint32_t block, uint32_t owner) {
    if (format_ == MemoFormat::DbaseIII)
        return static_cast<uint64_t>(block) * blockSize_ + read(block, owner).size() + 1;
    return static_cast<uint64_t>(block) * blockSize_ + 8 + length(block, owner);
}

uint32_t MemoFile::append(std::string_view data) {
    if (data.size() > kMaxMemoLength)
        throw Error(ErrorKind::InvalidArgument, code::WriteFailed,
                    "A memo cannot hold more than 2 GB");
    const uint32_t block = nextFree_;
    const uint64_t start = static_cast<uint64_t>(block) * blockSize_;
    std::string bytes;
    const uint32_t blocks = encode(data, bytes);
    writeBytes(start, bytes.data(), bytes.size());
    knownSize_ = std::max<uint64_t>(knownSize_, start + bytes.size());
    nextFree_ = block + blocks;
    writeHeader();
    return block;
}

uint32_t MemoFile::encode(std::string_view text, std::string& out) const {
    const size_t start = out.size();
    if (format_ == MemoFormat::DbaseIII) {
        out.append(text);
        out.append("\x1A\x1A", 2);
    } else {
        unsigned char header[8];
        if (format_ == MemoFormat::Fpt) {
            putBe32(header, kTextBlockType);
            putBe32(header + 4, static_cast<uint32_t>(text.size()));
        } else {
            header[0] = 0xFF;
            header[1] = 0xFF;
            header[2] = 0x08;
            header[3] = 0x00;
            putLe32(header + 4, static_cast<uint32_t>(text.size() + 8));
        }
        out.append(reinterpret_cast<const char*>(header), sizeof header);
        out.append(text);
    }
    // Padded to whole blocks so that the file always ends on the next free block.
    const size_t blocks = (out.size() - start + blockSize_ - 1) / blockSize_;
    out.resize(start + blocks * blockSize_, '\0');
    return static_cast<uint32_t>(blocks);
}

void MemoFile::setNextFree(uint32_t block) {
    nextFree_ = block;
    writeHeader();
}

}  // namespace xbase
