#include "display/qt/terminal_renderer.h"

#include <QFont>
#include <QGlyphRun>
#include <QPainter>

#include "display/qt/glyphs.h"

namespace cedar::display::qt {

namespace {

quint32 glyphIndex(const QRawFont& font, char32_t c) {
    const char32_t text[1] = {c};
    const QString s = QString::fromUcs4(text, 1);
    const auto indexes = font.glyphIndexesForString(s);
    return indexes.isEmpty() ? 0 : indexes.front();
}

}  // namespace

TerminalFont::TerminalFont(const QString& family, CellSize cell) : cell_(cell) {
    QFont f(family);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setHintingPreference(QFont::PreferNoHinting);
    int pixels = std::max(cell.height, 1);
    for (int tries = 0; tries < 20 && pixels > 1; ++tries, --pixels) {
        f.setPixelSize(pixels);
        raw_ = QRawFont::fromFont(f);
        if (!raw_.isValid()) return;
        if (raw_.ascent() + raw_.descent() <= cell.height + 0.5) break;
    }
    ascent_ = raw_.ascent();
    const quint32 m = glyphIndex(raw_, U'M');
    const auto advances = raw_.advancesForGlyphIndexes(QList<quint32>{m});
    const qreal advance = advances.isEmpty() ? 0 : advances.front().x();
    scale_ = advance > 0 ? cell.width / advance : 1;
    const quint32 blank = glyphIndex(raw_, U' ');
    for (int c = 0; c < 256; ++c) {
        const auto code = static_cast<std::uint8_t>(c);
        const auto s = qt::sessionGlyph(code);
        const auto g = qt::graphicEscapeGlyph(code);
        const quint32 si = glyphIndex(raw_, s.character);
        const quint32 gi = glyphIndex(raw_, g.character);
        session_[code] = si != 0 ? si : blank;
        ge_[code] = gi != 0 ? gi : blank;
        overscore_[code] = s.overscore;
    }
}

QColor toQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

void TerminalRenderer::setPalette(const Palette& palette) {
    palette_ = palette;
    for (std::size_t i = 0; i < palette.size(); ++i)
        colors_[i] = toQColor(palette[i]);
}

QSize TerminalRenderer::imageSize(int columns, int rows) const {
    return {columns * font_.cell().width + 1, rows * font_.cell().height + 1};
}

void TerminalRenderer::paintRuns(QPainter& painter, const std::vector<Run>& runs) const {
    const CellSize cell = font_.cell();
    const quint32 blank = font_.sessionGlyph(' ');
    const qreal scale = font_.horizontalScale();
    for (const auto& run : runs) {
        const int x = run.column * cell.width;
        const int y = run.row * cell.height;
        const QRect rect(x, y, run.count * cell.width, cell.height);
        painter.fillRect(rect, color(run.background));
        if (run.fillOnly) continue;
        const QColor fg = color(run.foreground);
        glyphs_.clear();
        positions_.clear();
        for (int i = 0; i < run.count; ++i) {
            const auto code = static_cast<std::uint8_t>(run.bytes[static_cast<std::size_t>(i)]);
            const quint32 g = run.graphicEscape ? font_.geGlyph(code) : font_.sessionGlyph(code);
            if (!run.graphicEscape && font_.overscore(code))
                painter.fillRect(x + i * cell.width + 1, y + 1, std::max(cell.width - 2, 1), 1, fg);
            if (g == blank) continue;
            glyphs_.push_back(g);
            positions_.emplace_back(i * cell.width / scale, 0);
        }
        if (!glyphs_.empty()) {
            QGlyphRun glyphRun;
            glyphRun.setRawFont(font_.raw());
            glyphRun.setGlyphIndexes(QList<quint32>(glyphs_.begin(), glyphs_.end()));
            glyphRun.setPositions(QList<QPointF>(positions_.begin(), positions_.end()));
            painter.save();
            painter.setPen(fg);
            painter.translate(x, y + font_.ascent());
            painter.scale(scale, 1);
            painter.drawGlyphRun(QPointF(0, 0), glyphRun);
            painter.restore();
        }
        if (run.underline) painter.fillRect(x, y + cell.height - 1, run.count * cell.width, 1, fg);
    }
}

void TerminalRenderer::paintRows(QPainter& painter, const PresentationSpace& ps,
                                 const PaintSettings& s, int first, int last) const {
    paintRuns(painter, display::paintRows(ps, s, first, last));
}

}  // namespace cedar::display::qt
