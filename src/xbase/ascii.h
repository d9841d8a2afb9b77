#pragma once
// Letter case and padding of the names and texts the files hold. Only a-z and A-Z change
// case; every other byte, whatever the code page makes of it, passes unchanged.

#include <string>
#include <string_view>

namespace xbase {

inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}

// Without the blanks and NULs that pad a stored field or name at its end.
inline std::string withoutPadding(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
    return std::string(text.substr(0, end));
}

}  // namespace xbase
