#pragma once
// What several benchmarks share: a scratch folder for the run, other programs run without
// a shell, and CPU time, steadier than the wall clock on a busy machine.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

// A folder of its own for this benchmark process, made at the first call and removed at
// exit. `name` tells the benchmarks apart in the temporary folder.
inline std::filesystem::path scratchRoot(const std::string& name) {
    static const std::filesystem::path root = [&name] {
        static const std::filesystem::path path =
            std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        std::atexit([] { std::filesystem::remove_all(path); });
        return path;
    }();
    return root;
}

// Runs a program (no shell) with its output thrown away; its exit status, -1 when it did
// not run or did not exit.
inline int runQuietly(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// CPU seconds of this process (every thread, RUSAGE_SELF) or of the programs it ran and
// waited for (RUSAGE_CHILDREN).
inline double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace bench
