#pragma once
// A file that appears whole or not at all: written beside the old one under a name nobody
// can guess, flushed, then renamed over it (a link there is replaced, never followed).

#include <filesystem>
#include <string>

namespace store {

// Throws xbase::Error when the file cannot be written; the old one is then left as it was.
// `tag` goes into the temporary's name (".export-") so a leftover says what made it.
void writeWholeFile(const std::filesystem::path& target, const std::string& bytes,
                    const std::string& tag);

}  // namespace store
