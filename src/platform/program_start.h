// Program starts for WINEXEC and SHELLEXECUTE: posix_spawn with an argument
// vector, never a shell, in the AppData folder; documents open with the
// desktop's opener (xdg-open).
#pragma once

#include <string>
#include <vector>

#include "session/macro_services.h"

namespace cedar::platform {

class SpawnedPrograms : public MacroPrograms {
  public:
    explicit SpawnedPrograms(std::string workingFolder, std::string opener = "xdg-open")
        : folder_(std::move(workingFolder)), opener_(std::move(opener)) {}

    // A command line that names an existing file as a whole (a program whose
    // name holds blanks) is that program alone; otherwise it is split into
    // arguments, with double quotes grouping blanks.
    bool start(const std::string& commandLine) override;
    // "open" (or no operation) of an executable file starts it with the
    // parameters; any other file or address goes to the opener. 33 when the
    // program started; 2 for a missing file, 31 for an operation other than
    // open, 0 when nothing could be started.
    int shellExecute(const std::string& operation, const std::string& file,
                     const std::string& parameters) override;

    // The arguments start() runs for a command line.
    std::vector<std::string> argumentsOf(const std::string& commandLine) const;

  private:
    bool spawn(const std::vector<std::string>& args) const;
    std::string pathOf(const std::string& name) const;

    std::string folder_;
    std::string opener_;
};

}  // namespace cedar::platform
