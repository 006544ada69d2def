#include "cedarmac_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cedar::cedarmac {
namespace {

struct Case {
    std::vector<std::string> args;
    Action action;
    int exitCode;
    bool list = false;
    bool statements = false;
    char id = 0;
    std::string text;
};

Case help(std::vector<std::string> args, int code) {
    return {std::move(args), Action::Help, code, false, false, 0, ""};
}
Case run(std::vector<std::string> args, bool list, bool statements, char id, std::string text) {
    return {std::move(args), Action::Run, 0, list, statements, id, std::move(text)};
}

TEST(CedarmacArguments, Table) {
    const std::vector<Case> cases{
        // Help asked for, or wrong arguments.
        help(std::vector<std::string>{}, 8),
        help({"/?"}, 0),
        help({"/h"}, 0),
        help({"C", "x.mac", "/H"}, 0),
        help({"/?", "/X"}, 0),  // read left to right: the first decides
        help({"/X", "/?"}, 8),
        help({"/"}, 8),
        help({"C"}, 8),
        help({"/S", "C"}, 8),
        help({"#", "x.mac"}, 8),
        help({"", "x.mac"}, 8),
        help({"C", "a.mac", "b.mac"}, 8),
        // Requests.
        run({"C", "runme.mac"}, false, false, 'C', "runme.mac"),
        run({"c", "runme.mac"}, false, false, 'c', "runme.mac"),
        run({"Cxyz", "runme.mac"}, false, false, 'C', "runme.mac"),
        run({"7", "/home/u/x.mac"}, false, false, '7', "/home/u/x.mac"),
        run({"C", "/S", "Key(\"Enter\")"}, false, true, 'C', "Key(\"Enter\")"),
        run({"/s", "C", "Key(\"Enter\")"}, false, true, 'C', "Key(\"Enter\")"),
        run({"C", "", "b.mac"}, false, false, 'C', "b.mac"),  // empty: the next takes
                                                              // its place
        // Listing.
        run({"/W"}, true, false, 0, ""),
        run({"/w"}, true, false, 0, ""),
        run({"C", "/W"}, true, false, 'C', ""),
        run({"/W", "D", "x.mac"}, true, false, 'D', "x.mac"),
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += "[" + a + "]";
        const Command cmd = parseArguments(c.args);
        EXPECT_EQ(cmd.action, c.action) << shown;
        EXPECT_EQ(cmd.exitCode, c.exitCode) << shown;
        if (c.action != Action::Run) continue;
        EXPECT_EQ(cmd.list, c.list) << shown;
        EXPECT_EQ(cmd.statements, c.statements) << shown;
        EXPECT_EQ(cmd.hasId, c.id != 0) << shown;
        EXPECT_EQ(cmd.id, c.id) << shown;
        EXPECT_EQ(cmd.text, c.text) << shown;
    }
}

TEST(CedarmacArguments, HelpTextLinesAndExample) {
    const std::string& h = helpText();
    EXPECT_EQ(h.rfind("The cedarmac command is a way to tell a Cedar TN3270 to run a macro file or "
                      "macro statements.\n\n   cedarmac C runme.mac\n",
                      0),
              0u);
    // The statements example is in the single-quoted form a POSIX shell passes
    // unchanged.
    EXPECT_NE(h.find("   cedarmac D /S 'Type(\"Type text and press Enter\");Key(\"Enter\")'\n\n"),
              std::string::npos);
    EXPECT_NE(h.find("     /? or /H - display this help text\n\n"), std::string::npos);
    const std::string tail =
        "Errors:\n     Error 1 - Cedar session X is not currently active\n"
        "     Error 2 - There are no active Cedar windows\n";
    EXPECT_EQ(h.substr(h.size() - tail.size()), tail);
    EXPECT_EQ(h.find("/W"), std::string::npos);
}

}  // namespace
}  // namespace cedar::cedarmac
