#include "headless_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
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

HeadlessProcess::HeadlessProcess(std::string program, std::string home,
                                 std::chrono::milliseconds timeout)
    : program_(std::move(program)), home_(std::move(home)), timeout_(timeout) {}

HeadlessProcess::~HeadlessProcess() {
    finish();
    if (ownHome_) {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
}

bool HeadlessProcess::start(const std::vector<std::string>& args) {
    if (home_.empty()) {
        std::string home = "/tmp/cedar-headless-XXXXXX";
        if (mkdtemp(home.data()) == nullptr) {
            failure_ = std::string("mkdtemp: ") + std::strerror(errno);
            return false;
        }
        home_ = home;
        ownHome_ = true;
    }
    // Standard input is a socket so that writing to a program that died
    // fails with EPIPE instead of raising SIGPIPE (send with MSG_NOSIGNAL).
    int in[2], out[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        failure_ = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        failure_ = std::string("pipe2: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    const std::string errFile = home_ + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        // The user's folders come from HOME alone.
        if (entry.rfind("HOME=", 0) == 0 || entry.rfind("XDG_", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("HOME=" + home_);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopies = {program_};
    argCopies.insert(argCopies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argCopies)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const int rc =
        posix_spawn(&pid_, program_.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[1]);
    close(out[1]);
    if (rc != 0) {
        pid_ = -1;
        failure_ = "posix_spawn " + program_ + ": " + std::strerror(rc);
        close(in[0]);
        close(out[0]);
        return false;
    }
    in_ = in[0];
    out_ = out[0];
    return true;
}

bool HeadlessProcess::readLine(std::string& line, Clock::time_point deadline) {
    for (;;) {
        const auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        if (out_ < 0 || Clock::now() >= deadline) return false;
        pollfd p{out_, POLLIN, 0};
        const int n = poll(&p, 1, millisecondsUntil(deadline));
        if (n < 0 && errno != EINTR) return false;
        if (n <= 0) continue;
        char buffer[65536];
        const ssize_t got = read(out_, buffer, sizeof buffer);
        if (got > 0) {
            pending_.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            close(out_);
            out_ = -1;
        }
    }
}

HeadlessProcess::Answer HeadlessProcess::command(const std::string& line) {
    Answer answer;
    if (pid_ < 0) {
        answer.error = "cedar_headless is not running";
        return answer;
    }
    const std::string text = line + "\n";
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(in_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            answer.error = std::string("writing to cedar_headless: ") + std::strerror(errno);
            return answer;
        }
        sent += static_cast<std::size_t>(n);
    }
    const auto deadline = Clock::now() + timeout_;
    for (std::string l; readLine(l, deadline);) {
        if (l == "ok") {
            answer.ok = true;
            return answer;
        }
        if (l.rfind("error: ", 0) == 0) {
            answer.error = l.substr(7);
            return answer;
        }
        answer.lines.push_back(l);
    }
    answer.error =
        "no answer to \"" + line + "\" within " + std::to_string(timeout_.count()) + " ms";
    return answer;
}

int HeadlessProcess::finish() {
    if (pid_ < 0) return -1;
    if (in_ >= 0) shutdown(in_, SHUT_WR);  // end of input: the program ends its session
    const auto deadline = Clock::now() + timeout_;
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
    for (int* fd : {&in_, &out_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    return code;
}

int HeadlessProcess::stop() {
    if (pid_ >= 0 && in_ >= 0) {
        static const char kQuit[] = "quit\n";
        [[maybe_unused]] const auto n = ::send(in_, kQuit, sizeof kQuit - 1, MSG_NOSIGNAL);
    }
    return finish();
}

std::string HeadlessProcess::diagnostics() const {
    if (home_.empty()) return "";
    std::ifstream err(home_ + "/stderr.txt");
    return std::string(std::istreambuf_iterator<char>(err), {});
}

}  // namespace cedar::test
