#include "fault_injecting_file_system.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include <xbase/error.h>

namespace testsupport {

namespace fs = std::filesystem;

const char* operationName(DiskOperation operation) {
    switch (operation) {
        case DiskOperation::Write:
            return "write";
        case DiskOperation::Sync:
            return "sync";
        case DiskOperation::Rename:
            return "rename";
        case DiskOperation::Truncate:
            return "truncate";
        case DiskOperation::Create:
            return "create";
    }
    return "?";
}

namespace {

std::string key(const fs::path& path) {
    std::error_code ignored;
    return fs::absolute(path, ignored).lexically_normal().string();
}

std::string readAll(xbase::File& file) {
    std::string bytes(static_cast<size_t>(file.size()), '\0');
    bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
    return bytes;
}

xbase::Error ioError(int number, const std::string& text, int systemError) {
    return xbase::Error(xbase::ErrorKind::IoError, number, text + ": " + std::strerror(systemError),
                        systemError);
}

}  // namespace

// A file whose changes go through the plan of its file system.
class FaultyFile final : public xbase::File {
  public:
    FaultyFile(FaultInjectingFileSystem& fs, std::unique_ptr<xbase::File> inner, uint64_t id)
        : fs_(fs), inner_(std::move(inner)), id_(id) {}

    size_t readAt(uint64_t offset, void* buffer, size_t size) override {
        return inner_->readAt(offset, buffer, size);
    }

    void writeAt(uint64_t offset, const void* data, size_t size) override {
        fs_.operation(DiskOperation::Write, path(), "Cannot write " + path().string());
        fs_.growthBeforeWrites_.push_back(fs_.grown_);
        const uint64_t current = inner_->size();
        const uint64_t end = offset + size;
        if (end > current) {
            const uint64_t growth = end - current;
            const uint64_t room = fs_.room(growth);
            if (room < growth) {
                const uint64_t limit = current + room;
                if (limit > offset)
                    inner_->writeAt(offset, data, static_cast<size_t>(limit - offset));
                fs_.noteGrowth(room);
                fs_.diskFull(path());
            }
            fs_.noteGrowth(growth);
        }
        inner_->writeAt(offset, data, size);
    }

    uint64_t size() override { return inner_->size(); }

    void truncate(uint64_t size) override {
        fs_.operation(DiskOperation::Truncate, path(), "Cannot resize " + path().string());
        const uint64_t current = inner_->size();
        if (size > current) {
            if (fs_.room(size - current) < size - current) fs_.diskFull(path());
            fs_.noteGrowth(size - current);
        }
        inner_->truncate(size);
    }

    void sync() override {
        fs_.operation(DiskOperation::Sync, path(), "Cannot flush " + path().string());
        inner_->sync();
        fs_.durableContent_[id_] = readAll(*inner_);
    }

    bool lockShared() override { return inner_->lockShared(); }
    bool lockExclusive() override { return inner_->lockExclusive(); }
    void unlockShare() override { inner_->unlockShare(); }
    bool lockRange(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
        return inner_->lockRange(offset, length, exclusive, wait);
    }
    void unlockRange(uint64_t offset, uint64_t length) override {
        inner_->unlockRange(offset, length);
    }
    const fs::path& path() const override { return inner_->path(); }

  private:
    FaultInjectingFileSystem& fs_;
    std::unique_ptr<xbase::File> inner_;
    uint64_t id_;
};

FaultInjectingFileSystem::FaultInjectingFileSystem() : real_(xbase::defaultFileSystem()) {}
FaultInjectingFileSystem::~FaultInjectingFileSystem() = default;

void FaultInjectingFileSystem::failNth(DiskOperation operation, int n) {
    failAt_[operation] = n;
}
void FaultInjectingFileSystem::fillDiskAfter(uint64_t grownBytes) {
    diskRoom_ = grownBytes;
}
void FaultInjectingFileSystem::crashAtChange(int n) {
    crashAt_ = n;
}

int FaultInjectingFileSystem::count(DiskOperation operation) const {
    const auto it = counts_.find(operation);
    return it == counts_.end() ? 0 : it->second;
}

void FaultInjectingFileSystem::change(const fs::path&) {
    if (crashed_) throw SimulatedCrash();
    if (++changes_ == crashAt_) {
        crashed_ = true;
        throw SimulatedCrash();
    }
}

void FaultInjectingFileSystem::operation(DiskOperation kind, const fs::path& path,
                                         const std::string& text) {
    change(path);
    const int n = ++counts_[kind];
    const auto planned = failAt_.find(kind);
    if (planned == failAt_.end() || planned->second != n) return;
    failedPath_ = path;
    static constexpr int kNumbers[] = {xbase::code::WriteFailed, xbase::code::SyncFailed,
                                       xbase::code::RenameFailed, xbase::code::WriteFailed,
                                       xbase::code::CreateFailed};
    throw ioError(kNumbers[static_cast<int>(kind)], text, EIO);
}

uint64_t FaultInjectingFileSystem::room(uint64_t wanted) {
    if (!diskRoom_) return wanted;
    return *diskRoom_ > grown_ ? std::min(wanted, *diskRoom_ - grown_) : 0;
}

void FaultInjectingFileSystem::diskFull(const fs::path& path) {
    failedPath_ = path;
    throw ioError(xbase::code::WriteFailed, "Cannot write " + path.string(), ENOSPC);
}

// ---------------------------------------------------------------- what survives a crash

uint64_t FaultInjectingFileSystem::idOf(const fs::path& path, bool created) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return 0;
    const std::pair<uint64_t, uint64_t> inode{info.st_dev, info.st_ino};
    auto it = idOfInode_.find(inode);
    // A new file may reuse the inode number of one deleted before: it is another file.
    if (it == idOfInode_.end() || created) it = idOfInode_.insert_or_assign(inode, ++lastId_).first;
    return it->second;
}

