#pragma once
// Which file a path names, as the system tells files apart: the same text while the file
// is the same, another text once a new file was renamed over the name (as a pack does).

#include <filesystem>
#include <string>

namespace platform {

// "device:file number"; "" when the system cannot tell (no such file).
std::string fileIdentity(const std::filesystem::path& path);

}  // namespace platform
