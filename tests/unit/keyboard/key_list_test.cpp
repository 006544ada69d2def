#include "keyboard/key_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "key_fixtures.h"

namespace cedar::keys::test {
namespace {

struct Named {
    KeyWord word;
    std::string name;
};

// Every function of key_word.h with the name macros and menus use for it.
std::vector<Named> everyFunction() {
    std::vector<Named> all = {
        {actionKey(Action::Attn), "Attn"},     {actionKey(Action::Clear), "Clear"},
        {actionKey(Action::Enter), "Enter"},   {actionKey(Action::PA1), "PA1"},
        {actionKey(Action::PA2), "PA2"},       {actionKey(Action::PA3), "PA3"},
        {actionKey(Action::SysReq), "SysReq"},
    };
    for (int i = 0; i < 24; ++i)
        all.push_back(
            {makeKey(Kind::Action, static_cast<std::uint8_t>(static_cast<int>(Action::PF1) + i)),
             "PF" + std::to_string(i + 1)});
    for (int i = 0; i < 7; ++i)
        all.push_back(
            {makeKey(Kind::Action, static_cast<std::uint8_t>(static_cast<int>(Action::PA4) + i)),
             "PA" + std::to_string(i + 4)});
    for (int i = 0; i < 12; ++i)
        all.push_back(
            {makeKey(Kind::Action, static_cast<std::uint8_t>(static_cast<int>(Action::PF25) + i)),
             "PF" + std::to_string(i + 25)});
    const std::vector<std::pair<Edit, std::string>> edits = {
        {Edit::Backspace, "Backspace"},
        {Edit::BackTab, "BackTab"},
        {Edit::CapsLock, "CapsLock"},
        {Edit::Copy, "Copy"},
        {Edit::Cut, "Cut"},
        {Edit::Delete, "Delete"},
        {Edit::DeleteWord, "DeleteWord"},
        {Edit::CursorDown, "CursorDown"},
        {Edit::FastDown, "FastDown"},
        {Edit::Dup, "Dup"},
        {Edit::EndField, "EndField"},
        {Edit::EraseEOF, "EraseEOF"},
        {Edit::EraseInput, "EraseInput"},
        {Edit::FieldMark, "FieldMark"},
        {Edit::Home, "Home"},
        {Edit::Insert, "Insert"},
        {Edit::CursorLeft, "CursorLeft"},
        {Edit::FastLeft, "FastLeft"},
        {Edit::NewLine, "NewLine"},
        {Edit::NoFunction, "NoFunction"},
        {Edit::PasteOverlay, "PasteOverlay"},
        {Edit::Reset, "Reset"},
        {Edit::CursorRight, "CursorRight"},
        {Edit::FastRight, "FastRight"},
        {Edit::SelectAll, "SelectAll"},
        {Edit::SelectField, "SelectField"},
        {Edit::SelectLine, "SelectLine"},
        {Edit::SelectWord, "SelectWord"},
        {Edit::Tab, "Tab"},
        {Edit::CursorUp, "CursorUp"},
        {Edit::FastUp, "FastUp"},
        {Edit::WordLeft, "WordLeft"},
        {Edit::WordRight, "WordRight"},
        {Edit::BottomLine, "BottomLine"},
        {Edit::PreviousLine, "PreviousLine"},
        {Edit::Undo, "Undo"},
        {Edit::ClearClipboard, "ClearClipboard"},
        {Edit::NumLock, "NumLock"},
        {Edit::PasteRepeat, "PasteRepeat"},
        {Edit::PasteField, "PasteField"},
        {Edit::Paste, "Paste"},
        {Edit::SelectLocation1, "SelectLocation1"},
        {Edit::SelectLocation2, "SelectLocation2"},
        {Edit::PasteContinue, "PasteContinue"},
        {Edit::PasteWindow, "PasteWindow"},
        {Edit::CopyAppend, "CopyAppend"},
        {Edit::EditMenu, "EditMenu"},
        {Edit::SelectUp, "SelectUp"},
        {Edit::SelectDown, "SelectDown"},
        {Edit::SelectLeft, "SelectLeft"},
        {Edit::SelectRight, "SelectRight"},
        {Edit::SelectJCL, "SelectJCL"},
        {Edit::SelectText, "SelectText"},
        {Edit::PasteJCL, "PasteJCL"},
        {Edit::LineHome, "LineHome"},
        {Edit::PasteInsert, "PasteInsert"},
        {Edit::CopyFields, "CopyFields"},
        {Edit::Find, "Find"},
        {Edit::FindRepeat, "FindRepeat"},
        {Edit::FindClear, "FindClear"},
        {Edit::PasteFlow, "PasteFlow"},
        {Edit::PasteByTyping, "PasteByTyping"},
        {Edit::CopyAppendNoCR, "CopyAppendNoCR"},
        {Edit::WordWrap, "WordWrap"},
        {Edit::CopyTruncate, "CopyTruncate"},
    };
    for (const auto& [code, name] : edits)
        all.push_back({editKey(code), name});
    const std::vector<std::pair<Oper, std::string>> opers = {
        {Oper::CaptureScreens, "CaptureScreens"},
        {Oper::ReceiveFile, "ReceiveFile"},
        {Oper::Options, "Options"},
        {Oper::Exit, "Exit"},
        {Oper::LargerFont, "LargerFont"},
        {Oper::NarrowerFont, "NarrowerFont"},
        {Oper::FontOptions, "FontOptions"},
        {Oper::ShorterFont, "ShorterFont"},
        {Oper::SmallerFont, "SmallerFont"},
        {Oper::TallerFont, "TallerFont"},
        {Oper::ThickFont, "ThickFont"},
        {Oper::ThinFont, "ThinFont"},
        {Oper::WiderFont, "WiderFont"},
        {Oper::MoveCursor, "MoveCursor"},
        {Oper::MoveCursorEnter, "MoveCursorEnter"},
        {Oper::NewSession, "NewSession"},
        {Oper::NewSessionAsk, "NewSessionAsk"},
        {Oper::PrintScreen, "PrintScreen"},
        {Oper::PrintScreenAsk, "PrintScreenAsk"},
        {Oper::SaveScreen, "SaveScreen"},
        {Oper::SaveScreenAppend, "SaveScreenAppend"},
        {Oper::SaveSessionAs, "SaveSessionAs"},
        {Oper::ShowAttributes, "ShowAttributes"},
        {Oper::StartupMacro, "StartupMacro"},
        {Oper::SendFile, "SendFile"},
        {Oper::KeyboardEdit, "KeyboardEdit"},
        {Oper::ToolBarEdit, "ToolBarEdit"},
        {Oper::Reconnect, "Reconnect"},
        {Oper::Cascade, "Cascade"},
        {Oper::MinimizeAll, "MinimizeAll"},
        {Oper::ExitAll, "ExitAll"},
        {Oper::MaximizeAll, "MaximizeAll"},
        {Oper::PreviousSession, "PreviousSession"},
        {Oper::NextSession, "NextSession"},
        {Oper::LocateCursor, "LocateCursor"},
        {Oper::ReconnectAsk, "ReconnectAsk"},
        {Oper::MacroRecord, "MacroRecord"},
        {Oper::MacroPlay, "MacroPlay"},
        {Oper::MacroStop, "MacroStop"},
        {Oper::MacroPause, "MacroPause"},
        {Oper::HelpContents, "HelpContents"},
        {Oper::HelpSearch, "HelpSearch"},
        {Oper::TransferLog, "TransferLog"},
        {Oper::Disconnect, "Disconnect"},
        {Oper::SaveDebugScreen, "SaveDebugScreen"},
        {Oper::ToolBar, "ToolBar"},
        {Oper::MenuBar, "MenuBar"},
        {Oper::KeyPadEdit, "KeyPadEdit"},
        {Oper::KeyPad, "KeyPad"},
        {Oper::PrintFile, "PrintFile"},
        {Oper::MacroDebugWindow, "MacroDebugWindow"},
        {Oper::CascadeFromHere, "CascadeFromHere"},
        {Oper::Minimize, "Minimize"},
        {Oper::Maximize, "Maximize"},
        {Oper::Restore, "Restore"},
        {Oper::ShowNormal, "ShowNormal"},
        {Oper::TranslateToggle, "TranslateToggle"},
        {Oper::NextVisibleSession, "NextVisibleSession"},
        {Oper::PreviousVisibleSession, "PreviousVisibleSession"},
        {Oper::SaveScreenAsk, "SaveScreenAsk"},
        {Oper::RestoreAll, "RestoreAll"},
        {Oper::PrevScreen, "PrevScreen"},
        {Oper::NextScreen, "NextScreen"},
    };
    for (const auto& [code, name] : opers)
        all.push_back({operKey(code), name});
    return all;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

KeyList shippedList() {
    KeyList list;
    const auto message = list.load(exact(readData("key.lst")));
    EXPECT_FALSE(message) << message->text;
    return list;
}

TEST(KeyList, ShippedListNamesEveryFunctionByItsCode) {
    const KeyList list = shippedList();
    const auto all = everyFunction();
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kActionCount + kEditCount + kOperCount - 2));
    for (const Named& f : all) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(list.keyFunctionByName(f.name), f.word);
        EXPECT_EQ(list.keyFunctionByName(lower(f.name)), f.word);
        const KeyFunction* byCode = list.keyFunctionByCode(kindOf(f.word), codeOf(f.word));
        ASSERT_NE(byCode, nullptr);
        EXPECT_EQ(byCode->name, f.name);
        EXPECT_FALSE(byCode->description.empty());
    }
    // Entry i of each kind has code i, so the editors' lists follow the codes.
    for (auto [kind, count] : {std::pair{Kind::Action, kActionCount},
                               {Kind::Edit, kEditCount},
                               {Kind::Oper, kOperCount}}) {
        const auto table = list.functions(kind);
        ASSERT_EQ(table.size(), static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < table.size(); ++i)
            EXPECT_EQ(table[i].code, i);
    }
    // The two reserved codes carry no name, and no name finds them.
    EXPECT_EQ(list.keyFunctionByCode(Kind::Edit, 28)->name, "");
    EXPECT_EQ(list.keyFunctionByCode(Kind::Oper, 19)->name, "");
    EXPECT_FALSE(list.keyFunctionByName(""));
    EXPECT_FALSE(list.keyFunctionByName("Unused28"));
    EXPECT_EQ(list.keyFunctionByCode(Kind::Action, 50), nullptr);
    EXPECT_EQ(list.keyFunctionByCode(Kind::Char, 0), nullptr);
}

