// Runs a child process with pipes on its three standard streams.
#include "support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace lunteva::testing {
namespace {

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

bool makePipe(Fd& readEnd, Fd& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd = Fd(fds[0]);
    writeEnd = Fd(fds[1]);
    return true;
}

}  // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input) {
    ProcessResult result;
    Fd inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!makePipe(inRead, inWrite) || !makePipe(outRead, outWrite) || !makePipe(errRead, errWrite)) return result;

    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    inRead.reset();
    outWrite.reset();
    errWrite.reset();
    if (spawned != 0) return result;

    // A child that exits without reading its input must not kill the test.
    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    if (input.empty()) inWrite.reset();
    else fcntl(inWrite.get(), F_SETFL, O_NONBLOCK);
    char buffer[65536];
    while (outRead.get() >= 0 || errRead.get() >= 0) {
        pollfd fds[3] = {{outRead.get(), POLLIN, 0}, {errRead.get(), POLLIN, 0}, {inWrite.get(), POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        Fd* sources[2] = {&outRead, &errRead};
        std::string* sinks[2] = {&result.out, &result.err};
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) continue;
            const ssize_t got = read(sources[i]->get(), buffer, sizeof buffer);
            if (got > 0) sinks[i]->append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR) sources[i]->reset();
        }
        if (fds[2].revents != 0) {
            const ssize_t put = write(inWrite.get(), input.data() + written, input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put < 0 && errno != EAGAIN && errno != EINTR) inWrite.reset();
            if (written == input.size()) inWrite.reset();
        }
    }
    inWrite.reset();
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace lunteva::testing
