#include <store/archive.h>

#include <xbase/error.h>
#include <xbase/file_system.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "archive_compression.h"
#include "archive_disk_file.h"
#include "archive_dos_time.h"
#include "archive_file_source.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace store {

namespace {

// A zip_error_t that is released on every path out.
class LibzipError {
  public:
    LibzipError() { zip_error_init(&error_); }
    ~LibzipError() { zip_error_fini(&error_); }
    LibzipError(const LibzipError&) = delete;
    LibzipError& operator=(const LibzipError&) = delete;

    zip_error_t* get() { return &error_; }

  private:
    zip_error_t error_;
};

ArchiveError errorFrom(const zip_error_t* error, const fs::path& file) {
    return ArchiveError(zip_error_code_zip(error), zip_error_code_system(error), file);
}

zip_source_t* fileSource(const fs::path& path, zip_error_t* error) {
#ifdef _WIN32
    return zip_source_win32w_create(path.c_str(), 0, -1, error);
#else
    return zip_source_file_create(path.c_str(), 0, -1, error);
#endif
}

// A file deflated beforehand, handed to libzip as deflated data: libzip copies the bytes
// as they are, and takes the size and CRC from here.
class DeflatedContent {
  public:
    explicit DeflatedContent(DeflatedFile file) : file_(std::move(file)) {
        zip_error_init(&error_);
    }
    ~DeflatedContent() { zip_error_fini(&error_); }
    DeflatedContent(const DeflatedContent&) = delete;
    DeflatedContent& operator=(const DeflatedContent&) = delete;

    static zip_source_t* create(DeflatedFile file, zip_error_t* error) {
        auto* state = new DeflatedContent(std::move(file));
        zip_source_t* source = zip_source_function_create(&DeflatedContent::call, state, error);
        if (!source) delete state;
        return source;
    }

  private:
    static zip_int64_t call(void* state, void* data, zip_uint64_t length,
                            zip_source_cmd_t command) {
        auto* self = static_cast<DeflatedContent*>(state);
        const std::string& bytes = self->file_.deflated;
        switch (command) {
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                      ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                      ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
            case ZIP_SOURCE_OPEN:
                self->at_ = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                const std::size_t count = static_cast<std::size_t>(
                    std::min<zip_uint64_t>(length, bytes.size() - self->at_));
                std::memcpy(data, bytes.data() + self->at_, count);
                self->at_ += count;
                return static_cast<zip_int64_t>(count);
            }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &self->error_);
                if (!stat) return -1;
                zip_stat_init(stat);
                stat->size = self->file_.size;
                stat->comp_size = bytes.size();
                stat->comp_method = ZIP_CM_DEFLATE;
                stat->crc = self->file_.crc;
                stat->encryption_method = ZIP_EM_NONE;
                stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                              ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&self->error_, data, length);
            case ZIP_SOURCE_FREE:
                delete self;
                return 0;
            default:
                zip_error_set(&self->error_, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }

    DeflatedFile file_;
    std::size_t at_ = 0;
    zip_error_t error_;
};

// Our own reference to a source handed to libzip: after a failed write it tells whether
// reading the file or writing the archive went wrong.
class SourceReference {
  public:
    explicit SourceReference(zip_source_t* source) : source_(source) { zip_source_keep(source_); }
    ~SourceReference() { zip_source_free(source_); }
    SourceReference(const SourceReference&) = delete;
    SourceReference& operator=(const SourceReference&) = delete;

    bool failed() const { return zip_error_code_zip(zip_source_error(source_)) != ZIP_ER_OK; }
    const zip_error_t* error() const { return zip_source_error(source_); }

  private:
    zip_source_t* source_;
};

// An archive the user may not change. access() alone would not do: root may write
// anything, yet a file without any write permission is read-only to root as well.
bool isReadOnly(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return ::access(path.c_str(), W_OK) != 0 || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
#endif
}

// An archive with no entries is nothing but its end record. libzip deletes such a file
// instead of writing it.
void writeEmptyArchive(xbase::FileSystem& files, const fs::path& path) {
    static const unsigned char endRecord[22] = {'P', 'K', 5, 6};
    if (files.exists(path)) return;  // someone else has written one meanwhile: keep theirs
    std::unique_ptr<xbase::File> file;
    fs::path written;
    int step = ZIP_ER_TMPOPEN;
    try {
        file = files.createTemporary(path, kNewArchiveTag);
        written = file->path();
        step = ZIP_ER_WRITE;
        file->writeAt(0, endRecord, sizeof endRecord);
        file->sync();
        file.reset();
        step = ZIP_ER_RENAME;
        files.rename(written, path);
        written.clear();
        files.syncFolder(path.parent_path());
    } catch (const xbase::Error& e) {
        file.reset();
        if (!written.empty()) {
            try {
                files.remove(written);
            } catch (...) {
            }
        }
        throw ArchiveError(step, e.systemError(), path);
    }
}

// The entry of that name in any letter case; the exact name first if there are several.
std::optional<zip_uint64_t> findEntry(zip_t* archive, const std::string& wanted) {
    std::optional<zip_uint64_t> found;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(count); ++index) {
        const char* name = zip_get_name(archive, index, 0);
        if (!name || !equalIgnoringAsciiCase(name, wanted)) continue;
        if (wanted == name) return index;
        if (!found) found = index;
    }
    return found;
}

// Up to date: the file has the entry's DOS date and time and its uncompressed size.
bool isUpToDate(zip_t* archive, zip_uint64_t entry, std::uint64_t size, DosDateTime stamp) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    return zip_stat_index(archive, entry, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) != 0 &&
           (stat.valid & ZIP_STAT_MTIME) != 0 && stat.size == size &&
           toDosDateTime(stat.mtime) == stamp;
}

