#include "transfer/transfer_wildcards.h"

#include <cstdint>

#include "transfer/transfer_command.h"

namespace cedar {

namespace {

// Longest names and patterns matched; anything longer cannot be a host or
// PC file name and does not match.
constexpr std::size_t kMaxMatchLength = 1024;
// A macro string holds up to 255 bytes.
constexpr std::size_t kMaxMacroString = 255;

char foldCase(char c, bool ignoreCase) {
    return ignoreCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

bool singleMatches(char p, char c, bool ignoreCase) {
    if (p == '?') return c != '.' && c != '\'';
    return foldCase(p, ignoreCase) == foldCase(c, ignoreCase);
}

bool hasControlCharacter(std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x20 || b == 0x7F) return true;
    }
    return false;
}

std::string doubleQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out;
}

// Checks one name for a macro string and appends it quoted.
bool appendMacroString(std::string& line, std::string_view name, TransferMessage& error) {
    if (hasControlCharacter(name)) {
        error = {"The file name \"" + doubleQuotes(std::string(name.substr(0, 60))) +
                     "\" holds a control character\nand cannot be transferred by a macro.",
                 "Invalid file name"};
        // Control characters themselves are not shown.
        for (char& c : error.text)
            if (static_cast<std::uint8_t>(c) < 0x20 && c != '\n') c = '?';
        return false;
    }
    if (name.size() > kMaxMacroString) {
        error = {"The file name \"" + std::string(name.substr(0, 60)) +
                     "...\" is too long\nto be transferred by a macro.",
                 "Invalid file name"};
        return false;
    }
    line += '"';
    line += doubleQuotes(name);
    line += '"';
    return true;
}

std::string optionsTail(bool binary, bool append, TransferHostType hostType) {
    std::string tail = ",\"";
    tail += binary ? "BINARY" : "TEXT";
    tail += "\",\"";
    tail += append ? "APPEND" : "REPLACE";
    tail += "\",\"";
    tail += hostTypeWord(hostType);
    tail += "\")\n";
    return tail;
}

// The part of a host name that names one entry of a list: the member, or
// the name without its quotes.
std::string wholeNamePart(std::string_view name) {
    const auto open = name.find('(');
    const auto close = name.rfind(')');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open + 1)
        return std::string(name.substr(open + 1, close - open - 1));
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'')
        name = name.substr(1, name.size() - 2);
    return std::string(name);
}

std::size_t starCount(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        n += c == '*';
    return n;
}

}  // namespace

const char* hostTypeWord(TransferHostType type) {
    switch (type) {
        case TransferHostType::Cms:
            return "CMS";
        case TransferHostType::Cics:
            return "CICS";
        case TransferHostType::Tso:
            break;
    }
    return "TSO";
}

