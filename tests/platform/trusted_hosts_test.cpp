// The trusted-hosts file on disk (writers that run at once lose no entry, a
// file that cannot be used is left alone and named) and the certificate
// check that consults it, through TcpConnector against `openssl s_server`
// with the run's certificates.
#include "platform/trusted_hosts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "oracles.h"
#include "platform/tcp_connection.h"
#include "test_servers.h"

namespace cedar::test {
namespace {

namespace fs = std::filesystem;
using platform::loadTrustFile;
using platform::TrustedHostsFile;
using platform::trustFilePath;

std::string readText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// The SHA-256 fingerprint of `pem` as the openssl command prints it.
std::string opensslFingerprint(const std::string& pem, const std::string& dir) {
    const std::string out = dir + "/fingerprint.txt";
    if (!runOpenssl({"x509", "-in", pem, "-noout", "-fingerprint", "-sha256", "-out", out}))
        return {};
    std::string text = readText(out);
    const auto equals = text.find('=');
    if (equals == std::string::npos) return {};
    text = text.substr(equals + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string print(int n) {
    std::string p;
    for (int i = 0; i < 32; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%s%02X", i ? ":" : "", (n + i) & 0xFF);
        p += pair;
    }
    return p;
}

// `openssl s_server` arguments presenting `cert`, with the intermediate as
// its chain when the intermediate signed it.
std::vector<std::string> serving(const std::string& cert) {
    const auto& c = certificates();
    std::vector<std::string> args = {"-cert", cert, "-key", c.leafKey};
    if (cert != c.selfSignedCert && cert != c.rogueLeafCert) {
        args.push_back("-cert_chain");
        args.push_back(c.intermediateCert);
    }
    return args;
}

CertificateDetails details(const std::string& host, std::uint16_t port, const std::string& fp) {
    CertificateDetails d;
    d.host = host;
    d.port = port;
    d.fingerprint = fp;
    return d;
}

class TrustedHosts : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-trusted-hosts-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        path_ = trustFilePath(dir_ + "/certs");  // the folder is made on the first write
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string dir_;
    std::string path_;
};

TEST_F(TrustedHosts, WritersAtTheSameTimeLoseNoEntryAndKeepTheUsersLines) {
    fs::create_directories(dir_ + "/certs");
    const std::string mine = "# my own notes\nkept.example:992 " + print(200) + "\n";
    std::ofstream(path_) << mine;

    constexpr int kWriters = 4;
    constexpr int kEach = 20;
    std::vector<std::thread> writers;
    std::vector<std::string> failures(kWriters);
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            TrustedHostsFile file(path_);  // each its own, as each session has
            for (int i = 0; i < kEach; ++i) {
                const auto error = file.trust(details(
                    "h" + std::to_string(w) + "-" + std::to_string(i) + ".example", 992, print(i)));
                if (!error.empty()) failures[w] = error;
            }
        });
    }
    for (auto& t : writers)
        t.join();
    for (const auto& f : failures)
        EXPECT_EQ(f, "");

    const std::string text = readText(path_);
    EXPECT_EQ(text.rfind(mine, 0), 0u) << "the user's lines come first, unchanged";
    const TrustFile file = loadTrustFile(path_);
    EXPECT_TRUE(file.errors.empty()) << firstTrustFileError(file);
    EXPECT_EQ(file.entries.size(), std::size_t{kWriters * kEach + 1});
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(file.find("h" + std::to_string(w) + "-" + std::to_string(i) + ".example:992"),
                      print(i));

    // Trusting another certificate for a listed host replaces its line.
    TrustedHostsFile again(path_);
    EXPECT_EQ(again.trust(details("KEPT.example", 992, print(7))), "");
    const TrustFile after = loadTrustFile(path_);
    EXPECT_EQ(after.entries.size(), file.entries.size());
    EXPECT_EQ(after.find("kept.example:992"), print(7));
}

TEST_F(TrustedHosts, AFileThatCannotBeUsedIsNamedAndLeftAsItWas) {
    TrustedHostsFile store(path_);
    EXPECT_TRUE(loadTrustFile(path_).entries.empty()) << "no file: nothing trusted";
    EXPECT_TRUE(loadTrustFile(path_).errors.empty());

    const struct {
        const char* name;
        std::string text;
        std::string says;
    } cases[] = {
        {"malformed", "# ok\nbroken line here\n", path_ + ", line 2: "},
        {"too large", std::string(kMaxTrustFileSize + 1, '#'), "larger than 1 MiB"},
    };
    fs::create_directories(dir_ + "/certs");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << c.text;
        const std::string error = store.trust(details("h.example", 23, print(1)));
        EXPECT_NE(error.find("The certificate of h.example:23 could not be trusted: "),
                  std::string::npos)
            << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(readText(path_), c.text);
        EXPECT_FALSE(loadTrustFile(path_).errors.empty());
    }
    EXPECT_NE(store.trust(details("h.example", 23, "")), "") << "nothing to trust";
}

// --- The check after the handshake -------------------------------------------

