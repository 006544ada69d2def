// Read replies of the 3270 data stream built from fixture screens: Read
// Modified, Read Buffer in its three reply modes, short reads and SSCP-LU
// input, each with the trace copy that masks non-display input.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "inbound_fixture.h"

namespace cedar {
namespace {

using test::address;
using test::ByteVector;
using test::concat;
using test::ebcdic;
using test::hex;
using test::InboundFixture;
using test::RecordBuilder;

constexpr std::uint8_t kX = 0xE7;  // EBCDIC "X"
constexpr std::uint8_t kEnter = aid::kEnter;

ByteVector xs(std::size_t n) {
    return ByteVector(n, kX);
}

enum class Read { Modified, Buffer };

struct ReadCase {
    const char* name;
    ByteVector screen;
    Read read;
    int replyMode;
    int start;
    ByteVector expected;
    ByteVector expectedTrace = {};  // empty: the same as expected
    std::function<void(PresentationSpace&)> tweak = nullptr;
};

// Positions 1908..1919 of a 24 x 80 screen: an extended field with colour
// and highlight, characters with and without Set Attribute, a Graphic Escape
// character, a non-display input field and a protected field ending in a null.
ByteVector mixedTail() {
    return RecordBuilder(cmd::kEraseWrite, 0x02)
        .sba(1908)
        .sfe({0xC0, 0x40, 0x41, 0xF4, 0x42, 0xF2})
        .text("A")
        .sa(0x42, 0xF4)
        .text("B")
        .sa(0x41, 0xF2)
        .text("C")
        .ge(0xAD)
        .sa(0x00, 0x00)
        .text("D")
        .sf(0x4D)
        .text("PW")
        .sf(0x60)
        .text("Z")
        .bytes();
}

ByteVector head() {
    return concat({{kEnter}, address(0)});
}

std::vector<ReadCase> readCases() {
    const ByteVector sfeHead = {0x29, 0x03, 0xC0, 0xC0, 0x42, 0xF2, 0x41, 0xF4};
    const ByteVector nonDisplayField = {0x29, 0x01, 0xC0, 0xCD};
    const ByteVector protectedField = {0x29, 0x01, 0xC0, 0xE0};
    // The Read Buffer replies of mixedTail() around the non-display field's
    // contents: as sent ("PW") and as traced ("XX").
    const auto fieldModeReply = [&](const ByteVector& pw) {
        return concat({head(),
                       {0x1D, 0xC0},
                       ebcdic("ABC"),
                       {0xAD},
                       ebcdic("D"),
                       {0x1D, 0xCD},
                       pw,
                       {0x1D, 0xE0},
                       ebcdic("Z"),
                       {0x00}});
    };
    const auto extendedModeReply = [&](const ByteVector& pw) {
        return concat({head(),
                       sfeHead,
                       ebcdic("ABC"),
                       {0x08, 0xAD},
                       ebcdic("D"),
                       nonDisplayField,
                       pw,
                       protectedField,
                       ebcdic("Z"),
                       {0x00}});
    };
    const auto characterModeReply = [&](const ByteVector& pw) {
        return concat({head(),
                       sfeHead,
                       ebcdic("A"),
                       {0x28, 0x42, 0xF4},
                       ebcdic("B"),
                       {0x28, 0x41, 0xF2},
                       ebcdic("C"),
                       {0x08, 0xAD},
                       {0x28, 0x42, 0x00, 0x28, 0x41, 0x00},
                       ebcdic("D"),
                       nonDisplayField,
                       pw,
                       protectedField,
                       ebcdic("Z"),
                       {0x00}});
    };
    const auto backgroundColourReply = [&](const ByteVector& pw) {
        return concat({head(),
                       {0x29, 0x04, 0xC0, 0xC0, 0x42, 0xF2, 0x45, 0xF5, 0x41, 0xF4},
                       {0x28, 0x42, 0xF4, 0x28, 0x45, 0xF3},
                       ebcdic("A"),
                       {0x28, 0x45, 0x00},
                       ebcdic("B"),
                       {0x28, 0x41, 0xF2},
                       ebcdic("C"),
                       {0x08, 0xAD},
                       {0x28, 0x42, 0x00, 0x28, 0x41, 0x00},
                       ebcdic("D"),
                       nonDisplayField,
                       pw,
                       protectedField,
                       ebcdic("Z"),
                       {0x00}});
    };
    return {
        {"NoModifiedFieldSendsAidAndCursorOnly",
         RecordBuilder(cmd::kEraseWrite, 0x02).sf(0x40).text("ABC").sba(5).ic().bytes(),
         Read::Modified, 0, 0, concat({{kEnter}, address(5)})},
        {"OnlyModifiedFieldsAreSent",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sba(10)
             .sf(0xC1)
             .text("AB")
             .sba(20)
             .sf(0x40)
             .text("ZZ")
             .sba(30)
             .sf(0xC1)
             .text("CD")
             .bytes(),
         Read::Modified, 0, 0,
         concat({head(), {0x11}, address(11), ebcdic("AB"), {0x11}, address(31), ebcdic("CD")})},
        {"FieldEndingAtTheLastPosition",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sf(0x60)
             .text("X")
             .sba(1916)
             .sf(0xC1)
             .text("END")
             .bytes(),
         Read::Modified, 0, 0, concat({head(), {0x11}, address(1917), ebcdic("END")})},
        {"AttributeInTheLastPositionStartsItsDataAtZero",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sba(1919)
             .sf(0xC1)
             .text("WRAP")
             .sba(10)
             .sf(0x60)
             .bytes(),
         Read::Modified, 0, 0, concat({head(), {0x11}, address(0), ebcdic("WRAP")})},
        {"FieldWrappingPastTheEndIsSentWholeAndOnce",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sba(1915)
             .sf(0xC1)
             .text("WRAPPED")
             .sba(5)
             .sf(0x60)
             .bytes(),
         Read::Modified, 0, 0, concat({head(), {0x11}, address(1916), ebcdic("WRAPPED")})},
        {"SingleFieldOnTheScreen",
         RecordBuilder(cmd::kEraseWrite, 0x02).sba(100).sf(0xC1).text("ONE").bytes(),
         Read::Modified, 0, 0, concat({head(), {0x11}, address(101), ebcdic("ONE")})},
        {"NullsInsideAFieldAreDropped",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sba(100)
             .sf(0xC1)
             .text("AB")
             .sba(104)
             .text("C")
             .sba(200)
             .sf(0x60)
             .bytes(),
         Read::Modified, 0, 0, concat({head(), {0x11}, address(101), ebcdic("ABC")})},
        {"GraphicEscapeCharacters",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sba(100)
             .sf(0xC1)
             .text("A")
             .ge(0xAD)
             .text("B")
             .sba(200)
             .sf(0x60)
             .bytes(),
         Read::Modified, 0, 0,
         concat({head(), {0x11}, address(101), ebcdic("A"), {0x08, 0xAD}, ebcdic("B")})},
        {"NonDisplayInputIsMaskedInTheTraceOnly",
         RecordBuilder(cmd::kEraseWrite, 0x02)
             .sba(100)
             .sf(0x4D)
             .text("SECRET")
             .ge(0xAD)
             .sba(200)
             .sf(0x60)
             .sba(300)
             .sf(0xC1)
             .text("SHOWN")
             .bytes(),
         Read::Modified, 0, 0,
         concat({head(),
                 {0x11},
                 address(101),
                 ebcdic("SECRET"),
                 {0x08, 0xAD},
                 {0x11},
                 address(301),
                 ebcdic("SHOWN")}),
         concat({head(),
                 {0x11},
                 address(101),
                 xs(6),
                 {0x08, kX},
                 {0x11},
                 address(301),
                 ebcdic("SHOWN")})},
        {"UnformattedScreenSendsEveryCharacter",
         RecordBuilder(cmd::kEraseWrite, 0x02).text("HELLO").sba(80).text("WORLD").ge(0xAD).bytes(),
         Read::Modified, 0, 0, concat({head(), ebcdic("HELLOWORLD"), {0x08, 0xAD}})},
        {"ReadBufferUnformattedSendsEveryPosition",
         RecordBuilder(cmd::kEraseWrite, 0x02).text("HI").bytes(), Read::Buffer, 0, 0,
         concat({head(), ebcdic("HI"), ByteVector(1918, 0x00)})},
        {"ReadBufferFieldMode", mixedTail(), Read::Buffer, 0, 1908, fieldModeReply(ebcdic("PW")),
         fieldModeReply(xs(2))},
        {"ReadBufferStartingInsideANonDisplayField", mixedTail(), Read::Buffer, 0, 1916,
         concat({head(), ebcdic("W"), {0x1D, 0xE0}, ebcdic("Z"), {0x00}}),
         concat({head(), xs(1), {0x1D, 0xE0}, ebcdic("Z"), {0x00}})},
        {"ReadBufferExtendedFieldMode", mixedTail(), Read::Buffer, 1, 1908,
         extendedModeReply(ebcdic("PW")), extendedModeReply(xs(2))},
        {"ReadBufferCharacterMode", mixedTail(), Read::Buffer, 2, 1908,
         characterModeReply(ebcdic("PW")), characterModeReply(xs(2))},
        {"ReadBufferCharacterModeWithBackgroundColours", mixedTail(), Read::Buffer, 2, 1908,
         backgroundColourReply(ebcdic("PW")), backgroundColourReply(xs(2)),
         [](PresentationSpace& ps) {
             ps.colors()[1908] = 0x52;
             ps.colors()[1909] = 0x34;
             // A find match on a character is no highlight of the host's.
             ps.highlights()[1915] |= hl::kFindMatch;
         }},
    };
}

TEST(ReadReplies, FixtureScreens) {
    for (const ReadCase& c : readCases()) {
        SCOPED_TRACE(c.name);
        InboundFixture f;
        f.apply(c.screen);
        f.ps().replyMode = static_cast<ReplyMode>(c.replyMode);
        if (c.tweak) c.tweak(f.ps());
        if (c.read == Read::Modified)
            f.builder.sendReadModified(kEnter);
        else
            f.builder.sendReadBuffer(kEnter, c.start);
        ASSERT_EQ(f.sender.sent.size(), 1u);
        const auto& sent = f.sender.last();
        EXPECT_TRUE(sent.startsTimer) << "an AID reply starts the transaction timer";
        const ByteVector& expected = c.expected;
        const ByteVector& trace = c.expectedTrace.empty() ? c.expected : c.expectedTrace;
        EXPECT_EQ(hex(sent.record), hex(expected));
        EXPECT_EQ(hex(sent.trace), hex(trace));
        EXPECT_EQ(f.builder.record(), sent.record);
        EXPECT_EQ(f.builder.traceCopy(), sent.trace);
    }
}

TEST(ReadReplies, ShortReads) {
    InboundFixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba(1234).ic());
    f.builder.sendShortRead(aid::kPa1);
    f.builder.sendShortReadModified(aid::kPa2);
    ASSERT_EQ(f.sender.sent.size(), 2u);
    EXPECT_EQ(hex(f.sender.sent[0].record), "6C") << "a PA key sends its AID alone";
    EXPECT_TRUE(f.sender.sent[0].startsTimer);
    EXPECT_EQ(hex(f.sender.sent[1].record), hex(concat({{0x6E}, address(1234)})));
    EXPECT_FALSE(f.sender.sent[1].startsTimer) << "no transaction timer for the short reply";
}

TEST(ReadReplies, BufferAddressesUseTheFourteenBitFormAbove4096Positions) {
    ScreenSessionOptions user;
    user.modelIndex = 4;
    user.userRows = 60;
    user.userColumns = 80;
    InboundFixture f({}, user);
    f.apply(RecordBuilder(cmd::kEraseWriteAlternate, 0x02).sba14(4500).sf(0xC1).text("Q").ic());
    ASSERT_EQ(f.ps().positions(), 4800);
    f.builder.sendReadModified(kEnter);
    EXPECT_EQ(hex(f.sender.last().record),
              hex(concat({{kEnter, 0x11, 0x96}, {0x11, 0x11, 0x95}, ebcdic("Q")})));
}

// The largest screen in character mode with every position needing three
// Set Attribute orders and a Graphic Escape: 11 bytes a position.
TEST(ReadReplies, CharacterModeOutputGrowsToTheWholeLargestScreen) {
    ScreenSessionOptions user;
    user.modelIndex = 4;
    user.userRows = 126;
    user.userColumns = 130;
    InboundFixture f({}, user);
    f.apply(RecordBuilder(cmd::kEraseWriteAlternate, 0x02));
    auto& ps = f.ps();
    ASSERT_EQ(ps.positions(), 16380);
    for (int p = 0; p < ps.positions(); ++p) {
        ps.characters()[p] = 0x41;
        ps.charsets()[p] = kGraphicEscapeCharset;
        ps.colors()[p] = p % 2 ? 0x12 : 0x21;
        ps.highlights()[p] = p % 2 ? 1 : 2;
    }
    ps.setCursor(16379);
    ps.replyMode = ReplyMode::Character;
    f.builder.sendReadBuffer(kEnter);
    const auto& sent = f.sender.last();
    ASSERT_EQ(sent.record.size(), 3u + 11u * 16380u);
    EXPECT_EQ(hex(ByteVector(sent.record.begin(), sent.record.begin() + 14)),
              "7D 3F FB 28 42 F1 28 45 F2 28 41 F2 08 41");
    EXPECT_EQ(hex(ByteVector(sent.record.end() - 11, sent.record.end())),
              "28 42 F2 28 45 F1 28 41 F1 08 41");
    EXPECT_EQ(sent.trace, sent.record);
}

// The host's read commands reach the builder through the adapter.
TEST(ReadReplies, HostReadCommands) {
    for (auto [readModified, readModifiedAll, readBuffer] :
         {std::tuple{cmd::kReadModified, cmd::kReadModifiedAll, cmd::kReadBuffer},
          {cmd::kReadModifiedCcw, cmd::kReadModifiedAllCcw, cmd::kReadBufferCcw}}) {
        SCOPED_TRACE(int(readModified));
        InboundFixture f;
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba(81).sf(0xC1).text("IN").sba(90).ic());
        const ByteVector fields = concat({{0x11}, address(82), ebcdic("IN")});
        auto& records = f.t.session.records;

        records.aid().current = aid::kPf1;
        f.apply(RecordBuilder().raw({readModified}));
        EXPECT_EQ(hex(f.sender.last().record), hex(concat({{0xF1}, address(90), fields})));
        EXPECT_TRUE(f.sender.last().startsTimer);

        records.aid().current = aid::kPa2;
        f.apply(RecordBuilder().raw({readModified}));
        EXPECT_EQ(hex(f.sender.last().record), hex(concat({{aid::kPa2}, address(90)})));
        EXPECT_FALSE(f.sender.last().startsTimer);

        f.apply(RecordBuilder().raw({readModifiedAll}));
        EXPECT_EQ(hex(f.sender.last().record), hex(concat({{aid::kPa2}, address(90), fields})))
            << "Read Modified All sends the fields whatever the AID";
        EXPECT_EQ(f.ps().attributes()[81] & fa::kModified, 0) << "and resets the tags";

        records.aid().current = aid::kNone;
        f.apply(RecordBuilder().raw({readBuffer}));
        EXPECT_EQ(f.sender.last().record.size(), 3u + 1920u + 1u) << "SF and attribute at 81";
        EXPECT_EQ(f.sender.last().record[0], aid::kNone);
        EXPECT_EQ(f.sender.sent.size(), 4u);
    }
}

