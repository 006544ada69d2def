// Files for the macro file handles: names resolved as users write them in
// macros, read and written through stdio.
#pragma once

#include <string>

#include "macro/macro_files.h"
#include "macro/macro_source.h"

namespace cedar::platform {

// A relative name lies in `folder` (the AppData folder). "\" separates
// folders as "/" does and a drive letter ("C:") is dropped, so a name that
// starts with either separator after that is a full path. An existing file
// whose name differs only in letter case is the one opened. OUTPUT and
// APPEND create a missing folder.
class MacroFolderFiles : public MacroFileSystem {
  public:
    explicit MacroFolderFiles(std::string folder) : folder_(std::move(folder)) {}

    std::unique_ptr<MacroFileStream> open(std::string_view name, MacroFileMode mode) override;
    int lastOpenError() const override { return lastError_; }

    // The path a name stands for (before the letter-case lookup).
    std::string pathOf(std::string_view name) const;

  private:
    std::string folder_;
    int lastError_ = 0;
};

// Macro files to play: a relative name in the macros folder (or, for macros
// the host sends, the remote-macro folder), a full path as it stands, with
// the path forms MacroFolderFiles gives their meaning. A relative name
// missing from the macros folder is looked for in `shipped`, the macros that
// come with the program (a user's copy in the macros folder wins), so an
// AppData folder seeded by an older version still finds them.
class MacroFolderSource : public MacroFileSource {
  public:
    MacroFolderSource(std::string macros, std::string remote, std::string shipped = {})
        : macros_(std::move(macros)), remote_(std::move(remote)), shipped_(std::move(shipped)) {}

    std::optional<std::string> readMacroFile(MacroFolder folder,
                                             const std::string& fileName) const override;

  private:
    std::string macros_;
    std::string remote_;
    std::string shipped_;
};

// The folder of the macros that come with the program, in the program data
// folder.
std::string shippedMacrosFolder(const std::string& programData);

// Writes a recorded macro to `fileName` (a name in `macrosFolder`, or a
// path in the forms MacroFolderFiles takes), replacing any file there.
// Returns 0, or errno of the failed create or write; a file that could not
// be written whole is removed.
int saveMacroFile(const std::string& macrosFolder, std::string_view fileName,
                  std::string_view text);

// The local time as "%Y-%m-%d %H:%M:%S".
std::string localTimestamp();

}  // namespace cedar::platform
