// SCREEN, ATTRIBUTE, COLOR, HILITE, RAWDATA and ONSCREEN: reading the
// presentation space. Rows and columns count from 1; positions off the
// screen read as 0 or an empty text.
#include <algorithm>

#include "screen/printable.h"
#include "session/macro_functions.h"

namespace cedar {

namespace {

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool onScreenRow(const PresentationSpace& ps, std::int32_t row) {
    return row >= 1 && row <= ps.rows();
}
bool onScreenColumn(const PresentationSpace& ps, std::int32_t column) {
    return column >= 1 && column <= ps.columns();
}

// The whole screen in its printable form, in upper case.
std::string printableScreen(const PresentationSpace& ps) {
    std::string out(static_cast<std::size_t>(ps.positions()), ' ');
    std::uint8_t attribute = attributeInForce(ps, 0);
    for (int p = 0; p < ps.positions(); ++p) {
        if (ps.attributes()[p] != 0) attribute = ps.attributes()[p];
        out[static_cast<std::size_t>(p)] =
            upperAscii(static_cast<char>(printableCode(ps, p, attribute)));
    }
    return out;
}

}  // namespace

std::string SessionMacroHost::screenText(int row, int column, std::optional<int> length) const {
    const PresentationSpace& ps = session_.screen;
    if (!onScreenRow(ps, row) || !onScreenColumn(ps, column)) return {};
    int count = ps.columns() - column + 1;
    if (length && *length >= 0) count = std::min(count, *length);
    count = std::min(count, static_cast<int>(MacroText::kCapacity));
    const int start = (row - 1) * ps.columns() + (column - 1);
    std::string out;
    std::uint8_t attribute = attributeInForce(ps, start);
    for (int p = start; p < start + count; ++p) {
        if (ps.attributes()[p] != 0) attribute = ps.attributes()[p];
        out.push_back(static_cast<char>(printableCode(ps, p, attribute)));
    }
    return out;
}

bool SessionMacroHost::onScreen(std::string_view text, std::optional<int> row,
                                std::optional<int> column) {
    const PresentationSpace& ps = session_.screen;
    if (text.empty()) return false;
    if (row && !onScreenRow(ps, *row)) return false;
    if (column && !onScreenColumn(ps, *column)) return false;
    std::string find(text);
    std::transform(find.begin(), find.end(), find.begin(), upperAscii);
    const std::string screen = printableScreen(ps);
    std::size_t first = 0, last = screen.size();  // match starts in [first, last)
    if (row) {
        first = static_cast<std::size_t>((*row - 1) * ps.columns());
        last = first + static_cast<std::size_t>(ps.columns());
        if (column) {
            first += static_cast<std::size_t>(*column - 1);
            last = first + 1;
        }
    }
    const std::size_t at = screen.find(find, first);
    if (at == std::string::npos || at >= last) return false;
    const auto rc = ps.rowColumnOf(static_cast<int>(at));
    lastMatch_ = {rc.row + 1, rc.column + 1};
    return true;
}

MacroError SessionMacroHost::screenFunction(ReservedWord word, std::span<const MacroValue> args,
                                            MacroValue& result) {
    const PresentationSpace& ps = session_.screen;
    const auto number = [&](std::size_t i) { return macroNumberOf(args, i); };
    const auto optionalNumber = [&](std::size_t i) {
        return i < args.size() ? std::optional<int>(number(i)) : std::nullopt;
    };
    if (word == ReservedWord::Screen) {
        result = MacroValue::ofText(screenText(number(0), number(1), optionalNumber(2)));
        return MacroError::None;
    }
    if (word == ReservedWord::OnScreen) {
        const bool found = onScreen(macroTextOf(args, 0), optionalNumber(1), optionalNumber(2));
        result = MacroValue::ofNumber(found ? 1 : 0);
        return MacroError::None;
    }
    const std::int32_t row = number(0), column = number(1);
    std::int32_t value = 0;
    if (onScreenRow(ps, row) && onScreenColumn(ps, column)) {
        const int p = (row - 1) * ps.columns() + (column - 1);
        switch (word) {
            case ReservedWord::Attribute:
                value = ps.attributes()[p];
                break;
            case ReservedWord::Color:
                value = ps.colors()[p];
                break;
            case ReservedWord::Hilite:
                value = ps.highlights()[p];
                break;
            default:
                value = ps.hostCodes()[p];
                break;
        }
    }
    result = MacroValue::ofNumber(value);
    return MacroError::None;
}

}  // namespace cedar