class PinnedConnection : public ::testing::Test {
  protected:
    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(haveOpensslCommand(), "the openssl command");
        ASSERT_TRUE(certificates().ok) << "could not make the test certificates";
        char tmpl[] = "/tmp/cedar-pinned-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        trustFile_ = dir_ + "/trusted-hosts.txt";
    }
    void TearDown() override {
        connection_.reset();
        fs::remove_all(dir_);
    }

    std::string fingerprint(const std::string& pem) { return opensslFingerprint(pem, dir_); }

    // Connects to a server presenting `cert` and returns the first event.
    std::string connect(const std::string& cert, const std::string& host, bool withTrustFile,
                        const std::string& caFile = "") {
        OpensslServer server(serving(cert));
        if (!server.ok()) return "server did not start: " + server.output();
        ConnectionOptions options;
        options.host = host;
        options.port = server.port();
        options.encryption = Encryption::Highest;
        options.caFile = caFile;
        options.trustFile = withTrustFile ? trustFile_ : "";
        port_ = server.port();
        events_ = RecordingEvents();
        connection_ = connector_.connect(options, events_, loop_);
        if (!loop_.runUntil([&] { return events_.settled(); }, kWait)) return "no event";
        loop_.drain();
        connection_.reset();
        return events_.log.front();
    }

    CountingLoop loop_;
    RecordingEvents events_;
    TcpConnector connector_;
    std::unique_ptr<Connection> connection_;
    std::string dir_;
    std::string trustFile_;
    std::uint16_t port_ = 0;
};

TEST_F(PinnedConnection, AFailingCertificateComesWithItsDetailsWhenItCanBeTrusted) {
    const auto& c = certificates();
    const std::string selfSigned = fingerprint(c.selfSignedCert);
    ASSERT_EQ(selfSigned.size(), 95u);

    EXPECT_EQ(connect(c.selfSignedCert, "localhost", true),
              "certificateFailed: Encryption Error, Host certificate failed verification");
    ASSERT_TRUE(events_.certificate);
    const CertificateDetails& d = *events_.certificate;
    EXPECT_EQ(d.host, "localhost");
    EXPECT_EQ(d.port, port_);
    EXPECT_EQ(d.fingerprint, selfSigned);
    EXPECT_EQ(d.subject, "CN=localhost");
    EXPECT_EQ(d.subjectAltNames, (std::vector<std::string>{"DNS:localhost", "IP:127.0.0.1"}));
    EXPECT_EQ(d.problem, "Encryption Error, Host certificate failed verification");
    EXPECT_EQ(d.notBefore.size(), std::string("2026-12-10 18:00:00 UTC").size()) << d.notBefore;

    // A name that does not match, with a chain that verifies.
    EXPECT_EQ(connect(c.wrongNameCert, "localhost", true, c.caCert),
              "certificateFailed: Certificate host name wrong.example does not match\n"
              "connection host name localhost");
    ASSERT_TRUE(events_.certificate);
    EXPECT_EQ(events_.certificate->fingerprint, fingerprint(c.wrongNameCert));
    EXPECT_EQ(events_.certificate->issuer.find("CN="), 0u);

    // Without a trust file there is nowhere to keep a trust: as before.
    EXPECT_EQ(connect(c.selfSignedCert, "localhost", false),
              "tlsFailed: Encryption Error, Host certificate failed verification");
    EXPECT_FALSE(events_.certificate);
}

TEST_F(PinnedConnection, APinnedHostConnectsWithItsCertificateAndRefusesAnyOther) {
    const auto& c = certificates();
    struct Case {
        const char* name;
        std::string served;
        std::string pinned;  // the certificate whose fingerprint is trusted
        std::string caFile;
        bool up;
    };
    const Case cases[] = {
        {"self-signed, trusted", c.selfSignedCert, c.selfSignedCert, "", true},
        {"another host's name, trusted", c.wrongNameCert, c.wrongNameCert, "", true},
        {"expired, trusted", c.expiredCert, c.expiredCert, "", true},
        {"another self-signed one", c.rogueLeafCert, c.selfSignedCert, "", false},
        // Strict: a certificate that would verify is still not the trusted one.
        {"a verifying one", c.leafCert, c.selfSignedCert, c.caCert, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        // The port is the server's, known once it listens: pin from the event.
        OpensslServer server(serving(k.served));
        ASSERT_TRUE(server.ok()) << server.output();
        const std::string key = "localhost:" + std::to_string(server.port());
        const std::string trusted = fingerprint(k.pinned);
        std::ofstream(trustFile_, std::ios::trunc)
            << "# test\nother.example:992 " << print(3) << "\n"
            << key << " " << trusted << "\n";
        ConnectionOptions options;
        options.host = "localhost";
        options.port = server.port();
        options.encryption = Encryption::Highest;
        options.caFile = k.caFile;
        options.trustFile = trustFile_;
        events_ = RecordingEvents();
        connection_ = connector_.connect(options, events_, loop_);
        ASSERT_TRUE(loop_.runUntil([&] { return events_.settled(); }, kWait));
        loop_.drain();
        if (k.up) {
            EXPECT_EQ(events_.log.front(), "up");
        } else {
            EXPECT_EQ(events_.log.front(),
                      "tlsFailed: " +
                          pinMismatchMessage(key, trusted, fingerprint(k.served), trustFile_));
            EXPECT_FALSE(events_.certificate) << "no offer to trust it";
        }
        connection_.reset();
    }
}

TEST_F(PinnedConnection, AMalformedTrustFileIsNamedInTheFailure) {
    std::ofstream(trustFile_) << "# test\nlocalhost:1 not-a-fingerprint\n";
    const std::string first = connect(certificates().selfSignedCert, "localhost", true);
    EXPECT_EQ(first,
              "certificateFailed: Encryption Error, Host certificate failed verification\n\n"
              "The trusted certificates file " +
                  trustFile_ +
                  " has an error: line 2: the fingerprint is not 32 hex pairs separated by "
                  "colons");
    EXPECT_TRUE(events_.certificate);
}

}  // namespace
}  // namespace cedar::test
