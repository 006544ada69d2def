// Certificates for TLS tests, made at test time with the `openssl` command in
// a temporary folder of their own, which goes with the object. All keys are
// ECDSA P-256 and every certificate is valid for two days.
//
//   test::TestCertificates certs;
//   std::string error;
//   if (!certs.make(error)) GTEST_SKIP() << error;
//   ... certs.caCert, certs.leafCert, certs.leafKey ...
#pragma once

#include <string>
#include <vector>

namespace cedar::test {

class TestCertificates {
  public:
    // Whether the `openssl` command can be run.
    static bool opensslAvailable();

    TestCertificates() = default;
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // Makes the folder and every file below; false, with the reason (and
    // openssl's output) in `error`, when that fails.
    bool make(std::string& error);
    // Removes the folder (also done by the destructor).
    void remove();

    std::string dir;
    std::string caCert;  // a private root CA, "/CN=Cedar Test Root CA"
    std::string caKey;
    std::string leafKey;   // the key of every leaf below
    std::string leafCert;  // by the CA: CN=localhost, subjectAltName DNS:localhost, IP:127.0.0.1
    std::string localhostOnlyCert;  // by the CA: CN=localhost, subjectAltName DNS:localhost only
    std::string selfSignedCert;     // itself the issuer: CN=localhost, DNS:localhost, IP:127.0.0.1

  private:
    bool openssl(const std::vector<std::string>& args, std::string& error);
};

}  // namespace cedar::test
