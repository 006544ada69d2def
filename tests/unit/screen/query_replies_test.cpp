// The query replies: every reply's length field, the fixed replies byte for
// byte, and the sizes and code page numbers the variable ones report.
#include "screen/query_replies.h"

#include <gtest/gtest.h>

#include "inbound_fixture.h"
#include "test_paths.h"

namespace cedar {
namespace {

using test::ByteVector;
using test::hex;
using test::InboundFixture;

ByteVector reply(std::uint8_t code, const QueryReplyContext& context = {}) {
    ByteVector out;
    EXPECT_TRUE(appendQueryReply(code, context, out)) << int(code);
    return out;
}

TEST(QueryReplies, LengthFieldOfEveryReply) {
    // The lengths the replies are defined with.
    const std::pair<std::uint8_t, int> lengths[] = {{query::kSummary, 0x0D},
                                                    {query::kUsableArea, 0x17},
                                                    {query::kCharacterSets, 0x1B},
                                                    {query::kColor, 0x16},
                                                    {query::kHighlight, 0x0D},
                                                    {query::kReplyModes, 0x07},
                                                    {query::kOemAuxiliaryDevice, 0x3F},
                                                    {query::kDistributedDataManagement, 0x0C},
                                                    {query::kAuxiliaryDevice, 0x06},
                                                    {query::kImplicitPartition, 0x11},
                                                    {query::kTransparency, 0x09}};
    ASSERT_EQ(std::size(lengths), query::kAllCodes.size());
    QueryReplyContext wide;
    wide.defaultColumns = 300;
    wide.alternateColumns = 200;
    wide.alternateRows = 81;
    wide.hostCodePage = 1140;
    wide.hostCharacterSet = 695;
    wide.transferBlockSize = 65535;
    for (const QueryReplyContext& context : {QueryReplyContext{}, wide}) {
        for (auto [code, length] : lengths) {
            SCOPED_TRACE(int(code));
            const ByteVector r = reply(code, context);
            ASSERT_GE(r.size(), 4u);
            EXPECT_EQ(r.size(), static_cast<std::size_t>(length));
            EXPECT_EQ((r[0] << 8) | r[1], length);
            EXPECT_EQ(r[2], 0x81);
            EXPECT_EQ(r[3], code);
        }
    }
}

TEST(QueryReplies, CodesWithoutAReplyAppendNothing) {
    for (int code = 0; code < 256; ++code) {
        const bool known = std::find(query::kAllCodes.begin(), query::kAllCodes.end(), code) !=
                           query::kAllCodes.end();
        ByteVector out = {0x88};
        EXPECT_EQ(appendQueryReply(static_cast<std::uint8_t>(code), {}, out), known) << code;
        if (!known) {
            EXPECT_EQ(out.size(), 1u) << code;
        }
    }
}

TEST(QueryReplies, FixedReplies) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {query::kSummary, "00 0D 81 80 80 81 85 86 87 88 99 A6 A8"},
        {query::kColor, "00 16 81 86 00 08 00 F4 F1 F1 F2 F2 F3 F3 F4 F4 F5 F5 F6 F6 F7 F7"},
        {query::kHighlight, "00 0D 81 87 04 00 F0 F1 F1 F2 F2 F4 F4"},
        {query::kReplyModes, "00 07 81 88 00 01 02"},
        {query::kAuxiliaryDevice, "00 06 81 99 00 00"},
        {query::kTransparency, "00 09 81 A8 02 00 F0 FF FF"},
        {query::kOemAuxiliaryDevice,
         "00 3F 81 8F 00 00 E3 C3 D7 F3 F2 F7 F0 40 C3 C5 C4 C1 D9 40 40 40 04 01 00 00 25 FF "
         "02 06 00 00 7F 00 00 01 00 00 00 00 00 00 28 4E 6F 74 20 79 65 74 20 6C 6F 67 67 65 "
         "64 20 69 6E 21 29 00"},
    };
    for (auto [code, bytes] : cases)
        EXPECT_EQ(hex(reply(code)), bytes) << int(code);
}

struct SizeCase {
    const char* name;
    ScreenSessionOptions options;
    const char* usableArea;
    const char* implicitPartition;
};

