#include "display/tls_info.h"

#include <algorithm>
#include <array>

namespace cedar::display {

namespace {

std::string orUnknown(std::string value) {
    return value.empty() ? std::string(kUnknown) : value;
}

std::string attributeOr(std::string_view name, std::string_view key) {
    return orUnknown(nameAttribute(name, key).value_or(""));
}

bool allDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return !s.empty();
}

int twoDigits(std::string_view s, std::size_t at) {
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

std::optional<std::string> oneLineAttribute(std::string_view name, std::string_view key) {
    const std::string marker = "/" + std::string(key) + "=";
    const auto at = name.find(marker);
    if (at == std::string_view::npos) return std::nullopt;
    const auto start = at + marker.size();
    const auto end = name.find('/', start);
    return std::string(name.substr(start, end == std::string_view::npos ? end : end - start));
}

std::optional<std::string> rfc2253Attribute(std::string_view name, std::string_view key) {
    std::size_t i = 0;
    while (i < name.size()) {
        // One attribute: type "=" value, up to an unescaped "," or "+".
        while (i < name.size() && name[i] == ' ')
            ++i;
        const auto eq = name.find('=', i);
        if (eq == std::string_view::npos) return std::nullopt;
        const std::string_view type = name.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        bool quoted = false;
        for (; i < name.size(); ++i) {
            const char c = name[i];
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && (c == ',' || c == '+')) break;
            if (c == '\\' && i + 1 < name.size()) {
                const int hi = hexValue(name[i + 1]);
                const int lo = i + 2 < name.size() ? hexValue(name[i + 2]) : -1;
                if (hi >= 0 && lo >= 0) {
                    value += static_cast<char>(hi * 16 + lo);
                    i += 2;
                } else {
                    value += name[++i];
                }
                continue;
            }
            value += c;
        }
        if (sameKey(type, key)) return value;
        ++i;  // past the separator
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> nameAttribute(std::string_view name, std::string_view key) {
    if (key.empty()) return std::nullopt;
    if (!name.empty() && name.front() == '/') return oneLineAttribute(name, key);
    return rfc2253Attribute(name, key);
}

std::optional<std::string> certificateTime(std::string_view t) {
    if (t.size() != 13 && t.size() != 15) return std::nullopt;
    if (t.back() != 'Z' || !allDigits(t.substr(0, t.size() - 1))) return std::nullopt;
    int year = 0;
    std::size_t at = 0;
    if (t.size() == 13) {
        const int yy = twoDigits(t, 0);
        year = yy >= 50 ? 1900 + yy : 2000 + yy;
        at = 2;
    } else {
        year = twoDigits(t, 0) * 100 + twoDigits(t, 2);
        at = 4;
    }
    const int month = twoDigits(t, at), day = twoDigits(t, at + 2);
    const int hour = twoDigits(t, at + 4), minute = twoDigits(t, at + 6),
              second = twoDigits(t, at + 8);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::array<char, 32> out{};
    const auto two = [](char* p, int v) {
        p[0] = static_cast<char>('0' + v / 10);
        p[1] = static_cast<char>('0' + v % 10);
    };
    two(out.data(), year / 100);
    two(out.data() + 2, year % 100);
    out[4] = '-';
    two(out.data() + 5, month);
    out[7] = '-';
    two(out.data() + 8, day);
    out[10] = ' ';
    two(out.data() + 11, hour);
    out[13] = ':';
    two(out.data() + 14, minute);
    out[16] = ':';
    two(out.data() + 17, second);
    return std::string(out.data(), 19);
}

std::string validityText(std::string_view notBefore, std::string_view notAfter) {
    const auto from = certificateTime(notBefore);
    const auto to = certificateTime(notAfter);
    if (!from || !to) return std::string(kUnknown);
    return "From " + *from + " to " + *to;
}

std::vector<TlsField> tlsInformationFields(const TlsInformation& info) {
    const ConnectionInfo& c = info.connection;
    const std::string& subject = c.peerSubject;
    std::string encryption(kUnknown);
    if (!c.tlsCipher.empty())
        encryption = c.tlsCipher + " - " + std::to_string(c.tlsCipherBits) + " bits";
    return {
        {"OpenSSL Version:", orUnknown(info.libraryVersion)},
        {"Encryption:", encryption},
        {"Protocol:", orUnknown(c.tlsProtocol)},
        {"Issued By:", attributeOr(c.peerIssuer, "O")},
        {"Organization:", attributeOr(subject, "O")},
        {"Distinguished Name:", attributeOr(subject, "DN")},
        {"Department:", attributeOr(subject, "OU")},
        {"Country:", attributeOr(subject, "C")},
        {"State/Province:", attributeOr(subject, "ST")},
        {"City:", attributeOr(subject, "L")},
        {"Domain:", attributeOr(subject, "CN")},
        {"Valid:", validityText(info.notBefore, info.notAfter)},
        {"Host IP Address:", orUnknown(c.peerAddress)},
        {"Port Number:", std::to_string(info.port)},
        {"CA Certificate File:", orUnknown(info.security.caCert)},
        {"Client Certificate File:", orUnknown(info.security.clientCert)},
        {"Client Key File:", orUnknown(info.security.clientKey)},
        {"Validate Host Certificate:", info.security.validateHostCert ? "Yes" : "No"},
        {"Certificate Domain:", info.security.domainMustMatchHost
                                    ? "Must match host name"
                                    : "Does not need to match host name"},
    };
}

std::string tlsInformationText(const TlsInformation& info) {
    std::string text;
    for (TlsField field : tlsInformationFields(info)) {
        // The copy names the validation choice by what it means for the
        // host's certificate.
        if (field.label == "Validate Host Certificate:") field.label = "Self-Signed Certificate:";
        constexpr std::size_t kColumn = 25;  // values line up after the longest label
        field.label.resize(std::max(kColumn, field.label.size() + 1), ' ');
        text += field.label + field.value + "\r\n";
    }
    return text;
}

}  // namespace cedar::display
