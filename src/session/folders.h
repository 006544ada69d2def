// The folders a session finds and stores its files in, settled at start from
// files.ini, the environment and the defaults.
//
// On Linux the AppData folder is "Larkfield/CedarTN3270" under the XDG
// documents folder, or under XDG_DATA_HOME with UseAppdata or /A. The
// program's own data (country.lst, key.lst, the defaults tree) lives in the
// program data folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cedar {

// What folder settlement needs to know about the machine.
class Environment {
  public:
    virtual ~Environment() = default;
    virtual std::optional<std::string> variable(const std::string& name) const = 0;
    // The text of ~/.config/user-dirs.dirs (or $XDG_CONFIG_HOME/user-dirs.dirs), if any.
    virtual std::optional<std::string> userDirsFile() const = 0;
};

struct Folders {
    std::string programData;  // country.lst, key.lst, defaults/
    std::string appData;
    std::string keyData;
    std::string documents;
    std::string macros;
    std::string cdr;
    std::string screens;
    std::string help;  // a file
    std::string certs;
};

// %VAR% expansion ("%%" is one "%"; an unset variable becomes empty). The
// Windows names users' files carry map onto their Linux counterparts:
// USERPROFILE is HOME, APPDATA and LOCALAPPDATA are XDG_DATA_HOME.
std::string expandPath(std::string_view value, const Environment& env);

// The user's home, documents and data folders.
std::string homeFolder(const Environment& env);
std::string documentsFolder(const Environment& env);
std::string dataHomeFolder(const Environment& env);
std::string configHomeFolder(const Environment& env);

// Settles every folder from files.ini's text (section "Cedar"), the /A flag
// and the program data folder.
Folders settleFolders(std::string_view filesIniText, bool appDataFlag,
                      const std::string& programData, const Environment& env);

// "folder/name", with `extension` appended when the name does not already
// end in "." and it (compared without case); a name ending in ".ext" keeps it
// where "mac" is expected. Backslashes in the name become slashes.
std::string buildPath(const std::string& folder, std::string_view name, std::string_view extension);

}  // namespace cedar
