// Files as the session uses them: whole-file reads, atomic replacement,
// locked read-modify-write of shared profile files, and name lookup that
// tolerates Windows-style names (backslashes, drive letters, letter case).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "session/folders.h"

namespace cedar::platform {

// The longest path the session's file-name fields hold.
constexpr std::size_t kMaxPath = 259;

std::optional<std::string> readFile(const std::string& path);

// Writes `bytes` to a temporary file in the same folder, flushes it to disk
// and renames it over `path`, so a crash or a full disk never leaves a short
// file. Creates missing folders on the way. False with `error` on failure.
bool writeFileAtomic(const std::string& path, const std::string& bytes, std::string& error);

// Runs `edit` on the file's current text under an exclusive lock shared by
// every process of every session, and writes the result atomically (several
// sessions write LastSession and the host list to the same cedar.ini).
bool editFileLocked(const std::string& path,
                    const std::function<std::string(const std::string&)>& edit, std::string& error);

// Finds `name` (which may use "\" or "/", and carry a drive letter, which is
// dropped) in `folder`: the exact name first, then the one entry whose name
// matches without regard to case. Nothing when absent, ambiguous, or longer
// than kMaxPath (`error` then says why).
std::optional<std::string> resolveFile(const std::string& folder, const std::string& name,
                                       std::string& error);

bool isFile(const std::string& path);
// The names of the regular files in `folder` whose names end in `extension`
// (".ses", compared without regard to case), sorted; none when it cannot be read.
std::vector<std::string> filesWithExtension(const std::string& folder,
                                            const std::string& extension);
bool isDirectory(const std::string& path);
bool makeDirectories(const std::string& path);

// Creates a new AppData folder (with macros/ and certs/) and copies the
// program's defaults tree into it. Does nothing when AppData exists.
bool seedAppData(const Folders& folders, std::string& error);

// The real environment.
class SystemEnvironment : public Environment {
  public:
    std::optional<std::string> variable(const std::string& name) const override;
    std::optional<std::string> userDirsFile() const override;
};

// The folder of the running program's data: <prefix>/share/cedar-tn3270 next
// to an installed program, or `buildTreeData` when run from the build tree.
std::string programDataFolder(const std::string& buildTreeData);

}  // namespace cedar::platform
