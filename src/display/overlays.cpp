#include "display/overlays.h"

#include <algorithm>

namespace cedar::display {

int cursorThickness(int size, int cellDimension) {
    switch (size) {
        case 0:
        case 1:
        case 2:
            return std::min(size + 1, std::max(cellDimension, 1));
        case 3:
            return std::max(cellDimension / 8, 1);
        case 4:
            return std::max(cellDimension / 4, 1);
        case 5:
            return std::max(cellDimension / 2, 1);
        default:
            return std::max(cellDimension, 1);
    }
}

Rect cursorRect(CellSize cell, int column, int row, const CursorStyle& style, int ruler,
                bool testRulerFix) {
    int left = column * cell.width;
    const int top = row * cell.height;
    int bottom = top + cell.height;  // exclusive
    const int right = left + cell.width;
    if ((ruler & kRulerHorizontal) != 0 && !testRulerFix) --bottom;
    if ((ruler & kRulerVertical) != 0) ++left;
    Rect r;
    if (style.shape == 1) {
        const int t = cursorThickness(style.size, cell.width);
        r = {left, top, std::min(t, right - left), bottom - top};
    } else {
        const int t = std::min(cursorThickness(style.size, cell.height), bottom - top);
        r = {left, bottom - t, right - left, t};
    }
    return r;
}

Rect horizontalRuler(CellSize cell, int row, int columns, int ruler, bool testRulerFix) {
    if ((ruler & kRulerHorizontal) == 0) return {};
    const int y = (row + 1) * cell.height - (testRulerFix ? 0 : 1);
    return {0, y, columns * cell.width, 1};
}

Rect verticalRuler(CellSize cell, int column, int rows, int ruler) {
    if ((ruler & kRulerVertical) == 0) return {};
    return {column * cell.width, 0, 1, rows * cell.height};
}

RulerFixLines rulerFixLines(CellSize cell, int columns, int rows) {
    const int height = rows * cell.height;
    return {{0, 0, 1, height + 1}, {0, height, columns * cell.width + 1, 1}};
}

Rect selectionOutline(CellSize cell, int column1, int row1, int column2, int row2) {
    const int c0 = std::min(column1, column2);
    const int c1 = std::max(column1, column2);
    const int r0 = std::min(row1, row2);
    const int r1 = std::max(row1, row2);
    return {c0 * cell.width, r0 * cell.height, (c1 - c0 + 1) * cell.width,
            (r1 - r0 + 1) * cell.height};
}

Rect locateRect(CellSize cell, int column, int row, int step, int locateMode) {
    static constexpr int kGrow[kLocateSteps] = {0, 2, 4, 6, 4, 2};
    const int g = locateMode == 1 && step >= 0 && step < kLocateSteps ? kGrow[step] : 0;
    return {column * cell.width - g, row * cell.height - g, cell.width + 2 * g,
            cell.height + 2 * g};
}

bool cursorBlinkToggles(int blink, int tick) {
    if (blink == 2) return true;
    return blink == 1 && tick == 3;
}

CursorPaint cursorPaint(int cursorColor, std::uint8_t cellColorByte, const SessionColors& colors,
                        const Palette& palette) {
    constexpr Rgb kBlack{0, 0, 0};
    constexpr Rgb kWhite{255, 255, 255};
    CursorPaint p;
    switch (cursorColor) {
        case 1:
        case 2: {
            const int index =
                cellColorByte < 16 ? colors.foreground[cellColorByte] & 0x0F : cellColorByte & 0x0F;
            p.kind = CursorPaint::Kind::TwoColor;
            p.background = palette[static_cast<std::size_t>(index)];
            p.text = kBlack;
            break;
        }
        case 3:
            p.kind = CursorPaint::Kind::TwoColor;
            p.background = kWhite;
            p.text = kBlack;
            break;
        case 4:
            p.kind = CursorPaint::Kind::TwoColor;
            p.background = kBlack;
            p.text = kWhite;
            break;
        case 5:
            p.kind = CursorPaint::Kind::Xor;
            p.xorIndex = colors.foreground[sessionfile::kSpecifiedCursorItem] & 0x0F;
            break;
        default:
            p.kind = CursorPaint::Kind::Invert;
            break;
    }
    return p;
}

std::string borderBandText(std::string_view text) {
    if (!text.empty() && text.front() == '.') return std::string(text.substr(1, kBorderTextLimit));
    if (text.empty()) return {};
    if (text.size() >= kBorderTextLimit) return std::string(text.substr(0, kBorderTextLimit));
    std::string band;
    while (band.size() + text.size() <= kBorderTextLimit) {
        band.append(text);
        band.append(5, ' ');
    }
    return band.substr(0, kBorderTextLimit);
}

}  // namespace cedar::display
