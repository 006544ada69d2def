#include "display/qt/terminal_view.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>

#include "display/qt/terminal_accessible.h"

namespace cedar::display::qt {

namespace {

QRect toQRect(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

}  // namespace

TerminalView::TerminalView(const PresentationSpace& ps, const ViewOptions& options, CellSize cell,
                           QWidget* parent)
    : QWidget(parent), ps_(ps), options_(options) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    installTerminalAccessibility();
    font_ = std::make_unique<TerminalFont>(QString::fromStdString(options_.trueTypeFace), cell);
    renderer_ = std::make_unique<TerminalRenderer>(*font_);
    renderer_->setPalette(options_.colors.palette());
    locateTimer_.setInterval(100);
    QObject::connect(&locateTimer_, &QTimer::timeout, this, [this] { locateStep(); });
    rebuildBuffer();
}

TerminalView::~TerminalView() = default;

void TerminalView::setOptions(const ViewOptions& options) {
    const bool newFace = options.trueTypeFace != options_.trueTypeFace;
    options_ = options;
    if (newFace) {
        setCellSize(font_->cell());
        return;
    }
    renderer_->setPalette(options_.colors.palette());
    repaintAll();
}

void TerminalView::setCellSize(CellSize cell) {
    font_ = std::make_unique<TerminalFont>(QString::fromStdString(options_.trueTypeFace), cell);
    renderer_ = std::make_unique<TerminalRenderer>(*font_);
    renderer_->setPalette(options_.colors.palette());
    rebuildBuffer();
    updateGeometry();
}

void TerminalView::setHistory(bool history) {
    if (history == history_) return;
    history_ = history;
    repaintAll();
}

void TerminalView::setShowAttributes(bool show) {
    if (show == showAttributes_) return;
    showAttributes_ = show;
    repaintAll();
}

PaintSettings TerminalView::paintSettings() const {
    return options_.paintSettings(history_, blinkBlank_, showAttributes_);
}

void TerminalView::rebuildBuffer() {
    bufferRows_ = ps_.rows();
    bufferColumns_ = ps_.columns();
    buffer_ = QImage(renderer_->imageSize(bufferColumns_, bufferRows_), QImage::Format_RGB32);
    buffer_.fill(renderer_->color(0));
    paintIntoBuffer(0, bufferRows_ - 1);
    resize(buffer_.size());
    update();
}

void TerminalView::paintIntoBuffer(int first, int last) {
    QPainter p(&buffer_);
    renderer_->paintRows(p, ps_, paintSettings(), first, last);
    if ((options_.ruler & kRulerHorizontal) != 0 && options_.testRulerFix) {
        const auto lines = rulerFixLines(font_->cell(), bufferColumns_, bufferRows_);
        p.fillRect(toQRect(lines.left), renderer_->color(1));
        p.fillRect(toQRect(lines.bottom), renderer_->color(1));
    }
    repaintedRows_ += last - first + 1;
    announceScreenChange();
}

void TerminalView::announceScreenChange() {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(this, QAccessible::TextUpdated);
    QAccessible::updateAccessibility(&event);
}

void TerminalView::repaintAll() {
    if (ps_.rows() != bufferRows_ || ps_.columns() != bufferColumns_) {
        rebuildBuffer();
        return;
    }
    paintIntoBuffer(0, bufferRows_ - 1);
    update();
}

void TerminalView::repaintRows(int first, int last) {
    if (ps_.rows() != bufferRows_ || ps_.columns() != bufferColumns_) {
        rebuildBuffer();
        return;
    }
    first = std::max(first, 0);
    last = std::min(last, bufferRows_ - 1);
    if (first > last) return;
    paintIntoBuffer(first, last);
    const int h = font_->cell().height;
    update(QRect(0, first * h, buffer_.width(), (last - first + 1) * h));
}

void TerminalView::repaintDirtyRows(const PresentationSpace::Plane& changed) {
    const int columns = ps_.columns();
    for (int row = 0; row < ps_.rows(); ++row) {
        const auto begin = changed.begin() + row * columns;
        if (std::find_if(begin, begin + columns, [](std::uint8_t b) { return b != 0; }) !=
            begin + columns) {
            int last = row;
            while (last + 1 < ps_.rows()) {
                const auto next = changed.begin() + (last + 1) * columns;
                if (std::find_if(next, next + columns, [](std::uint8_t b) { return b != 0; }) ==
                    next + columns)
                    break;
                ++last;
            }
            repaintRows(row, last);
            row = last;
        }
    }
}

bool TerminalView::focused() const {
    return drawAsFocused_ || hasFocus();
}

void TerminalView::setDrawAsFocused(bool focused) {
    drawAsFocused_ = focused;
    update();
}

QRect TerminalView::cursorRectFor(int address) const {
    if (address < 0 || address >= ps_.positions() || ps_.columns() <= 0) return {};
    const auto rc = ps_.rowColumnOf(address);
    const auto& style = ps_.insertMode ? options_.insertCursor : options_.normalCursor;
    return toQRect(display::cursorRect(font_->cell(), rc.column, rc.row, style, options_.ruler,
                                       options_.testRulerFix));
}

QRect TerminalView::horizontalRulerRect(int address) const {
    if (address < 0 || address >= ps_.positions()) return {};
    return toQRect(horizontalRuler(font_->cell(), ps_.rowColumnOf(address).row, ps_.columns(),
                                   options_.ruler, options_.testRulerFix));
}

QRect TerminalView::verticalRulerRect(int address) const {
    if (address < 0 || address >= ps_.positions()) return {};
    return toQRect(
        verticalRuler(font_->cell(), ps_.rowColumnOf(address).column, ps_.rows(), options_.ruler));
}

QRect TerminalView::cursorRectangle() const {
    if (!focused() || !cursorOn_ || selection_) return {};
    return cursorRectFor(ps_.cursor());
}

void TerminalView::updateCursorArea(int address) {
    update(cursorRectFor(address));
    // The ruler strips, one pixel either side of the line.
    const QRect h = horizontalRulerRect(address);
    if (!h.isEmpty()) update(h.adjusted(0, -1, 0, 1));
    const QRect v = verticalRulerRect(address);
    if (!v.isEmpty()) update(v.adjusted(-1, 0, 1, 0));
}

void TerminalView::cursorMoved() {
    if (shownCursor_ >= 0) updateCursorArea(shownCursor_);
    updateCursorArea(ps_.cursor());
    shownCursor_ = ps_.cursor();
    cursorOn_ = true;
    if (QAccessible::isActive() && ps_.cursor() >= 0 && ps_.cursor() < ps_.positions()) {
        const auto rc = ps_.rowColumnOf(ps_.cursor());
        QAccessibleTextCursorEvent event(this, rc.row * (ps_.columns() + 1) + rc.column);
        QAccessible::updateAccessibility(&event);
    }
}

void TerminalView::blinkTick(int tick) {
    const auto& style = ps_.insertMode ? options_.insertCursor : options_.normalCursor;
    if (focused() && !selection_ && cursorBlinkToggles(style.blink, tick)) {
        cursorOn_ = !cursorOn_;
        update(cursorRectFor(ps_.cursor()));
    }
    if (!options_.blinkText || (tick != 0 && tick != 1)) return;
    const bool blank = tick == 0;
    if (blank == blinkBlank_) return;
    blinkBlank_ = blank;
    // Only rows holding blinking positions change.
    const int columns = ps_.columns();
    const auto& highs = ps_.highlights();
    for (int row = 0; row < ps_.rows(); ++row) {
        bool blinking = false;
        for (int c = 0; c < columns && !blinking; ++c)
            blinking = (highs[static_cast<std::size_t>(row * columns + c)] & paint_hl::kBlink) != 0;
        // Field highlighting reaches rows without a blinking position of their own.
        if (!blinking)
            blinking = (fieldBefore(ps_, row * columns).highlight & paint_hl::kBlink) != 0;
        if (blinking) repaintRows(row, row);
    }
}

void TerminalView::setSelection(std::optional<SelectionBox> box) {
    selection_ = box;
    update();
}

void TerminalView::locateCursor() {
    locateStep_ = 0;
    locateTimer_.start();
    const auto rc = ps_.rowColumnOf(ps_.cursor());
    update(toQRect(locateRect(font_->cell(), rc.column, rc.row, 3, 1)).adjusted(-1, -1, 1, 1));
}

void TerminalView::locateStep() {
    ++locateStep_;
    if (locateStep_ >= kLocateSteps) {
        locateTimer_.stop();
        locateStep_ = -1;
    }
    // The largest step's rectangle covers every step's drawing.
    const auto rc = ps_.rowColumnOf(ps_.cursor());
    update(toQRect(locateRect(font_->cell(), rc.column, rc.row, 3, 1)).adjusted(-1, -1, 1, 1));
}

void TerminalView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    cursorOn_ = true;
    update();
}

