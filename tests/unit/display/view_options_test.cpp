#include "display/view_options.h"

#include <gtest/gtest.h>

#include "sessionfile/standard_session.h"

namespace cedar::display {
namespace {

using sessionfile::Field;

TEST(ViewOptions, DamagedValuesAreKeptInRange) {
    auto o = sessionfile::standardSessionOptions();
    o.setNumber(Field::NormalCursor, 9);
    o.setNumber(Field::NormalCursorSize, 200);
    o.setNumber(Field::NormalCursorBlink, 7);
    o.setNumber(Field::InsertCursorSize, 4);
    o.setNumber(Field::CursorColor, 77);
    o.setNumber(Field::Ruler, 0xFF);
    o.setNumber(Field::LocateCursor, 3);
    const auto v = ViewOptions::load(o);
    EXPECT_EQ(v.normalCursor.shape, 1);
    EXPECT_EQ(v.normalCursor.size, 6);
    EXPECT_EQ(v.normalCursor.blink, 2);
    EXPECT_EQ(v.insertCursor.size, 4);
    EXPECT_EQ(v.cursorColor, 5);
    EXPECT_EQ(v.ruler, 3);
    EXPECT_EQ(v.locateCursor, 1);
}

TEST(ViewOptions, FaceFixedCellAndPaintSettings) {
    auto o = sessionfile::standardSessionOptions();
    EXPECT_EQ(ViewOptions::load(o).trueTypeFace, "IBM 3270");
    o.setNumber(Field::TrueType, 1);
    o.setText(Field::TrueTypeFontName, "DejaVu Sans Mono");
    o.setNumber(Field::FixedCellSize, 1);
    o.setText(Field::FixedCellSizeText, "10 x 20");
    o.setNumber(Field::BlinkingText, 1);  // blinking text drawn as normal text
    o.setItemColors(sessionfile::kDefaultColorItem, 3, 1);
    o.setItemForeground(sessionfile::kFindHighlightingItem, 0x1E);
    const auto v = ViewOptions::load(o);
    EXPECT_EQ(v.trueTypeFace, "DejaVu Sans Mono");
    EXPECT_EQ(v.fixedCell, (CellSize{10, 20}));
    const auto s = v.paintSettings(true, true, false);
    EXPECT_FALSE(s.blinkBlank);
    EXPECT_TRUE(s.history);
    EXPECT_EQ(s.defaultColorByte, 0x13);
    EXPECT_EQ(s.findForeground, 0x0E);
    o.setNumber(Field::FixedCellSize, 0);
    EXPECT_FALSE(ViewOptions::load(o).fixedCell);
}

}  // namespace
}  // namespace cedar::display
