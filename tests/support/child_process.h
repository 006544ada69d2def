// Child processes for tests: peers and tools (s3270, Hercules, stunnel,
// openssl) started with a bounded life.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace cedar::test {

struct SpawnOptions {
    // Standard output and error: appended to this file, else to `outputFd`,
    // else /dev/null.
    std::string outputPath;
    int outputFd = -1;
    // Standard input: a pipe whose writing end is returned through
    // `stdinWriter` (kept open keeps the child's input open), else /dev/null.
    bool stdinPipe = false;
    std::string workingDirectory;
};

// Starts argv[0] (looked up in PATH when it has no "/") with SIGPIPE back at
// its default. The pid, or -1.
pid_t spawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options = {},
                   int* stdinWriter = nullptr);

// Waits at most `limit` for the child to end, then kills it. Its exit status,
// or -1 when it did not exit by itself.
int reapProcess(pid_t pid, std::chrono::milliseconds limit);

// SIGTERM, up to `grace` to end, then SIGKILL; always reaps.
void stopProcess(pid_t pid, std::chrono::milliseconds grace);

// spawnProcess and reapProcess together: the exit status, or -1.
int runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
               const std::string& outputPath = "");

// Starts a program of ours that takes "--port 0" and writes "listening on
// 127.0.0.1:PORT" into `outputPath` (the demo host, the test hosts). The
// port, or 0 when it did not say one within five seconds; `pid` is the child.
int startListeningProgram(std::vector<std::string> argv, const std::string& outputPath, pid_t& pid);

}  // namespace cedar::test
