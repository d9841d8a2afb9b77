#pragma once
// Paths as Qt takes them, and the plain file helpers beside them.

#include <QFile>
#include <QString>

#include <filesystem>

#include "test_files.h"

namespace testsupport {

// The path as a QString, its bytes decoded as Qt decodes file names.
inline QString qpath(const std::filesystem::path& path) {
    return QFile::decodeName(path.native().c_str());
}

// The other way: a QString file name as a path.
inline std::filesystem::path fspath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace testsupport
