#include "session/folders.h"

#include <cctype>

#include "sessionfile/private_profile.h"

namespace cedar {

namespace {

constexpr const char* kAppDataTail = "/Larkfield/CedarTN3270";

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    return true;
}

std::string withoutTrailingSlash(std::string s) {
    while (s.size() > 1 && (s.back() == '/' || s.back() == '\\'))
        s.pop_back();
    return s;
}

}  // namespace

std::string homeFolder(const Environment& env) {
    const auto home = env.variable("HOME");
    return home && !home->empty() ? withoutTrailingSlash(*home) : std::string("/tmp");
}

std::string dataHomeFolder(const Environment& env) {
    const auto v = env.variable("XDG_DATA_HOME");
    return v && !v->empty() && (*v)[0] == '/' ? withoutTrailingSlash(*v)
                                              : homeFolder(env) + "/.local/share";
}

std::string configHomeFolder(const Environment& env) {
    const auto v = env.variable("XDG_CONFIG_HOME");
    return v && !v->empty() && (*v)[0] == '/' ? withoutTrailingSlash(*v)
                                              : homeFolder(env) + "/.config";
}

std::string documentsFolder(const Environment& env) {
    const std::string home = homeFolder(env);
    // XDG_DOCUMENTS_DIR="$HOME/Documents" in user-dirs.dirs (xdg-user-dirs).
    if (const auto text = env.userDirsFile()) {
        std::size_t pos = 0;
        while (pos < text->size()) {
            std::size_t end = text->find('\n', pos);
            if (end == std::string::npos) end = text->size();
            std::string_view line(text->data() + pos, end - pos);
            pos = end + 1;
            constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
            if (line.substr(0, kKey.size()) != kKey) continue;
            std::string_view value = line.substr(kKey.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            std::string path(value);
            if (path.rfind("$HOME", 0) == 0) path = home + path.substr(5);
            if (!path.empty() && path[0] == '/') return withoutTrailingSlash(path);
        }
    }
    if (const auto v = env.variable("XDG_DOCUMENTS_DIR"); v && !v->empty() && (*v)[0] == '/')
        return withoutTrailingSlash(*v);
    return home + "/Documents";
}

std::string expandPath(std::string_view value, const Environment& env) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            out += value[i] == '\\' ? '/' : value[i];
            continue;
        }
        const auto close = value.find('%', i + 1);
        if (close == std::string_view::npos) {
            out += value.substr(i);
            break;
        }
        const std::string name(value.substr(i + 1, close - i - 1));
        i = close;
        if (name.empty()) {
            out += '%';  // "%%" stands for one "%"
            continue;
        }
        std::string upper = name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper == "USERPROFILE" || upper == "HOME" || upper == "HOMEPATH") {
            out += homeFolder(env);
        } else if (upper == "APPDATA" || upper == "LOCALAPPDATA") {
            out += dataHomeFolder(env);
        } else if (const auto v = env.variable(name)) {
            out += *v;
        }
    }
    return out;
}

Folders settleFolders(std::string_view filesIni, bool appDataFlag, const std::string& programData,
                      const Environment& env) {
    auto read = [&](const char* key) {
        return expandPath(profile::getString(filesIni, "Cedar", key, "", 260), env);
    };
    Folders f;
    f.programData = programData;
    f.appData = withoutTrailingSlash(read("AppData"));
    f.keyData = withoutTrailingSlash(read("KeyData"));
    f.documents = withoutTrailingSlash(read("Documents"));
    f.macros = withoutTrailingSlash(read("Macros"));
    f.cdr = withoutTrailingSlash(read("CDR"));
    f.screens = withoutTrailingSlash(read("Screens"));
    f.help = read("Help");
    f.certs = withoutTrailingSlash(read("Certs"));
    if (f.appData.empty()) {
        const bool useAppdata = profile::getInt(filesIni, "Cedar", "UseAppdata", 0) != 0;
        f.appData =
            (useAppdata || appDataFlag ? dataHomeFolder(env) : documentsFolder(env)) + kAppDataTail;
    }
    if (f.keyData.empty()) f.keyData = f.appData;
    if (f.documents.empty()) f.documents = documentsFolder(env);
    if (f.macros.empty()) f.macros = f.appData + "/macros";
    if (f.screens.empty()) f.screens = f.appData + "/screens";
    if (f.certs.empty()) f.certs = f.appData + "/certs";
    if (f.help.empty()) f.help = programData + "/cedarTN3270.chm";
    if (f.cdr.empty()) f.cdr = f.macros;
    return f;
}

std::string buildPath(const std::string& folder, std::string_view name,
                      std::string_view extension) {
    std::string file(name);
    for (char& c : file)
        if (c == '\\') c = '/';
    const std::string dotted = "." + std::string(extension);
    const bool keep =
        endsWithNoCase(file, dotted) || (extension == "mac" && endsWithNoCase(file, ".ext"));
    if (!extension.empty() && !keep) file += dotted;
    if (!file.empty() && file[0] == '/') return file;
    return folder + "/" + file;
}

}  // namespace cedar
