#include "whole_file.h"

#include <memory>

#include <xbase/file_system.h>

namespace store {

void writeWholeFile(const std::filesystem::path& target, const std::string& bytes,
                    const std::string& tag) {
    xbase::FileSystem& files = xbase::defaultFileSystem();
    std::unique_ptr<xbase::File> temporary = files.createTemporary(target, tag);
    const std::filesystem::path temporaryPath = temporary->path();
    try {
        temporary->writeAt(0, bytes.data(), bytes.size());
        temporary->sync();
        temporary.reset();
        files.rename(temporaryPath, target);
    } catch (...) {
        temporary.reset();
        files.remove(temporaryPath);
        throw;
    }
    const std::filesystem::path folder = target.parent_path();
    files.syncFolder(folder.empty() ? std::filesystem::path(".") : folder);
}

}  // namespace store
