// Trusting a host certificate once, with cedar_headless against the loopback
// test host behind stunnel, with certificates made for the run: a
// self-signed certificate fails and shows its details; trusted, it connects
// at once and again without a question; another certificate for a trusted
// host and port is refused naming both fingerprints; the trust file keeps
// every other line; a malformed trust file gives a clear message.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "headless_process.h"
#include "oracles.h"
#include "record_builder.h"
#include "replay_host.h"
#include "stunnel.h"
#include "test_certs.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// What `openssl x509 -noout OPTIONS` says of `pem` after "NAME=", e.g. the
// fingerprint or the validity dates: an oracle independent of our code.
std::string opensslField(const std::string& pem, const std::string& options,
                         const std::string& name) {
    const std::string command = "openssl x509 -in '" + pem + "' -noout " + options + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        out += buffer;
    ::pclose(pipe);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + "=", 0) == 0) return line.substr(name.size() + 1);
    return {};
}

class CertificatePinning : public ::testing::Test {
  protected:
    enum Service { kSelfSigned, kCaSigned };

    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(test::Stunnel::available(), "stunnel (stunnel4)");
        CEDAR_REQUIRE_ORACLE(test::TestCertificates::opensslAvailable(), "the openssl command");
        std::string error;
        ASSERT_TRUE(certs_.make(error)) << error;
        ASSERT_TRUE(host_.start()) << host_.error();
        // The CA-signed certificate fails here too: no CA file is given.
        ASSERT_TRUE(stunnel_.start({{certs_.selfSignedCert, certs_.leafKey, host_.port()},
                                    {certs_.leafCert, certs_.leafKey, host_.port()}},
                                   error))
            << error;
        char tmpl[] = "/tmp/cedar-pinning-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        certsDir_ = home_ + "/Documents/Larkfield/CedarTN3270/certs";
        fs::create_directories(certsDir_);
        trustFile_ = certsDir_ + "/trusted-hosts.txt";
        selfSignedPrint_ =
            opensslField(certs_.selfSignedCert, "-fingerprint -sha256", "sha256 Fingerprint");
        caSignedPrint_ =
            opensslField(certs_.leafCert, "-fingerprint -sha256", "sha256 Fingerprint");
        ASSERT_EQ(selfSignedPrint_.size(), 95u);
        ASSERT_EQ(caSignedPrint_.size(), 95u);
    }
    void TearDown() override {
        if (!home_.empty()) fs::remove_all(home_);
    }

    std::string key(Service s) const { return "localhost:" + std::to_string(stunnel_.port(s)); }

    std::unique_ptr<test::HeadlessProcess> program(Service s, bool trust) {
        auto p = std::make_unique<test::HeadlessProcess>(CEDAR_HEADLESS, home_);
        std::vector<std::string> args = {"--tls", "1", "--no-tn3270e", "--connect-timeout", "10"};
        if (trust) args.push_back("--trust-certificates");
        args.push_back(key(s));
        EXPECT_TRUE(p->start(args)) << p->failure();
        return p;
    }

    void writeTrustFile(const std::string& text) { std::ofstream(trustFile_) << text; }
    std::string trustFile() const {
        std::ifstream f(trustFile_);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    test::TestCertificates certs_;
    test::ReplayHost host_{{.records = {test::loopbackFirstScreen()}}};
    test::Stunnel stunnel_;
    std::string home_;
    std::string certsDir_;
    std::string trustFile_;
    std::string selfSignedPrint_;
    std::string caSignedPrint_;
};

