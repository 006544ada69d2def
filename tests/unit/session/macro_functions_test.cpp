// The macro functions over a small session: the screen readers, KEY and
// TYPE into a recording dispatcher, the dialogs, sounds, programs, sessions
// and [UserVariables], with the services faked.
#include "session/macro_functions.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "macro_fakes.h"
#include "macro_test_util.h"
#include "sessionfile/private_profile.h"

namespace cedar {
namespace {

MacroValue N(std::int32_t n) {
    return MacroValue::ofNumber(n);
}
MacroValue T(std::string_view t) {
    return MacroValue::ofText(t);
}

class NoFiles : public MacroFileSystem {
    std::unique_ptr<MacroFileStream> open(std::string_view, MacroFileMode) override {
        return nullptr;
    }
};
class NoClipboard : public MacroClipboard {
    std::optional<std::string> text() override { return std::nullopt; }
    void setText(std::string_view) override {}
};

keys::KeyList testKeyList() {
    using keys::KeyFunction;
    keys::KeyListTables tables;
    tables.actions = {{2, 0, "Enter", ""}, {8, 0, "PF3", ""}};
    tables.edits = {{25, 0, "SelectField", ""}, {58, 0, "Find", ""}, {14, 0, "Home", ""}};
    tables.opers = {{13, 0, "MoveCursor", ""}, {28, 0, "Reconnect", ""},
                    {40, 0, "MacroPause", ""}, {45, 0, "SaveDebugScreen", ""},
                    {50, 0, "PrintFile", ""},  {14, 0, "MoveCursorEnter", ""},
                    {2, 0, "Home", ""}};  // an OPER name also used by EDIT: EDIT wins
    std::string error;
    const auto bytes = keys::writeKeyList(tables, error);
    keys::KeyList list;
    EXPECT_TRUE(bytes) << error;
    if (bytes) {
        EXPECT_FALSE(list.load(*bytes));
    }
    return list;
}

class MacroFunctionsTest : public ::testing::Test {
  protected:
    MacroFunctionsTest() {
        services.dialogs = &dialogs;
        services.sound = &sound;
        services.programs = &programs;
        services.sessions = &sessions;
        services.keyServices = &keyServices;
        services.debugWindow = &debugWindow;
        services.appDataFolder = "/data";
        services.readSettings = [this] { return std::optional(ini); };
        services.editSettings = [this](const std::function<std::string(const std::string&)>& edit) {
            if (iniReadOnly) return false;
            ini = edit(ini);
            return true;
        };
        host = std::make_unique<SessionMacroHost>(
            session, nullptr, settings, keyList,
            [this](keys::KeyWord w) { performed.push_back(w); }, files, control, services);
    }

    struct Outcome {
        MacroError error;
        MacroValue value;
    };
    Outcome call(ReservedWord word, std::initializer_list<MacroValue> args) {
        std::vector<MacroValue> v(args);
        Outcome out;
        out.error = host->callFunction(word, v, out.value);
        return out;
    }
    MacroValue value(ReservedWord word, std::initializer_list<MacroValue> args) {
        const Outcome out = call(word, args);
        EXPECT_EQ(out.error, MacroError::None) << reservedWordName(word);
        return out.value;
    }

    PresentationSpace& ps() { return session.screen; }
    int at(int row, int column) { return (row - 1) * ps().columns() + (column - 1); }
    void write(int row, int column, std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i)
            ps().characters()[at(row, column) + static_cast<int>(i)] =
                static_cast<std::uint8_t>(text[i]);
    }
    void attribute(int row, int column, std::uint8_t bits) {
        ps().attributes()[at(row, column)] = fa::kMarker | bits;
    }