void TerminalView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (locateStep_ >= 0) {
        locateTimer_.stop();
        locateStep_ = -1;
    }
    update();
}

QSize TerminalView::sizeHint() const {
    return buffer_.size();
}

void TerminalView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawImage(event->rect(), buffer_, event->rect());
    if (event->rect().right() >= buffer_.width() || event->rect().bottom() >= buffer_.height()) {
        const QRegion outside = QRegion(event->rect()) - QRegion(buffer_.rect());
        for (const QRect& r : outside)
            p.fillRect(r, renderer_->color(0));
    }
    if (focused()) {
        if (selection_) {
            drawSelection(p);
        } else {
            drawRulers(p);
            if (cursorOn_) drawCursor(p);
        }
        if (locateStep_ >= 0) drawLocate(p);
    } else if (options_.alwaysShowCrosshairs) {
        drawRulers(p);
    }
    shownCursor_ = ps_.cursor();
}

void TerminalView::drawCursor(QPainter& p) {
    const QRect r = cursorRectFor(ps_.cursor()).intersected(buffer_.rect());
    if (r.isEmpty()) return;
    const int mode = options_.cursorColor;
    std::uint8_t colorByte = 0;
    const PaintSettings s = paintSettings();
    if (mode == 1) {
        colorByte = effectiveColorByte(ps_, s, ps_.cursor());
    } else if (mode == 2) {
        int field = -1;
        for (int i = 0, q = ps_.cursor(); i < ps_.positions(); ++i) {
            if (ps_.isAttribute(q)) {
                field = q;
                break;
            }
            q = ps_.previousAddress(q);
        }
        colorByte = field >= 0 ? ps_.colors()[static_cast<std::size_t>(field)] : 0;
        if (colorByte == 0) colorByte = s.defaultColorByte;
    }
    const auto paint = cursorPaint(mode, colorByte, options_.colors, renderer_->palette());
    switch (paint.kind) {
        case CursorPaint::Kind::Invert:
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.fillRect(r, Qt::white);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            break;
        case CursorPaint::Kind::Xor:
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.fillRect(r, renderer_->color(paint.xorIndex));
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            break;
        case CursorPaint::Kind::TwoColor: {
            // Pixels in the cell's own background take the cursor colour, the
            // glyph's pixels the text colour.
            const auto cell =
                runColors(effectiveColorByte(ps_, s, ps_.cursor()),
                          ps_.highlights()[static_cast<std::size_t>(ps_.cursor())], s);
            const QRgb background = renderer_->color(cell.background).rgb();
            QImage patch = buffer_.copy(r);
            const QRgb on = toQColor(paint.background).rgb();
            const QRgb off = toQColor(paint.text).rgb();
            for (int y = 0; y < patch.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(patch.scanLine(y));
                for (int x = 0; x < patch.width(); ++x)
                    line[x] = (line[x] | 0xFF000000u) == (background | 0xFF000000u) ? on : off;
            }
            p.drawImage(r.topLeft(), patch);
            break;
        }
    }
}

