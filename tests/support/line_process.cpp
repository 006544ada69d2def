#include "line_process.h"

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

int millisecondsUntil(LineProcess::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - LineProcess::Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
}

}  // namespace

std::vector<std::string> environmentWithout(std::initializer_list<std::string_view> prefixes) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry = *e;
        const bool drop = std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) {
            return entry.substr(0, p.size()) == p;
        });
        if (!drop) env.emplace_back(entry);
    }
    return env;
}

LineProcess::~LineProcess() {
    closeInput();
    end(Clock::now() + std::chrono::seconds(2));
}

bool LineProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                        std::string& error) {
    if (running() || argv.empty()) {
        error = running() ? "already running" : "no program";
        return false;
    }
    int in[2], out[2], err[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("pipe2: ") + std::strerror(errno);
        for (int fd : {in[0], in[1]})
            close(fd);
        return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        error = std::string("pipe2: ") + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Our tests ignore SIGPIPE (the connection code does); the child gets
    // the default back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> args(argv), envCopy(env);
    std::vector<char*> argp, envp;
    for (auto& a : args)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    for (auto& e : envCopy)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argp[0], &actions, &attributes, argp.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[1], out[1], err[1]})
        close(fd);
    if (rc != 0) {
        error = "posix_spawn " + argv[0] + ": " + std::strerror(rc);
        for (int fd : {in[0], out[0], err[0]})
            close(fd);
        return false;
    }
    pid_ = pid;
    in_ = in[0];
    out_ = out[0];
    err_ = err[0];
    fcntl(err_, F_SETFL, fcntl(err_, F_GETFL) | O_NONBLOCK);
    pending_.clear();
    stderr_.clear();
    return true;
}

bool LineProcess::writeLine(const std::string& line, std::string& error) {
    if (in_ < 0) {
        error = "its input is closed";
        return false;
    }
    const std::string text = line + "\n";
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(in_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::string("writing: ") + std::strerror(errno);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void LineProcess::drainStderr() {
    if (err_ < 0) return;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = read(err_, buffer.data(), buffer.size());
        if (n > 0) {
            stderr_.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            close(err_);
            err_ = -1;
        }
        return;
    }
}

LineProcess::Read LineProcess::readLine(std::string& line, Clock::time_point deadline) {
    for (;;) {
        const auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending_.erase(0, nl + 1);
            return Read::Line;
        }
        if (out_ < 0) return Read::Eof;
        if (Clock::now() >= deadline) return Read::Timeout;
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        const int n = poll(fds, err_ >= 0 ? 2 : 1, millisecondsUntil(deadline));
        if (n < 0 && errno != EINTR) return Read::Eof;
        if (err_ >= 0 && fds[1].revents != 0) drainStderr();
        if (fds[0].revents == 0) continue;
        std::array<char, 65536> buffer{};
        const ssize_t got = read(out_, buffer.data(), buffer.size());
        if (got > 0) {
            pending_.append(buffer.data(), static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            close(out_);
            out_ = -1;
        }
    }
}

void LineProcess::closeInput() {
    if (in_ >= 0) shutdown(in_, SHUT_WR);
}

int LineProcess::end(Clock::time_point deadline) {
    if (!running()) {
        closeFds();
        return -1;
    }
    // Its output is read to the end so that it never blocks on a full pipe.
    std::string line;
    while (readLine(line, deadline) == Read::Line) {
    }
    int status = 0;
    int code = -1;
    for (;;) {
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            if (WIFEXITED(status)) code = WEXITSTATUS(status);
            break;
        }
        if (r < 0 && errno != EINTR) break;
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
    return code;
}

void LineProcess::closeFds() {
    for (int* fd : {&in_, &out_, &err_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    pending_.clear();
}

}  // namespace cedar::test