    Session session;
    Settings settings;
    keys::KeyList keyList = testKeyList();
    std::vector<keys::KeyWord> performed;
    NoFiles noFiles;
    NoClipboard noClipboard;
    MacroFiles files{noFiles, noClipboard};
    test::FakeMacroControl control;
    test::ScriptedMacroDialogs dialogs;
    test::RecordingSound sound;
    test::RecordingPrograms programs;
    test::FakeSessions sessions;
    test::RecordingKeyServices keyServices;
    test::RecordingDebugWindow debugWindow;
    std::string ini;
    bool iniReadOnly = false;
    MacroFunctionServices services;
    std::unique_ptr<SessionMacroHost> host;
};

TEST_F(MacroFunctionsTest, ScreenReadsOneRowInItsPrintableForm) {
    ASSERT_GE(ps().rows(), 24);
    const int cols = ps().columns();
    attribute(2, 1, fa::kProtected);
    write(2, 2, "Name");
    attribute(2, 6, fa::kNonDisplay);  // a password field: shown as blanks
    write(2, 7, "secret");
    attribute(2, 13, 0);
    write(2, 14, "ok");
    write(3, 1, "next row");
    ps().characters()[at(2, 17)] = 0x85;  // graphic escape: its look-alike
    ps().charsets()[at(2, 17)] = kGraphicEscapeCharset;
    const struct {
        std::int32_t row, column;
        std::optional<std::int32_t> length;
        std::string expected;
    } cases[] = {
        {2, 2, 4, "Name"},
        {2, 1, 16, " Name        ok "},
        {2, 8, 3, "   "},  // starts inside the non-display field
        {2, 14, std::nullopt, "ok |" + std::string(static_cast<std::size_t>(cols - 17), ' ')},
        {2, cols, 10, " "},  // never runs into the next row
        {2, 2, -1, "Name        ok |" + std::string(static_cast<std::size_t>(cols - 17), ' ')},
        {2, 2, 0, ""},
        {0, 1, 5, ""},
        {ps().rows() + 1, 1, 5, ""},
        {2, 0, 5, ""},
        {2, cols + 1, 5, ""},
    };
    for (const auto& c : cases) {
        const MacroValue v =
            c.length ? value(ReservedWord::Screen, {N(c.row), N(c.column), N(*c.length)})
                     : value(ReservedWord::Screen, {N(c.row), N(c.column)});
        EXPECT_EQ(v, T(c.expected)) << c.row << "," << c.column;
    }
}

TEST_F(MacroFunctionsTest, PlanesReadAsNumbersAndZeroOffTheScreen) {
    const int p = at(5, 10);
    ps().attributes()[p] = 0xE0;
    ps().colors()[p] = 0xF2;
    ps().highlights()[p] = 0xF4;
    ps().hostCodes()[p] = 0xC1;
    EXPECT_EQ(value(ReservedWord::Attribute, {N(5), N(10)}), N(0xE0));
    EXPECT_EQ(value(ReservedWord::Color, {N(5), N(10)}), N(0xF2));
    EXPECT_EQ(value(ReservedWord::Hilite, {N(5), N(10)}), N(0xF4));
    EXPECT_EQ(value(ReservedWord::RawData, {N(5), N(10)}), N(0xC1));
    for (ReservedWord w : {ReservedWord::Attribute, ReservedWord::Color, ReservedWord::Hilite,
                           ReservedWord::RawData}) {
        EXPECT_EQ(value(w, {N(0), N(10)}), N(0));
        EXPECT_EQ(value(w, {N(5), N(ps().columns() + 1)}), N(0));
        EXPECT_EQ(value(w, {N(-99'999'999), N(99'999'999)}), N(0));
    }
}

TEST_F(MacroFunctionsTest, OnScreenFindsIgnoringCaseAndSetsTheMatch) {
    const int cols = ps().columns();
    // Fields wrap from the screen's end to its start: a displayed field
    // before the text, and one after the hidden field.
    attribute(3, 1, 0);
    write(4, 3, "READY");
    write(6, cols - 2, "WRAP");  // runs over the row's end
    attribute(8, 1, fa::kNonDisplay);
    write(8, 2, "HIDDEN");
    attribute(8, 10, 0);
    write(ps().rows(), cols - 1, "EN");  // the screen's last two positions
    const auto row = [&] { return host->readSystemVariable(SystemVariable::OnScreenRow); };
    const auto col = [&] { return host->readSystemVariable(SystemVariable::OnScreenCol); };

    EXPECT_EQ(value(ReservedWord::OnScreen, {T("ready")}), N(1));
    EXPECT_EQ(row(), N(4));
    EXPECT_EQ(col(), N(3));
    EXPECT_EQ(value(ReservedWord::OnScreen, {T("wrap")}), N(1));
    EXPECT_EQ(row(), N(6));
    EXPECT_EQ(col(), N(cols - 2));
    // Failures keep the last match.
    const struct {
        std::vector<MacroValue> args;
        std::int32_t found;
    } cases[] = {
        {{T("ready"), N(4)}, 1},
        {{T("ready"), N(5)}, 0},
        {{T("ready"), N(4), N(3)}, 1},
        {{T("ready"), N(4), N(2)}, 0},
        {{T("eady"), N(4), N(4)}, 1},
        {{T("")}, 0},
        {{T("ready"), N(0)}, 0},
        {{T("ready"), N(4), N(cols + 1)}, 0},
        {{T("hidden")}, 0},
        {{T("EN!")}, 0},
        {{T("wrap"), N(6)}, 1},
        {{T("RAP"), N(7)}, 0},
    };
    for (const auto& c : cases) {
        MacroValue result;
        ASSERT_EQ(host->callFunction(ReservedWord::OnScreen, c.args, result), MacroError::None);
        EXPECT_EQ(result, N(c.found)) << c.args[0].text.view() << " " << c.args.size();
    }
    EXPECT_EQ(value(ReservedWord::OnScreen, {T("zzz")}), N(0));
    EXPECT_EQ(row(), N(6));
    EXPECT_EQ(col(), N(cols - 2));
}

TEST_F(MacroFunctionsTest, KeyLooksUpNamesAndCarriesThemOut) {
    using keys::Kind;
    EXPECT_EQ(call(ReservedWord::Key, {T("pf3")}).error, MacroError::None);
    EXPECT_EQ(call(ReservedWord::Key, {T("HOME")}).error, MacroError::None);
    ASSERT_EQ(performed.size(), 2u);
    EXPECT_EQ(keys::kindOf(performed[0]), Kind::Action);
    EXPECT_EQ(keys::codeOf(performed[0]), 8);
    EXPECT_EQ(keys::kindOf(performed[1]), Kind::Edit) << "EDIT before OPER";
    EXPECT_EQ(call(ReservedWord::Key, {T("PF99")}).error, MacroError::InvalidKeyFunction);
    EXPECT_EQ(call(ReservedWord::Key, {T("")}).error, MacroError::InvalidKeyFunction);
    EXPECT_EQ(performed.size(), 2u);
}

TEST_F(MacroFunctionsTest, KeySpecialCases) {
    struct Case {
        std::vector<MacroValue> args;
        MacroError error;
        bool performs;
        std::string service;  // what the key services were asked, "" for nothing
    };
    const std::vector<Case> cases = {
        {{T("SelectField"), N(3)}, MacroError::CursorKeyNeedsPosition, false, ""},
        {{T("SelectField"), N(3), N(4)}, MacroError::None, true, ""},
        {{T("MoveCursor"), N(3)}, MacroError::CursorKeyNeedsPosition, false, ""},
        {{T("MoveCursorEnter"), N(3), T("9")}, MacroError::None, true, ""},
        {{T("MoveCursor")}, MacroError::None, true, ""},
        {{T("Find"), T("abc")}, MacroError::None, false, "find abc 0"},
        {{T("Find"), T("abc"), N(2)}, MacroError::None, false, "find abc 2"},
        {{T("Find"), T("abc"), N(8)}, MacroError::None, false, "clearFind"},
        {{T("Find")}, MacroError::None, true, ""},
        {{T("Reconnect"), T("prod")}, MacroError::None, true, "host prod"},
        {{T("Reconnect"), T("prod"), N(1)}, MacroError::WrongParmCount, false, ""},
        {{T("SaveDebugScreen"), T("s.txt")}, MacroError::None, false, "debug s.txt"},
        {{T("SaveDebugScreen"), T("s"), T("t")}, MacroError::WrongParmCount, false, ""},
        {{T("PrintFile"), T("p.txt")}, MacroError::None, false, "print p.txt"},
        {{T("PrintFile")}, MacroError::None, true, ""},
    };
    for (const Case& c : cases) {
        performed.clear();
        keyServices.calls.clear();
        MacroValue result;
        EXPECT_EQ(host->callFunction(ReservedWord::Key, c.args, result), c.error)
            << c.args[0].text.view() << " " << c.args.size();
        EXPECT_EQ(performed.size(), c.performs ? 1u : 0u) << c.args[0].text.view();
        EXPECT_EQ(keyServices.calls.empty() ? "" : keyServices.calls[0], c.service)
            << c.args[0].text.view();
    }
}

TEST_F(MacroFunctionsTest, KeyMovesTheCursorFromOneAndClearsTheMouseMark) {
    session.keyboard.keyFromMouse = true;
    EXPECT_EQ(call(ReservedWord::Key, {T("SelectField"), N(3), N(4)}).error, MacroError::None);
    EXPECT_EQ(ps().cursor(), at(3, 4));
    EXPECT_FALSE(session.keyboard.keyFromMouse);
    EXPECT_EQ(call(ReservedWord::Key, {T("MoveCursor"), N(99), N(-5)}).error, MacroError::None);
    EXPECT_EQ(ps().cursor(), at(ps().rows(), 1)) << "kept on the screen";
    EXPECT_EQ(call(ReservedWord::Key, {T("MacroPause")}).error, MacroError::None);
    EXPECT_EQ(control.pendingAdvances, 1);
}

TEST_F(MacroFunctionsTest, UntrustedMacrosNameNoFilesOrHostsThroughKey) {
    control.trust = false;
    for (const char* name : {"PrintFile", "SaveDebugScreen", "Reconnect"})
        EXPECT_EQ(call(ReservedWord::Key, {T(name), T("x")}).error, MacroError::InvalidKeyFunction)
            << name;
    EXPECT_TRUE(keyServices.calls.empty());
    EXPECT_TRUE(performed.empty());
}

TEST_F(MacroFunctionsTest, TypeSendsEveryByteAsACharKey) {
    EXPECT_EQ(call(ReservedWord::Type, {T("a\xE9 ")}).error, MacroError::None);
    ASSERT_EQ(performed.size(), 3u);
    EXPECT_EQ(performed[0], keys::charKey('a'));
    EXPECT_EQ(performed[1], keys::charKey(0xE9));
    EXPECT_EQ(performed[2], keys::charKey(' '));
}

TEST_F(MacroFunctionsTest, MessageBoxStylesAndAnswers) {
    const std::string kDefault(SessionMacroHost::kMessageBoxTitle);
    struct Case {
        std::vector<MacroValue> args;
        MacroError error;
        std::string title;
        int style;
    };
    const std::vector<Case> cases = {
        {{T("hi")}, MacroError::None, kDefault, 0},
        {{T("hi"), N(0x24)}, MacroError::None, kDefault, 0x24},
        {{T("hi"), T("Title")}, MacroError::None, "Title", 64},
        {{T("hi"), T("Title"), N(2)}, MacroError::None, "Title", 32},
        {{T("hi"), T("Title"), N(2), N(4)}, MacroError::None, "Title", 32 + 4},
        {{T("hi"), T("Title"), N(7), N(11)}, MacroError::None, "Title", 48 + 5},
        {{T("hi"), T("Title"), N(-1), N(-1)}, MacroError::None, "Title", 48 + 5},
        {{T("hi"), N(1), N(2)}, MacroError::WrongParmType, "", 0},
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        dialogs.buttons = {7};
        MacroValue result;
        ASSERT_EQ(host->callFunction(ReservedWord::MessageBox, c.args, result), c.error);
        if (c.error != MacroError::None) {
            EXPECT_TRUE(dialogs.messages.empty());
            continue;
        }
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "hi");
        EXPECT_EQ(dialogs.messages[0].title, c.title);
        EXPECT_EQ(dialogs.messages[0].style, c.style) << c.args.size();
        EXPECT_EQ(result, N(7));
    }
    EXPECT_EQ(macroButtonsOf(36), MacroButtons::YesNo);
    EXPECT_EQ(macroIconOf(36), kMacroIconQuestion);
}

