#pragma once
// A fresh folder for one test, removed when the test ends.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testsupport {

class TempDir {
  public:
    // In the test run's own folder (CARDHOLD_TEST_TMP), else the system's.
    TempDir() : TempDir(testRoot()) {}
    // Under `root`: the system's temporary folder for a test whose child runs as another
    // user, who may not pass through the folders above the build tree (a home folder).
    explicit TempDir(const std::filesystem::path& root) {
        std::filesystem::create_directories(root);
        std::random_device rd;
        for (;;) {
            path_ = root / ("t" + std::to_string(rd()) + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    static std::filesystem::path testRoot() {
        const char* base = std::getenv("CARDHOLD_TEST_TMP");
        return base ? base : std::filesystem::temp_directory_path();
    }

    std::filesystem::path path_;
};

}  // namespace testsupport
