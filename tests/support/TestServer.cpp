// Starts and ends the local HTTPS test server. POSIX process control.
#include "support/TestServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace lunteva::testing {
namespace {

using namespace std::chrono_literals;

// Waits up to limit for the child to end; true when it has been reaped.
bool reaped(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || done < 0) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
}

}  // namespace

TestServer::TestServer(const Options& options) {
    // The server removes its ports file when it ends, also when this process
    // is killed (it ends with its parent), so nothing is left behind.
    static int started = 0;
    std::error_code ignored;
    portsFile_ = (std::filesystem::temp_directory_path() /
                  ("lunteva-test-" + std::to_string(getpid()) + "-" + std::to_string(++started) + ".ports"))
                     .string();
    std::filesystem::remove(portsFile_, ignored);
    const std::string& portsFile = portsFile_;

    std::vector<std::string> args = {LUNTEVA_PYTHON, LUNTEVA_HTTPS_SERVER, "--ports-file", portsFile,
                                     "--state-dir", LUNTEVA_CERT_DIR, "--lifetime", "900"};
    if (!options.page.empty()) args.insert(args.end(), {"--page", options.page});
    if (!options.today.empty()) args.insert(args.end(), {"--today", options.today});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return;
    }

    const auto end = std::chrono::steady_clock::now() + 60s;
    while (!std::filesystem::exists(portsFile)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;  // it ended without coming up
            return;
        }
        if (std::chrono::steady_clock::now() >= end) return;
        std::this_thread::sleep_for(20ms);
    }
    std::ifstream in(portsFile);
    std::string name, value;
    while (in >> name >> value) {
        if (name == "ca")
            caFile_ = value;
        else
            ports_[name] = std::atoi(value.c_str());
    }
}

TestServer::~TestServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (!reaped(pid_, 5000ms)) {
            kill(pid_, SIGKILL);
            reaped(pid_, 5000ms);
        }
    }
    std::error_code ignored;
    std::filesystem::remove(portsFile_, ignored);
}

int TestServer::port(std::string_view listener) const {
    const auto found = ports_.find(listener);
    return found == ports_.end() ? 0 : found->second;
}

std::string TestServer::url(std::string_view listener, std::string_view path) const {
    std::ostringstream out;
    out << (listener == "http" ? "http" : "https") << "://127.0.0.1:" << port(listener) << path;
    return out.str();
}

int refusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);  // never listened on: connections are refused
    return port;
}

}  // namespace lunteva::testing
