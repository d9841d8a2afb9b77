#include "archive_file_source.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include <xbase/error.h>

namespace fs = std::filesystem;

namespace store {

namespace {

class ArchiveFile {
  public:
    ArchiveFile(xbase::FileSystem& files, fs::path path) : files_(files), path_(std::move(path)) {
        zip_error_init(&error_);
    }
    ~ArchiveFile() {
        try {
            discardNewFile();
        } catch (...) {
            // A leftover beside the archive, named as one: the archive itself is whole.
        }
        zip_error_fini(&error_);
    }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    static zip_int64_t call(void* state, void* data, zip_uint64_t length,
                            zip_source_cmd_t command) {
        auto* self = static_cast<ArchiveFile*>(state);
        if (command == ZIP_SOURCE_FREE) {
            delete self;
            return 0;
        }
        // libzip is C: nothing may be thrown through it. The code names the step that failed.
        int failure = ZIP_ER_INTERNAL;
        try {
            return self->handle(data, length, command, failure);
        } catch (const xbase::Error& e) {
            zip_error_set(&self->error_, failure, e.systemError() != 0 ? e.systemError() : EIO);
        } catch (const std::bad_alloc&) {
            zip_error_set(&self->error_, ZIP_ER_MEMORY, 0);
        } catch (...) {
            zip_error_set(&self->error_, failure, EIO);
        }
        return -1;
    }

  private:
    zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command, int& failure) {
        switch (command) {
            case ZIP_SOURCE_SUPPORTS:
                return ZIP_SOURCE_SUPPORTS_WRITABLE |
                       ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_ACCEPT_EMPTY);
            case ZIP_SOURCE_ACCEPT_EMPTY:
                return 0;  // an empty file is not an archive
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&error_, data, length);

            case ZIP_SOURCE_STAT: {
                auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
                if (!stat) return -1;
                zip_stat_init(stat);
                if (files_.entryType(path_) == xbase::EntryType::Missing) {
                    zip_error_set(&error_, ZIP_ER_READ, ENOENT);  // libzip's "start a new archive"
                    return -1;
                }
                failure = ZIP_ER_OPEN;
                stat->size = files_.open(path_, xbase::OpenFlags::ReadOnly)->size();
                stat->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_OPEN:
                failure = ZIP_ER_OPEN;
                in_ = files_.open(path_, xbase::OpenFlags::ReadOnly);
                inSize_ = in_->size();
                inAt_ = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                failure = ZIP_ER_READ;
                const auto want = static_cast<size_t>(
                    std::min<zip_uint64_t>(length, inSize_ - std::min(inAt_, inSize_)));
                const size_t got = in_->readAt(inAt_, data, want);
                inAt_ += got;
                return static_cast<zip_int64_t>(got);
            }
            case ZIP_SOURCE_CLOSE:
                in_.reset();
                return 0;
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t at =
                    zip_source_seek_compute_offset(inAt_, inSize_, data, length, &error_);
                if (at < 0) return -1;
                inAt_ = static_cast<zip_uint64_t>(at);
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return static_cast<zip_int64_t>(inAt_);

            case ZIP_SOURCE_BEGIN_WRITE:
                failure = ZIP_ER_TMPOPEN;
                discardNewFile();
                out_ = files_.createTemporary(path_, kNewArchiveTag);
                outPath_ = out_->path();
                outAt_ = outSize_ = 0;
                return 0;
            case ZIP_SOURCE_WRITE:
                failure = ZIP_ER_WRITE;
                out_->writeAt(outAt_, data, static_cast<size_t>(length));
                outAt_ += length;
                outSize_ = std::max(outSize_, outAt_);
                return static_cast<zip_int64_t>(length);
            case ZIP_SOURCE_SEEK_WRITE: {
                const zip_int64_t at =
                    zip_source_seek_compute_offset(outAt_, outSize_, data, length, &error_);
                if (at < 0) return -1;
                outAt_ = static_cast<zip_uint64_t>(at);
                return 0;
            }
            case ZIP_SOURCE_TELL_WRITE:
                return static_cast<zip_int64_t>(outAt_);
            case ZIP_SOURCE_COMMIT_WRITE:
                // On the disk before it takes the archive's name, which is made durable too.
                failure = ZIP_ER_WRITE;
                out_->sync();
                out_.reset();
                failure = ZIP_ER_RENAME;
                files_.rename(outPath_, path_);
                outPath_.clear();
                files_.syncFolder(path_.parent_path());
                return 0;
            case ZIP_SOURCE_ROLLBACK_WRITE:
                failure = ZIP_ER_REMOVE;
                discardNewFile();
                return 0;
            case ZIP_SOURCE_REMOVE:
                failure = ZIP_ER_REMOVE;
                files_.remove(path_);
                files_.syncFolder(path_.parent_path());
                return 0;
            default:
                zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }

    // Throws only when the new file is there and cannot be removed.
    void discardNewFile() {
        out_.reset();
        if (outPath_.empty()) return;
        const fs::path leftover = outPath_;
        outPath_.clear();
        files_.remove(leftover);
    }

    xbase::FileSystem& files_;
    fs::path path_;
    zip_error_t error_;
    std::unique_ptr<xbase::File> in_;
    zip_uint64_t inSize_ = 0;
    zip_uint64_t inAt_ = 0;
    std::unique_ptr<xbase::File> out_;
    fs::path outPath_;
    zip_uint64_t outAt_ = 0;
    zip_uint64_t outSize_ = 0;
};

}  // namespace

zip_source_t* archiveFileSource(xbase::FileSystem& files, const fs::path& path,
                                zip_error_t* error) {
    auto* state = new ArchiveFile(files, path);
    zip_source_t* source = zip_source_function_create(&ArchiveFile::call, state, error);
    if (!source) delete state;
    return source;
}

}  // namespace store
