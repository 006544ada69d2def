// Pictures of the status glyphs (bytes 0x80 ... 0x9E of the status line),
// drawn as simple shapes in the foreground colour so that they need no font
// of their own:
//   0x82 open padlock (not secured)      0x91 closed padlock (TLS)
//   0x92 filled box (connected)          0x85 "X" (input inhibited)
//   0x83 0x84 a clock over two cells     0x86 0x87 arrows left and right
//   0x88 0x89 ">" and a bar (overflow)   0x8A outlined, 0x8B filled, 0x8C
//                                        double up arrow (shift states)
// Any other glyph byte is a small hollow square.
#pragma once

#include <QColor>
#include <QRect>
#include <cstdint>

class QPainter;

namespace cedar::display::qt {

void paintStatusGlyph(QPainter& painter, std::uint8_t glyph, const QRect& cell,
                      const QColor& color);

}  // namespace cedar::display::qt
