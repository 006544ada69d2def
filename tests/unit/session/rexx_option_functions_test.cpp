// REXX's getoption and setoption over the session's own function host: the
// same option rows, the same follow-up actions as the native GETOPTION and
// SETOPTION, every refusal numbered 1010 or 1009.
#include <gtest/gtest.h>

#include "macro_fakes.h"
#include "rexx/rexx_functions.h"
#include "session/macro_functions.h"

namespace cedar {
namespace {

class NoFiles : public MacroFileSystem {
    std::unique_ptr<MacroFileStream> open(std::string_view, MacroFileMode) override {
        return nullptr;
    }
};
class NoClipboard : public MacroClipboard {
    std::optional<std::string> text() override { return std::nullopt; }
    void setText(std::string_view) override {}
};

class ActionLog : public sessionfile::OptionEffects {
  public:
    sessionfile::OptionCellSize cellSize() const override { return {9, 18}; }
    void optionChanged(const sessionfile::OptionRow& row,
                       const sessionfile::OptionValue&) override {
        actions.push_back(row.action);
    }
    std::vector<sessionfile::OptionAction> actions;
};

class RexxOptionFunctions : public ::testing::Test {
  protected:
    RexxOptionFunctions() {
        record.setText(sessionfile::Field::SessionName, "TSO");
        services.sessionOptions = &record;
        services.optionEffects = &effects;
        host = std::make_unique<SessionMacroHost>(
            session, nullptr, settings, keyList, [](keys::KeyWord) {}, files, control, services);
        library = std::make_unique<RexxFunctionLibrary>(*host);
    }
    RexxCallResult call(std::string_view name, std::initializer_list<const char*> texts) {
        RexxArguments args;
        for (const char* t : texts)
            args.emplace_back(t);
        return library->call(*findRexxFunction(name), args);
    }

    Session session;
    Settings settings;
    keys::KeyList keyList;
    NoFiles noFiles;
    NoClipboard noClipboard;
    MacroFiles files{noFiles, noClipboard};
    test::FakeMacroControl control;
    sessionfile::SessionOptions record;
    ActionLog effects;
    MacroFunctionServices services;
    std::unique_ptr<SessionMacroHost> host;
    std::unique_ptr<RexxFunctionLibrary> library;
};

TEST_F(RexxOptionFunctions, ReadsComeBackAsText) {
    record.setNumber(sessionfile::Field::Color3, 0x123456);
    EXPECT_EQ(call("getoption", {"general", "sessionname"}).value, "TSO");
    EXPECT_EQ(call("getoption", {"COLORS", "COLOR3"}).value, std::to_string(0x123456));
    EXPECT_EQ(call("getoption", {"font", "size"}).value, "9 x 18");
    EXPECT_TRUE(effects.actions.empty()) << "a read carried out an action";
}

TEST_F(RexxOptionFunctions, ChangesAreStoredAndFollowedByTheirActions) {
    EXPECT_FALSE(call("setoption", {"GENERAL", "HOSTNAME", "mvs.example:992"}).failed);
    EXPECT_EQ(record.text(sessionfile::Field::HostName), "mvs.example:992");
    EXPECT_FALSE(call("setoption", {"display", "alarm", " 1 "}).failed);
    EXPECT_EQ(call("getoption", {"display", "alarm"}).value, "1");
    // A text row keeps a value that reads as a number exactly as written.
    EXPECT_FALSE(call("setoption", {"general", "sessionname", "007"}).failed);
    EXPECT_EQ(record.text(sessionfile::Field::SessionName), "007");
    // What getoption gives for the font size, setoption takes back.
    const std::string size = call("getoption", {"font", "size"}).value;
    EXPECT_FALSE(call("setoption", {"FONT", "SIZE", size.c_str()}).failed);
    using A = sessionfile::OptionAction;
    EXPECT_EQ(effects.actions, (std::vector{A::Reconnect, A::None, A::None, A::WindowSize}));
}

TEST_F(RexxOptionFunctions, RefusalsAreNumberedAndChangeNothing) {
    const std::string longName(41, 'n');
    const struct {
        const char* function;
        std::vector<const char*> args;
        RexxError error;
    } cases[] = {
        {"getoption", {"NOPAGE", "ALARM"}, RexxError::GetOptionFailed},
        {"getoption", {"DISPLAY", "NOSUCH"}, RexxError::GetOptionFailed},
        {"setoption", {"NOPAGE", "ALARM", "1"}, RexxError::SetOptionFailed},
        {"setoption", {"DISPLAY", "ALARM", "2"}, RexxError::SetOptionFailed},    // out of range
        {"setoption", {"DISPLAY", "ALARM", "yes"}, RexxError::SetOptionFailed},  // wrong type
        {"setoption", {"GENERAL", "SESSIONNAME", longName.c_str()}, RexxError::SetOptionFailed},
        {"setoption", {"GENERAL", "SCREENBUFFERS", "1"}, RexxError::SetOptionFailed},
        {"setoption", {"FONT", "SIZE", "big"}, RexxError::SetOptionFailed},
        {"setoption", {"DISPLAY", "ALARM", "99999999999"}, RexxError::SetOptionFailed},
    };
    for (const auto& c : cases) {
        RexxArguments args;
        for (const char* t : c.args)
            args.emplace_back(t);
        const RexxCallResult r = library->call(*findRexxFunction(c.function), args);
        EXPECT_TRUE(r.failed) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.error, c.error) << c.args[0] << " " << c.args[1];
    }
    EXPECT_EQ(record.text(sessionfile::Field::SessionName), "TSO");
    EXPECT_TRUE(effects.actions.empty());
}

TEST(RexxOptionFunctionsWithoutRecord, BothFail) {
    Session session;
    Settings settings;
    keys::KeyList keyList;
    NoFiles noFiles;
    NoClipboard noClipboard;
    MacroFiles files{noFiles, noClipboard};
    test::FakeMacroControl control;
    SessionMacroHost host(
        session, nullptr, settings, keyList, [](keys::KeyWord) {}, files, control);
    RexxFunctionLibrary library(host);
    EXPECT_EQ(library.call(*findRexxFunction("getoption"), {"DISPLAY", "ALARM"}).error,
              RexxError::GetOptionFailed);
    EXPECT_EQ(library.call(*findRexxFunction("setoption"), {"DISPLAY", "ALARM", "1"}).error,
              RexxError::SetOptionFailed);
}

}  // namespace
}  // namespace cedar
