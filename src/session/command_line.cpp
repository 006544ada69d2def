#include "session/command_line.h"

#include <cctype>

namespace cedar {

const char* const kCommandLineErrorTitle = "Cedar TN3270 Command Line Option Error";

const char* const kCommandLineUsage =
    "usage: cedar_tn3270 [SESSION.ses | tn3270://HOST[:PORT]] [options]\n"
    "  --session FILE     session file (looked up in the AppData folder)\n"
    "  --host HOST        connect to HOST; --port N, --lu NAME, --tn3270e\n"
    "  --model N          terminal model 2..5\n"
    "  --security N       TLS level 0..5\n"
    "  --trace            start tracing at once\n"
    "  --macro FILE       run when the first host screen has arrived\n"
    "  --run STATEMENTS   macro statements run at start\n"
    "  --id LETTER        session id to claim (A-Z, 0-9)\n"
    "  --scheme NAME      colour scheme (GRAY, RED, YELLOW, GREEN, CYAN, BLUE, ...)\n"
    "  --settings FILE    settings file in the AppData folder instead of cedar.ini\n"
    "  --files-ini FILE   folder settings file\n"
    "  --appdata          keep the AppData folder under the data folder\n"
    "  --help, --version\n"
    "The Windows-style options /S /M /H /L /P /E /N /T /F /V /R /I /C /G /A work too.\n";

namespace {

struct WindowsOption {
    const char* text;
    Opt slot;
};
// In table order: the first that matches wins.
constexpr WindowsOption kWindowsOptions[] = {
    {"/S", Opt::Session},  {"/M", Opt::Macro},    {"/H", Opt::Host},    {"/L", Opt::LuName},
    {"/P", Opt::Port},     {"/E", Opt::Tn3270e},  {"/N", Opt::Model},   {"/T", Opt::Trace},
    {"/F", Opt::FilesIni}, {"/V", Opt::Security}, {"/R", Opt::Run},     {"/I", Opt::Id},
    {"/C", Opt::Scheme},   {"/G", Opt::Settings}, {"/A", Opt::AppData},
};

struct LongOption {
    const char* name;
    Opt slot;
    bool takesValue;
};
constexpr LongOption kLongOptions[] = {
    {"session", Opt::Session, true},
    {"macro", Opt::Macro, true},
    {"host", Opt::Host, true},
    {"lu", Opt::LuName, true},
    {"port", Opt::Port, true},
    {"tn3270e", Opt::Tn3270e, false},
    {"model", Opt::Model, true},
    {"trace", Opt::Trace, false},
    {"files-ini", Opt::FilesIni, true},
    {"security", Opt::Security, true},
    {"run", Opt::Run, true},
    {"id", Opt::Id, true},
    {"scheme", Opt::Scheme, true},
    {"settings", Opt::Settings, true},
    {"appdata", Opt::AppData, false},
};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string trimmed(std::string_view v) {
    while (!v.empty() && v.front() == ' ')
        v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ')
        v.remove_suffix(1);
    return v.empty() ? std::string(" ") : std::string(v);
}

std::string invalid(std::string_view option) {
    return "Command line option '" + std::string(option) +
           "' is invalid.\nPlease check the Help doc under 'Command line options' after Cedar "
           "TN3270 starts";
}

// Slot 0 names a file in the AppData folder: quotes and any folder part go.
void cleanSessionName(std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    const auto sep = s.find_last_of("\\/");
    if (sep != std::string::npos) s = s.substr(sep + 1);
}

bool store(CommandLineResult& r, Opt slot, const std::string& value, std::string_view option) {
    if (value.size() > kMaxOptionValue) {
        r.ok = false;
        r.message = invalid(option);
        return false;
    }
    r.options.slots[static_cast<std::size_t>(slot)] = value;
    return true;
}

// "tn3270://host:port/..." -> the host part (up to the next "/").
std::string urlHost(std::string_view text, std::size_t& consumed) {
    const std::size_t start = 9;  // "tn3270://"
    std::size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    consumed = end;
    return std::string(text.substr(start, end - start));
}

}  // namespace

CommandLineResult parseCommandText(std::string_view text) {
    CommandLineResult r;
    std::size_t pos = 0;
    if (!text.empty()) {
        if (startsWithNoCase(text, "TN3270://")) {
            std::size_t end = 0;
            const std::string host = urlHost(text, end);
            if (!store(r, Opt::Url, trimmed(host), "tn3270://")) return r;
            pos = end;
        } else if (text.front() != '/') {
            std::size_t end = text.find('/');
            if (end == std::string_view::npos) end = text.size();
            if (!store(r, Opt::Session, trimmed(text.substr(0, end)), text.substr(0, 2))) return r;
            pos = end;
        }
    }
    while (pos < text.size()) {
        // pos is at a "/".
        const std::string_view rest = text.substr(pos);
        const WindowsOption* match = nullptr;
        for (const auto& o : kWindowsOptions) {
            if (startsWithNoCase(rest, o.text)) {
                match = &o;
                break;
            }
        }
        if (match == nullptr) {
            r.ok = false;
            r.message = invalid(rest.substr(0, 2));
            break;
        }
        const std::size_t valueStart = pos + 2;
        std::size_t end = text.find('/', valueStart);
        if (end == std::string_view::npos) end = text.size();
        if (!store(r, match->slot, trimmed(text.substr(valueStart, end - valueStart)),
                   rest.substr(0, 2)))
            break;
        pos = end;
    }
    if (r.options.has(Opt::Session)) cleanSessionName(r.options.slots[0]);
    return r;
}

CommandLineResult parseArguments(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string&)>& looksLikeFile) {
    CommandLineResult r;
    // Everything that is not a GNU-style option is read as the Windows-style
    // command text it would have been ("/H mainframe /P 992" arrives as four
    // arguments), except an argument with a "/" that names an existing file.
    std::string text;
    std::string sessionPath;
    for (std::size_t i = 0; i < args.size() && r.ok; ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            r.options.help = true;
        } else if (a == "--version") {
            r.options.version = true;
        } else if (a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            std::optional<std::string> value;
            if (const auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            const LongOption* match = nullptr;
            for (const auto& o : kLongOptions)
                if (name == o.name) match = &o;
            if (match == nullptr || (!match->takesValue && value)) {
                r.ok = false;
                r.message = invalid(a);
                break;
            }
            if (!match->takesValue) {
                store(r, match->slot, " ", a);
                continue;
            }
            if (!value) {
                if (i + 1 >= args.size()) {
                    r.ok = false;
                    r.message = invalid(a);
                    break;
                }
                value = args[++i];
            }
            if (!store(r, match->slot, trimmed(*value), a)) break;
            if (match->slot == Opt::Session) cleanSessionName(r.options.slots[0]);
        } else if (a.find('/') != std::string::npos && !startsWithNoCase(a, "TN3270://") &&
                   looksLikeFile(a)) {
            sessionPath = a;
        } else {
            if (!text.empty()) text += ' ';
            text += a;
        }
    }
    if (!r.ok) return r;
    if (!sessionPath.empty() && !store(r, Opt::Session, trimmed(sessionPath), sessionPath))
        return r;
    if (!sessionPath.empty()) cleanSessionName(r.options.slots[0]);
    if (text.empty()) return r;
    const auto windows = parseCommandText(text);
    for (std::size_t s = 0; s < kOptionSlots; ++s)
        if (!windows.options.slots[s].empty()) r.options.slots[s] = windows.options.slots[s];
    r.ok = windows.ok;
    r.message = windows.message;
    return r;
}

}  // namespace cedar
