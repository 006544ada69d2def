#include "transfer/transfer_command.h"

#include <gtest/gtest.h>

#include "screen/code_pages.h"
#include "test_paths.h"

namespace cedar {
namespace {

using Host = TransferHostType;

TransferCommandOptions textOptions(Host host) {
    TransferCommandOptions o;
    o.hostType = host;
    return o;
}

TEST(TransferCommand, BuildsTheCommandForEachHostAndDirection) {
    struct Case {
        const char* name;
        TransferDirection direction;
        TransferCommandOptions options;
        const char* expected;
    };
    auto with = [](Host host, auto change) {
        TransferCommandOptions o = textOptions(host);
        change(o);
        return o;
    };
    const auto up = TransferDirection::Upload;
    const auto down = TransferDirection::Download;
    const Case cases[] = {
        {"TSO text upload with space, lrecl and fixed records", up,
         with(Host::Tso,
              [](auto& o) {
                  o.recordLength = 80;
                  o.recordFormat = RecordFormat::Fixed;
                  o.primarySpace = 5;
              }),
         "IND$FILE PUT user.data ASCII CRLF SPACE(5) TRACKS LRECL(80) RECFM(F) "},
        {"TSO upload with both spaces in cylinders, block size, variable", up,
         with(Host::Tso,
              [](auto& o) {
                  o.ascii = o.crlf = false;
                  o.primarySpace = 10;
                  o.secondarySpace = 2;
                  o.spaceUnit = SpaceUnit::Cylinders;
                  o.blockSize = 6160;
                  o.recordLength = 255;
                  o.recordFormat = RecordFormat::Variable;
                  o.append = true;
              }),
         "IND$FILE PUT user.data APPEND SPACE(10 2) CYLINDERS BLKSIZE(6160) LRECL(255) RECFM(V) "},
        {"TSO: a secondary space alone is not sent", up,
         with(Host::Tso, [](auto& o) { o.secondarySpace = 3; }),
         "IND$FILE PUT user.data ASCII CRLF "},
        {"CMS download, ascii crlf", down, textOptions(Host::Cms),
         "IND$FILE GET user.data ( ASCII CRLF ) "},
        {"CMS upload with record length and format", up,
         with(Host::Cms,
              [](auto& o) {
                  o.recordLength = 132;
                  o.recordFormat = RecordFormat::Variable;
                  o.blockSize = 999;  // not a CMS word
                  o.primarySpace = 4;
              }),
         "IND$FILE PUT user.data ( ASCII CRLF LRECL 132 RECFM V ) "},
        {"CICS binary upload", up, with(Host::Cics, [](auto& o) { o.ascii = o.crlf = false; }),
         "IND$FILE PUT user.data (BINARY ) "},
        {"CICS binary with CRLF keeps the words apart", down,
         with(Host::Cics, [](auto& o) { o.ascii = false; }),
         "IND$FILE GET user.data ( CRLF BINARY ) "},
        {"CICS text download", down, textOptions(Host::Cics),
         "IND$FILE GET user.data ( ASCII CRLF ) "},
        {"download sends no space, record or append words", down,
         with(Host::Tso,
              [](auto& o) {
                  o.append = true;
                  o.primarySpace = 5;
                  o.recordLength = 80;
                  o.recordFormat = RecordFormat::Fixed;
              }),
         "IND$FILE GET user.data ASCII CRLF "},
        {"program parameters trimmed, dialog's and macro's text follow", up,
         with(Host::Cms,
              [](auto& o) {
                  o.programParameters = "  prog1  ";
                  o.dialogParameters = "dlg";
                  o.macroText = "mac";
              }),
         "IND$FILE PUT user.data ( ASCII CRLF PROG1 DLG ) MAC"},
        {"blank program parameters add nothing", down,
         with(Host::Tso, [](auto& o) { o.programParameters = "   "; }),
         "IND$FILE GET user.data ASCII CRLF "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The host name goes in as given and is upper-cased with the rest.
        std::string expected = c.expected;
        const auto at = expected.find("user.data");
        expected.replace(at, 9, "USER.DATA");
        EXPECT_EQ(transferCommand(c.direction, "IND$FILE", "user.data", c.options, '$'), expected);
    }
}

TEST(TransferCommand, ProgramDollarComesFromTheCodePage) {
    struct Case {
        const char* country;
        std::uint8_t dollar;  // the Windows-1252 character of EBCDIC 0x5B there
    };
    const Case cases[] = {
        {"USA/Canada 037", '$'},      {"United Kingdom 285", 0xA3},  // pound sign
        {"Denmark/Norway 277", 0xC5},                                // A ring
        {"Finland/Sweden 278", 0xC5}, {"Open Systems 1047", '$'},
    };
    const std::string countryFile = test::readFile(test::dataDir() + "/country.lst");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.country);
        CodePages pages;
        loadCountryText(countryFile, CountryMode::Screen, {c.country, "ANSI 1252", ""}, pages);
        const std::uint8_t dollar = pages.hostToDisplay(0x5B);
        ASSERT_EQ(dollar, c.dollar);
        const std::string command = transferCommand(TransferDirection::Download, "ind$file", "X",
                                                    textOptions(Host::Tso), dollar);
        EXPECT_EQ(command,
                  std::string("IND") + static_cast<char>(c.dollar) + "FILE GET X ASCII CRLF ");
    }
}

TEST(TransferCommand, ProgramNameAndUpperCase) {
    struct Case {
        const char* program;
        std::uint8_t dollar;
        std::string expected;
    };
    const Case cases[] = {
        // A small letter as the host's "$" survives the upper-casing.
        {"ind$file", 0xE5,
         "IND\xE5"
         "FILE"},
        {"Ind$File", 0xC5,
         "IND\xC5"
         "FILE"},
        // Another program keeps its own "$".
        {"myxfer$", 0xA3, "MYXFER$"},
        {"ind$", 0xA3, "IND$"},
        // Accented letters of the display code are upper-cased too.
        {"pr\xE9x", '$', "PR\xC9X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const std::string command = transferCommand(TransferDirection::Download, c.program, "n",
                                                    textOptions(Host::Tso), c.dollar);
        EXPECT_EQ(command, c.expected + " GET N ASCII CRLF ");
    }
}

TEST(TransferCommand, HostFileNames) {
    struct Case {
        const char* name;
        const char* member;
        bool listLevel;
        const char* expected;
    };
    const Case cases[] = {
        {"'NAME'", "MEMBER", false, "'NAME(MEMBER)'"},
        {"NAME", "MEMBER", false, "NAME(MEMBER)"},
        {"NAME", "MEMBER", true, "'NAME(MEMBER)'"},
        {"'USER.CNTL'", "", true, "'USER.CNTL'"},
        {"USER.CNTL", "", true, "'USER.CNTL'"},
        {"USER.CNTL", "", false, "USER.CNTL"},
        // A quoted name keeps its quotes: it stays fully qualified.
        {"'USER.CNTL'", "", false, "'USER.CNTL'"},
        // A lone quote is no pair of quotes.
        {"'", "", false, "'"},
        {"'", "M", false, "'(M)"},
        {"", "", true, "''"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.member);
        EXPECT_EQ(hostFileName(c.name, c.member, c.listLevel), c.expected);
    }
}

TEST(TransferCommand, PcNamesBecomeHostNames) {
    EXPECT_EQ(pcNameToHostName("report_2024.txt"), "report#2024.txt");
    EXPECT_EQ(pcNameToHostName("a b-c$d@e#f.G9"), "a#b#c#d#e#f.G9");
    EXPECT_EQ(pcNameToHostName("caf\xE9.txt"), "caf#.txt");
    EXPECT_EQ(pcNameToHostName(""), "");
}

}  // namespace
}  // namespace cedar