bool settleEntry(zip_t* archive, zip_uint64_t entry, EntryCompression compression,
                 DosDateTime stamp) {
    const int compressed =
        compression == EntryCompression::Deflated
            ? zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, kDeflateLevel)
            : zip_set_file_compression(archive, entry, ZIP_CM_STORE, 0);
    return compressed == 0 && zip_file_set_dostime(archive, entry, stamp.time, stamp.date, 0) == 0;
}

}  // namespace

ZipArchive::ZipArchive(fs::path path, xbase::FileSystem* files)
    : path_(std::move(path)), files_(files ? *files : xbase::defaultFileSystem()) {
    // libzip would open a pipe and wait for a writer, and say "Operation not supported"
    // of a folder. A link could make it read and copy any zip-format file the user has.
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path_, error);
    if (fs::is_symlink(status)) throw ArchiveError::symbolicLink(path_);
    if (fs::is_directory(status)) throw ArchiveError(ZIP_ER_OPEN, EISDIR, path_);
    if (fs::exists(status) && !fs::is_regular_file(status))
        throw ArchiveError(ZIP_ER_NOZIP, 0, path_);
    open();
    if (isReadOnly(path_)) {
        abandon();
        throw ArchiveError(ZIP_ER_RDONLY, 0, path_);
    }
}

ZipArchive::~ZipArchive() {
    abandon();
}

void ZipArchive::open() {
    LibzipError error;
    zip_source_t* source = archiveFileSource(files_, path_, error.get());
    if (!source) throw errorFrom(error.get(), path_);
    archive_ = zip_open_from_source(source, ZIP_CREATE, error.get());
    if (!archive_) {
        zip_source_free(source);
        throw errorFrom(error.get(), path_);
    }
}

void ZipArchive::abandon() noexcept {
    if (archive_) zip_discard(archive_);
    archive_ = nullptr;
}

void ZipArchive::abandonAndThrow(const ArchiveError& error) {
    abandon();
    throw error;
}

AddResult ZipArchive::addFile(const fs::path& asked) {
    if (!archive_) throw std::logic_error("the archive is closed");

    const DiskFile disk = findDiskFile(asked);
    AddResult result;
    result.file = disk.path;
    switch (disk.check) {
        case DiskFileCheck::Found:
            break;
        case DiskFileCheck::NotFound:
            result.outcome = AddOutcome::NotFound;
            return result;
        case DiskFileCheck::NotRegularFile:
            result.outcome = AddOutcome::NotRegularFile;
            return result;
        case DiskFileCheck::Hidden:
            result.outcome = AddOutcome::Hidden;
            return result;
    }

    const DosDateTime stamp = toDosDateTime(disk.modified);
    const std::optional<zip_uint64_t> existing = findEntry(archive_, disk.name);
    result.entryName = existing ? zip_get_name(archive_, *existing, 0) : disk.name;
    if (existing && isUpToDate(archive_, *existing, disk.size, stamp)) {
        result.outcome = AddOutcome::Unchanged;
        return result;
    }

    DeflatedFile deflated = deflateFile(disk.path);
    const EntryCompression compression = deflated.choice;
    LibzipError error;
    zip_source_t* source = compression == EntryCompression::Deflated
                               ? DeflatedContent::create(std::move(deflated), error.get())
                               : fileSource(disk.path, error.get());
    if (!source) throw errorFrom(error.get(), disk.path);
    const SourceReference content(source);

    // A refreshed entry is a new entry under the old name, at the end of the archive. One
    // replaced in place would keep its old method's settings: libzip would deflate it at
    // its own default level (9), not ours. A new entry also carries nothing that another
    // program noted about the old file (extra fields with time stamps, encryption).
    const zip_int64_t index =
        existing && zip_delete(archive_, *existing) != 0
            ? -1
            : zip_file_add(archive_, result.entryName.c_str(), source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(source);  // not taken over by the archive
        abandonAndThrow(errorFrom(zip_get_error(archive_), path_));
    }
    if (!settleEntry(archive_, static_cast<zip_uint64_t>(index), compression, stamp))
        abandonAndThrow(errorFrom(zip_get_error(archive_), path_));

    // Write it out now: close, then open the archive as written.
    if (zip_close(archive_) != 0)
        abandonAndThrow(content.failed() ? errorFrom(content.error(), disk.path)
                                         : errorFrom(zip_get_error(archive_), path_));
    archive_ = nullptr;
    open();

    result.outcome = existing ? AddOutcome::Refreshed : AddOutcome::Added;
    return result;
}

void ZipArchive::close() {
    if (!archive_) return;
    const bool empty = zip_get_num_entries(archive_, 0) == 0;
    abandon();
    std::error_code error;
    if (empty && !fs::exists(fs::symlink_status(path_, error))) writeEmptyArchive(files_, path_);
}

fs::path backupArchivePath(const fs::path& dataFolder) {
    return fs::absolute(dataFolder).lexically_normal() / kArchiveFileName;
}

ArchiveRun archiveDataFiles(const fs::path& archivePath, const fs::path& tableFile,
                            const std::optional<fs::path>& memoFile, xbase::FileSystem* files) {
    ArchiveRun run;
    run.archive = archivePath;
    run.memo.file = memoFile.value_or(fs::path());
    ZipArchive archive(archivePath, files);
    run.table = archive.addFile(tableFile);
    if (memoFile) run.memo = archive.addFile(*memoFile);
    archive.close();
    return run;
}

}  // namespace store
