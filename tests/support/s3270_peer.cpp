#include "s3270_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace cedar::test {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
}

}  // namespace

bool S3270Peer::available() {
    return access(kProgram, X_OK) == 0;
}

S3270Peer::S3270Peer() : S3270Peer(Options{}) {}

S3270Peer::S3270Peer(Options options) : options_(std::move(options)) {}

S3270Peer::~S3270Peer() {
    quit();
}

bool S3270Peer::start() {
    if (running()) return true;
    // Standard input is a socket pair so that writing to a peer that died
    // fails with EPIPE instead of raising SIGPIPE (send with MSG_NOSIGNAL).
    int in[2], out[2], err[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        error_ = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("pipe2: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        error_ = std::string("pipe2: ") + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    // The environment with LANG=C.UTF-8 and no LC_* overriding it.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LANG=", 0) == 0 || entry.rfind("LC_", 0) == 0) continue;
        env.push_back(entry);
    }
    env.emplace_back("LANG=C.UTF-8");
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string program = kProgram;
    std::string modelFlag = "-model";
    std::string model = "3279-" + std::to_string(options_.model) + "-E";
    std::string codePageFlag = "-codepage";
    std::string codePage = options_.codePage;
    char* argv[] = {program.data(),      modelFlag.data(), model.data(),
                    codePageFlag.data(), codePage.data(),  nullptr};

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, kProgram, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[1]);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        error_ = std::string("posix_spawn: ") + std::strerror(rc);
        close(in[0]);
        close(out[0]);
        close(err[0]);
        return false;
    }
    pid_ = pid;
    stdin_ = in[0];
    stdout_ = out[0];
    stderrFd_ = err[0];
    fcntl(stderrFd_, F_SETFL, fcntl(stderrFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

void S3270Peer::drainStderr() {
    if (stderrFd_ < 0) return;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = read(stderrFd_, buffer.data(), buffer.size());
        if (n > 0) {
            stderr_.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            close(stderrFd_);
            stderrFd_ = -1;
        }
        return;
    }
}

S3270Peer::Read S3270Peer::readLine(std::string& line, Clock::time_point deadline) {
    for (;;) {
        const auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending_.erase(0, nl + 1);
            return Read::Line;
        }
        if (stdout_ < 0) return Read::Eof;
        if (Clock::now() >= deadline) return Read::Timeout;
        pollfd fds[2] = {{stdout_, POLLIN, 0}, {stderrFd_, POLLIN, 0}};
        const int n = poll(fds, stderrFd_ >= 0 ? 2 : 1, millisecondsUntil(deadline));
        if (n < 0 && errno != EINTR) return Read::Eof;
        if (stderrFd_ >= 0 && fds[1].revents != 0) drainStderr();
        if (fds[0].revents == 0) continue;
        std::array<char, 65536> buffer{};
        const ssize_t got = read(stdout_, buffer.data(), buffer.size());
        if (got > 0) {
            pending_.append(buffer.data(), static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            close(stdout_);
            stdout_ = -1;
        }
    }
}

S3270Peer::Answer S3270Peer::action(const std::string& line) {
    Answer answer;
    if (!running() || stdin_ < 0) {
        answer.failure = "s3270 is not running";
        return answer;
    }
    const std::string text = line + "\n";
    std::size_t sent = 0;
    const auto deadline = Clock::now() + options_.actionTimeout;
    while (sent < text.size()) {
        const ssize_t n = ::send(stdin_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            answer.failure = std::string("writing to s3270: ") + std::strerror(errno);
            return answer;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string previous;
    for (;;) {
        std::string l;
        const Read r = readLine(l, deadline);
        if (r == Read::Timeout) {
            answer.failure = "no answer from s3270 to " + line + " within " +
                             std::to_string(options_.actionTimeout.count()) + " ms";
            return answer;
        }
        if (r == Read::Eof) {
            answer.failure = "s3270 closed its output during " + line;
            return answer;
        }
        if (l.rfind("data:", 0) == 0) {
            l.erase(0, 5);
            if (!l.empty() && l.front() == ' ') l.erase(0, 1);
            answer.data.push_back(std::move(l));
        } else if (l == "ok" || l == "error") {
            answer.ok = l == "ok";
            answer.status = previous;
            return answer;
        } else {
            previous = l;
        }
    }
}

void S3270Peer::quit() {
    if (!running()) {
        closeFds();
        return;
    }
    if (stdin_ >= 0) {
        static const char kQuit[] = "Quit()\n";
        [[maybe_unused]] const auto n = ::send(stdin_, kQuit, sizeof kQuit - 1, MSG_NOSIGNAL);
        shutdown(stdin_, SHUT_WR);
    }
    // It exits on Quit() (or on end of input): wait for the end of its output.
    const auto deadline = Clock::now() + options_.quitTimeout;
    std::string line;
    while (readLine(line, deadline) == Read::Line) {
    }
    // Reap it, killing it if it is still there after the grace period.
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) break;
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    drainStderr();
    closeFds();
}

void S3270Peer::closeFds() {
    for (int* fd : {&stdin_, &stdout_, &stderrFd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    pending_.clear();
}

}  // namespace cedar::test
