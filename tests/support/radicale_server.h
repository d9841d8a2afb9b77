#pragma once
// A real CardDAV server for the sync tests and benchmarks: Radicale (Debian's python3-radicale)
// on 127.0.0.1 at a free port, with htpasswd users and its storage in a folder of the
// caller's, stopped when the object goes. Every wait has an end: a server that does not
// answer in time is stopped and the failure says why, with the end of its log.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

extern char** environ;

namespace testsupport {

class RadicaleServer {
  public:
    static constexpr std::chrono::seconds kStartLimit{20};
    static constexpr std::chrono::seconds kStopLimit{10};

    struct Tls {
        std::filesystem::path certificate, key;  // PEM files
    };

    // Starts the server with its storage, users and log under `folder`, speaking https with
    // this certificate when given. Throws std::runtime_error with a message that says what
    // went wrong.
    explicit RadicaleServer(std::filesystem::path folder, std::optional<Tls> tls = std::nullopt)
        : folder_(std::move(folder)), scheme_(tls ? "https" : "http") {
        std::filesystem::create_directories(folder_ / "collections");
        std::ofstream(folder_ / "users");
        port_ = freePort();
        std::ofstream config(folder_ / "config");
        config << "[server]\n";
        if (tls)
            config << "ssl = True\ncertificate = " << tls->certificate.string()
                   << "\nkey = " << tls->key.string() << "\n";
        config << "hosts = 127.0.0.1:" << port_
               << "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " << (folder_ / "users").string()
               << "\nhtpasswd_encryption = plain\ndelay = 0.01\n"
                  "[storage]\nfilesystem_folder = "
               << (folder_ / "collections").string()
               << "\n[rights]\ntype = owner_only\n[web]\ntype = none\n";
        config.close();
        start();
    }
    ~RadicaleServer() { stop(); }
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    std::string url() const { return scheme_ + "://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::string addressBookUrl(const std::string& user) const {
        return url() + user + "/contacts/";
    }

    // A user with a plain-text password (Radicale reads the file at each login) and, when
    // asked, an empty address book "contacts".
    void addUser(const std::string& user, const std::string& password,
                 bool withAddressBook = true) {
        std::ofstream(folder_ / "users", std::ios::app) << user << ':' << password << '\n';
        if (!withAddressBook) return;
        const auto book = cardFolder(user);
        std::filesystem::create_directories(book);
        std::ofstream(book / ".Radicale.props") << R"({"tag": "VADDRESSBOOK"})";
    }

    // Where the server keeps a user's cards, one .vcf file each.
    std::filesystem::path cardFolder(const std::string& user) const {
        return folder_ / "collections" / "collection-root" / user / "contacts";
    }

    void start() {
        if (pid_ > 0) return;
        const std::string config = (folder_ / "config").string();
        const std::string log = (folder_ / "radicale.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        // Debian's module with Debian's Python: the server without the system service that
        // the `radicale` package would also start.
        std::string python = "/usr/bin/python3", module = "-m", name = "radicale",
                    option = "--config";
        char* argv[] = {python.data(),
                        module.data(),
                        name.data(),
                        option.data(),
                        const_cast<char*>(config.c_str()),
                        nullptr};
        const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            pid_ = -1;
            throw std::runtime_error("radicale cannot be started (" +
                                     std::string(strerror(failed)) +
                                     "): install python3-radicale with scripts/install-deps.sh");
        }
        const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
        while (!accepting()) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("radicale stopped at start-up:\n" + logTail());
            }
            if (std::chrono::steady_clock::now() > deadline) {
                stop();
                throw std::runtime_error(
                    "radicale did not answer on port " + std::to_string(port_) + " within " +
                    std::to_string(kStartLimit.count()) + " s and was stopped:\n" + logTail());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // Ends the server (SIGTERM, then SIGKILL after kStopLimit); its storage stays.
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }

    std::string logTail() const {
        std::ifstream in(folder_ / "radicale.log");
        std::stringstream text;
        text << in.rdbuf();
        const std::string all = text.str();
        return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
    }

  private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    // A port nobody listens on now: the system's pick for a socket bound to port 0.
    static int freePort() {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (probe >= 0) close(probe);
            throw std::runtime_error("no free port on 127.0.0.1 for radicale");
        }
        close(probe);
        return ntohs(address.sin_port);
    }

    bool accepting() const {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        if (probe < 0) return false;
        const sockaddr_in address = loopback(port_);
        const bool connected =
            connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(probe);
        return connected;
    }

    std::filesystem::path folder_;
    std::string scheme_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace testsupport
