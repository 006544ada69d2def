#include "session/command_line.h"

#include <gtest/gtest.h>

namespace cedar {
namespace {

using Slots = std::vector<std::pair<Opt, std::string>>;

void expectSlots(const CommandLine& c, const Slots& expected, const std::string& what) {
    std::array<std::string, kOptionSlots> want{};
    for (const auto& [slot, value] : expected)
        want[static_cast<std::size_t>(slot)] = value;
    EXPECT_EQ(c.slots, want) << what;
}

TEST(CommandText, WindowsStyleOptions) {
    struct Case {
        const char* text;
        bool ok;
        Slots slots;
    } cases[] = {
        {"", true, {}},
        {"mysession", true, {{Opt::Session, "mysession"}}},
        {"\"C:\\Users\\me\\My Session.ses\"", true, {{Opt::Session, "My Session.ses"}}},
        {"/Hmainframe /p 992 /e",
         true,
         {{Opt::Host, "mainframe"}, {Opt::Port, "992"}, {Opt::Tn3270e, " "}}},
        {"TN3270://zos.example:23/P992/V3",
         true,
         {{Opt::Url, "zos.example:23"}, {Opt::Port, "992"}, {Opt::Security, "3"}}},
        {"tn3270://host/", false, {{Opt::Url, "host"}}},  // the lone "/" is invalid
        {"/N 6/T", true, {{Opt::Model, "6"}, {Opt::Trace, " "}}},
        {"/H a /H b", true, {{Opt::Host, "b"}}},  // a later value replaces an earlier one
        {"/Hhost/Xfoo/Pignored", false, {{Opt::Host, "host"}}},
        {"session /G other.ini /A /Ib",
         true,
         {{Opt::Session, "session"},
          {Opt::Settings, "other.ini"},
          {Opt::AppData, " "},
          {Opt::Id, "b"}}},
    };
    for (const auto& c : cases) {
        const auto r = parseCommandText(c.text);
        EXPECT_EQ(r.ok, c.ok) << c.text;
        expectSlots(r.options, c.slots, c.text);
    }
    const auto bad = parseCommandText("/Hhost/Xfoo");
    EXPECT_EQ(bad.message,
              "Command line option '/X' is invalid.\nPlease check the Help doc under 'Command "
              "line options' after Cedar TN3270 starts");
    EXPECT_EQ(parseCommandText("tn3270://host/").message.substr(0, 25),
              "Command line option '/' i");
}

TEST(CommandText, OverlongValuesAreRefused) {
    const auto r = parseCommandText("/H" + std::string(300, 'h'));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.options.has(Opt::Host));
    EXPECT_TRUE(parseCommandText("/H" + std::string(259, 'h')).ok);
}

TEST(CommandArguments, GnuStyleAndMixedArguments) {
    auto existing = [](const std::string& path) { return path == "/home/u/x.ses"; };
    struct Case {
        std::vector<std::string> args;
        bool ok;
        Slots slots;
    } cases[] = {
        {{"/home/u/x.ses"}, true, {{Opt::Session, "x.ses"}}},
        {{"--session", "/home/u/y.ses", "--host=zos", "--port", "992", "--tn3270e"},
         true,
         {{Opt::Session, "y.ses"}, {Opt::Host, "zos"}, {Opt::Port, "992"}, {Opt::Tn3270e, " "}}},
        {{"/H", "mainframe", "/P", "992"}, true, {{Opt::Host, "mainframe"}, {Opt::Port, "992"}}},
        {{"my", "session", "/T"}, true, {{Opt::Session, "my session"}, {Opt::Trace, " "}}},
        {{"tn3270://host:23", "--trace"}, true, {{Opt::Url, "host:23"}, {Opt::Trace, " "}}},
        {{"--model"}, false, {}},
        {{"--trace=1"}, false, {}},
        {{"--bogus"}, false, {}},
        {{"--host", std::string(260, 'x')}, false, {}},
    };
    for (const auto& c : cases) {
        const auto r = parseArguments(c.args, existing);
        EXPECT_EQ(r.ok, c.ok) << c.args[0];
        if (c.ok) expectSlots(r.options, c.slots, c.args[0]);
    }
    EXPECT_TRUE(parseArguments({"--help"}, existing).options.help);
}

}  // namespace
}  // namespace cedar
