#include "keyboard/layout_file.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "key_fixtures.h"
#include "keyboard/layout_key_names.h"

namespace cedar::keys::test {
namespace {

std::string asText(std::span<const std::uint8_t> b) {
    return std::string(b.begin(), b.end());
}

TEST(LayoutHeader, TypeNameVersionAndBlanksToTwentyFourBytes) {
    const struct {
        LayoutType type;
        bool extended;
        const char* header;
    } cases[] = {
        {LayoutType::Keyboard, false, "Cedar Keytable V1.26    "},
        {LayoutType::Keyboard, true, "Cedar Keytable V1.28    "},
        {LayoutType::Toolbar, false, "Cedar Toolbar V1.26     "},
        {LayoutType::Toolbar, true, "Cedar Toolbar V1.26     "},
        {LayoutType::Keypad, false, "Cedar KeyPad V1.26      "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(asText(layoutHeader(c.type, c.extended)), c.header);

    // An empty keypad saves as its header and an empty block.
    const LayoutBlock keypad(LayoutType::Keypad);
    EXPECT_EQ(keypad.fileBytes(), withHeader(LayoutType::Keypad, {0, 0, 4, 0, 0}));
}

TEST(StandardKeyboard, ShippedFileLoadsAndSavesUnchanged) {
    const Bytes file = readData("defaults/standard.key");
    LayoutBlock keyboard(LayoutType::Keyboard);
    const auto message = keyboard.load(exact(file), "standard.key");
    ASSERT_FALSE(message) << message->text;
    EXPECT_EQ(keyboard.keyCount(), kStandardKeyCount);
    EXPECT_EQ(keyboard.macroCount(), 0);
    EXPECT_EQ(keyboard.fileBytes(), file);
}

TEST(StandardKeyboard, WhatA3270OperatorExpects) {
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(readData("defaults/standard.key")), "standard.key"));
    auto at = [&](const char* key, int column) { return kb.word(*keyIndexByName(key), column); };
    auto same = [](KeyWord a, KeyWord b) { return sameFunction(a, b); };

    EXPECT_TRUE(same(at("Enter-R", 0), actionKey(Action::Enter)));
    EXPECT_TRUE(same(at("Ctrl-R", 0), actionKey(Action::Enter)));
    EXPECT_TRUE(same(at("Enter", 0), actionKey(Action::Enter)));
    EXPECT_TRUE(same(at("Enter", 1), editKey(Edit::NewLine)));
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(
            same(kb.word(1 + i, 0), makeKey(Kind::Action, static_cast<std::uint8_t>(6 + i))));
        EXPECT_TRUE(
            same(kb.word(1 + i, 1), makeKey(Kind::Action, static_cast<std::uint8_t>(18 + i))));
    }
    EXPECT_TRUE(same(at("F1", 3), actionKey(Action::PA1)));
    EXPECT_TRUE(same(at("F2", 3), actionKey(Action::PA2)));
    EXPECT_TRUE(same(at("Escape", 0), actionKey(Action::Clear)));
    EXPECT_TRUE(same(at("Pause", 0), actionKey(Action::Attn)));
    EXPECT_TRUE(same(at("Print", 3), actionKey(Action::SysReq)));
    EXPECT_TRUE(same(at("End", 2), editKey(Edit::EraseEOF)));
    EXPECT_TRUE(same(at("Tab", 1), editKey(Edit::BackTab)));

    // Left Ctrl stays a Ctrl key and is Reset when pressed alone.
    EXPECT_EQ(kindOf(at("Ctrl-L", 0)), Kind::None);
    EXPECT_EQ(codeOf(at("Ctrl-L", 0)), 2);
    EXPECT_EQ(at("Ctrl-L", 1), editKey(Edit::Reset, kImmediate | kAssigned));
    for (const char* key : {"Shift-L", "Shift-R", "Alt-L", "Alt-R"}) {
        EXPECT_EQ(kindOf(at(key, 0)), Kind::None) << key;
        EXPECT_TRUE(same(at(key, 1), kNoFunction)) << key;
    }

