#pragma once
// A private X server for tests that must see what a real one sees, such as the names
// windows carry there: Xvfb on a display number it picks itself (so parallel tests never
// race for one), stopped when the object goes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

class XServer {
  public:
    XServer() {
        int ready[2];
        if (pipe(ready) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string fd = std::to_string(ready[1]);
        std::vector<std::string> command = {"Xvfb",     "-displayfd", fd,  "-nolisten",   "tcp",
                                            "-noreset", "-screen",    "0", "1280x1024x24"};
        std::vector<char*> argv;
        for (auto& a : command) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        if (spawned != 0) {
            pid_ = -1;
            close(ready[0]);
            return;
        }
        // The server writes its display number once it accepts clients; allow it 30 s.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&wait, 1, 30000) == 1) {
            char buffer[16];
            const ssize_t n = read(ready[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, static_cast<size_t>(n));
        }
        close(ready[0]);
        if (number.find('\n') != std::string::npos)
            display_ = ":" + number.substr(0, number.find('\n'));
    }
    ~XServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", or empty when the server did not come up.
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace testsupport
