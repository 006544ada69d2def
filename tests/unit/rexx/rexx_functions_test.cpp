// The REXX external functions over a recording function library: what each
// hands the library, what it returns, and the numbered errors of bad
// arguments.
#include "rexx/rexx_functions.h"

#include <gtest/gtest.h>

namespace cedar {
namespace {

RexxArguments argsOf(std::initializer_list<const char*> texts) {
    RexxArguments args;
    for (const char* t : texts) {
        if (t == nullptr)
            args.emplace_back();
        else
            args.emplace_back(t);
    }
    return args;
}

class RexxFunctions : public ::testing::Test {
  protected:
    void SetUp() override {
        host.systemValues[SystemVariable::ScreenHeight] = MacroValue::ofNumber(24);
        host.systemValues[SystemVariable::ScreenWidth] = MacroValue::ofNumber(80);
    }
    RexxCallResult call(std::string_view name, std::initializer_list<const char*> texts) {
        const RexxFunctionShape* shape = findRexxFunction(name);
        EXPECT_NE(shape, nullptr) << name;
        return library.call(*shape, argsOf(texts));
    }
    RecordingMacroHost host;
    RexxFunctionLibrary library{host};
};

TEST_F(RexxFunctions, BadArgumentsFailWithTheirNumbers) {
    struct Case {
        const char* function;
        std::initializer_list<const char*> args;
        RexxError error;
    };
    const Case cases[] = {
        {"screen", {"0", "1"}, RexxError::BadValue},
        {"screen", {"25", "1"}, RexxError::BadValue},
        {"screen", {"1", "81"}, RexxError::BadValue},
        {"screen", {"1", "75", "7"}, RexxError::BadValue},  // past the row's end
        {"screen", {"one", "1"}, RexxError::NumberUnreadable},
        {"screen", {"1", "1", "5x"}, RexxError::NumberUnreadable},
        {"attribute", {"1", "0"}, RexxError::BadValue},
        {"rawdata", {" 2", "x"}, RexxError::NumberUnreadable},
        {"onscreen", {""}, RexxError::BadValue},
        {"onscreen", {"READY", "30"}, RexxError::BadValue},
        {"getvar", {"NOSUCH"}, RexxError::UnknownVariable},
        {"getvar", {"macroname"}, RexxError::UnknownVariable},
        {"putvar", {"status", "1"}, RexxError::NotSettable},
        {"putvar", {"cursorrow", "25"}, RexxError::BadValue},
        {"putvar", {"cursorcol", "abc"}, RexxError::BadValue},
        {"putvar", {"cursorpos", "3,0"}, RexxError::BadValue},
        {"type", {nullptr}, RexxError::BadValue},
        {"session", {"1"}, RexxError::BadValue},
        {"key", {"Enter", "x"}, RexxError::BadValue},
        {"messagebox", {"text", "title", "big"}, RexxError::NumberUnreadable},
        {"shellexecute", {"open", "f", "", "", "shown"}, RexxError::BadValue},
        {"getoption", {"1", "x"}, RexxError::GetOptionFailed},
        {"setoption", {"1", "x", "2"}, RexxError::SetOptionFailed},
    };
    for (const Case& c : cases) {
        const RexxCallResult r = call(c.function, c.args);
        EXPECT_TRUE(r.failed) << c.function;
        EXPECT_EQ(r.error, c.error) << c.function << " " << ::testing::PrintToString(c.args.size());
    }
    EXPECT_TRUE(host.calls.empty()) << "a refused call reached the session";
    EXPECT_TRUE(host.cursorMoves.empty());
}

TEST_F(RexxFunctions, CallsReachTheLibraryWithTheirArguments) {
    host.results[ReservedWord::Screen] = MacroValue::ofText("abc");
    host.results[ReservedWord::Hilite] = MacroValue::ofNumber(0xF2);
    host.results[ReservedWord::OnScreen] = MacroValue::ofNumber(1);
    host.results[ReservedWord::MessageBox] = MacroValue::ofNumber(6);
    host.systemValues[SystemVariable::CursorRow] = MacroValue::ofNumber(7);

    EXPECT_EQ(call("screen", {"2", "71"}).value, "abc");
    ASSERT_EQ(host.calls.back().args.size(), 3u);
    EXPECT_EQ(host.calls.back().args[2].number, 10);  // the rest of the row
    EXPECT_EQ(call("hilite", {"1", "1"}).value, "F2");
    EXPECT_EQ(call("onscreen", {"ready", "", ""}).value, "1");
    EXPECT_EQ(host.calls.back().args.size(), 1u);  // empty row and column: anywhere
    EXPECT_EQ(call("getvar", {"cursorrow"}).value, "7");
    EXPECT_EQ(call("messagebox", {}).value, "6");
    const auto& box = host.calls.back().args;
    ASSERT_EQ(box.size(), 4u);
    EXPECT_EQ(box[0].text.str(), "Default Message");
    EXPECT_EQ(box[1].text.str(), "Cedar TN3270 MessageBox");
    EXPECT_EQ(box[2].number, 64);
    EXPECT_EQ(box[3].number, 0);

    EXPECT_FALSE(call("putvar", {"CURSORPOS", "3,7"}).failed);
    EXPECT_FALSE(call("putvar", {"CURSORPOS", "37"}).failed);  // no comma: nothing moves
    ASSERT_EQ(host.cursorMoves.size(), 1u);
    EXPECT_EQ(host.cursorMoves[0].row, 2);
    EXPECT_EQ(host.cursorMoves[0].column, 6);
}

TEST_F(RexxFunctions, LibraryFailuresMapToTheirErrors) {
    host.errors[ReservedWord::Key] = MacroError::InvalidKeyFunction;
    EXPECT_EQ(call("key", {"NoSuchKey"}).error, RexxError::UnknownKey);
    host.errors[ReservedWord::Key] = MacroError::CursorKeyNeedsPosition;
    EXPECT_EQ(call("key", {"CursorPos", "1"}).error, RexxError::ArgumentCount);
    // A transfer option outside the list fails without a message and never
    // reaches the library.
    const std::size_t before = host.calls.size();
    const RexxCallResult r = call("sendfile", {"a.txt", "A TXT", "text", "lrecl"});
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.error, RexxError::None);
    EXPECT_EQ(host.calls.size(), before);
    call("receivefile", {"A TXT", "a.txt", "binary", "Append"});
    ASSERT_EQ(host.calls.size(), before + 1);
    EXPECT_EQ(host.calls.back().word, ReservedWord::ReceiveFile);
    EXPECT_EQ(host.calls.back().args[3].text.str(), "APPEND");
    // debugwindow takes only its four commands, without a message otherwise.
    const RexxCallResult bad = call("debugwindow", {"shrink"});
    EXPECT_TRUE(bad.failed);
    EXPECT_EQ(bad.error, RexxError::None);
    EXPECT_FALSE(call("debugwindow", {"open"}).failed);
    EXPECT_EQ(host.calls.back().args[0].text.str(), "OPEN");
}

}  // namespace
}  // namespace cedar
