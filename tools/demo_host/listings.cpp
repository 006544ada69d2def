#include "listings.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "host_text.h"

namespace cedar::demo {

namespace {

using hostside::blankWords;
using hostside::upperCase;

std::string unquoted(std::string name) {
    if (!name.empty() && name.front() == '\'') name.erase(0, 1);
    if (!name.empty() && name.back() == '\'') name.pop_back();
    return name;
}

bool isCmsFile(const std::string& name) {
    return name.find(' ') != std::string::npos;
}

// The data set a store name belongs to ("A.B(M)" -> "A.B").
std::string dataSetOf(const std::string& name) {
    return name.substr(0, name.find('('));
}

std::vector<std::string> catalog(const std::string& command,
                                 const std::vector<std::string>& names) {
    std::string level;
    if (const auto open = command.find("LEVEL("); open != std::string::npos) {
        const auto close = command.find(')', open);
        level = unquoted(command.substr(
            open + 6, close == std::string::npos ? std::string::npos : close - open - 6));
    }
    std::set<std::string> sets;
    for (const auto& name : names)
        if (!isCmsFile(name)) sets.insert(dataSetOf(name));
    std::vector<std::string> lines;
    for (const auto& set : sets) {
        if (!level.empty() && set != level && set.rfind(level + ".", 0) != 0) continue;
        lines.push_back("NONVSAM ------- " + set);
        lines.push_back("     IN-CAT --- CATALOG.DEMO");
    }
    if (lines.empty())
        lines.push_back(level.empty() ? std::string("NO DATA SETS IN THE CATALOG")
                                      : "NO DATA SETS AT LEVEL " + level);
    return lines;
}

std::vector<std::string> members(const std::vector<std::string>& args,
                                 const std::vector<std::string>& names) {
    if (args.empty()) return {"MISSING DATA SET NAME"};
    const std::string set = unquoted(args[0]);
    std::vector<std::string> found;
    bool exists = false;
    for (const auto& name : names) {
        if (isCmsFile(name) || dataSetOf(name) != set) continue;
        exists = true;
        const auto open = name.find('(');
        if (open != std::string::npos && name.back() == ')')
            found.push_back(name.substr(open + 1, name.size() - open - 2));
    }
    if (!exists) return {set + " NOT IN CATALOG"};
    std::vector<std::string> lines{
        set, "--RECFM-LRECL-BLKSIZE-DSORG",
        found.empty() ? "  VB    255   27998   PS" : "  VB    255   27998   PO", "--VOLUMES--",
        "  DEMO01"};
    const bool wantMembers = std::find(args.begin(), args.end(), "MEMBERS") != args.end();
    if (wantMembers && !found.empty()) {
        lines.push_back("--MEMBERS--");
        std::sort(found.begin(), found.end());
        for (const auto& m : found)
            lines.push_back("  " + m);
    }
    return lines;
}

bool matches(const std::string& pattern, const std::string& word) {
    if (pattern == "*") return true;
    if (!pattern.empty() && pattern.back() == '*')
        return word.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
    return pattern == word;
}

std::vector<std::string> files(const std::vector<std::string>& args,
                               const std::vector<std::string>& names) {
    const std::string fn = args.size() > 0 ? args[0] : "*";
    const std::string ft = args.size() > 1 ? args[1] : "*";
    const std::string fm = args.size() > 2 ? args[2].substr(0, 1) : "A";
    std::vector<std::string> lines;
    for (const auto& name : names) {
        if (!isCmsFile(name)) continue;
        const auto parts = blankWords(name);
        if (parts.size() < 2 || parts.size() > 3) continue;
        const std::string mode = parts.size() == 3 ? parts[2].substr(0, 1) : "A";
        if (!matches(fn, parts[0]) || !matches(ft, parts[1]) || !matches(fm, mode)) continue;
        char line[64];
        std::snprintf(line, sizeof line, "%-8.8s %-8.8s %s1", parts[0].c_str(), parts[1].c_str(),
                      mode.c_str());
        lines.emplace_back(line);
    }
    std::sort(lines.begin(), lines.end());
    if (lines.empty()) lines.push_back("DMSLST002E File not found");
    return lines;
}

}  // namespace

std::optional<std::vector<std::string>> listingFor(const std::string& command,
                                                   const std::vector<std::string>& names) {
    const std::string line = upperCase(command);
    std::vector<std::string> args = blankWords(line);
    if (args.empty()) return std::nullopt;
    const std::string verb = args[0];
    args.erase(args.begin());
    std::vector<std::string> lines{command};
    std::vector<std::string> body;
    std::string prompt = "READY";
    if (verb == "LISTCAT" || verb == "LISTC") {
        body = catalog(line, names);
    } else if (verb == "LISTDS" || verb == "LISTD") {
        body = members(args, names);
    } else if (verb == "LISTFILE" || verb == "LISTF") {
        body = files(args, names);
        prompt = "Ready;";
    } else {
        return std::nullopt;
    }
    lines.insert(lines.end(), body.begin(), body.end());
    lines.push_back(prompt);
    return lines;
}

}  // namespace cedar::demo