    // Functions carry Assigned and the key list's flags; characters lack
    // Assigned so that the country layout reaches them, and repeat.
    EXPECT_EQ(at("Left", 0), editKey(Edit::CursorLeft, kRepeat | kAssigned));
    EXPECT_EQ(at("Escape", 0), actionKey(Action::Clear, kAssigned));
    EXPECT_EQ(at("Q", 0), charKey('q', kRepeat));
    EXPECT_EQ(at("Q", 1), charKey('Q', kRepeat));
    EXPECT_EQ(at("Q", 2), kNoFunction);
    EXPECT_EQ(at("Lock-Dot", 0), charKey('.', kRepeat));
    EXPECT_EQ(flagsOf(at("Num-Dot", 0)) & kNumLockFlag, kNumLockFlag);
    EXPECT_EQ(at("ScrLock", 0), kNoFunction);
}

// A V1.26 keyboard with macros "logon" and "tso", and key 5 column 1 playing "tso".
Bytes keyboardWithMacros() {
    Bytes file = keyboardFile("V1.26", kStandardKeyCount, macroList({"logon", "tso"}));
    put16(file, kLayoutHeaderSize + 5 * 8 + 2, macroKey(1, kAssigned));
    return file;
}

TEST(KeyboardFile, AdditionalKeysGrowsAV126MapTo150Keys) {
    const Bytes file = keyboardWithMacros();
    for (bool additional : {false, true}) {
        SCOPED_TRACE(additional);
        LayoutBlock kb(LayoutType::Keyboard);
        ASSERT_FALSE(
            kb.load(exact(file), "my.key", {.additionalKeys = additional, .countryLayout = {}}));
        const Bytes saved = kb.fileBytes();
        if (!additional) {
            EXPECT_EQ(saved, file);
            EXPECT_EQ(kb.keyCount(), kStandardKeyCount);
        } else {
            EXPECT_EQ(kb.keyCount(), kExtendedKeyCount);
            EXPECT_EQ(asText(std::span(saved).first(kLayoutHeaderSize)),
                      "Cedar Keytable V1.28    ");
            EXPECT_EQ(saved.size(),
                      kLayoutHeaderSize + 150 * 8 + macroList({"logon", "tso"}).size());
            // The first 119 keys are as they were; the added ones have no function.
            EXPECT_TRUE(std::equal(file.begin() + kLayoutHeaderSize,
                                   file.begin() + kLayoutHeaderSize + 119 * 8,
                                   saved.begin() + kLayoutHeaderSize));
            for (int key = 119; key < 150; ++key)
                for (int c = 0; c < 4; ++c)
                    EXPECT_EQ(kb.word(key, c), kNoFunction);
        }
        EXPECT_EQ(kb.macroNameAt(codeOf(kb.word(5, 1))), "tso");
        EXPECT_EQ(kb.macroCount(), 2);

        // What was saved loads again as it stands, whatever the setting.
        LayoutBlock again(LayoutType::Keyboard);
        ASSERT_FALSE(again.load(exact(saved), "my.key",
                                {.additionalKeys = additional, .countryLayout = {}}));
        EXPECT_EQ(again.fileBytes(), saved);
    }
}

TEST(KeyboardFile, OlderVersionsHaveTheirMacroListConverted) {
    Bytes tail = {3};
    for (const char* name : {"logon\0\0\0", "EIGHTCHR", "x\0\0\0\0\0\0\0"})
        tail.insert(tail.end(), name, name + 8);
    const Bytes file = keyboardFile("V1.20", kStandardKeyCount, tail);
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(file), "old.key"));
    EXPECT_EQ(kb.macroCount(), 3);
    EXPECT_EQ(kb.macroNameAt(1), "EIGHTCHR");
    const Bytes expected =
        keyboardFile("V1.26", kStandardKeyCount, macroList({"logon", "EIGHTCHR", "x"}));
    EXPECT_EQ(kb.fileBytes(), expected);
}

struct Malformed {
    const char* what;
    LayoutType type;
    Bytes file;
    bool tooLarge = false;
};

