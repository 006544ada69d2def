#include "test_certs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"

extern char** environ;

namespace cedar::test {

namespace {

using Clock = std::chrono::steady_clock;

// Every openssl run ends after this long at the latest.
constexpr auto kRunLimit = std::chrono::seconds(20);

// Runs `openssl args...` with its output appended to `outputFile` (or
// dropped). Its exit status, or -1 when it could not be started or had to
// be killed.
int runOpenssl(const std::vector<std::string>& args, const std::string& outputFile) {
    std::vector<std::string> argv = {"openssl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, kRunLimit, outputFile);
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool TestCertificates::opensslAvailable() {
    static const bool found = runOpenssl({"version"}, "") == 0;
    return found;
}

TestCertificates::~TestCertificates() {
    remove();
}

void TestCertificates::remove() {
    if (dir.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    dir.clear();
}

bool TestCertificates::openssl(const std::vector<std::string>& args, std::string& error) {
    const std::string log = dir + "/openssl.log";
    std::error_code ignored;
    std::filesystem::remove(log, ignored);
    if (runOpenssl(args, log) == 0) return true;
    std::string command = "openssl";
    for (const auto& a : args)
        command += " " + a;
    error = "'" + command + "' failed: " + readText(log);
    return false;
}

bool TestCertificates::make(std::string& error) {
    if (!opensslAvailable()) {
        error = "the openssl command is not available";
        return false;
    }
    remove();
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/cedar-certs-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a temporary folder";
        return false;
    }
    dir = pattern;
    const auto path = [&](const char* name) { return dir + "/" + name; };
    caCert = path("ca.pem");
    caKey = path("ca.key");
    leafKey = path("leaf.key");
    leafCert = path("leaf.pem");
    localhostOnlyCert = path("localhost-only.pem");
    selfSignedCert = path("self-signed.pem");
    std::ofstream(path("leaf.ext")) << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    std::ofstream(path("localhost-only.ext")) << "subjectAltName=DNS:localhost\n";

    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
    auto with = [&](std::vector<std::string> args, std::size_t at) {
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(at), newKey.begin(), newKey.end());
        return args;
    };
    auto sign = [&](const std::string& extensions, const std::string& serial,
                    const std::string& out) {
        return openssl({"x509", "-req", "-in", path("leaf.csr"), "-CA", caCert, "-CAkey", caKey,
                        "-set_serial", serial, "-days", "2", "-extfile", extensions, "-out", out},
                       error);
    };
    return openssl(with({"req", "-x509", "-keyout", caKey, "-out", caCert, "-subj",
                         "/CN=Cedar Test Root CA", "-days", "2", "-addext",
                         "basicConstraints=critical,CA:TRUE", "-addext",
                         "keyUsage=critical,keyCertSign,cRLSign"},
                        2),
                   error) &&
           openssl(
               with({"req", "-keyout", leafKey, "-out", path("leaf.csr"), "-subj", "/CN=localhost"},
                    1),
               error) &&
           sign(path("leaf.ext"), "2", leafCert) &&
           sign(path("localhost-only.ext"), "3", localhostOnlyCert) &&
           openssl(
               {"req", "-x509", "-key", leafKey, "-out", selfSignedCert, "-subj", "/CN=localhost",
                "-days", "2", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"},
               error);
}

}  // namespace cedar::test
