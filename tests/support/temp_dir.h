#pragma once
// A fresh folder for one test, removed when the test ends.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("CARDHOLD_TEST_TMP");
        std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
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
    std::filesystem::path path_;
};

}  // namespace testsupport
