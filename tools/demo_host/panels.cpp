#include "panels.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <set>

#include "ebcdic.h"

namespace cedar::demo {

namespace {

constexpr std::uint8_t kEraseWrite = 0xF5, kEraseWriteAlternate = 0x7E;
constexpr std::uint8_t kWcc = 0xC3;  // reset, restore the keyboard, reset MDTs
constexpr std::uint8_t kSf = 0x1D, kSfe = 0x29, kSba = 0x11, kIc = 0x13;
constexpr std::uint8_t kProtected = 0x20, kNumeric = 0x10, kBright = 0x08, kHidden = 0x0C;

const std::map<std::string, std::uint8_t, std::less<>> kColors = {
    {"blue", 0xF1},      {"red", 0xF2},    {"pink", 0xF3}, {"green", 0xF4},
    {"turquoise", 0xF5}, {"yellow", 0xF6}, {"white", 0xF7}};
const std::map<std::string, std::uint8_t, std::less<>> kHighlights = {
    {"blink", 0xF1}, {"reverse", 0xF2}, {"underscore", 0xF4}};
const std::set<std::string, std::less<>> kActions = {
    "goto", "back", "logon", "select", "save", "up", "down", "logoff", "refresh", "command"};

// Splits a line into words; a "quoted text" is one word (without quotes).
bool words(std::string_view line, std::vector<std::string>& out, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i])) != 0) {
            ++i;
        } else if (line[i] == '"') {
            const auto end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                error = "a text without its closing \"";
                return false;
            }
            out.emplace_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            std::size_t j = i;
            while (j < line.size() && std::isspace(static_cast<unsigned char>(line[j])) == 0)
                ++j;
            out.emplace_back(line.substr(i, j - i));
            i = j;
        }
    }
    return true;
}

bool number(const std::string& word, int low, int high, int& value) {
    const auto r = std::from_chars(word.data(), word.data() + word.size(), value);
    return r.ec == std::errc() && r.ptr == word.data() + word.size() && value >= low &&
           value <= high;
}

bool validKey(const std::string& key) {
    if (key == "enter" || key == "clear") return true;
    int n = 0;
    if (key.rfind("pf", 0) == 0) return number(key.substr(2), 1, 24, n);
    if (key.rfind("pa", 0) == 0) return number(key.substr(2), 1, 3, n);
    return false;
}

// The look words from `from` on; false on a word that is none.
bool looks(const std::vector<std::string>& w, std::size_t from, Element& e, bool input,
           std::string& error) {
    for (std::size_t i = from; i < w.size(); ++i) {
        if (auto c = kColors.find(w[i]); c != kColors.end()) {
            e.look.color = c->second;
        } else if (auto h = kHighlights.find(w[i]); h != kHighlights.end()) {
            e.look.highlight = h->second;
        } else if (w[i] == "bright") {
            e.look.bright = true;
        } else if (input && w[i] == "numeric") {
            e.numeric = true;
        } else if (input && w[i] == "hidden") {
            e.hidden = true;
        } else {
            error = "unknown word \"" + w[i] + "\"";
            return false;
        }
    }
    return true;
}

