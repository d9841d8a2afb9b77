#include "platform/terminal.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
constexpr size_t kLongestLine = 4096;
}

#ifdef _WIN32

bool isTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

std::optional<std::string> readHiddenLine(const std::string& prompt) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return std::nullopt;
    std::fputs(prompt.c_str(), stderr);
    SetConsoleMode(input, mode & ~DWORD(ENABLE_ECHO_INPUT));
    std::string line;
    for (int c = std::getchar(); c != EOF && c != '\n' && line.size() < kLongestLine;
         c = std::getchar())
        if (c != '\r') line.push_back(static_cast<char>(c));
    SetConsoleMode(input, mode);
    std::fputs("\n", stderr);
    return line;
}

#else

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

std::optional<std::string> readHiddenLine(const std::string& prompt) {
    // The terminal itself, not standard input: that may be a pipe.
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    termios normal{};
    if (tcgetattr(tty, &normal) != 0) {
        ::close(tty);
        return std::nullopt;
    }
    termios quiet = normal;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    (void)!::write(tty, prompt.data(), prompt.size());
    tcsetattr(tty, TCSAFLUSH, &quiet);
    std::string line;
    char c = 0;
    while (line.size() < kLongestLine && ::read(tty, &c, 1) == 1 && c != '\n')
        if (c != '\r') line.push_back(c);
    tcsetattr(tty, TCSAFLUSH, &normal);
    (void)!::write(tty, "\n", 1);
    ::close(tty);
    return line;
}

#endif

}  // namespace platform
