// The demo host's panels, read from a readable text file (data/demo/
// panels.txt describes the format), and turned into 3270 host records.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::demo {

using Bytes = std::vector<std::uint8_t>;

struct Look {
    std::uint8_t color = 0;      // 0xF1..0xF7, 0 for the default
    std::uint8_t highlight = 0;  // 0xF1 blink, 0xF2 reverse, 0xF4 underscore
    bool bright = false;
};

struct Element {
    enum class Kind : std::uint8_t { Text, Input, List, Lines };
    Kind kind = Kind::Text;
    int row = 0;
    int column = 0;
    Look look;
    std::string text;  // Text: the text; Input: the field's name; List, Lines: the source
    int length = 0;    // Input: the field's length; List: the number of rows
    bool numeric = false;
    bool hidden = false;
};

struct Panel {
    std::string name;
    bool alternate = false;  // Erase/Write Alternate
    std::vector<Element> elements;
    std::string cursorField;
    int cursorRow = 0;
    int cursorColumn = 0;
    std::map<std::string, std::string> keys;     // "enter", "pf3", ... -> action
    std::map<std::string, std::string> options;  // option value -> panel
};

struct PanelSet {
    std::map<std::string, Panel> panels;
    std::map<std::string, std::vector<std::string>> sources;
};

// Nothing, with `error` ("line N: ..."), when the text is not a valid panel
// file: unknown words, numbers out of range, a panel or source without
// "end", a goto or option naming no panel, a list naming no source.
std::optional<PanelSet> parsePanels(std::string_view text, std::string& error);

// What a panel is drawn with.
struct RenderInput {
    int rows = 24;
    int columns = 80;
    std::function<std::string(const std::string&)> variable;  // &NAME
    std::map<std::string, std::string> fields;                // input values by name
    int listTop = 0;                                          // first line of a list
};

// One Erase/Write (or Erase/Write Alternate) record of the whole panel, and
// where each input field's data starts (position -> field name).
struct Rendered {
    Bytes record;
    std::map<int, std::string> inputs;
};
Rendered renderPanel(const Panel& panel, const PanelSet& set, const RenderInput& input);

// "&NAME" replaced through `variable`, "&&" as "&".
std::string expand(std::string_view text,
                   const std::function<std::string(const std::string&)>& variable);

// A Lines element's input fields are named LINE1, LINE2, ...
std::string lineFieldName(int index);

}  // namespace cedar::demo
