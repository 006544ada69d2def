// The terminal area: paints the presentation space into a back buffer, one
// fill and one glyph run per run, and draws the cursor, ruler lines,
// selection outline and locate animation over it in paintEvent from state.
// It reads the screen through a const reference and never owns protocol
// state; the session tells it what changed.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "display/qt/terminal_renderer.h"
#include "display/view_options.h"
#include "screen/presentation_space.h"

namespace cedar::display::qt {

struct SelectionBox {
    int column1 = 0;
    int row1 = 0;
    int column2 = 0;
    int row2 = 0;
};

class TerminalView : public QWidget {
  public:
    TerminalView(const PresentationSpace& ps, const ViewOptions& options, CellSize cell,
                 QWidget* parent = nullptr);
    ~TerminalView() override;

    // Colours, cursor and ruler options: rebuilds the palette and repaints.
    void setOptions(const ViewOptions& options);
    const ViewOptions& options() const { return options_; }
    void setCellSize(CellSize cell);
    CellSize cellSize() const { return font_->cell(); }
    bool fontValid() const { return font_->isValid(); }
    const TerminalRenderer& renderer() const { return *renderer_; }

    // A screen from the history is shown (background 9) / ShowAttributes mode.
    void setHistory(bool history);
    void setShowAttributes(bool show);

    // Repaints the whole screen (also after a size change) or some rows.
    void repaintAll();
    void repaintRows(int first, int last);
    // Repaints the rows that hold a marked position of `changed`.
    void repaintDirtyRows(const PresentationSpace::Plane& changed);
    // The cursor moved: the old and new cursor (and ruler) rectangles are
    // repainted, nothing else.
    void cursorMoved();
    // One tick (0..5) of the session's 166 ms timer: text and cursor blink.
    void blinkTick(int tickOfSecond);
    void setSelection(std::optional<SelectionBox> box);
    // The cursor-locating animation: six 100 ms steps.
    void locateCursor();
    bool locating() const { return locateStep_ >= 0; }
    // Draws the cursor as if the window had the focus (offscreen renders).
    void setDrawAsFocused(bool focused);

    const PresentationSpace& presentationSpace() const { return ps_; }
    const QImage& backBuffer() const { return buffer_; }
    // The cursor rectangle as drawn now (empty when none is shown).
    QRect cursorRectangle() const;
    int repaintedRowCount() const { return repaintedRows_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    bool focused() const;
    PaintSettings paintSettings() const;
    void rebuildBuffer();
    void paintIntoBuffer(int first, int last);
    QRect cursorRectFor(int address) const;
    QRect horizontalRulerRect(int address) const;
    QRect verticalRulerRect(int address) const;
    void updateCursorArea(int address);
    void drawCursor(QPainter& p);
    void drawRulers(QPainter& p);
    void drawSelection(QPainter& p);
    void drawLocate(QPainter& p);
    void locateStep();
    void announceScreenChange();

    const PresentationSpace& ps_;
    ViewOptions options_;
    std::unique_ptr<TerminalFont> font_;
    std::unique_ptr<TerminalRenderer> renderer_;
    QImage buffer_;
    int bufferRows_ = 0;
    int bufferColumns_ = 0;
    bool history_ = false;
    bool showAttributes_ = false;
    bool blinkBlank_ = false;
    bool cursorOn_ = true;  // the blink state
    bool drawAsFocused_ = false;
    int shownCursor_ = -1;  // the cursor address last drawn
    std::optional<SelectionBox> selection_;
    QTimer locateTimer_;
    int locateStep_ = -1;
    int repaintedRows_ = 0;
};

}  // namespace cedar::display::qt
