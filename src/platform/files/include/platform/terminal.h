#pragma once
// The terminal of a command-line tool: whether output goes to one, and a line typed there
// without echo (a password).

#include <cstdio>
#include <optional>
#include <string>

namespace platform {

// Shows `prompt` on the terminal and reads one line (at most 4096 characters) with echo
// off, restoring the terminal afterwards. nullopt when there is no terminal to ask on.
std::optional<std::string> readHiddenLine(const std::string& prompt);

// Whether `stream` goes to a terminal (where progress may be drawn over itself).
bool isTerminal(std::FILE* stream);

}  // namespace platform