std::vector<Malformed> malformedFiles() {
    const Bytes okKeyboard = keyboardFile("V1.26", 119, macroList({"a"}));
    const Bytes entry = buttonEntry(0, 0, 0, {kNoFunction, kNoFunction, kNoFunction, kNoFunction});
    const Bytes okBar = buttonBlock(0, {entry, entry}, macroList({"m"}));
    auto barWith = [&](auto change) {
        Bytes b = okBar;
        change(b);
        return withHeader(LayoutType::Toolbar, b);
    };
    std::vector<std::string> names257;
    for (int i = 0; i < 257; ++i)
        names257.push_back("m" + std::to_string(i));
    std::vector<std::string> names256(names257.begin(), names257.end() - 1);
    Bytes oldCountPastEnd = keyboardFile("V1.10", 119, {5, 'a', 0, 0, 0, 0, 0, 0, 0});

    return {
        {"empty", LayoutType::Keyboard, {}},
        {"header cut short", LayoutType::Keyboard,
         Bytes(okKeyboard.begin(), okKeyboard.begin() + 23)},
        {"header alone", LayoutType::Keyboard, Bytes(okKeyboard.begin(), okKeyboard.begin() + 24)},
        {"another type's header", LayoutType::Keyboard, withHeader(LayoutType::Keypad, okBar)},
        {"type name cut short", LayoutType::Keypad,
         text("Cedar KeyPa V1.26       \x01\x00\x04\x00\x00")},
        {"map cut short", LayoutType::Keyboard,
         Bytes(okKeyboard.begin(), okKeyboard.begin() + 24 + 500)},
        {"list without its closing empty name", LayoutType::Keyboard,
         Bytes(okKeyboard.begin(), okKeyboard.end() - 1)},
        {"list of 257 names", LayoutType::Keyboard,
         keyboardFile("V1.26", 119, macroList(names257))},
        {"V1.28 header on 119 keys", LayoutType::Keyboard,
         keyboardFile("V1.28", 119, macroList({}))},
        {"block over 65536 bytes", LayoutType::Keyboard,
         keyboardFile("V1.26", 119, Bytes(65536 - 119 * 8 + 1, 0)), true},
        {"old list counting past the end", LayoutType::Keyboard, oldCountPastEnd},
        {"old list on a map cut short", LayoutType::Keyboard, keyboardFile("V1.10", 100, {0})},
        {"button block shorter than its header", LayoutType::Toolbar,
         withHeader(LayoutType::Toolbar, {0, 0, 4})},
        {"list offset past the end", LayoutType::Toolbar,
         barWith([](Bytes& b) { put16(b, 2, static_cast<unsigned>(b.size())); })},
        {"list offset inside the header", LayoutType::Toolbar,
         barWith([](Bytes& b) { put16(b, 2, 3); })},
        {"entry of size 0", LayoutType::Toolbar, barWith([](Bytes& b) { put16(b, 4 + 6, 0); })},
        {"entry of size 15", LayoutType::Toolbar, barWith([](Bytes& b) { put16(b, 4 + 6, 15); })},
        {"entry running into the list", LayoutType::Toolbar, barWith([&](Bytes& b) {
             put16(b, 4 + entry.size() + 6, static_cast<unsigned>(entry.size() + 1));
         })},
        {"more buttons than entries", LayoutType::Keypad,
         withHeader(LayoutType::Keypad,
                    [&] {
                        Bytes b = okBar;
                        b[1] = 3;
                        return b;
                    }())},
        {"button list without its closing empty name", LayoutType::Keypad,
         withHeader(LayoutType::Keypad, Bytes(okBar.begin(), okBar.end() - 1))},
        {"old button list past the end", LayoutType::Toolbar,
         withHeader(LayoutType::Toolbar, buttonBlock(0, {entry}, {2, 'a'}), "V1.00")},
        {"button block over 65536 bytes", LayoutType::Toolbar,
         withHeader(LayoutType::Toolbar,
                    buttonBlock(0, {buttonEntry(0, 0, 0, {}, 65000)}, Bytes(600, 0))),
         true},
    };
}