void TerminalView::drawRulers(QPainter& p) {
    if (options_.ruler == 0) return;
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QRect h = horizontalRulerRect(ps_.cursor());
    if (!h.isEmpty())
        p.fillRect(h,
                   renderer_->color(options_.colors.foreground[sessionfile::kHorizontalRuleItem]));
    const QRect v = verticalRulerRect(ps_.cursor());
    if (!v.isEmpty())
        p.fillRect(v, renderer_->color(options_.colors.foreground[sessionfile::kVerticalRuleItem]));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TerminalView::drawSelection(QPainter& p) {
    const auto& b = *selection_;
    const QRect r = toQRect(selectionOutline(font_->cell(), b.column1, b.row1, b.column2, b.row2));
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor pen = palette().color(QPalette::Light);
    p.fillRect(QRect(r.left(), r.top(), r.width() + 1, 1), pen);
    p.fillRect(QRect(r.left(), r.bottom() + 1, r.width() + 1, 1), pen);
    p.fillRect(QRect(r.left(), r.top() + 1, 1, r.height()), pen);
    p.fillRect(QRect(r.right() + 1, r.top() + 1, 1, r.height()), pen);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TerminalView::drawLocate(QPainter& p) {
    const auto rc = ps_.rowColumnOf(ps_.cursor());
    const QRect r =
        toQRect(locateRect(font_->cell(), rc.column, rc.row, locateStep_, options_.locateCursor));
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    if (options_.locateCursor == 1) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 2), Qt::white);
        p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), Qt::white);
        p.fillRect(QRect(r.left(), r.top() + 2, 2, r.height() - 4), Qt::white);
        p.fillRect(QRect(r.right() - 1, r.top() + 2, 2, r.height() - 4), Qt::white);
    } else if (locateStep_ % 2 == 0) {
        p.fillRect(r, Qt::white);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace cedar::display::qt
