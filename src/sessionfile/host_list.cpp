#include "sessionfile/host_list.h"

#include <algorithm>
#include <climits>

#include "sessionfile/private_profile.h"

namespace cedar::sessionfile {

namespace {

// The keys, in the order they are read and written.
constexpr std::string_view kHostnames = "Hostnames";
constexpr std::string_view kIpNames = "IPnames";
constexpr std::string_view kPortnums = "Portnums";
constexpr std::string_view kTn3270e = "TN3270E";
constexpr std::string_view kSsl = "SSL";
constexpr std::string_view kLunames = "Lunames";
constexpr std::string_view kKeepAliveTimes = "KeepAliveTimes";
constexpr std::string_view kCaCerts = "CA_Certs";
constexpr std::string_view kClientCerts = "Client_Certs";
constexpr std::string_view kClientKeys = "Client_Keys";
constexpr std::string_view kValidateHostCert = "Validate_Host_Cert";
constexpr std::string_view kDomainMustMatchHost = "Domain_Must_Match_Host";

constexpr int kDefaultPort = 23;
// Unknown SSL codes are kept as 10 + code, as the two older levels are.
constexpr int kKeptCodeBase = 10;
constexpr int kFirstUnknownCode = 7;
constexpr int kLastUnknownCode = 99;

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    return profile::trimBlanks(s);
}

// The items of a list value: a comma ends each item, and one is added at the
// end when the value lacks it.
std::vector<std::string> items(std::string_view value) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < value.size() || out.empty()) {
        const std::size_t comma = value.find(',', start);
        if (comma == std::string_view::npos) {
            out.emplace_back(value.substr(start));
            break;
        }
        out.emplace_back(value.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

// A joined list as a profile value that reads back exactly: quoted when its
// ends would otherwise be trimmed or taken for quotes.
std::string profileValue(std::string joined) {
    if (joined.empty()) return joined;
    const char first = joined.front();
    const char last = joined.back();
    const bool quotes = joined.size() >= 2 && first == last && (first == '"' || first == '\'');
    if (blank(first) || blank(last) || quotes) return "\"" + joined + "\"";
    return joined;
}

std::string format(std::string_view pattern, std::string_view value) {
    std::string out(pattern);
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

std::optional<std::string> checkText(std::string_view what, std::string_view value,
                                     std::size_t maxChars) {
    const std::string named = std::string(what) + " \"" + std::string(value) + "\"";
    if (value.find(',') != std::string_view::npos)
        return named +
               " contains a comma. The host list keeps its entries in comma-separated "
               "lists, so its names cannot contain commas.";
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return std::string(what) + " contains a line break or a NUL character.";
    if (value.size() > maxChars)
        return named + " is longer than " + std::to_string(maxChars) + " characters.";
    return std::nullopt;
}

}  // namespace

HostEntry newHostEntry(std::string_view name, int keepAliveTime) {
    HostEntry e;
    e.hostName = std::string(name);
    e.ipName = std::string(name);
    e.keepAliveTime = keepAliveTime;
    e.validateHostCert = true;
    e.domainMustMatchHost = true;
    return e;
}

std::optional<HostListMessage> checkHostEntry(const HostEntry& e) {
    const std::string title = "Host Entry Error";
    if (e.hostName.empty()) return HostListMessage{"A host entry needs a host name.", title};
    const struct {
        std::string_view what;
        const std::string& value;
        std::size_t maxChars;
    } texts[] = {
        {"Host name", e.hostName, kHostNameChars},
        {"IP name", e.ipName, kHostNameChars},
        {"LU name", e.luName, kLuNameChars},
        {"CA certificate file name", e.caCert, kFileNameChars},
        {"Client certificate file name", e.clientCert, kFileNameChars},
        {"Client key file name", e.clientKey, kFileNameChars},
    };
    for (const auto& t : texts)
        if (auto why = checkText(t.what, t.value, t.maxChars)) return HostListMessage{*why, title};
    if (e.port == 0) return HostListMessage{"Port 0 is not a valid port number.", title};
    if (e.keepAliveTime < -1 || e.keepAliveTime > SHRT_MAX)
        return HostListMessage{
            "The keep-alive time must be -1 to " + std::to_string(SHRT_MAX) + " seconds.", title};
    if (securityLevelFromSslCode(sslCodeFromSecurityLevel(e.securityLevel)) != e.securityLevel)
        return HostListMessage{
            "Security level " + std::to_string(e.securityLevel) + " is not known.", title};
    return std::nullopt;
}

int securityLevelFromSslCode(int code) {
    switch (code) {
        case 0:
            return 0;
        case 1:
            return 11;
        case 2:
            return 12;
        case 3:
            return 2;
        case 4:
            return 3;
        case 5:
            return 4;
        case 6:
            return 1;
        default:
            break;
    }
    if (code >= kFirstUnknownCode && code <= kLastUnknownCode) return kKeptCodeBase + code;
    return 0;
}

int sslCodeFromSecurityLevel(int level) {
    switch (level) {
        case 0:
            return 0;
        case 1:
            return 6;
        case 2:
            return 3;
        case 3:
            return 4;
        case 4:
            return 5;
        case 11:
            return 1;
        case 12:
            return 2;
        default:
            break;
    }
    if (level >= kKeptCodeBase + kFirstUnknownCode && level <= kKeptCodeBase + kLastUnknownCode)
        return level - kKeptCodeBase;
    return 0;
}

HostList HostList::parse(std::string_view text, std::vector<HostListMessage>* warnings) {
    HostList list;
    auto& entries = list.entries_;
    const auto read = [&](std::string_view key) {
        const auto value = profile::find(text, kHostListSection, key);
        return value ? items(*value) : std::vector<std::string>{};
    };
    // Item n of a key fills entry n; an empty item keeps the entry's default.
    const auto fill = [&](std::string_view key, auto&& apply) {
        const auto values = read(key);
        const std::size_t n = std::min(values.size(), entries.size());
        for (std::size_t i = 0; i < n; ++i)
            if (!values[i].empty()) apply(entries[i], values[i]);
    };
    const auto flag = [](std::string_view v) { return profile::parseInt(v) != 0; };

    for (const auto& name : read(kHostnames)) {
        HostEntry e;
        e.hostName = name;
        e.ipName = name;
        e.deleted = name.empty();
        entries.push_back(std::move(e));
    }
    if (warnings != nullptr && list.size() > kMaxHosts)
        warnings->push_back(
            {format("Maximum number of hostnames was reached (%s)", std::to_string(kMaxHosts)),
             "Error loading host names"});

    fill(kIpNames, [](HostEntry& e, std::string_view v) {
        if (!trim(v).empty()) e.ipName = std::string(trim(v));
    });
    fill(kPortnums, [](HostEntry& e, std::string_view v) {
        const int port = profile::parseInt(v);
        e.port = static_cast<std::uint16_t>(port >= 1 && port <= 0xFFFF ? port : kDefaultPort);
    });
    fill(kTn3270e, [&](HostEntry& e, std::string_view v) { e.tn3270e = flag(v); });
    fill(kSsl, [](HostEntry& e, std::string_view v) {
        e.securityLevel = securityLevelFromSslCode(profile::parseInt(v));
    });
    fill(kLunames, [](HostEntry& e, std::string_view v) { e.luName = std::string(v); });
    fill(kKeepAliveTimes, [](HostEntry& e, std::string_view v) {
        e.keepAliveTime = std::clamp(profile::parseInt(v), -1, int{SHRT_MAX});
    });
    fill(kCaCerts, [](HostEntry& e, std::string_view v) { e.caCert = std::string(trim(v)); });
    fill(kClientCerts, [](HostEntry& e, std::string_view v) { e.clientCert = std::string(v); });
    fill(kClientKeys, [](HostEntry& e, std::string_view v) { e.clientKey = std::string(v); });
    fill(kValidateHostCert,
         [&](HostEntry& e, std::string_view v) { e.validateHostCert = flag(v); });
    fill(kDomainMustMatchHost,
         [&](HostEntry& e, std::string_view v) { e.domainMustMatchHost = flag(v); });
    return list;
}

std::string HostList::store(std::string_view profileText) const {
    std::string text(profileText);
    const auto write = [&](std::string_view key, auto&& field) {
        std::string joined;
        bool first = true;
        for (const auto& e : entries_) {
            if (e.deleted) continue;
            if (!first) joined += ',';
            joined += field(e);
            first = false;
        }
        text = profile::set(text, kHostListSection, key, profileValue(std::move(joined)));
    };
    const auto number = [](auto n) { return std::to_string(n); };
    write(kHostnames, [](const HostEntry& e) { return e.hostName; });
    write(kIpNames, [](const HostEntry& e) { return e.ipName; });
    write(kPortnums, [&](const HostEntry& e) { return number(e.port); });
    write(kTn3270e, [&](const HostEntry& e) { return number(e.tn3270e ? 1 : 0); });
    write(kSsl,
          [&](const HostEntry& e) { return number(sslCodeFromSecurityLevel(e.securityLevel)); });
    write(kLunames, [](const HostEntry& e) { return e.luName; });
    write(kKeepAliveTimes, [&](const HostEntry& e) { return number(e.keepAliveTime); });
    write(kCaCerts, [](const HostEntry& e) { return e.caCert; });
    write(kClientCerts, [](const HostEntry& e) { return e.clientCert; });
    write(kClientKeys, [](const HostEntry& e) { return e.clientKey; });
    write(kValidateHostCert,
          [&](const HostEntry& e) { return number(e.validateHostCert ? 1 : 0); });
    write(kDomainMustMatchHost,
          [&](const HostEntry& e) { return number(e.domainMustMatchHost ? 1 : 0); });
    return text;
}

std::size_t HostList::size() const {
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(),
                                                  [](const HostEntry& e) { return !e.deleted; }));
}

