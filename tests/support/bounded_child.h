#pragma once
// For inputs that may block or never end (a pipe, /dev/zero): the attempt runs in a child
// process that is killed after a few seconds and refused memory beyond a bound, so a
// fault fails the test instead of hanging it or filling the machine.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>

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