std::optional<std::vector<std::string>> matchWildcard(std::string_view pattern,
                                                      std::string_view name, bool ignoreCase) {
    if (pattern.size() > kMaxMatchLength || name.size() > kMaxMatchLength) return std::nullopt;
    const std::size_t p = pattern.size();
    const std::size_t n = name.size();
    // rest[i * (n + 1) + j]: pattern from i matches name from j.
    std::vector<std::uint8_t> rest((p + 1) * (n + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::uint8_t& { return rest[i * (n + 1) + j]; };
    at(p, n) = 1;
    for (std::size_t i = p; i-- > 0;) {
        for (std::size_t j = n + 1; j-- > 0;) {
            if (pattern[i] == '*')
                at(i, j) = at(i + 1, j) || (j < n && at(i, j + 1));
            else
                at(i, j) =
                    j < n && singleMatches(pattern[i], name[j], ignoreCase) && at(i + 1, j + 1);
        }
    }
    if (!at(0, 0)) return std::nullopt;

    std::vector<std::string> runs;
    std::size_t j = 0;
    for (std::size_t i = 0; i < p; ++i) {
        if (pattern[i] != '*') {
            ++j;
            continue;
        }
        std::size_t k = j;
        while (!at(i + 1, k))
            ++k;  // the shortest run the rest still matches after
        runs.emplace_back(name.substr(j, k - j));
        j = k;
    }
    return runs;
}

std::string applyWildcardTarget(std::string_view target, const std::vector<std::string>& runs) {
    std::string out;
    std::size_t star = 0;
    for (char c : target) {
        if (c != '*') {
            out += c;
            continue;
        }
        if (star < runs.size()) out += runs[star];
        ++star;
    }
    return out;
}

std::optional<std::string> sendFileLine(std::string_view pcPath, std::string_view hostName,
                                        bool binary, bool append, TransferHostType hostType,
                                        TransferMessage& error) {
    std::string line = "SendFile(";
    if (!appendMacroString(line, pcPath, error)) return std::nullopt;
    line += ',';
    if (!appendMacroString(line, hostName, error)) return std::nullopt;
    line += optionsTail(binary, append, hostType);
    return line;
}

std::optional<std::string> receiveFileLine(std::string_view hostName, std::string_view pcPath,
                                           bool binary, bool append, TransferHostType hostType,
                                           TransferMessage& error) {
    std::string line = "ReceiveFile(";
    if (!appendMacroString(line, hostName, error)) return std::nullopt;
    line += ',';
    if (!appendMacroString(line, pcPath, error)) return std::nullopt;
    line += optionsTail(binary, append, hostType);
    return line;
}

MultiTransferPlan planMultipleTransfers(const MultiTransferRequest& request, int selectedCount) {
    const bool download = request.direction == TransferDirection::Download;
    MultiTransferPlan plan;
    const bool sourceStar = starCount(request.sourcePattern) > 0;
    const bool targetStar = starCount(request.targetPattern) > 0;
    if (selectedCount < 2 && !sourceStar && !targetStar) return plan;  // a single transfer
    {
        // Several selected entries need a target with a star too.
        if (selectedCount < 2 ? sourceStar != targetStar : !targetStar) {
            plan.kind = MultiTransferPlan::Kind::Error;
            plan.error.title = "Wildcard character error";
            plan.error.text =
                download ? "For multiple file transfers, both the source and\ntarget filenames "
                           "must contain the wildcard character '*'"
                         : "For multiple file transfers, both the source and\ntarget filenames "
                           "must contain an asterisk.";
            return plan;
        }
    }
    if (request.sourceNames.empty()) {
        plan.kind = MultiTransferPlan::Kind::Error;
        if (download) {
            plan.error = {
                "For multiple downloads, you need to click the List button\nto create a "
                "list of host dataset or member names.",
                "No files in host list"};
        } else {
            plan.error = {
                "For multiple uploads, you need to select a\nsource directory that "
                "contains some files.",
                "No files in PC list"};
        }
        return plan;
    }

    // Selected entries are all taken; otherwise the source pattern picks.
    const bool takeAll = selectedCount >= 2 && !sourceStar;
    std::string macro;
    for (const std::string& name : request.sourceNames) {
        std::vector<std::string> runs;
        if (!takeAll) {
            auto matched = matchWildcard(request.sourcePattern, name, download);
            if (!matched) continue;
            runs = std::move(*matched);
        } else {
            runs.push_back(wholeNamePart(name));
        }
        std::optional<std::string> line;
        if (download) {
            const std::string pcName = applyWildcardTarget(request.targetPattern, runs);
            line = receiveFileLine(name, request.pcFolder + pcName, request.binary, request.append,
                                   request.hostType, plan.error);
        } else {
            for (std::string& run : runs)
                run = pcNameToHostName(run);
            const std::string hostName = applyWildcardTarget(request.targetPattern, runs);
            line = sendFileLine(request.pcFolder + name, hostName, request.binary, request.append,
                                request.hostType, plan.error);
        }
        if (!line) {
            plan.kind = MultiTransferPlan::Kind::Error;
            plan.macroText.clear();
            return plan;
        }
        macro += *line;
        ++plan.transfers;
    }
    if (plan.transfers == 0) {
        plan.kind = MultiTransferPlan::Kind::Error;
        if (download)
            plan.error = {
                "No datasets or members in the source list\nmatched the source file pattern.",
                "Source file pattern error"};
        else
            plan.error = {"No files match the specified source file pattern",
                          "Source file pattern error"};
        return plan;
    }
    plan.kind = MultiTransferPlan::Kind::Macro;
    plan.macroText = std::move(macro);
    return plan;
}

}  // namespace cedar
