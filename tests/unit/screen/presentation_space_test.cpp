#include "screen/presentation_space.h"

#include <gtest/gtest.h>

#include "record_builder.h"

namespace cedar {
namespace {

using test::RecordBuilder;
using test::TestSession;

struct GeometryCase {
    int rows, columns;
    bool twelveBit;
};

class AddressForms : public ::testing::TestWithParam<GeometryCase> {};

// Every position of a screen survives encode then decode, in the form the
// screen size calls for.
TEST_P(AddressForms, EveryPositionRoundTrips) {
    const auto g = GetParam();
    ScreenSessionOptions options;
    options.modelIndex = 4;
    options.userRows = g.rows;
    options.userColumns = g.columns;
    if (g.rows < 24 || g.columns < 80) {  // models 2..5 go through the table
        options.modelIndex = 0;
    }
    TestSession t({}, options);
    // Models 3..5 through their own index.
    const int models[][3] = {{24, 80, 0}, {32, 80, 1}, {43, 80, 2}, {27, 132, 3}};
    for (const auto& m : models)
        if (m[0] == g.rows && m[1] == g.columns) t.session.options.modelIndex = m[2];
    t.session.applySizeOptions();
    t.ps().eraseScreen(SizeMode::Alternate);
    ASSERT_EQ(t.ps().positions(), g.rows * g.columns);
    for (int p = 0; p < t.ps().positions(); ++p) {
        const auto bytes = t.ps().encodeBufferAddress(p);
        EXPECT_EQ(bytes[0] >= 0x40, g.twelveBit) << p;
        ASSERT_EQ(PresentationSpace::decodeAddressBytes(bytes[0], bytes[1]), p);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, AddressForms,
                         ::testing::Values(GeometryCase{24, 80, true}, GeometryCase{43, 80, true},
                                           GeometryCase{27, 132, true}, GeometryCase{60, 80, false},
                                           GeometryCase{81, 200, false}));

TEST(PresentationSpace, EndOfRecordAddressDecodesToZero) {
    EXPECT_EQ(PresentationSpace::decodeAddressBytes(0xFF, 0xEF), 0);
}

TEST(PresentationSpace, FindFieldWalksBackAcrossTheWrap) {
    TestSession t;
    auto& ps = t.ps();
    // Unformatted: -1 and no current attribute.
    ps.currentFieldAttribute = 0x60;
    EXPECT_EQ(ps.findField(100), -1);
    EXPECT_EQ(ps.currentFieldAttribute, 0);

    // One field whose attribute stands near the end: position 5 belongs to it.
    t.apply(RecordBuilder(0xF5, 0x02).sba(1900).sf(0x60).text("AB"));
    EXPECT_EQ(ps.findField(5), 1900);
    EXPECT_EQ(ps.currentFieldAttribute, 0x60 | 0x80);
    EXPECT_EQ(ps.findField(1900), 1900);
    EXPECT_EQ(ps.findField(ps.positions()), -1);
}

TEST(PresentationSpace, AttributeZeroStillMarksAField) {
    TestSession t;
    t.apply(RecordBuilder(0xF5, 0x02).sba(10).sf(0x00));
    EXPECT_EQ(t.ps().attributes()[10], 0x80);
    EXPECT_TRUE(t.ps().screenFormatted);
    EXPECT_EQ(t.ps().inputFieldCount, 1);
}

TEST(PresentationSpace, EraseAllUnprotectedClearsFieldsThatWrap) {
    TestSession t;
    auto& ps = t.ps();
    // Unprotected field from 1910 wrapping to position 9, protected field at 10.
    t.apply(RecordBuilder(0xF5, 0x02)
                .sba(10)
                .sf(0x60)
                .text("PROTECTED")
                .sba(1910)
                .sf(0x41)  // unprotected, MDT on
                .text("WRAPPING INPUT"));
    ASSERT_EQ(t.row(0), "INPUT      PROTECTED");  // "WRAPPING " ends the screen
    ps.eraseAllUnprotected();
    EXPECT_EQ(t.row(0), "           PROTECTED");
    EXPECT_EQ(t.row(23), "");
    EXPECT_EQ(ps.attributes()[1910] & 0x01, 0) << "MDT cleared";
    EXPECT_EQ(ps.hostCodes()[1911], test::ebcdic("W")[0]) << "host codes survive an erase";
}

TEST(PresentationSpace, EraseAllUnprotectedOnUnformattedScreenErasesAll) {
    TestSession t;
    t.apply(RecordBuilder(0xF5, 0x02).text("PLAIN TEXT"));
    ASSERT_FALSE(t.ps().screenFormatted);
    t.ps().eraseAllUnprotected();
    EXPECT_EQ(t.row(0), "");
}

TEST(PresentationSpace, FieldStatisticsCountsInputFieldsAndBlankness) {
    for (bool isWang : {false, true}) {
        ScreenSettings settings;
        settings.wang = isWang;
        TestSession t(settings);
        // Two unprotected fields and one protected with the intensify highlight.
        t.apply(RecordBuilder(0xF5, 0x02)
                    .sba(0)
                    .sf(0x40)
                    .sba(100)
                    .sf(0x40)
                    .sba(200)
                    .sfe({0xC0, 0x60, 0x41, 0xF8}));
        EXPECT_EQ(t.ps().inputFieldCount, isWang ? 3 : 2);
        EXPECT_TRUE(t.ps().screenBlank) << "attribute blanks are not content";
        t.apply(RecordBuilder(0xF1, 0x02).sba(300).text("X"));
        EXPECT_FALSE(t.ps().screenBlank);
    }
}

// Field attributes are found a word of eight positions at a time: adjacent
// fields across a word boundary, at every byte of a word, and at the last
// position all count.
TEST(PresentationSpace, FieldStatisticsCountsAdjacentFieldsAtEveryByteOfAWord) {
    TestSession t;
    RecordBuilder b(0xF5, 0x02);
    int inputs = 0;
    for (int p = 13; p < 30; ++p) {
        const bool input = p % 3 != 0;
        b.sba(p).sf(input ? 0x40 : 0x60);
        inputs += input ? 1 : 0;
    }
    b.sba(1919).sf(0x40);
    t.apply(b);
    EXPECT_EQ(t.ps().inputFieldCount, inputs + 1);
    EXPECT_TRUE(t.ps().screenFormatted);
}

TEST(PresentationSpace, TabFindsTheNextNonEmptyInputField) {
    TestSession t;
    auto& ps = t.ps();
    // Input fields at 100 (empty: 101 is an attribute), 101 and 500; protected at 300.
    t.apply(
        RecordBuilder(0xF5, 0x02).sba(100).sf(0x40).sf(0x40).sba(300).sf(0x60).sba(500).sf(0x40));
    struct Case {
        int from, expected;
    } cases[] = {{0, 102}, {100, 102}, {102, 501}, {450, 501}, {501, 102}, {1900, 102}};
    for (const auto& c : cases)
        EXPECT_EQ(ps.tabFrom(c.from), c.expected) << c.from;

    t.apply(RecordBuilder(0xF5, 0x02).sba(300).sf(0x60));
    EXPECT_EQ(ps.tabFrom(700), 0) << "no input field: position 0";
}

TEST(PresentationSpace, UserSizeOutsideLimitsFallsBackToModelTwo) {
    for (auto [rows, columns] : {std::pair{23, 80}, {24, 79}, {201, 80}, {100, 164}}) {
        ScreenSessionOptions options;
        options.modelIndex = 4;
        options.userRows = rows;
        options.userColumns = columns;
        TestSession t({}, options);
        t.ps().eraseScreen(SizeMode::Alternate);
        EXPECT_EQ(t.ps().positions(), 1920) << rows << "x" << columns;
    }
}

TEST(PresentationSpace, EraseSwitchesSizeAndClearsOrKeepsThePlanes) {
    struct Case {
        const char* name;
        SizeMode size;
        EraseMode mode;
        int positions;
        SizeMode after;
        bool kept;
    } cases[] = {
        {"alternate, cleared", SizeMode::Alternate, EraseMode::Clear, 32 * 80, SizeMode::Alternate,
         false},
        {"alternate, kept", SizeMode::Alternate, EraseMode::KeepContents, 32 * 80,
         SizeMode::Alternate, true},
        {"default again, cleared", SizeMode::Default, EraseMode::Clear, 24 * 80, SizeMode::Default,
         false},
        {"none keeps the size", SizeMode::None, EraseMode::Clear, 24 * 80, SizeMode::Default,
         false},
    };
    for (const auto& c : cases) {
        ScreenSessionOptions options;
        options.modelIndex = 1;  // 32 x 80 alternate
        TestSession t({}, options);
        t.ps().eraseScreen(SizeMode::Default);
        t.ps().characters()[100] = 'A';
        t.ps().setCursor(100);
        t.ps().eraseScreen(c.size, c.mode);
        EXPECT_EQ(t.ps().positions(), c.positions) << c.name;
        EXPECT_EQ(t.ps().sizeMode(), c.after) << c.name;
        EXPECT_EQ(t.ps().characters()[100], c.kept ? 'A' : 0) << c.name;
        EXPECT_EQ(t.ps().cursor(), c.kept ? 100 : 0) << c.name;
    }
}

// What a larger screen held is never shown again by a later erase to that
// size, even when the smaller screen in between kept its contents.
TEST(PresentationSpace, AnEraseToALargerSizeClearsItWhole) {
    ScreenSessionOptions options;
    options.modelIndex = 1;  // 32 x 80 alternate
    TestSession t({}, options);
    t.ps().eraseScreen(SizeMode::Alternate);
    t.ps().characters()[31 * 80] = 'Z';  // a row the default size does not have
    t.ps().colors()[31 * 80] = 0x20;
    t.ps().eraseScreen(SizeMode::Default, EraseMode::KeepContents);
    t.ps().eraseScreen(SizeMode::Alternate);
    EXPECT_EQ(t.ps().characters()[31 * 80], 0);
    EXPECT_EQ(t.ps().colors()[31 * 80], 0);
}

struct CursorCounter : ScreenListener {
    int moves = 0;
    void cursorMoved() override { ++moves; }
};

// Every cursor change, by whoever makes it, reaches the listener once; a set
// to the same position is no change.
TEST(PresentationSpace, TheListenerHearsOfEveryCursorMove) {
    TestSession t;
    CursorCounter counter;
    t.ps().setListener(&counter);
    t.ps().setCursor(0);
    EXPECT_EQ(counter.moves, 0) << "no move";
    t.ps().setCursor(85);
    EXPECT_EQ(counter.moves, 1);
    t.ps().eraseScreen(t.ps().sizeMode());
    EXPECT_EQ(t.ps().cursor(), 0);
    EXPECT_EQ(counter.moves, 2) << "an erase homes the cursor";

    // A write that inserts the cursor, and an SSCP-LU string that moves it.
    counter.moves = 0;
    t.apply(RecordBuilder(0xF1, 0xC3).sba(400).ic().bytes());
    EXPECT_EQ(t.ps().cursor(), 400);
    EXPECT_EQ(counter.moves, 1);
    const std::vector<std::uint8_t> string = {0xC1, 0xC2};
    t.apply(string, {.tn3270e = true, .dataType = 7, .sscpLu = true});
    EXPECT_EQ(t.ps().cursor(), 402);
    EXPECT_EQ(counter.moves, 3);
    t.ps().setListener(nullptr);
}

}  // namespace
}  // namespace cedar
