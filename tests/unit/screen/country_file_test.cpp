#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "screen/code_pages.h"
#include "test_paths.h"

namespace cedar {
namespace {

// A base part with an identity SCREEN table (two hex digits each), written
// 16 values a line with mixed separators.
std::string identityBase(const char* eol = "\r\n") {
    std::string s = std::string("BASE") + eol + "SCREEN" + eol;
    for (int row = 0; row < 16; ++row) {
        for (int col = 0; col < 16; ++col) {
            char v[8];
            std::snprintf(v, sizeof v, "%02X%s", row * 16 + col, col % 2 ? ", " : " ");
            s += v;
        }
        s += eol;
    }
    return s;
}

CodePages load(const std::string& text, const CountrySelection& sel,
               CountryMode mode = CountryMode::Screen, CountryLoadReport* report = nullptr) {
    CodePages pages;
    const auto r = loadCountryText(text, mode, sel, pages);
    if (report != nullptr) *report = r;
    return pages;
}

TEST(CountryFile, BaseTableAndCountryPatches) {
    const std::string text = "* comment line\r\n" + identityBase() +
                             "COUNTRY Test Land\r\n"
                             "OR 999\r\n"
                             "CODEPAGE 273\r\n"
                             "SCREEN\r\n"
                             "4A = C4\r\n"
                             "5A = 255\r\n"  // a decimal value
                             "COUNTRY Other\r\n"
                             "SCREEN\r\n"
                             "4A = 11\r\n"
                             "END\r\n"
                             "COUNTRY After End\r\n";
    CountryLoadReport report;
    const auto pages = load(text, {"999", "", ""}, CountryMode::Screen, &report);
    EXPECT_TRUE(report.screenCountryFound);
    EXPECT_FALSE(report.screenTableShort);
    EXPECT_EQ(pages.screenTable[0x40], 0x40);
    EXPECT_EQ(pages.screenTable[0x4A], 0xC4);
    EXPECT_EQ(pages.screenTable[0x5A], 255);
    EXPECT_EQ(pages.hostCodePage, 273);
    EXPECT_EQ(pages.hostCharacterSet, 697) << "a missing character set number means 697";
    // The transfer table follows the national character: entry C4 takes the
    // file-transfer ASCII of host 4A.
    EXPECT_EQ(pages.transferTable[0xC4], hostToTransferAscii()[0x4A]);
    EXPECT_EQ(pages.transferTable[0xC4], 0x5B);
}

TEST(CountryFile, DosCodePageMovesTheTransferPatch) {
    const std::string text = identityBase() +
                             "TRANSFER DOS 437\r\n"
                             "COUNTRY X\r\nSCREEN\r\n4A = C4\r\nEND\r\n";
    const auto pages = load(text, {"X", "DOS 437", ""});
    EXPECT_EQ(pages.transferTable[0x8E], 0x5B) << "C4 is 8E in the DOS code page";
    EXPECT_EQ(pages.transferTable[0xC4], 0x00);
}

TEST(CountryFile, LfOnlyFilesReadLikeCrLf) {
    const std::string crlf = identityBase("\r\n") + "COUNTRY X\r\nSCREEN\r\n4A = C4\r\nEND\r\n";
    const std::string lf = identityBase("\n") + "COUNTRY X\nSCREEN\n4A = C4\nEND\n";
    const auto a = load(crlf, {"X", "", ""});
    const auto b = load(lf, {"X", "", ""});
    EXPECT_EQ(a.screenTable, b.screenTable);
    EXPECT_EQ(b.screenTable[0x4A], 0xC4);
}

TEST(CountryFile, TableLimitsAndShortTables) {
    // 260 values: the ones past entry 255 are ignored, not written past the table.
    std::string text = "BASE\r\nSCREEN\r\n";
    for (int i = 0; i < 260; ++i)
        text += i < 256 ? "01 " : "02 ";
    text += "\r\nEND\r\n";
    CountryLoadReport report;
    auto pages = load(text, {}, CountryMode::Screen, &report);
    EXPECT_EQ(pages.screenTable[255], 0x01);
    EXPECT_FALSE(report.screenTableShort);

    load("BASE\r\nSCREEN\r\n00 01 02\r\nEND\r\n", {}, CountryMode::Screen, &report);
    EXPECT_TRUE(report.screenTableShort);
    EXPECT_EQ(report.screenValues, 3);
}

TEST(CountryFile, TokenRules) {
    // Two characters are hex, three decimal; other lengths and junk keep the
    // previous value; any other character ends the line.
    const std::string text =
        "BASE\r\nSCREEN\r\n"
        "7B 123 1 1234 ZZ 0A ; 0B\r\n"
        "END\r\n";
    const auto pages = load(text, {});
    EXPECT_EQ(pages.screenTable[0], 0x7B);
    EXPECT_EQ(pages.screenTable[1], 123);
    EXPECT_EQ(pages.screenTable[2], 0x0A);
    EXPECT_EQ(pages.screenTable[3], 0x00) << "the ';' ended the line";
}

TEST(CountryFile, CodePageNumbersBeyondThreeDigits) {
    const std::string text =
        identityBase() + "COUNTRY Euro\r\nCODEPAGE 1140 695\r\nSCREEN\r\nEND\r\n";
    const auto pages = load(text, {"Euro", "", ""});
    EXPECT_EQ(pages.hostCodePage, 1140);
    EXPECT_EQ(pages.hostCharacterSet, 695);
}

TEST(CountryFile, LaterHostCodeWinsForSharedDisplayCode) {
    const std::string text = identityBase() + "COUNTRY X\r\nSCREEN\r\n41 = 42\r\nEND\r\n";
    const auto pages = load(text, {"X", "", ""});
    EXPECT_EQ(pages.displayToHost(0x42), 0x42);
}

TEST(CountryFile, KeyboardSections) {
    const std::string text =
        "BASE\r\nKEYSCANCODES\r\n00 01 02\r\n"
        "COUNTRY Kbd\r\n"
        "KEYLAYOUT\r\n10 = 41\r\n11 = 42, 43, 44\r\n"
        "KEYSCANMODS\r\n20 = 01\r\n"
        "KEYESCAPES\r\n30 31 32 01, 02 =\r\n03, 04, 05 =\r\n"
        "END\r\n";
    const auto pages = load(text, {"", "", "Kbd"}, CountryMode::Keyboard);
    EXPECT_EQ(pages.scanCodeTable[2], 0x02);
    const auto& l0 = pages.keyLayout[0].bytes;
    EXPECT_EQ((std::array<int, 4>{l0[0], l0[1], l0[2], l0[3]}),
              (std::array<int, 4>{0x10, 0x41, 0x41, 0x41}));
    const auto& l1 = pages.keyLayout[1].bytes;
    EXPECT_EQ((std::array<int, 4>{l1[0], l1[1], l1[2], l1[3]}),
              (std::array<int, 4>{0x11, 0x42, 0x43, 0x44}));
    EXPECT_EQ(pages.keyLayout[2].bytes[0], 0xFF);
    EXPECT_EQ(pages.keyScanModifiers[0].key, 0x20);
    EXPECT_EQ(pages.keyScanModifiers[1].key, 0xFF);
    const auto& e = pages.keyEscapes[0].bytes;
    EXPECT_EQ(e[0], 0x30);
    EXPECT_EQ(e[3], 2) << "first list count";
    EXPECT_EQ(e[5], 0x02);
    EXPECT_EQ(e[12], 0x03);
    EXPECT_EQ(e[14], 0x05);
    EXPECT_EQ(pages.keyEscapes[1].bytes[0], 0xFF);
}

TEST(CountryFile, KeyboardListsStopAtTheirCapacity) {
    std::string text = "BASE\r\nCOUNTRY K\r\nKEYLAYOUT\r\n";
    for (int i = 0; i < 60; ++i)
        text += "10 = 41\r\n";
    text += "END\r\n";
    const auto pages = load(text, {"", "", "K"}, CountryMode::Keyboard);
    EXPECT_EQ(pages.keyLayout[CodePages::kKeyLayoutRecords].bytes[0], 0xFF);
}

TEST(CountryFile, DialogModeListsNames) {
    CodePages pages;
    CountryLists lists;
    const std::string text = identityBase() +
                             "TRANSFER ANSI 1252\r\nTRANSFER DOS 850\r\n"
                             "COUNTRY Alpha\r\nOR 111\r\nCODEPAGE 111\r\nSCREEN\r\n"
                             "COUNTRY KbdOnly\r\nKEYLAYOUT\r\n"
                             "END\r\n";
    loadCountryText(text, CountryMode::Dialog, {}, pages, &lists);
    ASSERT_EQ(lists.screenCountries.size(), 2u);
    EXPECT_EQ(lists.screenCountries[1].name, "111");
    EXPECT_EQ(lists.screenCountries[0].codePage, 111);
    EXPECT_EQ(lists.keyboards, (std::vector<std::string>{"", "KbdOnly"}));
    EXPECT_EQ(lists.pcCodePages, (std::vector<std::string>{"ANSI 1252", "DOS 850"}));
}

// --- The shipped country.lst against glibc's iconv ---------------------------

struct ShippedCountry {
    const char* name;
    const char* iconvName;
    int codePage;
};

class ShippedCountryFile : public ::testing::TestWithParam<ShippedCountry> {};

// For every host byte that the code page defines as a character Windows-1252
// has, the screen table shows that character; and every displayable host
// byte survives display -> host.
TEST_P(ShippedCountryFile, AgreesWithIconvAndRoundTrips) {
    const auto c = GetParam();
    const std::string text = test::readFile(test::dataDir() + "/country.lst");
    CodePages pages;
    const auto report =
        loadCountryText(text, CountryMode::Screen, {c.name, "ANSI 1252", ""}, pages);
    ASSERT_TRUE(report.screenCountryFound) << c.name;
    ASSERT_FALSE(report.screenTableShort);
    EXPECT_EQ(pages.hostCodePage, c.codePage);

    iconv_t cd = iconv_open("CP1252", c.iconvName);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << c.iconvName;
    int compared = 0;
    for (int h = 0x40; h < 0x100; ++h) {
        char in = static_cast<char>(h);
        char out = 0;
        char* pin = &in;
        char* pout = &out;
        std::size_t inLeft = 1, outLeft = 1;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &pin, &inLeft, &pout, &outLeft) == static_cast<std::size_t>(-1)) continue;
        const auto expected = static_cast<std::uint8_t>(out);
        if (expected < 0x20 || expected == 0x7F) continue;  // a control character
        EXPECT_EQ(pages.screenTable[h], expected) << c.name << " host " << std::hex << h;
        ++compared;
    }
    iconv_close(cd);
    EXPECT_GT(compared, 180);

