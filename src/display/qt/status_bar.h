// The status bar "CedarStat" under the terminal: paints the status line
// buffer (display/status_line.h) on the terminal's cell grid, text with the
// session face and status glyphs as pictures, and repaints only the columns
// that changed since the last line. Over column 2 of a secured connection it
// holds the TLS pane, whose click asks for the TLS information dialog.
#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "display/cell_size.h"
#include "display/qt/terminal_renderer.h"
#include "display/status_line.h"

namespace cedar::display::qt {

class StatusBar : public QWidget {
  public:
    static constexpr int kTop = 3;  // the text's top edge

    StatusBar(const QString& family, CellSize cell, QWidget* parent = nullptr);
    ~StatusBar() override;

    void setCellSize(CellSize cell);
    CellSize cellSize() const { return font_->cell(); }
    // The terminal's left offset, so that the columns line up with the screen's.
    void setLeftOffset(int pixels);
    // The colour item "Status Bar".
    void setColors(const QColor& foreground, const QColor& background);
    // StatusBarFullPaint: every new line repaints the whole bar.
    void setFullPaint(bool on) { fullPaint_ = on; }

    // A newly composed line for a screen `width` columns wide (the first
    // width - 1 columns are shown). Only changed columns are invalidated.
    void setLine(const StatusBuffer& line, int width);
    const StatusBuffer& line() const { return line_; }
    // The rectangles the last setLine invalidated.
    const std::vector<QRect>& lastInvalidated() const { return invalidated_; }

    // The TLS pane: shown over column 2 while column 2 holds the secured
    // glyph; releasing the left button over it calls `handler`.
    void setTlsInfoHandler(std::function<void()> handler);
    QWidget* tlsPane() const;
    // Any mouse click on the bar (the main window's ignore-next-click mark).
    void setClickHandler(std::function<void()> handler) { clicked_ = std::move(handler); }

    // The rectangle of columns [first, first + count).
    QRect columnsRect(int first, int count) const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    class TlsPane;
    void placeTlsPane();

    std::unique_ptr<TerminalFont> font_;
    QString family_;
    StatusBuffer line_{};
    int width_ = 80;
    int leftOffset_ = 0;
    bool fullPaint_ = false;
    QColor foreground_{Qt::black};
    QColor background_{Qt::white};
    std::vector<QRect> invalidated_;
    TlsPane* tlsPane_ = nullptr;
    std::function<void()> clicked_;
};

}  // namespace cedar::display::qt
