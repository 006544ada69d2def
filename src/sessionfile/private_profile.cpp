#include "sessionfile/private_profile.h"

#include <cctype>
#include <climits>

namespace cedar::profile {

namespace {

struct Line {
    std::size_t begin;  // first byte of the line
    std::size_t end;    // end of its content (before CR LF / LF)
    std::size_t next;   // first byte of the next line
};

std::vector<Line> lines(std::string_view text) {
    std::vector<Line> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        std::size_t next = end;
        if (next < text.size() && text[next] == '\r') ++next;
        if (next < text.size() && text[next] == '\n') ++next;
        out.push_back({pos, end, next});
        pos = next;
    }
    return out;
}

std::string_view trim(std::string_view s) {
    return trimBlanks(s);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The section name of a "[name]" line.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};
std::optional<KeyLine> keyOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const auto key = trim(line.substr(0, eq));
    if (key.empty() || key.front() == ';') return std::nullopt;
    return KeyLine{key, trim(line.substr(eq + 1))};
}

struct Location {
    bool sectionFound = false;
    std::size_t sectionEnd = 0;  // index of the line after the section's last content line
    std::optional<std::size_t> keyLine;
    std::optional<KeyLine> key;
};

Location locate(std::string_view text, const std::vector<Line>& ls, std::string_view section,
                std::string_view key) {
    Location loc;
    bool inSection = false;
    for (std::size_t i = 0; i < ls.size(); ++i) {
        const std::string_view line = text.substr(ls[i].begin, ls[i].end - ls[i].begin);
        if (const auto name = sectionOf(line)) {
            if (inSection) break;  // the first matching section wins
            inSection = sameName(*name, section);
            if (inSection) {
                loc.sectionFound = true;
                loc.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection) continue;
        if (!trim(line).empty()) loc.sectionEnd = i + 1;
        if (!loc.keyLine) {
            if (const auto k = keyOf(line); k && sameName(k->key, key)) {
                loc.keyLine = i;
                loc.key = k;
            }
        }
    }
    return loc;
}

std::string unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

}  // namespace

std::optional<std::string> find(std::string_view text, std::string_view section,
                                std::string_view key) {
    const auto ls = lines(text);
    const auto loc = locate(text, ls, section, key);
    if (!loc.key) return std::nullopt;
    return unquote(loc.key->value);
}

std::string getString(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view fallback, std::size_t bufferSize) {
    std::string v = find(text, section, key).value_or(std::string(fallback));
    if (bufferSize == 0) return {};
    if (v.size() > bufferSize - 1) v.resize(bufferSize - 1);
    return v;
}

std::string_view trimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

int parseInt(std::string_view value) {
    value = trim(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    long long n = 0;
    for (char c : value) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        n = n * 10 + (c - '0');
        if (n > INT_MAX) n = INT_MAX + 1LL;  // saturate instead of overflowing
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    if (n < INT_MIN) n = INT_MIN;
    return static_cast<int>(n);
}

int getInt(std::string_view text, std::string_view section, std::string_view key, int fallback) {
    const auto v = find(text, section, key);
    return v ? parseInt(*v) : fallback;
}

std::vector<std::string> keys(std::string_view text, std::string_view section) {
    std::vector<std::string> out;
    bool inSection = false;
    bool seenSection = false;
    for (const auto& l : lines(text)) {
        const std::string_view line = text.substr(l.begin, l.end - l.begin);
        if (const auto name = sectionOf(line)) {
            if (inSection) break;
            inSection = !seenSection && sameName(*name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection) continue;
        if (const auto k = keyOf(line)) {
            bool dup = false;
            for (const auto& e : out)
                dup = dup || sameName(e, k->key);
            if (!dup) out.emplace_back(k->key);
        }
    }
    return out;
}

std::string set(std::string_view text, std::string_view section, std::string_view key,
                std::string_view value) {
    const auto ls = lines(text);
    const auto loc = locate(text, ls, section, key);
    std::string entry = std::string(key) + "=" + std::string(value);
    std::string out;
    if (loc.keyLine) {
        const Line& l = ls[*loc.keyLine];
        out.append(text.substr(0, l.begin));
        out.append(entry);
        out.append(text.substr(l.end));  // the line's own end (CR LF or LF) stays
        return out;
    }
    if (loc.sectionFound) {
        // After the section's last content line.
        const std::size_t at = loc.sectionEnd < ls.size() ? ls[loc.sectionEnd].begin : text.size();
        out.append(text.substr(0, at));
        if (!out.empty() && out.back() != '\n') out.append("\r\n");
        out.append(entry).append("\r\n");
        out.append(text.substr(at));
        return out;
    }
    out.append(text);
    if (!out.empty() && out.back() != '\n') out.append("\r\n");
    out.append("[").append(section).append("]\r\n").append(entry).append("\r\n");
    return out;
}

std::string erase(std::string_view text, std::string_view section, std::string_view key) {
    const auto ls = lines(text);
    const auto loc = locate(text, ls, section, key);
    if (!loc.keyLine) return std::string(text);
    const Line& l = ls[*loc.keyLine];
    return std::string(text.substr(0, l.begin)) + std::string(text.substr(l.next));
}

}  // namespace cedar::profile
