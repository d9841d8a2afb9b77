#pragma once
// Inputs that block or never end: a pipe nobody writes to, a link to /dev/zero. An attempt
// to read one runs in a child process that is killed after a few seconds and refused
// memory beyond a bound, so a fault fails the test instead of hanging it or filling the
// machine.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

inline void boundThisProcess() {
    alarm(10);
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t bound =
        static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (512u << 20);
    const struct rlimit limit { bound, bound };
    setrlimit(RLIMIT_AS, &limit);
}

// A link to /dev/zero and a pipe in `folder`, both named after `name`.
inline std::vector<std::filesystem::path> plantEndlessInputs(const std::filesystem::path& folder,
                                                             const std::string& name) {
    const std::filesystem::path zero = folder / ("zero-" + name);
    const std::filesystem::path pipe = folder / ("pipe-" + name);
    std::filesystem::create_symlink("/dev/zero", zero);
    EXPECT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    return {zero, pipe};
}

}  // namespace testsupport

// Expects `statement` to throw, in time and memory, an exception whose text matches
// `message_regex`.
#define EXPECT_REFUSED_IN_TIME(statement, message_regex)               \
    EXPECT_EXIT(                                                       \
        {                                                              \
            testsupport::boundThisProcess();                           \
            try {                                                      \
                statement;                                             \
            } catch (const std::exception& refusal) {                  \
                std::fprintf(stderr, "refused: %s\n", refusal.what()); \
                std::_Exit(0);                                         \
            }                                                          \
            std::fprintf(stderr, "not refused\n");                     \
            std::_Exit(1);                                             \
        },                                                             \
        ::testing::ExitedWithCode(0), message_regex)
