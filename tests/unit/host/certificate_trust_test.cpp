// The trusted-hosts file: reading it line by line (what is an entry, what is
// an error and where), adding and replacing an entry without disturbing any
// other line, and the texts the user is shown of a certificate.
#include "host/certificate_trust.h"

#include <gtest/gtest.h>

#include <array>

namespace cedar {
namespace {

// A fingerprint of 32 bytes counting up from `first`.
std::string print(std::uint8_t first) {
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(first + i);
    return fingerprintText(digest);
}

std::string lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

TEST(TrustKey, NamesCompareWithoutCaseAndIpv6AddressesAreBracketed) {
    const struct {
        std::string host;
        std::uint16_t port;
        std::string key;
    } cases[] = {
        {"MVS.Example.COM", 992, "mvs.example.com:992"},
        {"127.0.0.1", 23, "127.0.0.1:23"},
        {"::1", 992, "[::1]:992"},
        {"[2001:DB8::1]", 8023, "[2001:db8::1]:8023"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trustKey(c.host, c.port), c.key) << c.host;
}

TEST(FingerprintText, UpperCaseHexPairsJoinedByColons) {
    const std::uint8_t digest[] = {0x00, 0x0A, 0xFF, 0x5C};
    EXPECT_EQ(fingerprintText(digest), "00:0A:FF:5C");
    EXPECT_EQ(print(0).size(), 95u);
}

TEST(CertificateTime, UtcTimeCenturyAndGeneralizedTimeAndMalformedValues) {
    const struct {
        const char* raw;
        bool generalized;
        const char* text;  // nullptr: not a time
    } cases[] = {
        {"491231235959Z", false, "2049-12-31 23:59:59 UTC"},
        {"500101000000Z", false, "1950-01-01 00:00:00 UTC"},
        {"991231120000Z", false, "1999-12-31 12:00:00 UTC"},
        {"000229000000Z", false, "2000-02-29 00:00:00 UTC"},  // 2000 is a leap year
        {"20500101000000Z", true, "2050-01-01 00:00:00 UTC"},
        {"19491231235959Z", true, "1949-12-31 23:59:59 UTC"},
        {"21000228120000Z", true, "2100-02-28 12:00:00 UTC"},
        {"21000229120000Z", true, nullptr},  // 2100 is not
        {"260230000000Z", false, nullptr},
        {"261301000000Z", false, nullptr},
        {"261200000000Z", false, nullptr},
        {"261210240000Z", false, nullptr},
        {"2612101800Z", false, nullptr},        // no seconds (RFC 5280 requires them)
        {"261210180000+0100", false, nullptr},  // not UTC
        {"2612101800001", false, nullptr},
        {"26121018000AZ", false, nullptr},
        {"261210180000Z", true, nullptr},  // too short for a GeneralizedTime
        {"", false, nullptr},
    };
    for (const auto& c : cases) {
        const auto text = certificateTimeText(c.raw, c.generalized);
        if (c.text == nullptr)
            EXPECT_FALSE(text) << c.raw << " gave " << text.value_or("");
        else
            EXPECT_EQ(text.value_or("(none)"), c.text) << c.raw;
    }
}

TEST(CertificateDetailsText, EveryDetailOnItsOwnLine) {
    CertificateDetails d;
    d.subject = "CN=mvs.example.com,O=Example";
    d.issuer = "CN=Example CA";
    d.subjectAltNames = {"DNS:mvs.example.com", "IP:10.1.2.3"};
    d.notBefore = "2026-01-01 00:00:00 UTC";
    d.notAfter = "2027-01-01 00:00:00 UTC";
    d.fingerprint = print(1);
    EXPECT_EQ(certificateDetailsText(d),
              "Subject: CN=mvs.example.com,O=Example\nIssuer: CN=Example CA\n"
              "Alternative names: DNS:mvs.example.com, IP:10.1.2.3\n"
              "Valid from: 2026-01-01 00:00:00 UTC\nValid until: 2027-01-01 00:00:00 UTC\n"
              "SHA-256 fingerprint: " +
                  print(1) + "\n");
    d.subjectAltNames.clear();
    EXPECT_NE(certificateDetailsText(d).find("\nAlternative names: (none)\n"), std::string::npos);
}

TEST(TrustFileParse, EntriesCommentsAndTheLineOfEveryError) {
    const std::string text =
        "# header\r\n"
        "\n"
        "  MVS.example.com:992\t" +
        lowered(print(1)) +
        "  \r\n"
        "[::1]:23 " +
        print(2) +
        "\n"
        "nohost " +
        print(3) +
        "\n"       // line 5: no port
        "a:992\n"  // 6: no fingerprint
        "a:992 " +
        print(3) +
        " extra\n"  // 7: three fields
        "a:0 " +
        print(3) +
        "\n"  // 8: port 0
        "a:992 " +
        print(3).substr(3) +
        "\n"  // 9: 31 bytes
        "a:992 " +
        print(3).replace(2, 1, "-") +
        "\n"  // 10
        "a:992 " +
        print(3).replace(0, 1, "G") +
        "\n"  // 11
        "mvs.EXAMPLE.com:992 " +
        print(4) +
        "\n"  // 12: listed in 3
        "a:99 " +
        print(5) + std::string("\x01", 1) +
        "\n"  // 13
        "b:1 " +
        print(6);  // 14, no newline at the end
    const TrustFile file = parseTrustFile(text);
    ASSERT_EQ(file.entries.size(), 3u);
    EXPECT_EQ(file.entries[0].key, "mvs.example.com:992");
    EXPECT_EQ(file.entries[0].fingerprint, print(1)) << "read without regard to case";
    EXPECT_EQ(file.entries[0].line, 3);
    EXPECT_EQ(file.entries[1].key, "[::1]:23");
    EXPECT_EQ(file.entries[2].key, "b:1");
    EXPECT_EQ(file.entries[2].line, 14);
    std::vector<int> errorLines;
    for (const auto& e : file.errors) {
        errorLines.push_back(e.line);
        EXPECT_FALSE(e.text.empty());
    }
    EXPECT_EQ(errorLines, (std::vector<int>{5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(file.errors[7].text, "mvs.example.com:992 is listed already in line 3");
    EXPECT_EQ(firstTrustFileError(file), "line 5: no port after the host name");
    EXPECT_EQ(file.find("mvs.example.com:992"), print(1)) << "the first entry wins";
    EXPECT_EQ(file.find("mvs.example.com:993"), std::nullopt);
    EXPECT_EQ(firstTrustFileError(parseTrustFile("# nothing\n\n")), "");
}

TEST(TrustFileEdit, AddsOrReplacesOneEntryAndKeepsEveryOtherLine) {
    const std::string a = "a.example:992 " + print(1);
    const std::string b = "b.example:992 " + print(2);
    struct Case {
        const char* name;
        std::string before;
        std::string key;
        std::string after;
    };
    const Case cases[] = {
        {"appended, comments and blank lines kept", "# mine\n" + a + "\n\n# end\n", "c.example:23",
         "# mine\n" + a + "\n\n# end\nc.example:23 " + print(9) + "\n"},
        {"a last line without its newline", a, "c.example:23",
         a + "\nc.example:23 " + print(9) + "\n"},
        {"replaced in place", "# x\n" + a + "\n" + b + "\n", "a.example:992",
         "# x\na.example:992 " + print(9) + "\n" + b + "\n"},
        {"replaced, CRLF kept", a + "\r\n" + b + "\r\n", "b.example:992",
         a + "\r\nb.example:992 " + print(9) + "\r\n"},
        {"replaced in a last line without its newline", "# x\n" + a, "a.example:992",
         "# x\na.example:992 " + print(9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto after = trustFileWithEntry(c.before, c.key, print(9), error);
        ASSERT_TRUE(after) << error;
        EXPECT_EQ(*after, c.after);
        // What was there is still there, and the new entry reads back.
        const TrustFile file = parseTrustFile(*after);
        EXPECT_TRUE(file.errors.empty());
        EXPECT_EQ(file.find(c.key), print(9));
    }
}

TEST(TrustFileEdit, ANewFileGetsItsHeaderAndAMalformedOneIsNotRewritten) {
    std::string error;
    for (const std::string empty : {"", "\n\n", " \r\n"}) {
        const auto created = trustFileWithEntry(empty, "h:1", print(7), error);
        ASSERT_TRUE(created);
        EXPECT_EQ(created->front(), '#');
        const TrustFile file = parseTrustFile(*created);
        EXPECT_TRUE(file.errors.empty());
        ASSERT_EQ(file.entries.size(), 1u);
        EXPECT_EQ(file.entries[0].fingerprint, print(7));
    }
    const auto refused = trustFileWithEntry("# ok\nh:1 zz\n", "h:2", print(7), error);
    EXPECT_FALSE(refused);
    EXPECT_EQ(error, "line 2: the fingerprint is not 32 hex pairs separated by colons");
}

TEST(PinMismatchMessage, NamesTheHostBothFingerprintsAndTheFile) {
    const std::string m = pinMismatchMessage("h:992", print(1), print(2), "/x/trusted-hosts.txt");
    EXPECT_NE(m.find("h:992"), std::string::npos);
    EXPECT_NE(m.find("Trusted SHA-256 fingerprint:\n" + print(1)), std::string::npos);
    EXPECT_NE(m.find("Presented SHA-256 fingerprint:\n" + print(2)), std::string::npos);
    EXPECT_NE(m.find("/x/trusted-hosts.txt"), std::string::npos);
    EXPECT_NE(pinMismatchMessage("h:1", print(1), "", "f").find("(no certificate)"),
              std::string::npos);
}

}  // namespace
}  // namespace cedar