bool panelLine(const std::vector<std::string>& w, Panel& p, std::string& error) {
    const std::string& verb = w[0];
    Element e;
    auto at = [&](std::size_t i, int& row, int& column) {
        if (w.size() <= i + 1 || !number(w[i], 0, 61, row) || !number(w[i + 1], 1, 159, column)) {
            error = "a row (0 to 61) and a column (1 to 159) are needed";
            return false;
        }
        return true;
    };
    if (verb == "size" && w.size() == 2 && w[1] == "alternate") {
        p.alternate = true;
    } else if (verb == "text") {
        if (!at(1, e.row, e.column)) return false;
        if (w.size() < 4) return (error = "text needs a text", false);
        e.text = w.back();
        if (!looks({w.begin(), w.end() - 1}, 3, e, false, error)) return false;
        p.elements.push_back(e);
    } else if (verb == "input") {
        e.kind = Element::Kind::Input;
        if (w.size() < 5 || !at(2, e.row, e.column) || !number(w[4], 1, 255, e.length))
            return (error.empty() ? error = "input NAME ROW COL LENGTH" : error, false);
        e.text = w[1];
        if (!looks(w, 5, e, true, error)) return false;
        p.elements.push_back(e);
    } else if (verb == "list" || verb == "lines") {
        e.kind = verb == "list" ? Element::Kind::List : Element::Kind::Lines;
        if (verb == "list") {
            if (w.size() != 4 || !number(w[1], 0, 61, e.row) || !number(w[2], 1, 62, e.length))
                return (error = "list ROW COUNT SOURCE", false);
            e.text = w[3];
        } else {
            if (w.size() != 4 || !number(w[2], 0, 61, e.row) || !number(w[3], 1, 159, e.column))
                return (error = "lines SOURCE ROW COL", false);
            e.text = w[1];
        }
        p.elements.push_back(e);
    } else if (verb == "cursor" && w.size() == 2) {
        p.cursorField = w[1];
    } else if (verb == "cursor" && w.size() == 3) {
        if (!number(w[1], 0, 61, p.cursorRow) || !number(w[2], 0, 159, p.cursorColumn))
            return (error = "cursor ROW COL", false);
    } else if (verb == "key" && w.size() >= 3) {
        if (!validKey(w[1])) return (error = "unknown key \"" + w[1] + "\"", false);
        if (kActions.count(w[2]) == 0) return (error = "unknown action \"" + w[2] + "\"", false);
        if ((w[2] == "goto") != (w.size() == 4)) return (error = "goto takes one panel", false);
        p.keys[w[1]] = w.size() == 4 ? w[2] + " " + w[3] : w[2];
    } else if (verb == "option" && w.size() == 3) {
        p.options[w[1]] = w[2];
    } else {
        error = "unknown line \"" + verb + "\"";
        return false;
    }
    return true;
}

// Panel names that goto and option use must exist; sources too.
bool crossCheck(const PanelSet& set, std::string& error) {
    for (const auto& [name, p] : set.panels) {
        auto known = [&](const std::string& target) { return set.panels.count(target) != 0; };
        for (const auto& [key, action] : p.keys)
            if (action.rfind("goto ", 0) == 0 && !known(action.substr(5)))
                return (error = "panel " + name + ": no panel " + action.substr(5), false);
        for (const auto& [value, target] : p.options)
            if (!known(target)) return (error = "panel " + name + ": no panel " + target, false);
        for (const auto& e : p.elements)
            if ((e.kind == Element::Kind::List || e.kind == Element::Kind::Lines) &&
                set.sources.count(e.text) == 0)
                return (error = "panel " + name + ": no source " + e.text, false);
    }
    for (const char* needed : {"LOGON", "MENU", "BYE"})
        if (set.panels.count(needed) == 0)
            return (error = std::string("no panel ") + needed, false);
    return true;
}

}  // namespace

std::optional<PanelSet> parsePanels(std::string_view text, std::string& error) {
    PanelSet set;
    Panel* panel = nullptr;
    std::vector<std::string>* source = nullptr;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        };
        if (source != nullptr) {
            if (line == "end")
                source = nullptr;
            else
                source->emplace_back(line);
            continue;
        }
        std::vector<std::string> w;
        std::string why;
        if (!words(line, w, why)) return fail(why);
        if (w.empty() || w[0][0] == '#') continue;
        if (panel == nullptr) {
            if (w.size() != 2 || (w[0] != "panel" && w[0] != "source"))
                return fail("\"panel NAME\" or \"source NAME\" expected");
            if (set.panels.count(w[1]) != 0 || set.sources.count(w[1]) != 0)
                return fail(w[1] + " is there twice");
            if (w[0] == "panel") {
                panel = &set.panels[w[1]];
                panel->name = w[1];
            } else {
                source = &set.sources[w[1]];
            }
            continue;
        }
        if (w[0] == "end" && w.size() == 1) {
            panel = nullptr;
            continue;
        }
        if (!panelLine(w, *panel, why)) return fail(why);
    }
    if (panel != nullptr || source != nullptr) {
        error = "the file ends inside a panel or source (no \"end\")";
        return std::nullopt;
    }
    if (!crossCheck(set, error)) return std::nullopt;
    return set;
}

std::string expand(std::string_view text,
                   const std::function<std::string(const std::string&)>& variable) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        } else {
            std::size_t j = i + 1;
            while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) != 0))
                ++j;
            out += variable(std::string(text.substr(i + 1, j - i - 1)));
            i = j - 1;
        }
    }
    return out;
}

std::string lineFieldName(int index) {
    return "LINE" + std::to_string(index + 1);
}