TEST(LayoutFile, MalformedFilesAreRefusedAndTheBlockStays) {
    for (const Malformed& c : malformedFiles()) {
        SCOPED_TRACE(c.what);
        LayoutBlock block(c.type);
        ASSERT_TRUE(block.addMacroName("kept"));
        const Bytes before(block.bytes().begin(), block.bytes().end());
        const auto message =
            block.load(exact(c.file), "bad.file", {.additionalKeys = true, .countryLayout = {}});
        ASSERT_TRUE(message);
        const std::string type(layoutTypeName(c.type));
        if (c.tooLarge) {
            EXPECT_EQ(*message, layoutTooLargeMessage("bad.file", c.type));
            EXPECT_NE(message->text.find("too large"), std::string::npos);
        } else {
            EXPECT_EQ(message->text, "bad.file is not a valid Cedar " + type);
        }
        EXPECT_EQ(message->title, "Cedar TN3270 File Error");
        EXPECT_EQ(Bytes(block.bytes().begin(), block.bytes().end()), before);
        EXPECT_EQ(block.macroNameAt(0), "kept");
    }
}

TEST(LayoutFile, LargestAcceptedBlocks) {
    // 256 names fit; so does a block of exactly 65536 bytes.
    std::vector<std::string> names;
    for (int i = 0; i < 256; ++i)
        names.push_back("m" + std::to_string(i));
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(keyboardFile("V1.26", 119, macroList(names))), "x"));
    EXPECT_EQ(kb.macroNameAt(255), "m255");
    EXPECT_FALSE(kb.addMacroName("one-more"));

    Bytes full = keyboardFile("V1.26", 119, Bytes(65536 - 119 * 8, 0));
    ASSERT_FALSE(kb.load(exact(full), "x"));
    EXPECT_EQ(kb.layoutSize(), 119 * 8 + 1u);  // trailing bytes after the list are dropped
}

TEST(MacroNameList, FindAddAndSize) {
    LayoutBlock bar(LayoutType::Toolbar);
    EXPECT_EQ(bar.macroIndex("x"), -1);
    EXPECT_EQ(bar.layoutSize(), 5u);
    EXPECT_EQ(bar.addMacroName("Logon"), 0);
    EXPECT_EQ(bar.addMacroName("tso"), 1);
    EXPECT_EQ(bar.layoutSize(), 5u + 6 + 4);
    EXPECT_EQ(bar.macroIndex("LOGON"), 0);
    EXPECT_EQ(bar.macroIndex("TSO"), 1);
    EXPECT_EQ(bar.macroIndex("ts"), -1);
    EXPECT_EQ(bar.macroNameAt(1), "tso");
    EXPECT_FALSE(bar.macroNameAt(2));
    EXPECT_FALSE(bar.macroNameAt(-1));
    EXPECT_FALSE(bar.addMacroName(""));
    EXPECT_FALSE(bar.addMacroName(std::string("a\0b", 3)));
    EXPECT_EQ(bar.fileBytes(),
              withHeader(LayoutType::Toolbar, buttonBlock(0, {}, macroList({"Logon", "tso"}))));

    // A name that would carry the block past 65536 bytes is refused.
    LayoutBlock big(LayoutType::Toolbar);
    ASSERT_FALSE(big.load(
        exact(withHeader(LayoutType::Toolbar,
                         buttonBlock(0, {buttonEntry(0, 0, 0, {}, 65500)}, macroList({})))),
        "big.bar"));
    const std::size_t room = kLayoutBlockSize - big.layoutSize();
    EXPECT_FALSE(big.addMacroName(std::string(room, 'n')));
    EXPECT_EQ(big.addMacroName(std::string(room - 1, 'n')), 0);
    EXPECT_EQ(big.layoutSize(), kLayoutBlockSize);
}