std::optional<std::size_t> HostList::indexOf(std::string_view name) const {
    if (name.empty()) return std::nullopt;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (!entries_[i].deleted && entries_[i].hostName == name) return i;
    return std::nullopt;
}

const HostEntry* HostList::find(std::string_view name) const {
    const auto i = indexOf(name);
    return i ? &entries_[*i] : nullptr;
}

HostList::AddResult HostList::add(std::string_view typedName, int keepAliveTime) {
    const std::string_view name = trim(typedName);
    AddResult result;
    if (name.empty() || name == kSampleHostName) return result;
    if (const auto existing = indexOf(name)) {
        result.index = existing;
        return result;
    }
    const std::string title = "Host name not added";
    result.status = AddStatus::Refused;
    if (size() >= kMaxHosts) {
        result.message = HostListMessage{
            format("Maximum number of host names has been reached (%s)", std::to_string(kMaxHosts)),
            title};
        return result;
    }
    HostEntry entry = newHostEntry(name, keepAliveTime);
    if (auto why = checkHostEntry(entry)) {
        result.message = HostListMessage{why->text, title};
        return result;
    }
    entries_.push_back(std::move(entry));
    result.status = AddStatus::Added;
    result.index = entries_.size() - 1;
    return result;
}

std::optional<HostListMessage> HostList::update(std::size_t index, const HostEntry& entry) {
    const std::string title = "Host Entry Error";
    if (index >= entries_.size() || entries_[index].deleted)
        return HostListMessage{"The host entry no longer exists.", title};
    if (auto why = checkHostEntry(entry)) return why;
    if (const auto other = indexOf(entry.hostName); other && *other != index)
        return HostListMessage{"Host name \"" + entry.hostName + "\" is already in the host list.",
                               title};
    entries_[index] = entry;
    entries_[index].deleted = false;
    return std::nullopt;
}

bool HostList::remove(std::string_view name) {
    const auto i = indexOf(name);
    if (!i) return false;
    entries_[*i].deleted = true;
    return true;
}

}  // namespace cedar::sessionfile
