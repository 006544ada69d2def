// cedar_tn3270 as a child process for tests: HOME in a folder of the test,
// message boxes written to standard error and answered with their default
// button (CEDAR_MESSAGE_BOXES), the user's AppData folder found under HOME.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace cedar::test {

class ProgramRun {
  public:
    // `program`: the binary to run; `home`: an existing folder.
    ProgramRun(std::string program, std::string home);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // `environment`: more NAME=VALUE pairs.
    bool start(const std::vector<std::string>& args,
               const std::vector<std::string>& environment = {});
    // Its exit status once it ended (at most `limit`), or nothing (then it is killed).
    std::optional<int> wait(std::chrono::milliseconds limit);
    // What it wrote to standard error (and output) so far.
    std::string output() const;
    bool running() const;
    pid_t pid() const { return pid_; }

  private:
    std::string program_;
    std::string home_;
    std::string outputPath_;
    pid_t pid_ = -1;
};

// Removes the common area (shared memory and runtime folder) of the session
// group `group`, once no session of it runs.
void removeSessionGroup(const std::string& group);

// A fresh folder under /tmp, removed with its contents at the end of the object.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The AppData folder of a user whose home is `home` (no XDG settings).
std::string appDataOf(const std::string& home);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

}  // namespace cedar::test
