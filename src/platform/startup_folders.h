// The first step of every program that runs a session: find files.ini,
// settle the per-user folders and seed a new AppData folder from the
// program data folder's defaults tree.
#pragma once

#include <string>

#include "session/folders.h"

namespace cedar::platform {

struct StartupFolders {
    Folders folders;
    std::string filesIniPath;  // the files.ini that was read ("" when none)
    bool ok = true;            // false: the AppData folder could not be made
    std::string error;
};

// files.ini is `filesIni` when given (/F), else cedar-tn3270/files.ini in the
// user's configuration folder, else the one in the program data folder; a
// missing file gives the default folders.
StartupFolders settleStartupFolders(const std::string& programData, bool appDataFlag,
                                    const std::string& filesIni, const Environment& env);

}  // namespace cedar::platform
