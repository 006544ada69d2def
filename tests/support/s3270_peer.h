// Drives the peer emulator s3270 (x3270 suite) as a test oracle: starts it
// with its standard input and output connected to us, sends it one action a
// line and reads its answer: zero or more "data: " lines, a status line, then
// "ok" or "error". Every wait is bounded; a peer that hangs is killed, and the
// destructor always reaps the process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "line_process.h"

namespace cedar::test {

class S3270Peer {
  public:
    static constexpr const char* kProgram = "/usr/bin/s3270";
    // True when the program is installed.
    static bool available();

    struct Options {
        int model = 2;                   // 2..5: started as -model 3279-N-E
        std::string codePage = "cp037";  // -codepage
        std::chrono::milliseconds actionTimeout{10000};
        // How long quit() lets it exit by itself before killing it.
        std::chrono::milliseconds quitTimeout{2000};
    };

    struct Answer {
        bool ok = false;                // the peer said "ok"
        std::vector<std::string> data;  // the "data: " lines, prefix removed
        std::string status;             // the status line before "ok"/"error"
        std::string failure;            // why no answer came (timeout, exit), if so
    };

    S3270Peer();
    explicit S3270Peer(Options options);
    ~S3270Peer();
    S3270Peer(const S3270Peer&) = delete;
    S3270Peer& operator=(const S3270Peer&) = delete;

    // Starts the process (environment: LANG=C.UTF-8). False, with the reason
    // in error(), when it cannot be started.
    bool start();
    // Sends one action, e.g. "Connect(127.0.0.1:1234)", and reads its answer.
    Answer action(const std::string& line);
    // Asks the peer to quit, waits a bounded time, then kills it; reaps it.
    void quit();

    bool running() const { return process_.running(); }
    pid_t pid() const { return process_.pid(); }
    const std::string& error() const { return error_; }
    // What the peer wrote to its standard error so far.
    const std::string& diagnostics() const { return process_.diagnostics(); }

  private:
    Options options_;
    LineProcess process_;
    std::string error_;
};

}  // namespace cedar::test
