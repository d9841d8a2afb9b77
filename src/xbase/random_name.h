#pragma once
// Random characters for the names of new files, so that nobody can plant anything under a
// name the engine is about to create.

#include <cstdio>
#include <random>
#include <string>

namespace xbase {

inline std::string randomName() {
    std::random_device source;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(source()),
                  static_cast<unsigned>(source()));
    return text;
}

}  // namespace xbase
