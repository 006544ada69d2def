#include "key_sources.h"

#include <array>
#include <cctype>
#include <charconv>
#include <set>
#include <vector>

#include "keyboard/layout_key_names.h"

namespace cedar::keys::sources {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Cuts a line at "|"; a quoted character ('|') stays inside its cell.
std::vector<std::string_view> cells(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\'' && i + 2 < line.size() && line[i + 2] == '\'') {
            i += 2;
        } else if (line[i] == '|') {
            out.push_back(trim(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    out.push_back(trim(line.substr(start)));
    return out;
}

// Calls `onLine` for every line that is not empty or a comment.
template <typename F>
bool forEachLine(std::string_view text, SourceError& error, F onLine) {
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#') continue;
        std::string problem;
        if (!onLine(content, problem)) {
            error = {number, problem};
            return false;
        }
    }
    return true;
}

bool parseNumber(std::string_view s, int& out) {
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

bool parseFunctions(std::string_view text, KeyListTables& out, SourceError& error) {
    out = {};
    std::set<std::string> names;
    const bool ok = forEachLine(text, error, [&](std::string_view line, std::string& problem) {
        const auto c = cells(line);
        if (c.size() != 5) {
            problem = "expected 5 cells: kind | code | flags | name | description";
            return false;
        }
        std::vector<KeyFunction>* table = nullptr;
        if (c[0] == "ACTION") {
            table = &out.actions;
        } else if (c[0] == "EDIT") {
            table = &out.edits;
        } else if (c[0] == "OPER") {
            table = &out.opers;
        } else {
            problem = "unknown kind " + std::string(c[0]);
            return false;
        }
        int code = 0;
        if (!parseNumber(c[1], code) || code != static_cast<int>(table->size())) {
            problem = "code " + std::string(c[1]) + " out of order: expected " +
                      std::to_string(table->size());
            return false;
        }
        KeyFunction f;
        f.code = static_cast<std::uint8_t>(code);
        if (c[2] != "-") {
            for (char flag : c[2]) {
                if (flag == 'I') {
                    f.flags |= kDefaultImmediate;
                } else if (flag == 'R') {
                    f.flags |= kDefaultRepeat;
                } else {
                    problem = "unknown flag " + std::string(1, flag);
                    return false;
                }
            }
        }
        if (c[3] != "-") {
            f.name = std::string(c[3]);
            std::string upper;
            for (char ch : f.name)
                upper += static_cast<char>(std::toupper(ch));
            if (!names.insert(upper).second) {
                problem = "name listed twice: " + f.name;
                return false;
            }
            if (f.name.size() > kMaxNameLength) {
                problem = "name longer than 29 characters: " + f.name;
                return false;
            }
        }
        f.description = std::string(c[4]);
        if (f.description.size() > kMaxDescriptionLength) {
            problem = "description longer than 127 characters";
            return false;
        }
        table->push_back(std::move(f));
        return true;
    });
    if (!ok) return false;
    if (out.actions.size() != static_cast<std::size_t>(kActionCount) ||
        out.edits.size() != static_cast<std::size_t>(kEditCount) ||
        out.opers.size() != static_cast<std::size_t>(kOperCount)) {
        error = {0, "the tables must hold " + std::to_string(kActionCount) + " ACTION, " +
                        std::to_string(kEditCount) + " EDIT and " + std::to_string(kOperCount) +
                        " OPER functions"};
        return false;
    }
    return true;
}

namespace {

// One cell of the layout source: a key word, or a problem.
bool parseCell(std::string_view cell, int column, const KeyList& list, KeyWord& word,
               std::string& problem) {
    // A quoted character: unassigned, repeating.
    if (cell.size() == 3 && cell.front() == '\'' && cell.back() == '\'') {
        word = charKey(static_cast<std::uint8_t>(cell[1]), kRepeat);
        return true;
    }
    if (cell == "-") {
        word = kNoFunction;
        return true;
    }
    if (cell == "[Shift]" || cell == "[Ctrl]" || cell == "[Alt]") {
        if (column != 0) {
            problem = "a shift key belongs in the plain column";
            return false;
        }
        const std::uint8_t selects = cell == "[Shift]" ? 1 : cell == "[Ctrl]" ? 2 : 3;
        word = makeKey(Kind::None, selects, kAssigned);
        return true;
    }
    // A function name with optional flag changes (+R -R +I -I +N).
    std::size_t nameEnd = cell.size();
    while (nameEnd >= 2 && (cell[nameEnd - 2] == '+' || cell[nameEnd - 2] == '-'))
        nameEnd -= 2;
    const std::string_view name = cell.substr(0, nameEnd);
    const auto found = list.keyFunctionByName(name);
    if (!found) {
        problem = "unknown function " + std::string(name);
        return false;
    }
    const KeyFunction* f = list.keyFunctionByCode(kindOf(*found), codeOf(*found));
    std::uint8_t flags = kAssigned;
    if (f->flags & kDefaultImmediate) flags |= kImmediate;
    if (f->flags & kDefaultRepeat) flags |= kRepeat;
    for (std::size_t i = nameEnd; i + 1 < cell.size(); i += 2) {
        const bool on = cell[i] == '+';
        std::uint8_t bit = 0;
        switch (cell[i + 1]) {
            case 'R':
                bit = kRepeat;
                break;
            case 'I':
                bit = kImmediate;
                break;
            case 'N':
                bit = kNumLockFlag;
                break;
            default:
                problem = "unknown flag change " + std::string(cell.substr(i, 2));
                return false;
        }
        flags =
            on ? static_cast<std::uint8_t>(flags | bit) : static_cast<std::uint8_t>(flags & ~bit);
    }
    word = makeKey(kindOf(*found), codeOf(*found), flags);
    return true;
}

}  // namespace

bool parseKeyboardLayout(std::string_view text, const KeyList& list, LayoutBlock& out,
                         SourceError& error) {
    out = LayoutBlock(LayoutType::Keyboard);
    std::set<int> seen;
    return forEachLine(text, error, [&](std::string_view line, std::string& problem) {
        const auto c = cells(line);
        if (c.size() != 1 + kKeyColumns) {
            problem = "expected 5 cells: key | plain | Shift | Ctrl | Alt";
            return false;
        }
        const auto key = keyIndexByName(c[0]);
        if (!key) {
            problem = "unknown key " + std::string(c[0]);
            return false;
        }
        if (!seen.insert(*key).second) {
            problem = "key listed twice: " + std::string(c[0]);
            return false;
        }
        for (int column = 0; column < kKeyColumns; ++column) {
            KeyWord word = 0;
            if (!parseCell(c[static_cast<std::size_t>(column) + 1], column, list, word, problem))
                return false;
            out.setWord(*key, column, word);
        }
        return true;
    });
}

}  // namespace cedar::keys::sources
