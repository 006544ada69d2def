// A child process spoken to a line at a time (s3270, cedar_headless):
// standard input is a socket, so that writing to a child that died fails
// with EPIPE instead of raising SIGPIPE; standard output is read line by
// line with a deadline; standard error is collected. Every wait is bounded,
// and the destructor always ends and reaps the child.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::test {

// This process's environment without the entries starting with any of
// `prefixes` (e.g. "HOME=", "LC_").
std::vector<std::string> environmentWithout(std::initializer_list<std::string_view> prefixes);

class LineProcess {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Read { Line, Eof, Timeout };

    LineProcess() = default;
    ~LineProcess();
    LineProcess(const LineProcess&) = delete;
    LineProcess& operator=(const LineProcess&) = delete;

    // Starts argv[0] (a path) with `argv` and the whole environment `env`;
    // false, with the reason in `error`, when it cannot.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               std::string& error);
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Writes `line` and a line feed; false, with the reason in `error`.
    bool writeLine(const std::string& line, std::string& error);
    // The next line of its output (without "\r\n"/"\n").
    Read readLine(std::string& line, Clock::time_point deadline);
    // Ends its input (it sees end of file).
    void closeInput();
    // Reads its output to the end, waits for it to exit until `deadline`,
    // then kills it; always reaps. Its exit code, or -1 when it had to be
    // killed or was not running.
    int end(Clock::time_point deadline);
    // What it wrote to standard error so far (collected while reading).
    const std::string& diagnostics() const { return stderr_; }

  private:
    void drainStderr();
    void closeFds();

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_;
    std::string stderr_;
};

}  // namespace cedar::test
