#include "headless_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

extern char** environ;

namespace cedar::test {

using Clock = std::chrono::steady_clock;

HeadlessProcess::HeadlessProcess(std::string program, std::string home,
                                 std::chrono::milliseconds timeout)
    : program_(std::move(program)), home_(std::move(home)), timeout_(timeout) {}

HeadlessProcess::~HeadlessProcess() {
    if (pid_ > 0) finish();
}

bool HeadlessProcess::start(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        failure_ = "pipe failed";
        return false;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        failure_ = "pipe failed";
        return false;
    }
    const std::string errFile = home_ + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    // The user's folders come from HOME alone.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
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
        ::posix_spawn(&pid_, program_.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        failure_ = "cannot start " + program_;
        return false;
    }
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
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[4096];
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

HeadlessProcess::Answer HeadlessProcess::command(const std::string& line) {
    Answer answer;
    if (pid_ <= 0) {
        answer.error = "not running";
        return answer;
    }
    const std::string text = line + "\n";
    if (::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        answer.error = "cannot write the command";
        return answer;
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
    answer.error = "no answer to \"" + line + "\"";
    return answer;
}

int HeadlessProcess::finish() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    int code = -1;
    if (pid_ > 0) {
        const auto deadline = Clock::now() + timeout_;
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                if (WIFEXITED(status)) code = WEXITSTATUS(status);
                break;
            }
            if (done < 0 && errno != EINTR) break;
            if (Clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            ::usleep(10000);
        }
        pid_ = -1;
    }
    if (out_ >= 0) ::close(out_);
    out_ = -1;
    return code;
}

std::string HeadlessProcess::diagnostics() const {
    std::ifstream f(home_ + "/stderr.txt");
    return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace cedar::test