TEST(KeyList, ShippedDefaultFlags) {
    const KeyList list = shippedList();
    const struct {
        KeyWord word;
        std::uint8_t flags;
    } cases[] = {
        {actionKey(Action::Enter), 0},
        {actionKey(Action::Attn), kDefaultImmediate},
        {editKey(Edit::Reset), kDefaultImmediate},
        {editKey(Edit::CursorLeft), kDefaultRepeat},
        {editKey(Edit::Backspace), kDefaultRepeat},
        {editKey(Edit::Delete), kDefaultRepeat},
        {editKey(Edit::EraseEOF), 0},
        {operKey(Oper::MacroStop), kDefaultImmediate},
        {operKey(Oper::MoveCursorEnter), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.keyFunctionByCode(kindOf(c.word), codeOf(c.word))->flags, c.flags)
            << std::hex << c.word;
}

TEST(KeyList, NamesAreMatchedWithoutCaseActionFirstThenEditThenOper) {
    KeyListTables t;
    t.actions = {{7, 0, "Both", "action"}};
    t.edits = {{3, 0, "BOTH", "edit"}, {4, 0, "Twice", "edit"}};
    t.opers = {{4, 0, "twice", "oper"}, {9, 0, "OnlyOper", "oper"}};
    std::string error;
    const auto bytes = writeKeyList(t, error);
    ASSERT_TRUE(bytes) << error;
    KeyList list;
    ASSERT_FALSE(list.load(exact(*bytes)));
    EXPECT_EQ(list.tables(), t);
    EXPECT_EQ(list.keyFunctionByName("both"), makeKey(Kind::Action, 7));
    EXPECT_EQ(list.keyFunctionByName("TWICE"), makeKey(Kind::Edit, 4));
    EXPECT_EQ(list.keyFunctionByName("onlyoper"), makeKey(Kind::Oper, 9));
    EXPECT_FALSE(list.keyFunctionByName("Both "));
    EXPECT_FALSE(list.keyFunctionByName("nothing"));
}

Bytes smallList() {
    KeyListTables t;
    t.actions = {{0, 1, "Attn", "a"}, {2, 0, "Enter", "b"}};
    t.edits = {{11, 0, "EraseEOF", "c"}};
    t.opers = {{3, 1, "Exit", "d"}};
    std::string error;
    return *writeKeyList(t, error);
}

TEST(KeyList, MalformedFilesAreRefusedAndTheLoadedListStays) {
    const Bytes good = smallList();
    constexpr std::size_t body = kKeyListHeaderSize;
    const std::size_t firstName = body + kKeyListBodyHeaderSize + 2;
    auto with = [&](auto change) {
        Bytes b = good;
        change(b);
        return b;
    };
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty", {}},
        {"header cut short", Bytes(good.begin(), good.begin() + 25)},
        {"identification without its trailing blank", with([](Bytes& b) { b[19] = 'X'; })},
        {"other version", with([](Bytes& b) { b[17] = '1'; })},
        {"negative length", with([](Bytes& b) { put16(b, 24, 0x8000); })},
        {"length beyond the file",
         with([&](Bytes& b) { put16(b, 24, static_cast<unsigned>(b.size() - body + 1)); })},
        {"length too short for the table sizes", with([](Bytes& b) { put16(b, 24, 8); })},
        {"ACTION size not the count's", with([&](Bytes& b) { put16(b, body, 161); })},
        {"negative EDIT size", with([&](Bytes& b) { put16(b, body + 2, 0xFF60); })},
        {"EDIT count not the size's", with([&](Bytes& b) { b[body + 7] = 2; })},
        {"EDIT table beyond the body", with([&](Bytes& b) {
             b[body + 7] = 200;
             put16(b, body + 2, 32000);
         })},
        {"OPER count beyond the body", with([&](Bytes& b) { b[body + 8] = 2; })},
        {"body cut inside the last entry", Bytes(good.begin(), good.end() - 1)},
        {"name without its NUL",
         with([&](Bytes& b) { std::fill_n(b.begin() + static_cast<long>(firstName), 30, 'N'); })},
        {"description without its NUL", with([&](Bytes& b) {
             std::fill_n(b.begin() + static_cast<long>(firstName + 30), 128, 'D');
         })},
    };
    KeyList list;
    ASSERT_FALSE(list.load(exact(good)));
    const KeyListTables before = list.tables();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto message = list.load(exact(c.file));
        ASSERT_TRUE(message);
        EXPECT_EQ(message->text,
                  "KEY.LST is not a valid keylist file for this version\nCedar TN3270 cannot run "
                  "without it");
        EXPECT_EQ(message->title, "Cedar TN3270 Installation Error");
        EXPECT_EQ(list.tables(), before);
    }
    // Bytes after the body are not read.
    Bytes longer = good;
    longer.push_back(0x55);
    EXPECT_FALSE(list.load(exact(longer)));
}

