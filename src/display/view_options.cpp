#include "display/view_options.h"

#include <algorithm>

#include "display/cell_size.h"

namespace cedar::display {

namespace {

using sessionfile::Field;

int clamped(const sessionfile::SessionOptions& o, Field f, int high) {
    return static_cast<int>(std::clamp<std::int64_t>(o.number(f), 0, high));
}

}  // namespace

ViewOptions ViewOptions::load(const sessionfile::SessionOptions& o) {
    ViewOptions v;
    v.colors = SessionColors::load(o);
    v.normalCursor = {std::min(clamped(o, Field::NormalCursor, 255), 1),
                      clamped(o, Field::NormalCursorSize, 6),
                      clamped(o, Field::NormalCursorBlink, 2)};
    v.insertCursor = {std::min(clamped(o, Field::InsertCursor, 255), 1),
                      clamped(o, Field::InsertCursorSize, 6),
                      clamped(o, Field::InsertCursorBlink, 2)};
    v.cursorColor = clamped(o, Field::CursorColor, 5);
    v.ruler = clamped(o, Field::Ruler, 255) & 3;
    v.locateCursor = clamped(o, Field::LocateCursor, 1);
    v.blinkText = o.number(Field::BlinkingText) == 0;
    v.allUpperCase = o.number(Field::AllUpperCase) != 0;
    v.borderText = o.text(Field::BorderText);
    if (o.number(Field::TrueType) != 0) {
        const auto face = o.text(Field::TrueTypeFontName);
        if (!face.empty()) v.trueTypeFace = face;
    }
    if (o.number(Field::FixedCellSize) != 0)
        v.fixedCell = parseFixedCellSize(o.text(Field::FixedCellSizeText));
    return v;
}

PaintSettings ViewOptions::paintSettings(bool history, bool blinkBlank, bool showAttributes) const {
    PaintSettings s;
    s.defaultColorByte = colors.defaultColorByte();
    s.findForeground = colors.foreground[sessionfile::kFindHighlightingItem];
    s.history = history;
    s.blinkBlank = blinkBlank && blinkText;
    s.allUpperCase = allUpperCase;
    s.showAttributes = showAttributes;
    s.displayByField = displayByField;
    s.wang = wang;
    return s;
}

}  // namespace cedar::display