ScreenSessionOptions sizes(int model, int userRows = 24, int userColumns = 80, int defaultRows = 24,
                           int defaultColumns = 80) {
    ScreenSessionOptions o;
    o.modelIndex = model;
    o.userRows = userRows;
    o.userColumns = userColumns;
    o.defaultRows = defaultRows;
    o.defaultColumns = defaultColumns;
    return o;
}

// Usable Area carries the alternate size, Implicit Partition the default
// and the alternate size, for every model and a user-defined size.
TEST(QueryReplies, ScreenSizesOfEveryModel) {
    const char* tail = "01 00 D3 03 20 00 9E 02 58 07 0C 07 80";
    const SizeCase cases[] = {
        {"model 2", sizes(0), "00 50 00 18", "00 50 00 18 00 50 00 18"},
        {"model 3", sizes(1), "00 50 00 20", "00 50 00 18 00 50 00 20"},
        {"model 4", sizes(2), "00 50 00 2B", "00 50 00 18 00 50 00 2B"},
        {"model 5", sizes(3), "00 84 00 1B", "00 50 00 18 00 84 00 1B"},
        {"user 62 x 160", sizes(4, 62, 160), "00 A0 00 3E", "00 50 00 18 00 A0 00 3E"},
        {"user 81 x 200", sizes(4, 81, 200), "00 C8 00 51", "00 50 00 18 00 C8 00 51"},
        {"default 32 x 100", sizes(0, 24, 80, 32, 100), "00 50 00 18", "00 64 00 20 00 50 00 18"},
        // Sizes above 255 fill both bytes of their field.
        {"default 24 x 300", sizes(0, 24, 80, 24, 300), "00 50 00 18", "01 2C 00 18 00 50 00 18"},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        InboundFixture f({}, c.options);
        const std::uint8_t codes[] = {query::kUsableArea, query::kImplicitPartition};
        f.fields.sendQueryReplies(codes);
        EXPECT_EQ(hex(f.sender.last().record), std::string("88 00 17 81 81 01 00 ") + c.usableArea +
                                                   " " + tail + " 00 11 81 A6 00 00 0B 01 00 " +
                                                   c.implicitPartition);
    }
}

TEST(QueryReplies, CodePageNumbers) {
    struct Case {
        const char* name;
        const char* country;  // loaded from country.lst; empty: none selected
        int codePage;         // set directly when not 0
        int characterSet;
        bool replyCodepage;
        const char* numbers;
    };
    const Case cases[] = {
        {"no country selected", "", 0, 0, true, "02 B9 00 25"},
        {"Germany", "273", 0, 0, true, "02 B9 01 11"},
        {"Germany, ReplyCodepage off", "273", 0, 0, false, "02 B9 00 25"},
        {"euro code page", "", 1140, 695, true, "02 B7 04 74"},
        {"euro code page, ReplyCodepage off", "", 1140, 695, false, "02 B9 00 25"},
    };
    const std::string countryFile = test::readFile(test::dataDir() + "/country.lst");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InboundFixture f;
        auto& pages = f.t.session.codePages;
        if (*c.country != '\0')
            loadCountryText(countryFile, CountryMode::Screen, {c.country, "ANSI 1252", ""}, pages);
        if (c.codePage != 0) {
            pages.hostCodePage = c.codePage;
            pages.hostCharacterSet = c.characterSet;
        }
        StructuredFieldOptions options;
        options.replyCodepage = c.replyCodepage;
        f.fields.setOptions(options);
        const std::uint8_t codes[] = {query::kCharacterSets};
        f.fields.sendQueryReplies(codes);
        EXPECT_EQ(hex(f.sender.last().record),
                  std::string("88 00 1B 81 85 82 00 07 0C 00 00 00 00 07 00 00 00 ") + c.numbers +
                      " 01 00 F1 03 C3 01 36");
    }
}

TEST(QueryReplies, TransferBufferFollowsTheBlockSize) {
    const std::pair<int, const char*> cases[] = {
        {25000, "61 C3"}, {2500, "09 DF"}, {0, "00 1B"}, {65535, "00 1A"}};
    for (auto [blockSize, limit] : cases) {
        QueryReplyContext context;
        context.transferBlockSize = blockSize;
        EXPECT_EQ(hex(reply(query::kDistributedDataManagement, context)),
                  std::string("00 0C 81 95 00 00 ") + limit + " " + limit + " 01 01")
            << blockSize;
    }
}

}  // namespace
}  // namespace cedar