void FaultInjectingFileSystem::trackName(const fs::path& path) {
    const std::string name = key(path);
    if (durableName_.count(name) != 0) return;
    const uint64_t id = idOf(path, false);
    durableName_[name] = id;
    if (id != 0 && durableContent_.count(id) == 0) {
        std::ifstream in(path, std::ios::binary);
        durableContent_[id] = std::string(std::istreambuf_iterator<char>(in), {});
    }
}

// A name that did not exist a moment ago now stands for a new, empty, unsynced file.
uint64_t FaultInjectingFileSystem::created(const fs::path& path) {
    const std::string name = key(path);
    if (durableName_.count(name) == 0) durableName_[name] = 0;
    const uint64_t id = idOf(path, true);
    durableContent_[id] = {};
    return id;
}

void FaultInjectingFileSystem::recover(CrashKind kind) {
    if (kind == CrashKind::PowerCut) {
        for (const auto& [name, id] : durableName_) {
            std::error_code ignored;
            fs::remove(name, ignored);
            if (id == 0) continue;
            std::ofstream out(name, std::ios::binary | std::ios::trunc);
            const std::string& bytes = durableContent_[id];
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
    }
    counts_.clear();
    failAt_.clear();
    diskRoom_.reset();
    changes_ = 0;
    crashAt_ = 0;
    crashed_ = false;
    grown_ = 0;
    growthBeforeWrites_.clear();
    failedPath_.clear();
    durableContent_.clear();
    durableName_.clear();
    idOfInode_.clear();
}

// ---------------------------------------------------------------- xbase::FileSystem

std::unique_ptr<xbase::File> FaultInjectingFileSystem::open(const fs::path& path,
                                                            xbase::OpenFlags flags) {
    if (flags == xbase::OpenFlags::CreateNew) {
        operation(DiskOperation::Create, path, "Cannot create " + path.string());
        auto file = real_.open(path, flags);
        const uint64_t id = created(path);
        return std::make_unique<FaultyFile>(*this, std::move(file), id);
    }
    auto file = real_.open(path, flags);
    trackName(path);
    return std::make_unique<FaultyFile>(*this, std::move(file), idOf(path, false));
}

std::unique_ptr<xbase::File> FaultInjectingFileSystem::createTemporary(const fs::path& target,
                                                                       const std::string& tag) {
    operation(DiskOperation::Create, target, "Cannot create " + target.string() + tag);
    auto file = real_.createTemporary(target, tag);
    const uint64_t id = created(file->path());
    return std::make_unique<FaultyFile>(*this, std::move(file), id);
}

xbase::EntryType FaultInjectingFileSystem::entryType(const fs::path& path) {
    return real_.entryType(path);
}

std::vector<std::string> FaultInjectingFileSystem::folderEntries(const fs::path& folder) {
    return real_.folderEntries(folder);
}

void FaultInjectingFileSystem::remove(const fs::path& path) {
    change(path);
    trackName(path);
    real_.remove(path);
}

void FaultInjectingFileSystem::rename(const fs::path& from, const fs::path& to) {
    operation(DiskOperation::Rename, from, "Cannot rename " + from.string() + " to " + to.string());
    trackName(from);
    trackName(to);
    real_.rename(from, to);
}

void FaultInjectingFileSystem::syncFolder(const fs::path& folder) {
    change(folder);
    real_.syncFolder(folder);
    const std::string prefix = key(folder.empty() ? fs::path(".") : folder);
    for (auto& [name, id] : durableName_)
        if (fs::path(name).parent_path().string() == prefix) id = idOf(name, false);
}

std::optional<fs::path> FaultInjectingFileSystem::findIgnoringCase(const fs::path& folder,
                                                                   const std::string& name) {
    return real_.findIgnoringCase(folder, name);
}

}  // namespace testsupport
