#pragma once
// Helpers shared by the table engine's tests.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <xbase/cursor.h>

#include "temp_dir.h"

namespace tabletest {

namespace fs = std::filesystem;

inline constexpr const char* kFieldList = "Name,Char,30;Info,Memo;LastDate,Date;";

inline xbase::OpenOptions openOptions(xbase::ShareMode mode = xbase::ShareMode::Shared,
                                      const std::string& index = {}) {
    xbase::OpenOptions options;
    options.mode = mode;
    options.index = index;
    return options;
}

// An empty address table with its ADDRESS tag, as the program makes it.
inline fs::path makeAddressTable(const fs::path& folder) {
    const fs::path path = folder / "ADDRESS.DBF";
    xbase::createTable(path, xbase::parseFieldList(kFieldList));
    xbase::Cursor c;
    c.open(path, openOptions(xbase::ShareMode::Exclusive));
    c.createIndex("Address", "upper(Name)");
    return path;
}

inline void addEntry(xbase::Cursor& c, const std::string& name, const std::string& memo = {}) {
    c.append();
    c.setText(c.requireField("NAME"), name);
    if (!memo.empty()) c.setMemo(c.requireField("INFO"), memo);
    c.post();
}

// The names the cursor shows, from the first to the last.
inline std::vector<std::string> names(xbase::Cursor& c) {
    std::vector<std::string> out;
    const int field = c.requireField("NAME");
    for (c.first(); !c.eof(); c.next()) out.push_back(c.text(field));
    return out;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace tabletest
