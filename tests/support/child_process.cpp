#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace cedar::test {

pid_t spawnProcess(const std::vector<std::string>& args, const SpawnOptions& options,
                   int* stdinWriter) {
    if (args.empty()) return -1;
    std::vector<std::string> copies(args);
    std::vector<char*> argv;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2] = {-1, -1};
    if (options.stdinPipe && ::pipe2(in, O_CLOEXEC) != 0) return -1;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.stdinPipe)
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!options.outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, options.outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else if (options.outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.outputFd, 1);
        posix_spawn_file_actions_adddup2(&actions, options.outputFd, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
    // The connection code ignores SIGPIPE; the child gets the default back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (options.stdinPipe) {
        ::close(in[0]);
        if (rc == 0 && stdinWriter != nullptr)
            *stdinWriter = in[1];
        else
            ::close(in[1]);
    }
    return rc == 0 ? pid : -1;
}

int reapProcess(pid_t pid, std::chrono::milliseconds limit) {
    if (pid <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void stopProcess(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    reapProcess(pid, grace);
}

int runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
               const std::string& outputPath) {
    SpawnOptions options;
    options.outputPath = outputPath;
    return reapProcess(spawnProcess(argv, options), limit);
}

int startListeningProgram(std::vector<std::string> argv, const std::string& outputPath,
                          pid_t& pid) {
    argv.insert(argv.end(), {"--port", "0"});
    SpawnOptions options;
    options.outputPath = outputPath;
    pid = spawnProcess(argv, options);
    constexpr std::string_view kListening = "listening on 127.0.0.1:";
    for (int i = 0; i < 100 && pid > 0; ++i) {
        std::ifstream in(outputPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        const std::string output = text.str();
        const auto at = output.find(kListening);
        if (at != std::string::npos) return std::atoi(output.c_str() + at + kListening.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

}  // namespace cedar::test
