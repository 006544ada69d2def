// Drives cedar_headless as a program, one command at a time: starts it with
// pipes on its standard input and output and HOME in a fresh temporary
// folder, writes a command line and reads the answer up to its "ok" or
// "error: TEXT" line. Every read is bounded; the destructor ends and reaps
// the process and removes the folder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace cedar::test {

class HeadlessPeer {
  public:
    struct Answer {
        bool ok = false;
        std::vector<std::string> lines;  // before the "ok" / "error:" line
        std::string error;               // the error text, or why no answer came
    };

    explicit HeadlessPeer(std::string program,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~HeadlessPeer();
    HeadlessPeer(const HeadlessPeer&) = delete;
    HeadlessPeer& operator=(const HeadlessPeer&) = delete;

    // Starts the program with `args`; false (see failure()) when it cannot.
    bool start(const std::vector<std::string>& args);
    Answer command(const std::string& line);
    // Sends "quit", waits a bounded time for the end, then kills and reaps.
    void stop();

    const std::string& failure() const { return failure_; }
    // What the program wrote to its standard error (read after stop()).
    std::string diagnostics() const;

  private:
    bool readLine(std::string& line, std::chrono::steady_clock::time_point deadline);

    std::string program_;
    std::chrono::milliseconds timeout_;
    std::string home_;
    pid_t pid_ = -1;
    int in_ = -1;   // our end of its standard input
    int out_ = -1;  // our end of its standard output
    std::string pending_;
    std::string failure_;
};

}  // namespace cedar::test
