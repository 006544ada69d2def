// The character cell: which size is chosen for a window (from the sizes a
// face offers, or freely for a scalable face), the six font steps, and the
// layout of the main window's children around the terminal area.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "display/overlays.h"

namespace cedar::display {

inline constexpr CellSize kFallbackCell{8, 15};  // "Fixedsys"
inline constexpr int kToolBarHeight = 28;
inline constexpr int kMenuBarAllowance = 19;

struct FontLimits {
    int minWidth = 4;    // MinFontWidth
    int minHeight = 6;   // MinFontHeight
    int maxWidth = 40;   // MaxFontWidth
    int maxHeight = 60;  // MaxFontHeight
};

struct WindowMetrics {
    int windowWidth = 0;  // outer size
    int windowHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    int toolBarHeight = kToolBarHeight;  // 0 while hidden
    bool menuBarShown = true;
    bool maximized = false;
};

struct CellRequest {
    int columns = 80;
    int rows = 24;
    bool sizeWindowToFont = false;  // SIZEWINDOWTOFONT
    int borderSize = 0;             // BORDERSIZE
    std::optional<CellSize> fixedCell;
};

struct CellChoice {
    CellSize cell;
    bool fallback = false;  // the face had no usable size: "Fixedsys" 8 x 15
};

// "%d x %d" of the fixed cell size, both numbers non-zero.
std::optional<CellSize> parseFixedCellSize(std::string_view text);

// A face's listed sizes: the one closest to the window-based area with
// SIZEWINDOWTOFONT (not maximized), else the largest that fits the client
// area, else the first listed; a zero size falls back to 8 x 15.
CellChoice chooseListedCell(const std::vector<CellSize>& sizes, const WindowMetrics& window,
                            const CellRequest& request);

// A scalable face: the remembered size of this screen size in the normal
// state, else the client area divided among the columns and rows + 1.
CellSize chooseScalableCell(const WindowMetrics& window, const CellRequest& request,
                            std::optional<CellSize> remembered, const FontLimits& limits);

enum class FontStep { Smaller, Larger, Narrower, Wider, Shorter, Taller };

// The next listed size in a direction, searched in list order (from the end
// for Smaller, Narrower, Shorter); nothing when there is none.
std::optional<CellSize> stepListedCell(const std::vector<CellSize>& sizes, CellSize current,
                                       FontStep step);
// One pixel for a scalable face, within the limits.
std::optional<CellSize> stepScalableCell(CellSize current, FontStep step, const FontLimits& limits);

// The cell size remembered for the default (1) and alternate (2) size.
class CellMemory {
  public:
    void remember(int sizeMode, CellSize cell);
    std::optional<CellSize> recall(int sizeMode) const;
    // The cell for the size being entered: the current one with
    // KEEPFONTCONSTANTONMODESWITCH, else the one remembered for that size.
    std::optional<CellSize> onSizeSwitch(int newSizeMode, CellSize current,
                                         bool keepConstant) const;

  private:
    std::array<CellSize, 2> sizes_{};
};

struct FrameMetrics {
    int frameWidth = 0;     // one side
    int frameHeight = 0;    // top + bottom
    int captionHeight = 0;  // window top to client top (caption and menu bar)
};

struct LayoutRequest {
    CellSize cell;
    int columns = 80;
    int rows = 24;
    bool sizeWindowToFont = false;
    bool scalable = false;
    bool keepCellState = false;  // window state 98, or a scalable cell not chosen yet
    int borderSize = 0;
    bool testRulerFix = false;
};

struct Layout {
    int terminalWidth = 0;
    int terminalHeight = 0;
    Rect toolBar;
    Rect terminal;  // one pixel more each way with TestRulerFix
    Rect statusBar;
    std::optional<CellSize> windowSize;  // with SIZEWINDOWTOFONT: the window's new outer size
};

Layout layoutWindow(const WindowMetrics& window, const FrameMetrics& frame,
                    const LayoutRequest& request);

}  // namespace cedar::display