TEST(KeyList, WriterRefusesWhatTheFormatCannotHold) {
    const struct {
        const char* what;
        KeyListTables tables;
    } cases[] = {
        {"30-character name", {{{0, 0, std::string(30, 'n'), ""}}, {}, {}}},
        {"128-character description", {{{0, 0, "n", std::string(128, 'd')}}, {}, {}}},
        {"256 entries in one table", {std::vector<KeyFunction>(256, {0, 0, "n", ""}), {}, {}}},
        {"body over 32767 bytes",
         {std::vector<KeyFunction>(200, {0, 0, "n", ""}), std::vector<KeyFunction>(5), {}}},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(writeKeyList(c.tables, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    std::string error;
    EXPECT_TRUE(
        writeKeyList({{{0, 0, std::string(29, 'n'), std::string(127, 'd')}}, {}, {}}, error));
}

TEST(KeyList, TextFormsOfKeyWords) {
    const KeyList list = shippedList();
    LayoutBlock keyboard(LayoutType::Keyboard);
    ASSERT_EQ(keyboard.addMacroName("logon"), 0);
    const struct {
        KeyWord word;
        const char* text;
    } cases[] = {
        {actionKey(Action::Enter, kImmediate | kAssigned), "A:Enter"},
        {actionKey(Action::PF24), "A:PF24"},
        {editKey(Edit::EraseEOF, kRepeat), "E:EraseEOF"},
        {operKey(Oper::Exit), "O:Exit"},
        {charKey('x', kRepeat), "C:x"},
        {macroKey(0), "M:logon"},
        {macroKey(1), "M:"},
        {makeKey(Kind::None, 2), ""},
        {makeKey(Kind::Action, 200), "A:"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keyText(list, c.word, keyboard), c.text);
}

}  // namespace
}  // namespace cedar::keys::test