TEST_F(CertificatePinning, TrustedOnceThenConnectsWithoutAskingAndAChangedCertificateIsRefused) {
    const std::string others =
        "# kept by hand\n"
        "mvs.example.com:992 " +
        caSignedPrint_ + "\n\n# the end\n";
    writeTrustFile(others);

    // Not trusted: the usual failure, with what the user would be shown.
    {
        auto p = program(kSelfSigned, false);
        const auto a = p->command("connect");
        EXPECT_FALSE(a.ok);
        EXPECT_EQ(a.error,
                  "Cedar TN3270 Connection Error 6: Encryption Error, Host certificate failed "
                  "verification");
        const auto iso = [&](const char* field) {
            std::string t = opensslField(certs_.selfSignedCert,
                                         "-startdate -enddate -dateopt "
                                         "iso_8601",
                                         field);
            return t.empty() ? t : t.substr(0, t.size() - 1) + " UTC";  // "...Z"
        };
        const std::vector<std::string> expected = {
            "certificate Subject: CN=localhost",
            "certificate Issuer: CN=localhost",
            "certificate Alternative names: DNS:localhost, IP:127.0.0.1",
            "certificate Valid from: " + iso("notBefore"),
            "certificate Valid until: " + iso("notAfter"),
            "certificate SHA-256 fingerprint: " + selfSignedPrint_,
        };
        EXPECT_EQ(a.lines, expected);
        EXPECT_EQ(p->stop(), 0) << p->diagnostics();
        EXPECT_EQ(trustFile(), others);
    }

    // Trusted: kept beside the other entries, and connected at once.
    {
        auto p = program(kSelfSigned, true);
        const auto a = p->command("connect");
        ASSERT_TRUE(a.ok) << a.error << "\n" << p->diagnostics() << stunnel_.log();
        EXPECT_TRUE(has(a.lines, "trusted " + key(kSelfSigned) + " " + selfSignedPrint_));
        const auto wait = p->command("wait unlock 10");
        EXPECT_TRUE(wait.ok) << wait.error;
        const auto screen = p->command("screen");
        ASSERT_FALSE(screen.lines.empty()) << screen.error;
        EXPECT_TRUE(contains(screen.lines[0], std::string(test::kLoopbackTitle)));
        EXPECT_EQ(p->stop(), 0) << p->diagnostics();
        EXPECT_EQ(trustFile(), others + key(kSelfSigned) + " " + selfSignedPrint_ + "\n");
    }

    // From now on: no question, no certificate lines.
    {
        auto p = program(kSelfSigned, false);
        const auto a = p->command("connect");
        EXPECT_TRUE(a.ok) << a.error;
        EXPECT_EQ(a.lines, std::vector<std::string>{});
        const auto status = p->command("status");
        EXPECT_TRUE(has(status.lines, "connected yes"));
        EXPECT_EQ(p->stop(), 0) << p->diagnostics();
    }

    // The other service's port as if the self-signed certificate had been
    // trusted there: the certificate it presents now is another one, refused
    // even when the program would trust any certificate it is asked about.
    const std::string pinned = trustFile() + key(kCaSigned) + " " + selfSignedPrint_ + "\n";
    writeTrustFile(pinned);
    {
        auto p = program(kCaSigned, true);
        const auto a = p->command("connect");
        EXPECT_FALSE(a.ok);
        EXPECT_EQ(a.lines, std::vector<std::string>{}) << "no question";
        EXPECT_TRUE(contains(a.error, "Cedar TN3270 Connection Error 6: The certificate of " +
                                          key(kCaSigned) + " is not the one trusted for it."))
            << a.error;
        EXPECT_TRUE(contains(a.error, "Trusted SHA-256 fingerprint: " + selfSignedPrint_))
            << a.error;
        EXPECT_TRUE(contains(a.error, "Presented SHA-256 fingerprint: " + caSignedPrint_))
            << a.error;
        EXPECT_TRUE(contains(a.error, trustFile_)) << a.error;
        EXPECT_EQ(p->stop(), 0) << p->diagnostics();
    }
    EXPECT_EQ(trustFile(), pinned);
}

TEST_F(CertificatePinning, AMalformedTrustFileIsNamedAndLeftAsItWas) {
    const std::string broken = "# trusted hosts\nmvs.example.com:992 " + caSignedPrint_ + "\n" +
                               key(kSelfSigned) + " not-a-fingerprint\n";
    writeTrustFile(broken);
    auto p = program(kSelfSigned, true);
    const auto a = p->command("connect");
    EXPECT_FALSE(a.ok);
    EXPECT_TRUE(has(a.lines, "certificate SHA-256 fingerprint: " + selfSignedPrint_));
    EXPECT_FALSE(has(a.lines, "trusted " + key(kSelfSigned) + " " + selfSignedPrint_));
    EXPECT_TRUE(contains(a.error, "Cedar TN3270 Connection Error 6: The certificate of " +
                                      key(kSelfSigned) + " could not be trusted: " + trustFile_ +
                                      ", line 3: "))
        << a.error;
    EXPECT_TRUE(contains(a.error, "Correct or delete that line")) << a.error;
    // The session goes on: not connected, and another command is answered.
    const auto status = p->command("status");
    EXPECT_TRUE(status.ok) << status.error;
    EXPECT_TRUE(has(status.lines, "connected no"));
    EXPECT_EQ(p->stop(), 0) << p->diagnostics();
    EXPECT_EQ(trustFile(), broken);
}

}  // namespace
}  // namespace cedar
