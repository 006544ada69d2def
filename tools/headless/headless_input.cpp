#include "headless_input.h"

namespace cedar::headless {

std::optional<int> positionOf(const PresentationSpace& ps, long row, long column) {
    if (row < 1 || row > ps.rows() || column < 1 || column > ps.columns()) return std::nullopt;
    return static_cast<int>((row - 1) * ps.columns() + (column - 1));
}

std::optional<keys::KeyWord> keyWordByName(const keys::KeyList& list, std::string_view name) {
    const auto word = list.keyFunctionByName(name);
    if (!word) return std::nullopt;
    const keys::KeyFunction* entry =
        list.keyFunctionByCode(keys::kindOf(*word), keys::codeOf(*word));
    const bool immediate = entry != nullptr && (entry->flags & keys::kDefaultImmediate) != 0;
    return static_cast<keys::KeyWord>(*word | (immediate ? keys::kImmediate : 0));
}

bool takesPosition(keys::KeyWord word) {
    using keys::Edit;
    using keys::Kind;
    using keys::Oper;
    const std::uint8_t code = keys::codeOf(word);
    switch (keys::kindOf(word)) {
        case Kind::Oper:
            return code == static_cast<int>(Oper::MoveCursor) ||
                   code == static_cast<int>(Oper::MoveCursorEnter);
        case Kind::Edit:
            switch (static_cast<Edit>(code)) {
                case Edit::SelectField:
                case Edit::SelectLine:
                case Edit::SelectWord:
                case Edit::SelectLocation1:
                case Edit::SelectLocation2:
                case Edit::SelectJCL:
                case Edit::SelectText:
                    return true;
                default:
                    return false;
            }
        default:
            return false;
    }
}

}  // namespace cedar::headless
