#include "display/qt/status_bar.h"

#include <QGlyphRun>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "display/qt/status_glyph_painter.h"

namespace cedar::display::qt {

class StatusBar::TlsPane : public QWidget {
  public:
    explicit TlsPane(QWidget* parent) : QWidget(parent) {
        setObjectName("SSLInfoWindow");
        setCursor(Qt::PointingHandCursor);
    }
    std::function<void()> handler;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            handler)
            handler();
    }
};

StatusBar::StatusBar(const QString& family, CellSize cell, QWidget* parent)
    : QWidget(parent),
      font_(std::make_unique<TerminalFont>(family, cell)),
      family_(family),
      tlsPane_(new TlsPane(this)) {
    setObjectName("CedarStat");
    line_.fill(' ');
    tlsPane_->setGeometry(0, 0, 0, 0);
}

StatusBar::~StatusBar() = default;

void StatusBar::setCellSize(CellSize cell) {
    font_ = std::make_unique<TerminalFont>(family_, cell);
    placeTlsPane();
    updateGeometry();
    update();
}

void StatusBar::setLeftOffset(int pixels) {
    leftOffset_ = pixels;
    placeTlsPane();
    update();
}

void StatusBar::setColors(const QColor& foreground, const QColor& background) {
    foreground_ = foreground;
    background_ = background;
    update();
}

void StatusBar::setTlsInfoHandler(std::function<void()> handler) {
    tlsPane_->handler = std::move(handler);
}

QWidget* StatusBar::tlsPane() const {
    return tlsPane_;
}

QRect StatusBar::columnsRect(int first, int count) const {
    const CellSize cell = font_->cell();
    return {cell.width / 2 + leftOffset_ + first * cell.width, kTop, count * cell.width,
            cell.height};
}

QSize StatusBar::sizeHint() const {
    const CellSize cell = font_->cell();
    return {cell.width * (width_ + 1) + leftOffset_, cell.height + 2 * kTop + 2};
}

void StatusBar::placeTlsPane() {
    if (line_[2] == status_glyph::kSecured)
        tlsPane_->setGeometry(columnsRect(2, 1));
    else
        tlsPane_->setGeometry(0, 0, 0, 0);
}

void StatusBar::setLine(const StatusBuffer& line, int width) {
    const StatusBuffer before = line_;
    const int oldWidth = width_;
    line_ = line;
    width_ = std::clamp(width, 1, kStatusColumns);
    placeTlsPane();
    invalidated_.clear();
    if (fullPaint_ || oldWidth != width_) {
        invalidated_.push_back(rect());
        update();
        return;
    }
    for (const ColumnRun& run : changedColumns(before, line_, width_)) {
        // From the first changed column to the end of the run.
        invalidated_.push_back(columnsRect(run.first, run.count));
        update(invalidated_.back());
    }
}

void StatusBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const CellSize cell = font_->cell();
    const QPalette& pal = palette();
    p.fillRect(QRect(0, 1, width(), height() - 1), pal.color(QPalette::Button));
    p.fillRect(QRect(QPoint(3, 3), QPoint(width() - 3, height() - 1)), background_);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(0, 0, width() - 1, 0);

    const int shown = std::max(0, width_ - 1);
    const int x0 = cell.width / 2 + leftOffset_;
    if (font_->isValid()) {
        const qreal scale = font_->horizontalScale();
        const quint32 blank = font_->sessionGlyph(' ');
        QList<quint32> glyphs;
        QList<QPointF> positions;
        for (int c = 0; c < shown; ++c) {
            const auto code = line_[static_cast<std::size_t>(c)];
            if (isStatusGlyph(code)) continue;
            const quint32 g = font_->sessionGlyph(code);
            if (g == blank) continue;
            glyphs.push_back(g);
            positions.push_back(QPointF(c * cell.width / scale, 0));
        }
        if (!glyphs.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(font_->raw());
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            p.save();
            p.setPen(foreground_);
            p.translate(x0, kTop + font_->ascent());
            p.scale(scale, 1);
            p.drawGlyphRun(QPointF(0, 0), run);
            p.restore();
        }
    }

    // The sunken frame.
    const QRect frame(QPoint(5, 5), QPoint(width() - 5, cell.height + 1));
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(frame.topLeft(), frame.topRight());
    p.drawLine(frame.topLeft(), frame.bottomLeft());
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(frame.bottomLeft(), frame.bottomRight());
    p.drawLine(frame.topRight(), frame.bottomRight());

    for (int c = 0; c < shown; ++c) {
        const auto code = line_[static_cast<std::size_t>(c)];
        if (isStatusGlyph(code)) paintStatusGlyph(p, code, columnsRect(c, 1), foreground_);
    }
}

void StatusBar::mousePressEvent(QMouseEvent* event) {
    if (clicked_) clicked_();
    QWidget::mousePressEvent(event);
}

}  // namespace cedar::display::qt
