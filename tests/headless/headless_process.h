// cedar_headless as a child process for tests, with HOME in a folder the
// test chose: commands written one at a time to its standard input, each
// answer read up to its "ok" or "error: TEXT" line, every read bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace cedar::test {

class HeadlessProcess {
  public:
    struct Answer {
        bool ok = false;
        std::vector<std::string> lines;  // before the "ok" / "error:" line
        std::string error;               // the error text, or why no answer came
    };

    HeadlessProcess(std::string program, std::string home,
                    std::chrono::milliseconds timeout = std::chrono::seconds(15));
    ~HeadlessProcess();
    HeadlessProcess(const HeadlessProcess&) = delete;
    HeadlessProcess& operator=(const HeadlessProcess&) = delete;

    bool start(const std::vector<std::string>& args);
    Answer command(const std::string& line);
    // Closes its standard input and waits (bounded) for it to end: its exit
    // code, or -1 when it had to be killed.
    int finish();
    // What it wrote to standard error so far.
    std::string diagnostics() const;
    const std::string& failure() const { return failure_; }

  private:
    bool readLine(std::string& line, std::chrono::steady_clock::time_point deadline);

    std::string program_;
    std::string home_;
    std::chrono::milliseconds timeout_;
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
    std::string failure_;
};

}  // namespace cedar::test
