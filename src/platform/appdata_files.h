// The AppData folder's files as the session file store sees them,
// with a session file given by path standing in for a name there.
#pragma once

#include <optional>
#include <string>

#include "session/driver_stores.h"

namespace cedar::platform {

// Files of the AppData folder by name, found without regard to letter case.
// One name may stand for a file elsewhere (the session file the command line
// gave by path): reads and writes of that name go to that file.
class AppDataFolderFiles : public AppDataFiles {
  public:
    explicit AppDataFolderFiles(std::string folder) : folder_(std::move(folder)) {}

    // `name` (compared without regard to case) stands for the file at `path`.
    void mapName(std::string name, std::string path);

    std::optional<std::vector<std::uint8_t>> read(const std::string& name) override;
    bool write(const std::string& name, std::span<const std::uint8_t> bytes, int& error) override;
    std::string folder() const override { return folder_; }

  private:
    // Where `name` is now, or where a new file of that name goes.
    std::string pathOf(const std::string& name) const;

    std::string folder_;
    std::string mappedName_;
    std::string mappedPath_;
};

// The session file the command line names: by its name in the AppData
// folder (".ses" appended when missing), or by a path (one with a "/", or
// an existing file). On success `name` is what the session file store loads
// (the file's own name as it is spelled on disk) and `files` maps it when it
// lies outside the AppData folder; otherwise `error` says why.
bool locateSessionFile(const std::string& given, AppDataFolderFiles& files, std::string& name,
                       std::string& error);

}  // namespace cedar::platform
