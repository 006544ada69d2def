// The command line of cedar_tn3270. Two styles are accepted:
//  - the "/X" options that shortcuts and documentation use, parsed from the
//    whole command-line text ("/Hmainframe /P992 /E");
//  - GNU-style long options for Linux, where "/" begins every absolute path
//    (`cedar_tn3270 --session /home/u/x.ses --host mainframe --port 992`).
// A "tn3270://host:port" URL names the host in either style.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cedar {

// The option slots; an empty slot is an absent option, a flag that is present
// holds a single blank.
enum class Opt {
    Session = 0,    // /S or the leading text: session file name
    Macro = 1,      // /M: macro run when the first host record arrived
    Url = 2,        // tn3270://host
    Host = 3,       // /H
    LuName = 4,     // /L
    Port = 5,       // /P
    Tn3270e = 6,    // /E (flag)
    Model = 7,      // /N 2..5
    Trace = 8,      // /T (flag)
    FilesIni = 9,   // /F path of files.ini
    Security = 10,  // /V 0..5
    Run = 11,       // /R macro statements
    Id = 12,        // /I session id letter
    Scheme = 13,    // /C colour scheme name
    Settings = 14,  // /G settings file name instead of cedar.ini
    AppData = 15,   // /A (flag)
};
constexpr std::size_t kOptionSlots = 16;
constexpr std::size_t kMaxOptionValue = 259;

struct CommandLine {
    std::array<std::string, kOptionSlots> slots;
    bool help = false;
    bool version = false;

    bool has(Opt o) const { return !slots[static_cast<std::size_t>(o)].empty(); }
    // The value ("" for an absent option or a bare flag).
    std::string value(Opt o) const {
        const auto& s = slots[static_cast<std::size_t>(o)];
        return s == " " ? std::string() : s;
    }
};

struct CommandLineResult {
    CommandLine options;  // the options read before any error stay in force
    bool ok = true;
    std::string message;  // the invalid-option message when !ok
};

extern const char* const kCommandLineErrorTitle;

// The "/X" style from the whole command-line text.
CommandLineResult parseCommandText(std::string_view text);

// Program arguments (without the program name). `looksLikeFile` tells whether
// an argument that starts with "/" names an existing file (then it is a
// session file, not "/X" options).
CommandLineResult parseArguments(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string&)>& looksLikeFile);

extern const char* const kCommandLineUsage;

}  // namespace cedar
