#pragma once
// Paths and small files for the tests of the desktop seams and the link actions.

#include <QFile>
#include <QString>

#include <filesystem>
#include <fstream>

namespace testsupport {

inline QString qpath(const std::filesystem::path& path) {
    return QFile::decodeName(path.native().c_str());
}

// A tiny shell script, executable when asked: what the open-file tests hand over.
inline std::filesystem::path makeFile(const std::filesystem::path& path, bool executable = false) {
    std::ofstream(path) << "#!/bin/sh\n";
    if (executable) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    }
    return path;
}

}  // namespace testsupport
