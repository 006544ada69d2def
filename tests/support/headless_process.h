// cedar_headless as a child process for tests: started with HOME in a folder
// of the test's choosing (or a fresh temporary one, removed afterwards), one
// command written at a time and its answer read up to the "ok" or
// "error: TEXT" line. Every read and wait is bounded; the destructor always
// ends and reaps the process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "line_process.h"

namespace cedar::test {

class HeadlessProcess {
  public:
    struct Answer {
        bool ok = false;
        std::vector<std::string> lines;  // before the "ok" / "error:" line
        std::string error;               // the error text, or why no answer came
        std::string value;               // what follows "ok " ("ok BYTES")
    };

    // `home` empty: a temporary folder made at start() and removed at the end.
    HeadlessProcess(std::string program, std::string home = {},
                    std::chrono::milliseconds timeout = std::chrono::seconds(15));
    ~HeadlessProcess();
    HeadlessProcess(const HeadlessProcess&) = delete;
    HeadlessProcess& operator=(const HeadlessProcess&) = delete;

    // Starts the program with `args`; false (see failure()) when it cannot.
    bool start(const std::vector<std::string>& args);
    Answer command(const std::string& line);
    // Ends its standard input and waits (bounded) for it to end: its exit
    // code, or -1 when it had to be killed or was not running.
    int finish();
    // Sends "quit" first, then finish().
    int stop();

    const std::string& failure() const { return failure_; }
    const std::string& home() const { return home_; }
    // The program's process id (-1 when it is not running).
    pid_t pid() const { return process_.pid(); }
    // What the program wrote to its standard error so far.
    const std::string& diagnostics() const { return process_.diagnostics(); }

  private:
    std::string program_;
    std::string home_;
    bool ownHome_ = false;
    std::chrono::milliseconds timeout_;
    LineProcess process_;
    std::string failure_;
};

}  // namespace cedar::test
