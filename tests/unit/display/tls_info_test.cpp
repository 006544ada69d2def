#include "display/tls_info.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cedar::display {
namespace {

TEST(TlsInfo, NameAttributesInBothForms) {
    struct Case {
        const char* name;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"/C=US/ST=Ohio/L=Dayton/O=Example Corp/OU=Systems/CN=mvs.example", "O", "Example Corp"},
        {"/C=US/ST=Ohio/L=Dayton/O=Example Corp/OU=Systems/CN=mvs.example", "CN", "mvs.example"},
        {"/C=US/ST=Ohio/L=Dayton/O=Example Corp/OU=Systems/CN=mvs.example", "ST", "Ohio"},
        {"/C=US/O=Example", "OU", std::nullopt},
        {"CN=mvs.example,OU=Systems,O=Example Corp,L=Dayton,ST=Ohio,C=US", "O", "Example Corp"},
        {"CN=mvs.example,OU=Systems,O=Example Corp,L=Dayton,ST=Ohio,C=US", "C", "US"},
        {"CN=mvs.example,OU=Systems,O=Example Corp,L=Dayton,ST=Ohio,C=US", "L", "Dayton"},
        // Escapes, quoting and multi-valued parts.
        {"CN=host,O=Example\\, Inc.,C=DE", "O", "Example, Inc."},
        {"CN=a\\2Bb,O=x", "CN", "a+b"},
        {"O=\"Quoted, Name\",C=FR", "O", "Quoted, Name"},
        {"CN=host+OU=Unit,O=Org", "OU", "Unit"},
        {"cn=lower,o=case", "O", "case"},
        // "OU" is not "O"; a missing key or broken name gives nothing.
        {"OU=Unit,CN=host", "O", std::nullopt},
        {"", "O", std::nullopt},
        {"garbage without equals", "O", std::nullopt},
        {"CN=trailing\\", "CN", "trailing\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameAttribute(c.name, c.key), c.expected) << c.name << " " << c.key;
}

TEST(TlsInfo, CertificateTimesWithFourDigitYears) {
    struct Case {
        const char* asn1;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"250102030405Z", "2025-01-02 03:04:05"},
        {"491231235959Z", "2049-12-31 23:59:59"},
        {"500101000000Z", "1950-01-01 00:00:00"},
        {"991231235959Z", "1999-12-31 23:59:59"},
        {"20500101120000Z", "2050-01-01 12:00:00"},
        {"19991231235959Z", "1999-12-31 23:59:59"},
        {"21060207062815Z", "2106-02-07 06:28:15"},
        {"2501020304Z", std::nullopt},
        {"250102030405", std::nullopt},
        {"25010203040aZ", std::nullopt},
        {"251302030405Z", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(certificateTime(c.asn1), c.expected) << c.asn1;
    EXPECT_EQ(validityText("250102030405Z", "20350102030405Z"),
              "From 2025-01-02 03:04:05 to 2035-01-02 03:04:05");
    EXPECT_EQ(validityText("250102030405Z", ""), "unknown");
}

TlsInformation liveLike() {
    TlsInformation info;
    info.libraryVersion = "OpenSSL 3.0.2 15 Mar 2022";
    info.connection.tls = true;
    info.connection.peerAddress = "127.0.0.1";
    info.connection.tlsProtocol = "TLSv1.3";
    info.connection.tlsCipher = "TLS_AES_256_GCM_SHA384";
    info.connection.tlsCipherBits = 256;
    info.connection.peerSubject = "CN=localhost,OU=Test,O=Cedar Tests,L=Springfield,ST=Oregon,C=US";
    info.connection.peerIssuer = "CN=Test CA,O=Cedar CA";
    info.notBefore = "260101000000Z";
    info.notAfter = "20360101000000Z";
    info.port = 9923;
    info.security.caCert = "ca.pem";
    info.security.validateHostCert = true;
    return info;
}

TEST(TlsInfo, FieldsFillWhatIsKnownAndSayUnknownElsewhere) {
    const auto fields = tlsInformationFields(liveLike());
    ASSERT_EQ(fields.size(), 19u);
    const std::pair<const char*, const char*> expected[] = {
        {"OpenSSL Version:", "OpenSSL 3.0.2 15 Mar 2022"},
        {"Encryption:", "TLS_AES_256_GCM_SHA384 - 256 bits"},
        {"Protocol:", "TLSv1.3"},
        {"Issued By:", "Cedar CA"},
        {"Organization:", "Cedar Tests"},
        {"Distinguished Name:", "unknown"},
        {"Department:", "Test"},
        {"Country:", "US"},
        {"State/Province:", "Oregon"},
        {"City:", "Springfield"},
        {"Domain:", "localhost"},
        {"Valid:", "From 2026-01-01 00:00:00 to 2036-01-01 00:00:00"},
        {"Host IP Address:", "127.0.0.1"},
        {"Port Number:", "9923"},
        {"CA Certificate File:", "ca.pem"},
        {"Client Certificate File:", "unknown"},
        {"Client Key File:", "unknown"},
        {"Validate Host Certificate:", "Yes"},
        {"Certificate Domain:", "Does not need to match host name"},
    };
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].label, expected[i].first);
        EXPECT_EQ(fields[i].value, expected[i].second) << expected[i].first;
    }
    // Nothing known at all: every text says so.
    for (const auto& f : tlsInformationFields(TlsInformation{})) {
        if (f.label != "Port Number:" && f.label != "Validate Host Certificate:" &&
            f.label != "Certificate Domain:") {
            EXPECT_EQ(f.value, "unknown") << f.label;
        }
    }
}

TEST(TlsInfo, ClipboardTextHasAlignedCrLfLines) {
    const std::string text = tlsInformationText(liveLike());
    const std::string expectedStart =
        "OpenSSL Version:         OpenSSL 3.0.2 15 Mar 2022\r\n"
        "Encryption:              TLS_AES_256_GCM_SHA384 - 256 bits\r\n"
        "Protocol:                TLSv1.3\r\n";
    EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(text.find("\r\nPort Number:             9923\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nSelf-Signed Certificate: Yes\r\n"), std::string::npos);
    const std::string last = "Certificate Domain:      Does not need to match host name\r\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    std::size_t lines = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_EQ(text[i - 1], '\r');
        }
        lines += text[i] == '\r' && text[i + 1] == '\n';
    }
    EXPECT_EQ(lines, 19u);
}

}  // namespace
}  // namespace cedar::display
