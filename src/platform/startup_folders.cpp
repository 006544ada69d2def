#include "platform/startup_folders.h"

#include <optional>

#include "platform/files.h"

namespace cedar::platform {

StartupFolders settleStartupFolders(const std::string& programData, bool appDataFlag,
                                    const std::string& filesIni, const Environment& env) {
    StartupFolders result;
    std::optional<std::string> text;
    for (const std::string& candidate :
         {filesIni, configHomeFolder(env) + "/cedar-tn3270/files.ini",
          programData + "/files.ini"}) {
        if (candidate.empty()) continue;
        text = readFile(candidate);
        if (text) {
            result.filesIniPath = candidate;
            break;
        }
        if (candidate == filesIni) break;  // a named file that is missing: the defaults
    }
    result.folders = settleFolders(text.value_or(""), appDataFlag, programData, env);
    result.ok = seedAppData(result.folders, result.error);
    return result;
}

}  // namespace cedar::platform