TEST(ReadReplies, CommandChainingSetsTheReadBufferStart) {
    ScreenSettings chaining;
    chaining.cmdChaining = true;
    InboundFixture f(chaining);
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba(1917).text("XYZ"));
    f.apply(RecordBuilder(cmd::kWrite, 0x40).sba(1917));
    ASSERT_EQ(f.t.session.records.readBufferStart, 1917);
    f.apply(RecordBuilder().raw({cmd::kReadBuffer}));
    EXPECT_EQ(hex(f.sender.last().record), hex(concat({{aid::kNone}, address(0), ebcdic("XYZ")})));

    // A start that lies beyond a screen that has since shrunk reads from 0.
    f.builder.sendReadBuffer(aid::kNone, 5000);
    EXPECT_EQ(f.sender.last().record.size(), 3u + 1920u);
}

TEST(ReadReplies, UnknownReplyModeReadsInFieldMode) {
    InboundFixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba(1918).sf(0x60).text("Z"));
    f.ps().replyMode = static_cast<ReplyMode>(7);
    f.builder.sendReadBuffer(kEnter, 1918);
    EXPECT_EQ(hex(f.sender.last().record), hex(concat({head(), {0x1D, 0xE0}, ebcdic("Z")})));
}

TEST(ReadReplies, SscpLuInputIsTheTypedCharactersOnly) {
    InboundFixture f;
    f.sender.sscpLu = true;
    RecordOrigin sscp;
    sscp.sscpLu = true;
    f.apply(RecordBuilder().text("READY"), sscp);
    auto& ps = f.ps();
    std::fill_n(ps.changed().begin(), ps.positions(), std::uint8_t{0});  // painted
    // Fields left from a formatted screen: an ordinary one at 40 and a
    // non-display one at 50, with its tag set.
    ps.attributes()[40] = fa::kMarker;
    ps.attributes()[50] = fa::kMarker | fa::kNonDisplay | fa::kModified;
    auto type = [&ps](int p, char c) {
        ps.characters()[p] = static_cast<std::uint8_t>(c);
        ps.mark(p);
    };
    type(41, 'L');
    type(42, 'O');
    type(43, 'G');
    type(51, 'P');
    type(52, 'W');
    ps.mark(44);  // a marked null is no input
    f.builder.sendReadModified(kEnter);
    const auto& sent = f.sender.last();
    EXPECT_EQ(hex(sent.record), hex(ebcdic("LOGPW"))) << "no AID, no address";
    EXPECT_EQ(hex(sent.trace), hex(concat({ebcdic("LOG"), xs(2)})));
    EXPECT_TRUE(sent.startsTimer);
    for (int p : {41, 42, 43, 51, 52})
        EXPECT_EQ(ps.changed()[p], 0) << p;
    EXPECT_EQ(ps.attributes()[50] & fa::kModified, 0);

    f.builder.sendReadModified(kEnter);
    EXPECT_TRUE(f.sender.last().record.empty()) << "nothing typed since";
}

}  // namespace
}  // namespace cedar
