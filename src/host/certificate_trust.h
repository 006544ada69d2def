// Trusting one server certificate for one host and port, when it fails the
// usual verification (self-signed, unknown issuer, another host's name):
// what the user is shown of the certificate, and the text file that keeps
// the trusted SHA-256 fingerprints ("trusted-hosts.txt" in the certificates
// folder). The file's I/O is the platform's; this is its format.
//
// The file holds one line per host and port:
//
//   # comment lines start with "#"
//   mvs.example.com:992 3A:0F:...:C1     (32 bytes of SHA-256, colon-separated hex)
//   [2001:db8::1]:992   ...
//
// Host names compare without regard to case; an IPv6 address is written in
// brackets. Blank lines and comments are kept as they are when an entry is
// added or replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cedar {

// A host certificate as the user is shown it before trusting it.
struct CertificateDetails {
    std::string host;  // as connected to: a name, an IPv4 literal or "[IPv6 literal]"
    std::uint16_t port = 0;
    std::string subject;                       // RFC 2253 text
    std::string issuer;                        // RFC 2253 text
    std::vector<std::string> subjectAltNames;  // "DNS:name", "IP:address", ...
    std::string notBefore;                     // "YYYY-MM-DD HH:MM:SS UTC"
    std::string notAfter;
    std::string fingerprint;  // SHA-256 of the DER form, "AB:CD:..."
    std::string problem;      // why the usual verification refused it
    bool operator==(const CertificateDetails&) const = default;
};

// Where a trusted fingerprint is kept: the platform's file, a fake in tests.
class CertificateTrustStore {
  public:
    virtual ~CertificateTrustStore() = default;
    // Trusts details.fingerprint for details.host and details.port from now
    // on, replacing what that host and port had. "" on success, else the
    // message for the user (nothing was changed then).
    virtual std::string trust(const CertificateDetails& details) = 0;
};

// The name of the file in the certificates folder. Not a ".pem", so the
// certificate lists never show it.
inline constexpr const char* kTrustFileName = "trusted-hosts.txt";
// Files larger than this are refused rather than read.
inline constexpr std::size_t kMaxTrustFileSize = std::size_t{1} << 20;

// "host:port": the host in lower case, an IPv6 literal in brackets (with or
// without them in `host`).
std::string trustKey(std::string_view host, std::uint16_t port);

// A digest as upper-case hex pairs joined by ':'.
std::string fingerprintText(std::span<const std::uint8_t> digest);

// A certificate time (RFC 5280 4.1.2.5) as "YYYY-MM-DD HH:MM:SS UTC".
// `raw` is the content of a UTCTime ("YYMMDDHHMMSSZ"; years 50..99 are 19YY,
// 00..49 20YY) or a GeneralizedTime ("YYYYMMDDHHMMSSZ"). Nothing when it is
// not one of these, or names no real date and time.
std::optional<std::string> certificateTimeText(std::string_view raw, bool generalized);

// The details as lines for a message or a log: "Subject: ...", "Issuer: ...",
// "Alternative names: ...", "Valid from: ...", "Valid until: ...",
// "SHA-256 fingerprint: ...".
std::string certificateDetailsText(const CertificateDetails& details);

struct TrustEntry {
    std::string key;          // trustKey() form
    std::string fingerprint;  // upper-case, colon-separated
    int line = 0;             // 1-based
};

struct TrustFileError {
    int line = 0;  // 1-based; 0 for the file as a whole
    std::string text;
};

struct TrustFile {
    std::vector<TrustEntry> entries;
    std::vector<TrustFileError> errors;  // malformed lines are not entries
    // The fingerprint trusted for `key`, if any.
    std::optional<std::string> find(std::string_view key) const;
};

// Any bytes: never fails as a whole; what it cannot read becomes errors.
TrustFile parseTrustFile(std::string_view text);

// "line N: TEXT" for the first error of `file`, "" when there is none.
std::string firstTrustFileError(const TrustFile& file);

// The file's text with `fingerprint` trusted for `key`: the line of `key`
// replaced, or a line appended (after the header when the file is new);
// every other line as it was. Nothing when `text` has malformed lines, which
// `error` then names (a file the user broke is not rewritten).
std::optional<std::string> trustFileWithEntry(std::string_view text, const std::string& key,
                                              const std::string& fingerprint, std::string& error);

// The refusal of a pinned host presenting another certificate.
std::string pinMismatchMessage(const std::string& key, const std::string& trusted,
                               const std::string& presented, const std::string& trustFilePath);

}  // namespace cedar
