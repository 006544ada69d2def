#include "display/qt/status_glyph_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>

#include "display/status_line.h"

namespace cedar::display::qt {

namespace {

namespace g = status_glyph;

void padlock(QPainter& p, const QRectF& c, bool closed) {
    const qreal w = c.width(), h = c.height();
    const QRectF body(c.left() + w * 0.15, c.top() + h * 0.5, w * 0.7, h * 0.35);
    const QRectF shackle(c.left() + w * 0.3, c.top() + h * 0.2, w * 0.4, h * 0.5);
    p.fillRect(body, p.pen().color());
    if (closed) {
        p.drawArc(shackle, 0, 180 * 16);
        p.drawLine(QPointF(shackle.left(), shackle.center().y()),
                   QPointF(shackle.left(), body.top()));
    } else {
        // Swung open: the shackle raised and its left leg free.
        p.drawArc(shackle.translated(0, -h * 0.1), 0, 180 * 16);
    }
    p.drawLine(QPointF(shackle.right(), shackle.center().y() - (closed ? 0 : h * 0.1)),
               QPointF(shackle.right(), body.top()));
}

void arrow(QPainter& p, const QRectF& c, bool left) {
    const qreal y = c.center().y();
    const qreal x0 = c.left() + c.width() * 0.15, x1 = c.right() - c.width() * 0.15;
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
    const qreal tip = left ? x0 : x1;
    const qreal back = left ? tip + c.width() * 0.3 : tip - c.width() * 0.3;
    p.drawLine(QPointF(tip, y), QPointF(back, y - c.height() * 0.2));
    p.drawLine(QPointF(tip, y), QPointF(back, y + c.height() * 0.2));
}

QPolygonF upArrow(const QRectF& c, qreal top) {
    const qreal w = c.width(), h = c.height();
    return QPolygonF({QPointF(c.center().x(), top), QPointF(c.left() + w * 0.1, top + h * 0.3),
                      QPointF(c.left() + w * 0.3, top + h * 0.3),
                      QPointF(c.left() + w * 0.3, c.bottom() - h * 0.15),
                      QPointF(c.right() - w * 0.3, c.bottom() - h * 0.15),
                      QPointF(c.right() - w * 0.3, top + h * 0.3),
                      QPointF(c.right() - w * 0.1, top + h * 0.3)});
}

}  // namespace

void paintStatusGlyph(QPainter& p, std::uint8_t glyph, const QRect& cell, const QColor& color) {
    p.save();
    p.setClipRect(cell);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(color);
    pen.setWidthF(std::max(1.0, cell.width() / 8.0));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF c(cell);
    const qreal w = c.width(), h = c.height();
    switch (glyph) {
        case g::kUnsecured:
            padlock(p, c, false);
            break;
        case g::kSecured:
            padlock(p, c, true);
            break;
        case g::kConnected:
            p.fillRect(QRectF(c.left() + w * 0.2, c.top() + h * 0.25, w * 0.6, h * 0.5), color);
            break;
        case g::kInhibit:
            p.drawLine(QPointF(c.left() + w * 0.15, c.top() + h * 0.25),
                       QPointF(c.right() - w * 0.15, c.bottom() - h * 0.25));
            p.drawLine(QPointF(c.right() - w * 0.15, c.top() + h * 0.25),
                       QPointF(c.left() + w * 0.15, c.bottom() - h * 0.25));
            break;
        case g::kLockLeft:
        case g::kLockRight: {
            // One clock face centred on the line between the two cells.
            const qreal cx = glyph == g::kLockLeft ? c.right() + 1 : c.left();
            const qreal r = std::min(w * 0.9, h * 0.3);
            p.drawEllipse(QPointF(cx, c.center().y()), r, r);
            p.drawLine(QPointF(cx, c.center().y()), QPointF(cx, c.center().y() - r * 0.7));
            p.drawLine(QPointF(cx, c.center().y()), QPointF(cx + r * 0.5, c.center().y()));
            break;
        }
        case g::kProtectedLeft:
            arrow(p, c, true);
            break;
        case g::kProtectedRight:
            arrow(p, c, false);
            break;
        case g::kOverflowLeft:
            p.drawLine(QPointF(c.left() + w * 0.2, c.top() + h * 0.3),
                       QPointF(c.right() - w * 0.2, c.center().y()));
            p.drawLine(QPointF(c.right() - w * 0.2, c.center().y()),
                       QPointF(c.left() + w * 0.2, c.bottom() - h * 0.3));
            break;
        case g::kOverflowRight:
            p.fillRect(QRectF(c.left() + w * 0.35, c.top() + h * 0.25, w * 0.3, h * 0.5), color);
            break;
        case g::kShift1:
            p.drawPolygon(upArrow(c, c.top() + h * 0.15));
            break;
        case g::kShift2:
            p.setBrush(color);
            p.drawPolygon(upArrow(c, c.top() + h * 0.15));
            break;
        case g::kShift3:
            p.setBrush(color);
            p.drawPolygon(upArrow(c, c.top() + h * 0.35));
            p.drawLine(QPointF(c.left() + w * 0.1, c.top() + h * 0.3),
                       QPointF(c.center().x(), c.top() + h * 0.1));
            p.drawLine(QPointF(c.center().x(), c.top() + h * 0.1),
                       QPointF(c.right() - w * 0.1, c.top() + h * 0.3));
            break;
        default:
            p.drawRect(QRectF(c.left() + w * 0.25, c.top() + h * 0.35, w * 0.5, h * 0.3));
            break;
    }
    p.restore();
}

}  // namespace cedar::display::qt