TEST_F(MacroFunctionsTest, EditBoxArgumentsByTypeAndCancel) {
    dialogs.edits = {std::string("typed text"), std::string(300, 'x')};
    EXPECT_EQ(value(ReservedWord::EditBox, {T("Prompt"), N(5), N(300), T("Title"), T("*x")}),
              T("typed"));
    const MacroEditBoxRequest& r = dialogs.editRequests.back();
    EXPECT_EQ(r.prompt, "Prompt");
    EXPECT_EQ(r.maxLength, 5);
    EXPECT_EQ(r.fieldWidth, 300);
    EXPECT_EQ(r.dialogWidth, 360);
    EXPECT_EQ(r.title, "Title");
    EXPECT_EQ(r.passwordChar, '*');
    EXPECT_EQ(value(ReservedWord::EditBox, {T("p"), N(999)}), T(std::string(255, 'x')));
    EXPECT_EQ(dialogs.editRequests.back().title, "Cedar TN3270 EditBox");
    EXPECT_EQ(dialogs.editRequests.back().maxLength, 255);
    EXPECT_EQ(call(ReservedWord::EditBox, {T("p"), N(1), N(2), N(3)}).error,
              MacroError::WrongParmType);
    EXPECT_EQ(call(ReservedWord::EditBox, {T("p"), T("a"), T("b"), T("c")}).error,
              MacroError::WrongParmType);
    EXPECT_EQ(dialogs.editRequests.size(), 2u);
    // Cancel stops the macro and tells the user why.
    dialogs.messages.clear();
    EXPECT_EQ(call(ReservedWord::EditBox, {T("p")}).error, MacroError::None);
    EXPECT_EQ(control.stops, 1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Macro stopped by cancelling an EditBox");
    EXPECT_EQ(dialogs.messages[0].title, "Macro Stopped");
    EXPECT_EQ(dialogs.messages[0].style, kMacroIconInformation);
}

TEST_F(MacroFunctionsTest, DebugAndDebugWindow) {
    EXPECT_EQ(call(ReservedWord::Debug, {N(-7)}).error, MacroError::None);
    EXPECT_EQ(call(ReservedWord::Debug, {T("text")}).error, MacroError::None);
    for (const char* c : {"open", "CLOSE", "Clear", "hide"})
        EXPECT_EQ(value(ReservedWord::DebugWindow, {T(c)}), N(0));
    EXPECT_EQ(call(ReservedWord::DebugWindow, {T("SHOW")}).error,
              MacroError::InvalidDebugWindowParm);
    EXPECT_EQ(debugWindow.calls,
              (std::vector<std::string>{"line -7", "line text", "open", "close", "clear", "hide"}));
}

TEST_F(MacroFunctionsTest, BeepAndPlaySound) {
    settings.beepPitchLow = 111;
    settings.beepDurationLow = 11;
    settings.beepPitchHigh = 333;
    settings.beepDurationHigh = 33;
    EXPECT_EQ(value(ReservedWord::Beep, {N(440), N(200)}), N(0));
    EXPECT_EQ(value(ReservedWord::PlaySound, {T("(Sound choice:l)")}), N(0));
    EXPECT_EQ(value(ReservedWord::PlaySound, {T("(xxxxxxxxxxxxxH")}), N(0));
    // Shorter than 15 characters: nothing is read past the end.
    EXPECT_EQ(value(ReservedWord::PlaySound, {T("(short")}), N(0));
    EXPECT_EQ(value(ReservedWord::PlaySound, {T("(")}), N(0));
    EXPECT_EQ(value(ReservedWord::PlaySound, {T("ding.wav")}), N(0));
    EXPECT_EQ(value(ReservedWord::PlaySound, {T("C:\\x.wav")}), N(0));
    EXPECT_EQ(sound.beeps, (std::vector<std::pair<int, int>>{{440, 200}, {111, 11}, {333, 33}}));
    EXPECT_EQ(sound.files, (std::vector<std::string>{"/data/ding.wav", "C:\\x.wav"}));
}

TEST_F(MacroFunctionsTest, ProgramsAndSessions) {
    EXPECT_EQ(value(ReservedWord::WinExec, {T("\"my prog\" a")}), N(0));
    EXPECT_EQ(programs.started, (std::vector<std::string>{"\"my prog\" a"}));
    programs.shellResult = 33;
    EXPECT_EQ(value(ReservedWord::ShellExecute, {T("open"), T("a.txt"), T(""), T(""), N(1)}),
              N(33));
    programs.shellResult = 2;
    EXPECT_EQ(value(ReservedWord::ShellExecute, {T("open"), T("b"), T("-x"), T(""), N(1)}), N(2));
    control.trust = false;
    EXPECT_EQ(value(ReservedWord::WinExec, {T("evil")}), N(0));
    EXPECT_LE(value(ReservedWord::ShellExecute, {T("open"), T("c"), T(""), T(""), N(1)}).number,
              32);
    EXPECT_EQ(programs.started.size(), 1u);
    EXPECT_EQ(programs.shell.size(), 2u);

    EXPECT_EQ(value(ReservedWord::Session, {T("a")}), N(0));
    EXPECT_EQ(value(ReservedWord::Session, {T("B")}), N(1));
    EXPECT_EQ(call(ReservedWord::Session, {T("1")}).error, MacroError::InvalidSessionParm);
    EXPECT_EQ(call(ReservedWord::Session, {T("")}).error, MacroError::InvalidSessionParm);
    EXPECT_EQ(sessions.fronted, (std::vector<char>{'A'}));
}

TEST_F(MacroFunctionsTest, UserVariablesInTheSettingsFile) {
    ini = "[Cedar]\r\nLastSession=x\r\n";
    EXPECT_EQ(value(ReservedWord::GetIni, {T("Count")}), T(""));
    EXPECT_EQ(value(ReservedWord::PutIni, {T("Count"), N(-12)}), N(1));
    EXPECT_EQ(value(ReservedWord::PutIni, {T("Name"), T("Ann Lee")}), N(1));
    EXPECT_EQ(profile::find(ini, "UserVariables", "Count"), "-12");
    EXPECT_EQ(value(ReservedWord::GetIni, {T("count")}), T("-12"));
    EXPECT_EQ(value(ReservedWord::GetIni, {T("NAME")}), T("Ann Lee"));
    EXPECT_EQ(profile::find(ini, "Cedar", "LastSession"), "x");
    // Keys and values that would break the file's lines are refused.
    for (const auto& [k, v] : {std::pair{"a=b", "1"}, {"", "1"}, {"k", "x\r\ny=1"}, {"[S]", "1"}})
        EXPECT_EQ(value(ReservedWord::PutIni, {T(k), T(v)}), N(0)) << k;
    iniReadOnly = true;
    EXPECT_EQ(value(ReservedWord::PutIni, {T("Other"), N(1)}), N(0));
    iniReadOnly = false;
    control.trust = false;
    EXPECT_EQ(value(ReservedWord::PutIni, {T("Other"), N(1)}), N(0));
    EXPECT_FALSE(profile::find(ini, "UserVariables", "Other"));
}

TEST_F(MacroFunctionsTest, TextAndFileWordsAndTransfersReachTheirFamilies) {
    EXPECT_EQ(value(ReservedWord::DataType, {T("a1-")}), T("ANS"));
    settings.fixInstrFunction = 1;
    EXPECT_EQ(value(ReservedWord::InStr, {N(3), T("abcabc"), T("c")}), N(6));
    EXPECT_EQ(value(ReservedWord::Open, {T("nothing"), T("input"), N(1)}), N(-1));
    EXPECT_EQ(value(ReservedWord::Eof, {N(0)}), N(1));
    // Without a transfer service there is no transfer to run.
    for (ReservedWord w : {ReservedWord::SendFile, ReservedWord::ReceiveFile})
        EXPECT_EQ(call(w, {T("a"), T("b")}).error, MacroError::TransferParmError);
    EXPECT_EQ(value(ReservedWord::XferAddStg, {T("a")}), N(0));
}

struct RecordingTransfers : MacroTransfers {
    bool startTransfer(const MacroTransferRequest& request) override {
        requests.push_back(request);
        return true;
    }
    void addHostListEntry(const std::string& entry) override { entries.push_back(entry); }
    std::vector<MacroTransferRequest> requests;
    std::vector<std::string> entries;
};

TEST_F(MacroFunctionsTest, TransfersGoToTheTransferService) {
    RecordingTransfers transfers;
    services.transfers = &transfers;
    host = std::make_unique<SessionMacroHost>(
        session, nullptr, settings, keyList, [](keys::KeyWord) {}, files, control, services);

    EXPECT_EQ(call(ReservedWord::SendFile, {T("/tmp/a")}).error, MacroError::TransferParmError);
    EXPECT_EQ(call(ReservedWord::ReceiveFile, {}).error, MacroError::TransferParmError);
    EXPECT_TRUE(transfers.requests.empty());

    EXPECT_EQ(call(ReservedWord::SendFile, {T("/tmp/a"), T("USER.A"), T("binary"), T("CMS")}).error,
              MacroError::None);
    EXPECT_EQ(call(ReservedWord::ReceiveFile, {T("USER.B"), T("/tmp/b"), T("append")}).error,
              MacroError::None);
    ASSERT_EQ(transfers.requests.size(), 2u);
    EXPECT_EQ(transfers.requests[0].direction, TransferDirection::Upload);
    EXPECT_EQ(transfers.requests[0].pcFile, "/tmp/a");
    EXPECT_EQ(transfers.requests[0].hostFile, "USER.A");
    EXPECT_EQ(transfers.requests[0].binary, true);
    EXPECT_EQ(transfers.requests[0].hostType, TransferHostType::Cms);
    EXPECT_EQ(transfers.requests[1].direction, TransferDirection::Download);
    EXPECT_EQ(transfers.requests[1].pcFile, "/tmp/b");
    EXPECT_EQ(transfers.requests[1].hostFile, "USER.B");
    EXPECT_EQ(transfers.requests[1].append, true);

    // The names are exchanged only with AllowSendReceiveSwap.
    EXPECT_EQ(call(ReservedWord::ReceiveFile, {T("/tmp/c"), T("USER.C")}).error, MacroError::None);
    EXPECT_EQ(transfers.requests.back().hostFile, "/tmp/c");
    settings.allowSendReceiveSwap = 1;
    EXPECT_EQ(call(ReservedWord::ReceiveFile, {T("USER.C"), T("/tmp/c")}).error, MacroError::None);
    EXPECT_EQ(transfers.requests.back().hostFile, "USER.C");
    EXPECT_EQ(call(ReservedWord::SendFile, {T("USER.D"), T("/tmp/d")}).error, MacroError::None);
    EXPECT_EQ(transfers.requests.back().pcFile, "/tmp/d");
    EXPECT_EQ(transfers.requests.back().hostFile, "USER.D");

    EXPECT_EQ(value(ReservedWord::XferAddStg, {T("USER.LIST(M1)")}), N(0));
    EXPECT_EQ(transfers.entries, (std::vector<std::string>{"USER.LIST(M1)"}));
}

TEST(MacroServices, SplitCommandLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitCommandLine("prog a  b"), (V{"prog", "a", "b"}));
    EXPECT_EQ(splitCommandLine("\"/opt/my prog\" \"two words\" x"),
              (V{"/opt/my prog", "two words", "x"}));
    EXPECT_EQ(splitCommandLine("a \"\" b"), (V{"a", "", "b"}));
    EXPECT_EQ(splitCommandLine("say \"he said \"\"hi\"\"\""), (V{"say", "he said \"hi\""}));
    EXPECT_EQ(splitCommandLine("  "), V{});
    EXPECT_EQ(splitCommandLine("\"unclosed arg"), (V{"unclosed arg"}));
}

}  // namespace
}  // namespace cedar

