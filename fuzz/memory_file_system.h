#pragma once
// Files held in memory, for fuzz targets: thousands of runs a second without touching the
// disk. A file may grow to 64 MiB; beyond that a write fails as on a full disk, so a damaged
// header that points far away costs an error, not the machine's memory.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <xbase/file_system.h>

namespace fuzzing {

class MemoryFileSystem final : public xbase::FileSystem {
  public:
    void put(const std::filesystem::path& path, std::string bytes);
    void clear() { files_.clear(); }

    std::unique_ptr<xbase::File> open(const std::filesystem::path& path,
                                      xbase::OpenFlags flags) override;
    std::unique_ptr<xbase::File> createTemporary(const std::filesystem::path& target,
                                                 const std::string& tag) override;
    xbase::EntryType entryType(const std::filesystem::path& path) override;
    std::vector<std::string> folderEntries(const std::filesystem::path& folder) override;
    void remove(const std::filesystem::path& path) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void syncFolder(const std::filesystem::path&) override {}
    std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                          const std::string& name) override;

  private:
    std::map<std::string, std::shared_ptr<std::string>> files_;
    int temporaries_ = 0;
};

// Splits `bytes` at each occurrence of `separator`, into at most `parts` pieces.
std::vector<std::string> splitInput(std::string_view bytes, std::string_view separator,
                                    size_t parts);

}  // namespace fuzzing
