#include "memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <xbase/error.h>

namespace fuzzing {

namespace {

constexpr uint64_t kLargestFile = 64u << 20;

class MemoryFile final : public xbase::File {
  public:
    MemoryFile(std::shared_ptr<std::string> bytes, std::filesystem::path path)
        : bytes_(std::move(bytes)), path_(std::move(path)) {}

    size_t readAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset >= bytes_->size()) return 0;
        const size_t n = std::min<uint64_t>(size, bytes_->size() - offset);
        std::memcpy(buffer, bytes_->data() + offset, n);
        return n;
    }
    void writeAt(uint64_t offset, const void* data, size_t size) override {
        if (offset + size > kLargestFile) full();
        if (offset + size > bytes_->size()) bytes_->resize(offset + size, '\0');
        std::memcpy(bytes_->data() + offset, data, size);
    }
    uint64_t size() override { return bytes_->size(); }
    void truncate(uint64_t size) override {
        if (size > kLargestFile) full();
        bytes_->resize(size, '\0');
    }
    void sync() override {}
    bool lockShared() override { return true; }
    bool lockExclusive() override { return true; }
    void unlockShare() override {}
    bool lockRange(uint64_t, uint64_t, bool, bool) override { return true; }
    void unlockRange(uint64_t, uint64_t) override {}
    const std::filesystem::path& path() const override { return path_; }

  private:
    [[noreturn]] void full() const {
        throw xbase::Error(xbase::ErrorKind::IoError, xbase::code::WriteFailed,
                           "Cannot write " + path_.string() + ": " + std::strerror(ENOSPC), ENOSPC);
    }

    std::shared_ptr<std::string> bytes_;
    std::filesystem::path path_;
};

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto upper = [](char c) {
                   return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
               };
               return upper(x) == upper(y);
           });
}

}  // namespace

void MemoryFileSystem::put(const std::filesystem::path& path, std::string bytes) {
    files_[path.string()] = std::make_shared<std::string>(std::move(bytes));
}

std::unique_ptr<xbase::File> MemoryFileSystem::open(const std::filesystem::path& path,
                                                    xbase::OpenFlags flags) {
    auto it = files_.find(path.string());
    if (flags == xbase::OpenFlags::CreateNew) {
        if (it != files_.end())
            throw xbase::Error(
                xbase::ErrorKind::IoError, xbase::code::CreateFailed,
                "Cannot create " + path.string() + ": something of that name is in the way");
        it = files_.emplace(path.string(), std::make_shared<std::string>()).first;
    } else if (it == files_.end()) {
        throw xbase::Error(xbase::ErrorKind::NotFound, xbase::code::FileNotFound,
                           "File not found: " + path.string());
    }
    return std::make_unique<MemoryFile>(it->second, path);
}

std::unique_ptr<xbase::File> MemoryFileSystem::createTemporary(const std::filesystem::path& target,
                                                               const std::string& tag) {
    return open(target.string() + tag + std::to_string(++temporaries_),
                xbase::OpenFlags::CreateNew);
}

xbase::EntryType MemoryFileSystem::entryType(const std::filesystem::path& path) {
    return files_.count(path.string()) ? xbase::EntryType::RegularFile : xbase::EntryType::Missing;
}

std::vector<std::string> MemoryFileSystem::folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files_) {
        const std::filesystem::path path(name);
        if (path.parent_path() == folder) names.push_back(path.filename().string());
    }
    return names;
}

void MemoryFileSystem::remove(const std::filesystem::path& path) {
    files_.erase(path.string());
}

void MemoryFileSystem::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    auto it = files_.find(from.string());
    if (it == files_.end())
        throw xbase::Error(xbase::ErrorKind::IoError, xbase::code::RenameFailed,
                           "Cannot rename " + from.string() + ": " + std::strerror(ENOENT), ENOENT);
    auto bytes = it->second;
    files_.erase(it);
    files_[to.string()] = std::move(bytes);
}

std::optional<std::filesystem::path> MemoryFileSystem::findIgnoringCase(
    const std::filesystem::path& folder, const std::string& name) {
    if (files_.count((folder / name).string())) return folder / name;
    for (const std::string& candidate : folderEntries(folder))
        if (sameIgnoringCase(candidate, name)) return folder / candidate;
    return std::nullopt;
}

std::vector<std::string> splitInput(std::string_view bytes, std::string_view separator,
                                    size_t parts) {
    std::vector<std::string> pieces;
    while (pieces.size() + 1 < parts) {
        const size_t at = bytes.find(separator);
        if (at == std::string_view::npos) break;
        pieces.emplace_back(bytes.substr(0, at));
        bytes.remove_prefix(at + separator.size());
    }
    pieces.emplace_back(bytes);
    pieces.resize(parts);
    return pieces;
}

}  // namespace fuzzing
