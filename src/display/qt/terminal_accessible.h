// The terminal area for screen readers: the screen as text (one line per
// row), the cursor as the caret, the kind of field the cursor stands in as
// the description, and a change event whenever the host rewrites the screen.
#pragma once

#include <QAccessibleWidget>
#include <QString>

#include "screen/presentation_space.h"

namespace cedar::display::qt {

class TerminalView;

// The rows as drawn (nondisplay fields, attribute positions and control
// codes blank; graphic escapes as their Unicode characters), joined by "\n".
QString screenText(const PresentationSpace& ps);

// "protected field", "numeric input field", "input field" or "unformatted screen".
QString cursorFieldDescription(const PresentationSpace& ps);

class TerminalAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit TerminalAccessible(TerminalView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override;
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

  private:
    const PresentationSpace& ps() const;
    TerminalView* view() const;
};

// Makes QAccessible create a TerminalAccessible for every TerminalView.
void installTerminalAccessibility();

}  // namespace cedar::display::qt
