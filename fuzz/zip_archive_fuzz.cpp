// A damaged backup archive of any bytes, opened and refreshed with the table and memo files
// as the maintenance command does: the archive's own error, or an archive that opens again.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <store/archive.h>

#include "memory_file_system.h"

namespace {

// Two small data files on disk, made once and removed at the end: the archive takes files
// by their path.
struct DataFolder {
    DataFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cardhold-zip-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
        std::ofstream(path / "ADDRESS.DBF", std::ios::binary)
            << std::string(300, 'A') + "Smith, Anna" + std::string(200, ' ');
        std::ofstream(path / "ADDRESS.fpt", std::ios::binary) << "\x01\x02\x03 memo text";
    }
    ~DataFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

const std::filesystem::path& dataFolder() {
    static const DataFolder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzing::MemoryFileSystem files;
    const std::filesystem::path archivePath = "/fuzz-zip/MGdata.zip";
    files.clear();
    files.put(archivePath, std::string(reinterpret_cast<const char*>(data), size));
    try {
        store::ZipArchive archive(archivePath, &files);
        archive.addFile(dataFolder() / "ADDRESS.DBF");
        archive.addFile(dataFolder() / "ADDRESS.fpt");
        archive.close();
    } catch (const store::ArchiveError&) {
        return 0;
    }
    try {
        store::ZipArchive again(archivePath, &files);  // what was written is an archive
    } catch (const store::ArchiveError&) {
        std::abort();
    }
    return 0;
}
