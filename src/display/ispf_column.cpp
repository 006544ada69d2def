#include "display/ispf_column.h"

#include <array>
#include <span>
#include <string_view>

namespace cedar::display {

namespace {

constexpr std::array<std::string_view, 9> kEditNames = {"EDIT",     "VIEW",      "ISREDDE",
                                                        "ISREDDE2", "ISREDDE3",  "ISREDDE4",
                                                        "ISREDDE5", "SDSF EDIT", "ISFEPAN4"};
constexpr std::array<std::string_view, 2> kBrowseNames = {"BROWSE", "ISRBROBA"};
constexpr int kMaxDigits = 8;

enum class Panel { None, Edit, Browse };

class ScreenReader {
  public:
    explicit ScreenReader(const PresentationSpace& ps) : ps_(ps) {}

    int columns() const { return ps_.columns(); }
    int rows() const { return ps_.rows(); }

    // The character shown at row, column; field attributes and nulls show as
    // blanks, and places off the screen read as NUL.
    char at(int row, int column) const {
        if (row < 0 || row >= ps_.rows() || column < 0 || column >= ps_.columns()) return '\0';
        const int p = row * ps_.columns() + column;
        if (ps_.isAttribute(p)) return ' ';
        const auto c = ps_.characters()[static_cast<std::size_t>(p)];
        return c == 0 ? ' ' : static_cast<char>(c);
    }

    bool startsWith(int row, int column, std::string_view text) const {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (at(row, column + static_cast<int>(i)) != text[i]) return false;
        return true;
    }

    // A title: a blank, then one of the panel names.
    Panel title(int row, int column) const {
        if (at(row, column) != ' ') return Panel::None;
        for (auto name : kEditNames)
            if (startsWith(row, column + 1, name)) return Panel::Edit;
        for (auto name : kBrowseNames)
            if (startsWith(row, column + 1, name)) return Panel::Browse;
        return Panel::None;
    }

    // A decimal number above 0 at row, column, followed by a blank.
    std::optional<int> number(int row, int column) const {
        int value = 0;
        int digits = 0;
        while (digits < kMaxDigits) {
            const char c = at(row, column + digits);
            if (c < '0' || c > '9') break;
            value = value * 10 + (c - '0');
            ++digits;
        }
        if (digits == 0 || value == 0 || at(row, column + digits) != ' ') return std::nullopt;
        return value;
    }

    bool splitLine(int row) const { return startsWith(row, 1, ".  .  .  ."); }

  private:
    const PresentationSpace& ps_;
};

struct PanelRule {
    int titleRow;
    Panel panel;
    int minRow;     // cursor row at least this, from the logical screen's start
    int minColumn;  // cursor column at least this
    int numberColumn;
    int columnBase;  // data column = number + cursor column - columnBase
};

std::optional<int> applyRules(const ScreenReader& s, std::span<const PanelRule> rules, int top,
                              int row, int column) {
    for (const PanelRule& rule : rules) {
        if (s.title(top + rule.titleRow, 0) != rule.panel) continue;
        // The first rule whose title is there decides.
        if (row < top + rule.minRow || column < rule.minColumn) return std::nullopt;
        const auto n = s.number(top + rule.titleRow, rule.numberColumn);
        if (!n) return std::nullopt;
        return *n + column - rule.columnBase;
    }
    return std::nullopt;
}

std::optional<int> narrowScreen(const ScreenReader& s, int row, int column) {
    int top = 0;
    for (int r = 0; r <= row && r < s.rows(); ++r) {
        if (!s.splitLine(r)) continue;
        if (row - r <= 4) return std::nullopt;  // on the split line or the panel's head
        top = r + 1;
    }
    static constexpr PanelRule kRules[] = {
        {2, Panel::Edit, 4, 8, 68, 8},
        {2, Panel::Browse, 4, 0, 72, 0},
        {0, Panel::Edit, 3, 8, 68, 8},
        {0, Panel::Browse, 3, 0, 68, 0},
    };
    return applyRules(s, kRules, top, row, column);
}

std::optional<int> sideBySide(const ScreenReader& s, int k, Panel panel, int row, int column) {
    int lastDot = -1;
    for (int c = s.columns() - 30; c < s.columns(); ++c)
        if (s.at(2, c) == '.') lastDot = c;
    if (lastDot < 0 || row < 4 || column > lastDot - 2) return std::nullopt;
    const bool edit = panel == Panel::Edit;
    const int left = edit ? k + 10 : k + 2;
    if (column < left) return std::nullopt;
    const auto n = s.number(2, lastDot - (edit ? 13 : 9));
    if (!n) return std::nullopt;
    return *n + column - left;
}

std::optional<int> wideScreen(const ScreenReader& s, int row, int column) {
    for (int c = 0; c < 30; ++c) {
        if (s.at(3, c) != '.') continue;
        const Panel second = s.title(2, c + 2);
        if (second != Panel::None) return sideBySide(s, c, second, row, column);
        break;
    }
    static constexpr PanelRule kRules[] = {
        {2, Panel::Edit, 4, 8, 120, 8},
        {2, Panel::Browse, 4, 0, 124, 0},
        {0, Panel::Edit, 3, 8, 120, 8},
        {0, Panel::Browse, 3, 0, 124, 0},
    };
    return applyRules(s, kRules, 0, row, column);
}

}  // namespace

std::optional<int> ispfDataColumn(const PresentationSpace& ps, int row, int column) {
    const ScreenReader s(ps);
    if (row < 0 || row >= ps.rows() || column < 0 || column >= ps.columns()) return std::nullopt;
    if (ps.columns() == 80) return narrowScreen(s, row, column);
    if (ps.columns() == 132) return wideScreen(s, row, column);
    return std::nullopt;
}

}  // namespace cedar::display
