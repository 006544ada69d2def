#include "display/qt/terminal_accessible.h"

#include <QAccessible>

#include "display/qt/glyphs.h"
#include "display/qt/terminal_view.h"
#include "display/runs.h"

namespace cedar::display::qt {

QString screenText(const PresentationSpace& ps) {
    PaintSettings plain;
    const auto runs = paintRows(ps, plain, 0, ps.rows() - 1);
    QString text;
    text.reserve(ps.positions() + ps.rows());
    int row = 0;
    for (const auto& run : runs) {
        if (run.fillOnly) continue;
        for (; row < run.row; ++row)
            text += QLatin1Char('\n');
        for (char byte : run.bytes) {
            const auto code = static_cast<std::uint8_t>(byte);
            const CellGlyph g = run.graphicEscape ? graphicEscapeGlyph(code) : sessionGlyph(code);
            const char32_t c[1] = {g.character};
            text += QString::fromUcs4(c, 1);
        }
    }
    return text;
}

QString cursorFieldDescription(const PresentationSpace& ps) {
    const int cursor = ps.cursor();
    if (cursor < 0 || cursor >= ps.positions()) return {};
    int q = cursor;
    for (int i = 0; i < ps.positions(); ++i) {
        const std::uint8_t a = ps.attributes()[static_cast<std::size_t>(q)];
        if (a != 0) {
            if (q == cursor || fa::isProtected(a)) return QStringLiteral("protected field");
            if ((a & fa::kNumeric) != 0) return QStringLiteral("numeric input field");
            return QStringLiteral("input field");
        }
        q = ps.previousAddress(q);
    }
    return QStringLiteral("unformatted screen");
}

TerminalAccessible::TerminalAccessible(TerminalView* view)
    : QAccessibleWidget(view, QAccessible::Terminal) {}

TerminalView* TerminalAccessible::view() const {
    return static_cast<TerminalView*>(widget());
}

const PresentationSpace& TerminalAccessible::ps() const {
    return view()->presentationSpace();
}

void* TerminalAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TerminalAccessible::text(QAccessible::Text t) const {
    switch (t) {
        case QAccessible::Name:
            return QStringLiteral("Terminal");
        case QAccessible::Value:
            return screenText(ps());
        case QAccessible::Description:
            return cursorFieldDescription(ps());
        default:
            return QAccessibleWidget::text(t);
    }
}

QAccessible::State TerminalAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.editable = true;
    s.readOnly = cursorFieldDescription(ps()) == QStringLiteral("protected field");
    return s;
}

void TerminalAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = 0;
}

int TerminalAccessible::cursorPosition() const {
    const auto& p = ps();
    if (p.cursor() < 0 || p.cursor() >= p.positions()) return 0;
    const auto rc = p.rowColumnOf(p.cursor());
    return rc.row * (p.columns() + 1) + rc.column;
}

QString TerminalAccessible::text(int startOffset, int endOffset) const {
    const QString all = screenText(ps());
    startOffset = std::clamp(startOffset, 0, static_cast<int>(all.size()));
    endOffset = std::clamp(endOffset, startOffset, static_cast<int>(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
}

int TerminalAccessible::characterCount() const {
    const auto& p = ps();
    return p.rows() * (p.columns() + 1) - 1;
}

QRect TerminalAccessible::characterRect(int offset) const {
    const auto& p = ps();
    const int line = p.columns() + 1;
    if (offset < 0 || offset >= characterCount() || offset % line == p.columns()) return {};
    const CellSize cell = view()->cellSize();
    const QRect local((offset % line) * cell.width, (offset / line) * cell.height, cell.width,
                      cell.height);
    return QRect(view()->mapToGlobal(local.topLeft()), local.size());
}

int TerminalAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = view()->mapFromGlobal(point);
    const CellSize cell = view()->cellSize();
    const auto& p = ps();
    if (local.x() < 0 || local.y() < 0 || cell.width <= 0 || cell.height <= 0) return -1;
    const int column = local.x() / cell.width;
    const int row = local.y() / cell.height;
    if (column >= p.columns() || row >= p.rows()) return -1;
    return row * (p.columns() + 1) + column;
}

QString TerminalAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = offset;
    *endOffset = offset;
    return {};
}

namespace {

QAccessibleInterface* terminalFactory(const QString&, QObject* object) {
    if (auto* view = dynamic_cast<TerminalView*>(object)) return new TerminalAccessible(view);
    return nullptr;
}

}  // namespace

void installTerminalAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(terminalFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace cedar::display::qt
