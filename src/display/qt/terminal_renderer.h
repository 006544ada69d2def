// Paints the runs of the presentation space into an image on the exact cell
// grid: one fill and one glyph run per run, every glyph placed at its cell
// whatever the face's own advance. Shared by the terminal widget, the
// replay tool's --png and the benchmark.
#pragma once

#include <QColor>
#include <QImage>
#include <QRawFont>
#include <QString>
#include <array>
#include <vector>

#include "display/colors.h"
#include "display/overlays.h"
#include "display/runs.h"
#include "screen/presentation_space.h"

class QPainter;

namespace cedar::display::qt {

// A scalable face sized to a cell: the largest pixel size whose height fits
// the cell (at most 20 steps down), squeezed or stretched to the cell width.
class TerminalFont {
  public:
    TerminalFont() = default;
    TerminalFont(const QString& family, CellSize cell);

    bool isValid() const { return raw_.isValid(); }
    CellSize cell() const { return cell_; }
    const QRawFont& raw() const { return raw_; }
    qreal ascent() const { return ascent_; }
    qreal horizontalScale() const { return scale_; }
    // Glyph indexes of the 256 display codes, session face and graphic escape.
    quint32 sessionGlyph(std::uint8_t code) const { return session_[code]; }
    quint32 geGlyph(std::uint8_t code) const { return ge_[code]; }
    bool overscore(std::uint8_t code) const { return overscore_[code]; }

  private:
    QRawFont raw_;
    CellSize cell_{};
    qreal ascent_ = 0;
    qreal scale_ = 1;
    std::array<quint32, 256> session_{};
    std::array<quint32, 256> ge_{};
    std::array<bool, 256> overscore_{};
};

QColor toQColor(Rgb c);

class TerminalRenderer {
  public:
    explicit TerminalRenderer(const TerminalFont& font) : font_(font) {}

    void setPalette(const Palette& palette);
    const Palette& palette() const { return palette_; }
    QColor color(int index) const {
        return colors_[static_cast<std::size_t>(index & 0x1F) % kPaletteSize];
    }

    // The image size for a screen of columns x rows (one spare pixel each way
    // for the ruler fix lines).
    QSize imageSize(int columns, int rows) const;

    // Paints the runs (all of the same row range) into `painter`.
    void paintRuns(QPainter& painter, const std::vector<Run>& runs) const;
    // Paints rows first..last of the screen.
    void paintRows(QPainter& painter, const PresentationSpace& ps, const PaintSettings& s,
                   int first, int last) const;

  private:
    const TerminalFont& font_;
    Palette palette_{};
    std::array<QColor, kPaletteSize> colors_{};
    mutable std::vector<quint32> glyphs_;
    mutable std::vector<QPointF> positions_;
};

}  // namespace cedar::display::qt
