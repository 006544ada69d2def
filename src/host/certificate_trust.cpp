#include "host/certificate_trust.h"

#include <cstdio>

#include "host/connection.h"

namespace cedar {

namespace {

constexpr std::size_t kDigestBytes = 32;  // SHA-256

constexpr const char* kHeader =
    "# Cedar TN3270: server certificates trusted for one host and port although\n"
    "# they fail the usual verification (self-signed, unknown issuer, another name).\n"
    "# One line per host: HOST:PORT SHA-256-FINGERPRINT. Delete a line to stop\n"
    "# trusting that certificate.\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The canonical form of a written fingerprint, or nothing.
std::optional<std::string> readFingerprint(std::string_view text) {
    if (text.size() != kDigestBytes * 3 - 1) return std::nullopt;
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i % 3 == 2) {
            if (out[i] != ':') return std::nullopt;
        } else {
            if (!isHex(out[i])) return std::nullopt;
            out[i] = upper(out[i]);
        }
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// The lines of `text` without their '\n' (a '\r' before it stays).
std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            out.push_back(text.substr(start));
            break;
        }
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

int digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::string trustKey(std::string_view host, std::uint16_t port) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::string key;
    const bool v6 = host.find(':') != std::string_view::npos;
    if (v6) key += '[';
    for (char c : host)
        key += lower(c);
    if (v6) key += ']';
    return key + ":" + std::to_string(port);
}

std::string fingerprintText(std::span<const std::uint8_t> digest) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        if (i != 0) out += ':';
        out += kHexDigits[digest[i] >> 4];
        out += kHexDigits[digest[i] & 0x0F];
    }
    return out;
}

std::optional<std::string> certificateTimeText(std::string_view raw, bool generalized) {
    const std::size_t yearDigits = generalized ? 4 : 2;
    if (raw.size() != yearDigits + 11 || raw.back() != 'Z') return std::nullopt;
    for (std::size_t i = 0; i + 1 < raw.size(); ++i)
        if (raw[i] < '0' || raw[i] > '9') return std::nullopt;
    int year = digits(raw, 0, yearDigits);
    if (!generalized) year += year >= 50 ? 1900 : 2000;  // RFC 5280 4.1.2.5.1
    const std::size_t at = yearDigits;
    const int month = digits(raw, at, 2);
    const int day = digits(raw, at + 2, 2);
    const int hour = digits(raw, at + 4, 2);
    const int minute = digits(raw, at + 6, 2);
    const int second = digits(raw, at + 8, 2);
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", year, month, day, hour,
                  minute, second);
    return std::string(text);
}

std::string certificateDetailsText(const CertificateDetails& d) {
    std::string names;
    for (const auto& name : d.subjectAltNames)
        names += (names.empty() ? "" : ", ") + name;
    return "Subject: " + d.subject + "\nIssuer: " + d.issuer +
           "\nAlternative names: " + (names.empty() ? std::string("(none)") : names) +
           "\nValid from: " + d.notBefore + "\nValid until: " + d.notAfter +
           "\nSHA-256 fingerprint: " + d.fingerprint + "\n";
}

std::optional<std::string> TrustFile::find(std::string_view key) const {
    for (const auto& e : entries)
        if (e.key == key) return e.fingerprint;
    return std::nullopt;
}

TrustFile parseTrustFile(std::string_view text) {
    TrustFile file;
    int number = 0;
    for (std::string_view raw : lines(text)) {
        ++number;
        const std::string_view line = withoutCr(raw);
        bool control = false;
        for (char c : line)
            control = control || (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        if (control) {
            file.errors.push_back({number, "control characters in the line"});
            continue;
        }
        const auto words = fields(line);
        if (words.empty() || words[0].front() == '#') continue;
        if (words.size() != 2) {
            file.errors.push_back({number, "expected HOST:PORT and a SHA-256 fingerprint"});
            continue;
        }
        HostPort hostPort;
        std::string error;
        if (!parseHostPort(std::string(words[0]), hostPort, error)) {
            file.errors.push_back({number, error});
            continue;
        }
        if (hostPort.port == 0) {
            file.errors.push_back({number, "no port after the host name"});
            continue;
        }
        const auto fingerprint = readFingerprint(words[1]);
        if (!fingerprint) {
            file.errors.push_back(
                {number, "the fingerprint is not 32 hex pairs separated by colons"});
            continue;
        }
        const std::string key = trustKey(hostPort.host, hostPort.port);
        bool listed = false;
        for (const auto& e : file.entries) {
            if (e.key != key) continue;
            file.errors.push_back(
                {number, key + " is listed already in line " + std::to_string(e.line)});
            listed = true;
            break;
        }
        if (!listed) file.entries.push_back({key, *fingerprint, number});
    }
    return file;
}

std::string firstTrustFileError(const TrustFile& file) {
    if (file.errors.empty()) return {};
    const auto& e = file.errors.front();
    return e.line == 0 ? e.text : "line " + std::to_string(e.line) + ": " + e.text;
}

std::optional<std::string> trustFileWithEntry(std::string_view text, const std::string& key,
                                              const std::string& fingerprint, std::string& error) {
    const TrustFile file = parseTrustFile(text);
    if (!file.errors.empty()) {
        error = firstTrustFileError(file);
        return std::nullopt;
    }
    const std::string entry = key + " " + fingerprint;
    int replace = 0;
    for (const auto& e : file.entries)
        if (e.key == key) replace = e.line;
    if (replace == 0) {
        bool empty = true;
        for (char c : text)
            empty = empty && (isBlank(c) || c == '\r' || c == '\n');
        if (empty) return std::string(kHeader) + entry + "\n";
        std::string out(text);
        if (out.back() != '\n') out += '\n';
        return out + entry + "\n";
    }
    std::string out;
    int number = 0;
    for (std::string_view raw : lines(text)) {
        ++number;
        if (number == replace)
            out += entry + (raw.size() != withoutCr(raw).size() ? "\r" : "");
        else
            out += raw;
        out += '\n';
    }
    if (!text.empty() && text.back() != '\n') out.pop_back();
    return out;
}

std::string pinMismatchMessage(const std::string& key, const std::string& trusted,
                               const std::string& presented, const std::string& trustFilePath) {
    return "The certificate of " + key +
           " is not the one trusted for it.\n\nTrusted SHA-256 fingerprint:\n" + trusted +
           "\n\nPresented SHA-256 fingerprint:\n" +
           (presented.empty() ? std::string("(no certificate)") : presented) +
           "\n\nIf the host's certificate was replaced on purpose, delete the line of " + key +
           " from " + trustFilePath + " and connect again.";
}

}  // namespace cedar