TEST(ButtonBlock, KeypadEntriesFlagsAndWordsRoundTrip) {
    const std::array<KeyWord, 4> words = {actionKey(Action::PA3, kAssigned), macroKey(0, kAssigned),
                                          kNoFunction, operKey(Oper::Exit, kImmediate | kAssigned)};
    const Bytes file = withHeader(
        LayoutType::Keypad,
        buttonBlock(kKeypadShowHelp | kKeypadStayOpen,
                    {buttonEntry(0, 23, 42, words, 120), buttonEntry(kSpacerButton, 0, 0, {}, 0)},
                    macroList({"logon"})));
    EXPECT_EQ(asText(std::span(file).first(24)), "Cedar KeyPad V1.26      ");
    LayoutBlock pad(LayoutType::Keypad);
    ASSERT_FALSE(pad.load(exact(file), "standard.pad"));
    EXPECT_EQ(pad.fileBytes(), file);
    EXPECT_EQ(pad.blockFlags(), kKeypadShowHelp | kKeypadStayOpen);
    ASSERT_EQ(pad.buttonCount(), 2);
    const auto first = pad.button(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->x, 23);
    EXPECT_EQ(first->y, 42);
    EXPECT_EQ(first->words, words);
    EXPECT_EQ(first->picture.size(), 120u);
    EXPECT_FALSE(first->spacer());
    EXPECT_TRUE(pad.button(1)->spacer());
    EXPECT_TRUE(pad.button(1)->picture.empty());
    EXPECT_FALSE(pad.button(2));
    EXPECT_EQ(pad.macroNameAt(codeOf(first->words[1])), "logon");

    ASSERT_TRUE(pad.setButtonWord(1, 2, editKey(Edit::Home, kAssigned)));
    EXPECT_FALSE(pad.setButtonWord(2, 0, kNoFunction));
    pad.setBlockFlags(kKeypadStayOpen);
    LayoutBlock again(LayoutType::Keypad);
    ASSERT_FALSE(again.load(exact(pad.fileBytes()), "standard.pad"));
    EXPECT_EQ(again.button(1)->words[2], editKey(Edit::Home, kAssigned));
    EXPECT_EQ(again.blockFlags(), kKeypadStayOpen);
}

class FakeSource : public LayoutFileSource {
  public:
    std::map<std::string, Bytes> files;
    std::optional<std::vector<std::uint8_t>> read(const std::string& name) override {
        const auto it = files.find(name);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
};

TEST(LoadByName, MissingFilesFallBackToTheDefaultName) {
    const Bytes good = withHeader(LayoutType::Toolbar, buttonBlock(0, {}, macroList({"std"})));
    const Bytes bad = text("Cedar Keytable V1.26    ");
    const std::string notFound = "Cedar TN3270 - file not found";
    const struct {
        const char* what;
        std::map<std::string, Bytes> files;
        std::string name;
        bool loaded;
        std::vector<KeyFileMessage> messages;
        std::optional<std::string> newName;
    } cases[] = {
        {"present", {{"mine.bar", good}}, "mine.bar", true, {}, std::nullopt},
        {"default missing",
         {},
         "standard.bar",
         false,
         {{"File \"standard.bar\" was not found.\nYou may need to re-install Cedar TN3270.",
           notFound}},
         std::nullopt},
        {"fallback to the default",
         {{"standard.bar", good}},
         "mine.bar",
         true,
         {{"File \"mine.bar\" was not found.\nstandard.bar will be used as an alternate.",
           notFound}},
         "standard.bar"},
        {"both missing",
         {},
         "mine.bar",
         false,
         {{"File \"mine.bar\" was not found and\nstandard.bar could not be opened as an alternate.",
           notFound}},
         std::nullopt},
        {"fallback not valid",
         {{"standard.bar", bad}},
         "mine.bar",
         false,
         {{"File \"mine.bar\" was not found.\nstandard.bar will be used as an alternate.",
           notFound},
          layoutInvalidMessage("standard.bar", LayoutType::Toolbar)},
         "standard.bar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSource source;
        source.files = c.files;
        LayoutBlock bar(LayoutType::Toolbar);
        const auto outcome = loadLayoutByName(bar, c.name, source);
        EXPECT_EQ(outcome.loaded, c.loaded);
        EXPECT_EQ(outcome.messages, c.messages);
        EXPECT_EQ(outcome.newFileName, c.newName);
        EXPECT_EQ(bar.macroIndex("std"), c.loaded ? 0 : -1);
    }
}

TEST(LayoutFile, SaveErrorMessage) {
    EXPECT_EQ(layoutSaveErrorMessage(13, "my.key"),
              (KeyFileMessage{"Error 13 while saving my.key", "File Save Error"}));
}

}  // namespace
}  // namespace cedar::keys::test