namespace cedar {
namespace {

class RecordingOptionEffects : public sessionfile::OptionEffects {
  public:
    sessionfile::OptionCellSize cellSize() const override { return {8, 16}; }
    void optionChanged(const sessionfile::OptionRow& row,
                       const sessionfile::OptionValue&) override {
        actions.push_back(row.action);
    }
    std::vector<sessionfile::OptionAction> actions;
};

class MacroOptionFunctionsTest : public MacroFunctionsTest {
  protected:
    MacroOptionFunctionsTest() {
        record.setText(sessionfile::Field::SessionName, "TSO");
        services.sessionOptions = &record;
        services.optionEffects = &effects;
        host = std::make_unique<SessionMacroHost>(
            session, nullptr, settings, keyList, [](keys::KeyWord) {}, files, control, services);
    }
    sessionfile::SessionOptions record;
    RecordingOptionEffects effects;
};

TEST_F(MacroOptionFunctionsTest, ValuesComeBackAsTheirKindsType) {
    const MacroValue name = value(ReservedWord::GetOption, {T("general"), T("sessionname")});
    ASSERT_TRUE(name.isText());
    EXPECT_EQ(name.text.view(), "TSO");

    record.setNumber(sessionfile::Field::Color3, 0x123456);
    const MacroValue colour = value(ReservedWord::GetOption, {T("COLORS"), T("COLOR3")});
    ASSERT_TRUE(colour.isNumber());
    EXPECT_EQ(colour.number, 0x123456);

    const MacroValue size = value(ReservedWord::GetOption, {T("FONT"), T("SIZE")});
    ASSERT_TRUE(size.isText());
    EXPECT_EQ(size.text.view(), "8 x 16");
    EXPECT_EQ(call(ReservedWord::SetOption, {T("FONT"), T("SIZE"), size}).error, MacroError::None);
}

TEST_F(MacroOptionFunctionsTest, TableErrorsBecomeMacroErrors) {
    const std::string longName(41, 'n');
    const struct {
        std::vector<MacroValue> args;
        MacroError error;
    } cases[] = {
        {{T("DISPLAY"), T("ALARM"), N(2)}, MacroError::InvalidParameterValue},     // 61
        {{T("DISPLAY"), T("ALARM"), T("2")}, MacroError::WrongParmType},           // 17
        {{T("NOPAGE"), T("ALARM"), N(1)}, MacroError::UnknownKeyword},             // 6
        {{T("GENERAL"), T("SESSIONNAME"), T(longName)}, MacroError::TextTooLong},  // 49
        {{T("GENERAL"), T("SCREENBUFFERS"), N(1)}, MacroError::InvalidParameterValue},
        {{T("GENERAL"), T("SCREENBUFFERS"), N(0)}, MacroError::None},
    };
    for (const auto& c : cases) {
        MacroValue result;
        EXPECT_EQ(host->callFunction(ReservedWord::SetOption, c.args, result), c.error)
            << c.args[0].text.view() << " " << c.args[1].text.view();
    }
    EXPECT_EQ(record.text(sessionfile::Field::SessionName), "TSO");
    EXPECT_EQ(effects.actions, std::vector{sessionfile::OptionAction::History});
}

TEST_F(MacroOptionFunctionsTest, HostNameChangeAsksForAReconnect) {
    EXPECT_EQ(
        call(ReservedWord::SetOption, {T("GENERAL"), T("HOSTNAME"), T("mvs.example:992")}).error,
        MacroError::None);
    EXPECT_EQ(record.text(sessionfile::Field::HostName), "mvs.example:992");
    EXPECT_EQ(effects.actions, std::vector{sessionfile::OptionAction::Reconnect});
}

TEST_F(MacroFunctionsTest, WithoutASessionRecordOptionsAreUnknown) {
    EXPECT_EQ(call(ReservedWord::GetOption, {T("DISPLAY"), T("ALARM")}).error,
              MacroError::UnknownKeyword);
    EXPECT_EQ(call(ReservedWord::SetOption, {T("DISPLAY"), T("ALARM"), N(1)}).error,
              MacroError::UnknownKeyword);
}

}  // namespace
}  // namespace cedar
