#include "display/runs.h"

#include <algorithm>

namespace cedar::display {

namespace {

FieldPaint fieldAt(const PresentationSpace& ps, int position) {
    const auto p = static_cast<std::size_t>(position);
    // Find marks belong to their own positions; only the highlight code is inherited.
    return {ps.colors()[p], static_cast<std::uint8_t>(ps.highlights()[p] & hl::kCodeMask),
            fa::isNonDisplay(ps.attributes()[p])};
}

std::uint8_t upperCase(std::uint8_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<std::uint8_t>(c - 0x20);
    return c;
}

}  // namespace

FieldPaint fieldBefore(const PresentationSpace& ps, int position) {
    const int n = ps.positions();
    if (n <= 0) return {};
    int p = position;
    for (int i = 0; i < n; ++i) {
        p = p <= 0 ? n - 1 : p - 1;
        if (ps.isAttribute(p)) return fieldAt(ps, p);
    }
    return {};
}

CellColors runColors(std::uint8_t colorByte, std::uint8_t highlight, const PaintSettings& s) {
    if ((highlight & paint_hl::kMark) != 0) colorByte = s.findForeground & 0x0F;
    auto fg = static_cast<std::uint8_t>(colorByte & 0x0F);
    auto bg = static_cast<std::uint8_t>(colorByte >> 4);
    if (s.history) bg = 9;
    if ((highlight & (paint_hl::kReverse | paint_hl::kMark)) != 0) std::swap(fg, bg);
    return {fg, bg};
}

std::uint8_t effectiveColorByte(const PresentationSpace& ps, const PaintSettings& s, int position) {
    if (position < 0 || position >= ps.positions()) return s.defaultColorByte;
    const auto own = ps.colors()[static_cast<std::size_t>(position)];
    if (own != 0 || ps.isAttribute(position)) return own != 0 ? own : s.defaultColorByte;
    const auto field = fieldBefore(ps, position).color;
    return field != 0 ? field : s.defaultColorByte;
}

std::vector<Run> paintRows(const PresentationSpace& ps, const PaintSettings& s, int firstRow,
                           int lastRow) {
    std::vector<Run> runs;
    const int columns = ps.columns();
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, ps.rows() - 1);
    if (firstRow > lastRow || columns <= 0) return runs;

    const auto& chars = ps.characters();
    const auto& attrs = ps.attributes();
    const auto& colors = ps.colors();
    const auto& highs = ps.highlights();
    const auto& sets = ps.charsets();
    const std::uint8_t lowestShown = s.wang ? 0x0B : 0x20;

    FieldPaint field = fieldBefore(ps, firstRow * columns);
    for (int row = firstRow; row <= lastRow; ++row) {
        Run current;
        std::uint8_t runColor = 0;
        std::uint8_t runHigh = 0;
        auto flush = [&] {
            if (current.count == 0) return;
            const auto c = runColors(runColor, runHigh, s);
            current.foreground = c.foreground;
            current.background = c.background;
            current.underline = (runHigh & paint_hl::kUnderscore) != 0;
            runs.push_back(std::move(current));
            current = Run{};
        };
        for (int column = 0; column < columns; ++column) {
            const auto p = static_cast<std::size_t>(row * columns + column);
            std::uint8_t color;
            std::uint8_t high;
            std::uint8_t ch;
            if (attrs[p] != 0) {
                field = fieldAt(ps, static_cast<int>(p));
                color = colors[p];
                high = 0;
                ch = s.showAttributes ? '.' : ' ';
            } else {
                color = colors[p] != 0 ? colors[p] : field.color;
                const auto own =
                    static_cast<std::uint8_t>(highs[p] & (hl::kCodeMask | hl::kFindMatch));
                high = own != 0 ? own : field.highlight;
                ch = chars[p];
                if (field.nonDisplay) {
                    high = 0;
                    ch = ' ';
                } else if (ch < lowestShown) {
                    ch = ' ';
                } else if ((high & paint_hl::kBlink) != 0 && s.blinkBlank) {
                    ch = ' ';
                } else if (s.allUpperCase && sets[p] != kGraphicEscapeCharset) {
                    ch = upperCase(ch);
                }
            }
            if (color == 0) color = s.defaultColorByte;
            high &= paint_hl::kBlink | paint_hl::kReverse | paint_hl::kUnderscore | paint_hl::kMark;
            const bool ge = sets[p] == kGraphicEscapeCharset;
            if (current.count > 0 &&
                (color != runColor || high != runHigh || ge != current.graphicEscape))
                flush();
            if (current.count == 0) {
                current.row = row;
                current.column = column;
                current.graphicEscape = ge;
                runColor = color;
                runHigh = high;
            }
            ++current.count;
            current.bytes.push_back(static_cast<char>(ch));
        }
        flush();
        if (s.displayByField) {
            for (int column = 0; column < columns; ++column) {
                if (attrs[static_cast<std::size_t>(row * columns + column)] == 0) continue;
                Run fill;
                fill.row = row;
                fill.column = column;
                fill.count = 1;
                fill.fillOnly = true;
                runs.push_back(fill);
            }
        }
    }
    return runs;
}

}  // namespace cedar::display
