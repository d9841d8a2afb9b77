#pragma once
// Helpers shared by the table engine's tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <xbase/cursor.h>

#include "cdx.h"
#include "entry_writer.h"
#include "temp_dir.h"
#include "test_files.h"

namespace tabletest {

namespace fs = std::filesystem;
using testsupport::littleEndian;
using testsupport::littleEndianBytes;
using testsupport::readBytes;
using testsupport::readLines;
using testsupport::writeBytes;

using testsupport::addEntry;
using testsupport::Entry;
using testsupport::kAddressFieldList;
using testsupport::makeAddressTable;
using testsupport::writeEntries;

inline xbase::OpenOptions openOptions(xbase::ShareMode mode = xbase::ShareMode::Shared,
                                      const std::string& index = {}) {
    xbase::OpenOptions options;
    options.mode = mode;
    options.index = index;
    return options;
}

// The names the cursor shows, from the first to the last.
inline std::vector<std::string> names(xbase::Cursor& c) {
    std::vector<std::string> out;
    const int field = c.requireField("NAME");
    for (c.first(); !c.eof(); c.next()) out.push_back(c.text(field));
    return out;
}

// a-z to A-Z, as upper() of the index expressions does.
inline std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

inline std::string rightTrimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

inline std::string padded(std::string text, size_t length = 30, char pad = ' ') {
    text.resize(length, pad);
    return text;
}

// The key of `name` in an upper(Name) tag of the address table.
inline std::string upperKey(const std::string& name) {
    return padded(upper(name));
}

// Every entry of `tag`, in index order.
inline std::vector<xbase::IndexEntry> walk(xbase::CdxTag& tag) {
    std::vector<xbase::IndexEntry> entries;
    tag.scan({}, 0, [&](std::string_view key, uint32_t recno) {
        entries.push_back({std::string(key), recno});
        return true;
    });
    return entries;
}

}  // namespace tabletest
