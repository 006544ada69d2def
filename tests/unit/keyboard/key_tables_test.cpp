// Keyboard tables that do not fit the map or the lists they are read into,
// and the scan-code tables of the physical keys.
#include <gtest/gtest.h>

#include "key_input_fixture.h"
#include "keyboard/layout_key_names.h"
#include "test_paths.h"

namespace cedar::test {
namespace {

using keys::ScanCode;

KeyEscapeRecord escape(std::initializer_list<int> bytes) {
    KeyEscapeRecord r;
    int i = 0;
    for (int b : bytes)
        r.bytes[i++] = static_cast<std::uint8_t>(b);
    return r;
}

TEST(KeyTables, AnIndexBeyondTheMapIsAnUnusedKey) {
    KeyInputFixture f;
    f.pages.scanCodeTable[0x70] = 119;  // F1 -> beyond a map of 119 keys
    f.map.setWord(1, 0, keys::actionKey(keys::Action::PF1));
    f.down(input::kF1);
    EXPECT_EQ(f.input.currentKey(), keys::kNoFunction);
    EXPECT_TRUE(f.link.sent.empty());
    f.pages.scanCodeTable[0x70] = 0xFF;
    EXPECT_EQ(f.input.keyIndexOf(f.raw(input::kF1)), -1);
}

TEST(KeyTables, RemappedCodesAreReadAsTheirTarget) {
    KeyInputFixture f;
    f.pages.keyScanModifiers[0] = {0x70, 0x71};  // F1 read as F2
    f.pages.keyScanModifiers[1] = {0xFF, 0};
    EXPECT_EQ(f.input.keyIndexOf(f.raw(input::kF1)), 2);
}

TEST(KeyTables, CompositionCountsAreClampedAndShortListsComposeNothing) {
    KeyInputFixture f;
    // Dead "~" on the ` key: a count of 200 (read as 8) whose second list
    // stops after two results.
    f.pages.keyEscapes[0] =
        escape({16, 0, '~', 200, 'a', 'o', 'n', 'x', 'x', 'x', 'x', 'x', 0xE3, 0xF5});
    f.pages.keyEscapes[1].bytes[0] = 0xFF;
    f.map.setWord(16, 0, keys::charKey('~'));
    for (const auto& [follow, expected] :
         std::vector<std::pair<char32_t, std::uint8_t>>{{U'o', 0xF5}, {U'n', 'n'}}) {
        f.emptyField();
        f.stroke(input::kGrave);
        f.stroke(follow == U'o' ? 24 : 49, {}, follow);
        EXPECT_EQ(f.at(130), expected);
    }
}

TEST(KeyTables, TheShippedFileGivesEveryKeyboardItsTables) {
    const std::string text = readFile(dataDir() + "/country.lst");
    CountryLists lists;
    CodePages unused;
    loadCountryText(text, CountryMode::Dialog, {}, unused, &lists);
    // The empty entry, then each of the 21 blocks by both its names (037 by three).
    ASSERT_EQ(lists.keyboards.size(), 44u);
    for (std::size_t i = 1; i < lists.keyboards.size(); ++i) {
        CodePages pages;
        loadCountryText(text, CountryMode::Keyboard, {"", "", lists.keyboards[i]}, pages);
        // Every virtual-key code names a key of the picture, or none.
        for (int code = 0; code < 256; ++code) {
            const int index = pages.scanCodeTable[code];
            EXPECT_TRUE(index == 0xFF || index < keys::kPictureKeyCount) << code;
        }
        // The records' key indexes lie within the map; dead keys start on
        // a key of the layout.
        for (const auto& r : pages.keyLayout) {
            if (r.bytes[0] == 0xFF) break;
            EXPECT_LT(r.bytes[0], keys::kPictureKeyCount) << lists.keyboards[i];
        }
        for (const auto& e : pages.keyEscapes) {
            if (e.bytes[0] == 0xFF) break;
            EXPECT_LE(e.bytes[3], 8);
            EXPECT_LE(e.bytes[1], 3);
        }
    }
}

TEST(ScanCodes, InputCodesAndVirtualKeys) {
    struct Case {
        int input;
        ScanCode scan;
        std::uint8_t numLockOff;
        std::uint8_t numLockOn;
    };
    const Case cases[] = {
        {1, {0x01, false}, 0x1B, 0x1B},   {16, {0x10, false}, 'Q', 'Q'},
        {28, {0x1C, false}, 0x0D, 0x0D},  {96, {0x1C, true}, 0x0D, 0x0D},
        {71, {0x47, false}, 0x24, 0x67},  {102, {0x47, true}, 0x24, 0x24},
        {83, {0x53, false}, 0x2E, 0x6E},  {69, {0x45, true}, 0x90, 0x90},
        {119, {0x45, false}, 0x13, 0x13}, {99, {0x37, true}, 0x2C, 0x2C},
        {86, {0x56, false}, 0xE2, 0xE2},  {88, {0x58, false}, 0x7B, 0x7B},
        {54, {0x36, false}, 0x10, 0x10},  {100, {0x38, true}, 0x12, 0x12},
    };
    for (const auto& c : cases) {
        const auto scan = keys::scanCodeOfInputCode(c.input);
        ASSERT_TRUE(scan) << c.input;
        EXPECT_EQ(*scan, c.scan) << c.input;
        EXPECT_EQ(keys::usVirtualKey(*scan, false), c.numLockOff) << c.input;
        EXPECT_EQ(keys::usVirtualKey(*scan, true), c.numLockOn) << c.input;
    }
    for (int none : {0, 84, 85, 200, -1})
        EXPECT_FALSE(keys::scanCodeOfInputCode(none)) << none;
    EXPECT_EQ(keys::usVirtualKey({0x7F, false}, false), keys::vk::kNone);
    EXPECT_EQ(keys::usVirtualKey({0x7F, true}, false), keys::vk::kNone);
}

TEST(ScanCodes, LettersFollowWhatTheKeyTypes) {
    EXPECT_EQ(keys::letterVirtualKey('Y', U'z'), 'Z');         // QWERTZ
    EXPECT_EQ(keys::letterVirtualKey('Q', U'A'), 'A');         // AZERTY, shifted
    EXPECT_EQ(keys::letterVirtualKey(0xBA, U'm'), 'M');        // AZERTY's M
    EXPECT_EQ(keys::letterVirtualKey('M', U','), 0xBA);        // and its comma
    EXPECT_EQ(keys::letterVirtualKey(0xBA, U'\u00f6'), 0xBA);  // a national letter
    EXPECT_EQ(keys::letterVirtualKey('M', 0), 'M');            // unknown
}

}  // namespace
}  // namespace cedar::test