    for (int h = 0; h < 256; ++h) {
        const auto d = pages.hostToDisplay(static_cast<std::uint8_t>(h));
        if (d < 0x20) continue;  // not displayable
        EXPECT_EQ(pages.displayToHost(d), h) << c.name << " host " << std::hex << h;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Countries, ShippedCountryFile,
    ::testing::Values(
        ShippedCountry{"037", "IBM037", 37}, ShippedCountry{"273", "IBM273", 273},
        ShippedCountry{"277", "IBM277", 277}, ShippedCountry{"278", "IBM278", 278},
        ShippedCountry{"280", "IBM280", 280}, ShippedCountry{"284", "IBM284", 284},
        ShippedCountry{"285", "IBM285", 285}, ShippedCountry{"297", "IBM297", 297},
        ShippedCountry{"500", "IBM500", 500}, ShippedCountry{"871", "IBM871", 871},
        ShippedCountry{"1047", "IBM1047", 1047}, ShippedCountry{"1140", "IBM1140", 1140},
        ShippedCountry{"1141", "IBM1141", 1141}, ShippedCountry{"1142", "IBM1142", 1142},
        ShippedCountry{"1143", "IBM1143", 1143}, ShippedCountry{"1144", "IBM1144", 1144},
        ShippedCountry{"1145", "IBM1145", 1145}, ShippedCountry{"1146", "IBM1146", 1146},
        ShippedCountry{"1147", "IBM1147", 1147}, ShippedCountry{"1148", "IBM1148", 1148},
        ShippedCountry{"1149", "IBM1149", 1149}),
    [](const auto& param) { return std::string("cp") + param.param.name; });

TEST(ShippedCountryFileTransfer, EveryPcCodePageIsOneToOne) {
    const std::string text = test::readFile(test::dataDir() + "/country.lst");
    for (const char* pc : {"ANSI 1252", "DOS 437", "DOS 850"}) {
        CodePages pages;
        const auto report = loadCountryText(text, CountryMode::Screen, {"037", pc, ""}, pages);
        ASSERT_TRUE(report.pcCodePageFound) << pc;
        for (int c = 0; c < 256; ++c)
            EXPECT_EQ(pages.transferToPcTable[pages.transferTable[c]], c) << pc << " " << c;
    }
}

}  // namespace
}  // namespace cedar
