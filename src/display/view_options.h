// The session options and program settings the terminal area follows,
// read once from the session's options record and kept within range.
#pragma once

#include <optional>
#include <string>

#include "display/colors.h"
#include "display/overlays.h"
#include "display/runs.h"

namespace cedar::display {

struct ViewOptions {
    SessionColors colors;
    CursorStyle normalCursor;
    CursorStyle insertCursor;
    int cursorColor = 0;    // CURSORCOLOR 0..5
    int ruler = 0;          // RULER bits
    int locateCursor = 0;   // 0 blink, 1 explode
    bool blinkText = true;  // BLINKINGTEXT 0
    bool allUpperCase = false;
    std::string borderText;
    std::string trueTypeFace = "IBM 3270";
    std::optional<CellSize> fixedCell;
    // Program settings (cedar.ini).
    bool testRulerFix = false;
    bool alwaysShowCrosshairs = false;
    bool displayByField = false;
    bool wang = false;

    // Values outside their ranges become the nearest valid one (cursor shape
    // and blink 0..2, size 0..6, CURSORCOLOR 0..5, RULER 0..3).
    static ViewOptions load(const sessionfile::SessionOptions& options);

    // The painting settings for one repaint.
    PaintSettings paintSettings(bool history, bool blinkBlank, bool showAttributes) const;
};

}  // namespace cedar::display
