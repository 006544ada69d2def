// The country file's KEYLAYOUT table applied to a loaded keyboard, and the
// words put back before a save.
#include <gtest/gtest.h>

#include <vector>

#include "key_fixtures.h"
#include "keyboard/layout_file.h"
#include "keyboard/layout_key_names.h"

namespace cedar::keys::test {
namespace {

KeyLayoutRecord record(int key, char a, char b, char c) {
    KeyLayoutRecord r;
    r.bytes[0] = static_cast<std::uint8_t>(key);
    r.bytes[1] = static_cast<std::uint8_t>(a);
    r.bytes[2] = static_cast<std::uint8_t>(b);
    r.bytes[3] = static_cast<std::uint8_t>(c);
    return r;
}

KeyLayoutRecord end() {
    KeyLayoutRecord r;
    r.bytes[0] = 0xFF;
    return r;
}

int key(const char* name) {
    return *keyIndexByName(name);
}

// Q types "a", "A" and "@"; the keypad's decimal key types "," with Num Lock
// on; A types "q" but keeps Ctrl+A; a record after the end is not read.
const std::vector<KeyLayoutRecord> kCountry = {
    record(key("Q"), 'a', 'A', '@'), record(key("Num-Dot"), ',', ',', ','),
    record(key("A"), 'q', 'Q', 'q'), end(), record(key("W"), 'z', 'Z', 'z')};

TEST(CountryLayout, UnassignedWordsTakeTheCountryCharacters) {
    const Bytes shipped = readData("defaults/standard.key");
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(shipped), "standard.key", {.countryLayout = kCountry}));

    EXPECT_EQ(kb.word(key("Q"), 0), charKey('a', kRepeat));
    EXPECT_EQ(kb.word(key("Q"), 1), charKey('A', kRepeat));
    EXPECT_EQ(kb.word(key("Q"), 2), charKey('@'));
    EXPECT_EQ(kb.word(key("Q"), 3), charKey('@'));
    // The Num-Lock flag sends the record to the key's Num Lock variant.
    EXPECT_EQ(kb.word(key("Num-Dot"), 0),
              editKey(Edit::Delete, kRepeat | kAssigned | kNumLockFlag));
    EXPECT_EQ(kb.word(key("Lock-Dot"), 0), charKey(',', kRepeat));
    // Assigned words keep their function.
    EXPECT_EQ(kb.word(key("A"), 0), charKey('q', kRepeat));
    EXPECT_EQ(kb.word(key("A"), 2), editKey(Edit::SelectAll, kAssigned));
    EXPECT_EQ(kb.word(key("W"), 0), charKey('w', kRepeat));
}

TEST(CountryLayout, ACharacterZeroLeavesTheColumnsWord) {
    // "1" gets country characters without and with Shift, none with AltGr:
    // Ctrl+1 and Alt+1 keep the map's words.
    const Bytes shipped = readData("defaults/standard.key");
    const std::vector<KeyLayoutRecord> country = {record(key("1"), '&', '1', '\0'), end()};
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(shipped), "standard.key", {.countryLayout = country}));
    LayoutBlock plain(LayoutType::Keyboard);
    ASSERT_FALSE(plain.load(exact(shipped), "standard.key"));
    EXPECT_EQ(kb.word(key("1"), 0), charKey('&', kRepeat));
    EXPECT_EQ(kb.word(key("1"), 1), charKey('1', kRepeat));
    EXPECT_EQ(kb.word(key("1"), 2), plain.word(key("1"), 2));
    EXPECT_EQ(kb.word(key("1"), 3), plain.word(key("1"), 3));
}

TEST(CountryLayout, ADialogSavePutsTheFileWordsBack) {
    const Bytes shipped = readData("defaults/standard.key");
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(shipped), "standard.key", {.countryLayout = kCountry}));
    const Bytes shown(kb.bytes().begin(), kb.bytes().end());

    EXPECT_EQ(kb.saveBytes(SaveHow::FileDialog, kCountry), shipped);
    // The country layout is in force again after the save.
    EXPECT_EQ(Bytes(kb.bytes().begin(), kb.bytes().end()), shown);
    EXPECT_EQ(kb.saveBytes(SaveHow::FileDialog, kCountry), shipped);
}

TEST(CountryLayout, SavedCountryCharactersStayUnassigned) {
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(readData("defaults/standard.key")), "standard.key",
                         {.countryLayout = kCountry}));
    const Bytes saved = kb.saveBytes(SaveHow::CurrentName, kCountry);

    for (const auto& country : {std::vector<KeyLayoutRecord>{}, kCountry}) {
        LayoutBlock again(LayoutType::Keyboard);
        ASSERT_FALSE(again.load(exact(saved), "standard.key", {.countryLayout = country}));
        EXPECT_EQ(again.word(key("Q"), 0), charKey('a', kRepeat));
        EXPECT_EQ(again.word(key("Q"), 2), charKey('@'));
        EXPECT_EQ(again.word(key("Lock-Dot"), 0), charKey(',', kRepeat));
        for (int k = 0; k < again.keyCount(); ++k)
            for (int c = 0; c < kKeyColumns; ++c)
                if (kindOf(again.word(k, c)) == Kind::Char) {
                    EXPECT_EQ(flagsOf(again.word(k, c)) & kAssigned, 0) << k << "/" << c;
                }
    }
}

TEST(CountryLayout, WordsAssignedSinceTheLayoutWasAppliedAreKept) {
    const Bytes shipped = readData("defaults/standard.key");
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_FALSE(kb.load(exact(shipped), "standard.key", {.countryLayout = kCountry}));
    const KeyWord exit = operKey(Oper::Exit, kImmediate | kAssigned);
    ASSERT_TRUE(kb.setWord(key("Q"), 2, exit));

    LayoutBlock saved(LayoutType::Keyboard);
    ASSERT_FALSE(saved.load(exact(kb.saveBytes(SaveHow::FileDialog, kCountry)), "x.key"));
    EXPECT_EQ(saved.word(key("Q"), 2), exit);
    EXPECT_EQ(saved.word(key("Q"), 0), charKey('q', kRepeat));
    EXPECT_EQ(saved.word(key("Q"), 3), kNoFunction);
}

TEST(CountryLayout, RepeatedAndOutOfMapRecords) {
    LayoutBlock kb(LayoutType::Keyboard);
    ASSERT_TRUE(kb.setWord(5, 0, editKey(Edit::Home, kRepeat)));
    const Bytes before(kb.bytes().begin(), kb.bytes().end());
    // Key 5 named twice; key 130 lies beyond a 119-key map.
    const std::vector<KeyLayoutRecord> twice = {record(5, 'x', 'X', 'x'), record(5, 'y', 'Y', 'y'),
                                                record(130, 'z', 'Z', 'z'), end()};
    kb.applyCountryLayout(twice);
    EXPECT_EQ(kb.word(5, 0), charKey('y', kRepeat));
    kb.restoreCountryWords();
    EXPECT_EQ(Bytes(kb.bytes().begin(), kb.bytes().end()), before);

    // The same record reaches key 130 once the map has 150 keys.
    ASSERT_FALSE(kb.load(exact(keyboardFile("V1.26", 119, macroList({}))), "x.key",
                         {.additionalKeys = true, .countryLayout = twice}));
    EXPECT_EQ(kb.word(130, 1), charKey('Z'));
}

}  // namespace
}  // namespace cedar::keys::test