namespace {

class Writer {
  public:
    Writer(int rows, int columns) : size_(rows * columns), columns_(columns) {}
    int position(int row, int column) const {
        return ((row * columns_ + column) % size_ + size_) % size_;
    }
    void sba(int pos) {
        out.push_back(kSba);
        const auto a = hostside::encodeAddress(pos);
        out.insert(out.end(), a.begin(), a.end());
    }
    // A field attribute at `pos` (the data follows it).
    void field(int pos, std::uint8_t bits, const Look& look) {
        sba(pos);
        const std::uint8_t attribute = hostside::graphicCode(bits);
        if (look.color == 0 && look.highlight == 0) {
            out.insert(out.end(), {kSf, attribute});
            return;
        }
        std::vector<std::uint8_t> pairs = {0xC0, attribute};
        if (look.highlight != 0) pairs.insert(pairs.end(), {0x41, look.highlight});
        if (look.color != 0) pairs.insert(pairs.end(), {0x42, look.color});
        out.push_back(kSfe);
        out.push_back(static_cast<std::uint8_t>(pairs.size() / 2));
        out.insert(out.end(), pairs.begin(), pairs.end());
    }
    void text(std::string_view ascii) {
        const auto e = hostside::toEbcdic(ascii);
        out.insert(out.end(), e.begin(), e.end());
    }
    int size() const { return size_; }
    Bytes out;

  private:
    int size_;
    int columns_;
};

}  // namespace

Rendered renderPanel(const Panel& panel, const PanelSet& set, const RenderInput& input) {
    Rendered r;
    Writer w(input.rows, input.columns);
    w.out = {panel.alternate ? kEraseWriteAlternate : kEraseWrite, kWcc};
    int cursor = w.position(panel.cursorRow, panel.cursorColumn);
    // Texts end at the end of their row.
    auto rowText = [&](int column, std::string text) {
        if (column < input.columns)
            text.resize(std::min(text.size(), static_cast<std::size_t>(input.columns - column)));
        w.text(text);
    };
    auto inputField = [&](int row, int column, int length, const std::string& name,
                          const Element& look, const std::string& initial) {
        std::uint8_t bits = 0;
        if (look.numeric) bits |= kNumeric;
        bits |= look.hidden ? kHidden : (look.look.bright ? kBright : 0);
        const int start = w.position(row, column);
        w.field(w.position(row, column - 1), bits, look.look);
        const auto it = input.fields.find(name);
        w.text((it == input.fields.end() ? initial : it->second)
                   .substr(0, static_cast<std::size_t>(length)));
        // A skip stopper after the field, unless the field ends the row.
        if (column + length < input.columns)
            w.field(w.position(row, column + length), kProtected | kNumeric, {});
        r.inputs[start] = name;
        if (name == panel.cursorField) cursor = start;
    };
    for (const auto& e : panel.elements) {
        switch (e.kind) {
            case Element::Kind::Text:
                w.field(w.position(e.row, e.column - 1), kProtected | (e.look.bright ? kBright : 0),
                        e.look);
                rowText(e.column, expand(e.text, input.variable));
                break;
            case Element::Kind::Input:
                inputField(e.row, e.column, e.length, e.text, e, {});
                break;
            case Element::Kind::List: {
                const auto& lines = set.sources.at(e.text);
                for (int i = 0; i < e.length; ++i) {
                    const auto index = static_cast<std::size_t>(input.listTop + i);
                    w.field(w.position(e.row + i, 0), kProtected, {});
                    if (index < lines.size()) rowText(1, lines[index]);
                }
                break;
            }
            case Element::Kind::Lines: {
                const auto& lines = set.sources.at(e.text);
                Element look;
                look.look.color = 0xF4;
                int i = 0;
                for (; i < static_cast<int>(lines.size()) && e.row + i < input.rows - 1; ++i) {
                    char number[16];
                    std::snprintf(number, sizeof number, "%06d", (i + 1) * 100);
                    w.field(w.position(e.row + i, 0), kProtected, {});
                    w.text(number);
                    const std::string name = lineFieldName(i);
                    inputField(e.row + i, e.column, input.columns - e.column, name, look,
                               lines[static_cast<std::size_t>(i)]);
                }
                if (e.row + i < input.rows) {
                    w.field(w.position(e.row + i, 0), kProtected, Look{0xF1, 0, false});
                    rowText(1,
                            "****** **************************** Bottom of Data "
                            "****************************");
                }
                break;
            }
        }
    }
    w.sba(cursor);
    w.out.push_back(kIc);
    r.record = std::move(w.out);
    return r;
}

}  // namespace cedar::demo
