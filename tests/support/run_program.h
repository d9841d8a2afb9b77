#pragma once
// Runs another program (no shell in between) and captures what it prints.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

struct ProgramResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together, and a time-out note
};

// nullopt when the program could not be started at all (not installed). A program still
// running after `timeout` is killed: its exit code is -1 and its output says so.
inline std::optional<ProgramResult> runProgram(
    const std::vector<std::string>& command, const std::string& input = {},
    std::chrono::seconds timeout = std::chrono::seconds(120)) {
    int out[2];
    int in[2];
    if (pipe(out) != 0) return std::nullopt;
    if (pipe(in) != 0) {
        close(out[0]), close(out[1]);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    std::vector<char*> argv;
    for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);
    if (spawned != 0) {
        close(out[0]);
        close(in[1]);
        return std::nullopt;
    }
    if (!input.empty()) {
        size_t done = 0;
        while (done < input.size()) {
            ssize_t n = write(in[1], input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }
    close(in[1]);
    ProgramResult result;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{out[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) == 0) {
            timedOut = true;
            break;
        }
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        result.output.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    if (timedOut) kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (timedOut) {
        result.output += "\n[" + command[0] + " did not finish within " +
                         std::to_string(timeout.count()) + " s and was stopped]";
        return result;
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (result.exitCode == 127 && result.output.empty()) return std::nullopt;
    return result;
}

}  // namespace testsupport
