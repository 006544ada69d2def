// The macro debug window of a session: the lines macros write with DEBUG,
// the statement trace and REXX output, in a list with the buttons Clear and
// Copy. One per session, created on first use and owned by the main window;
// its position and size are kept with the session's window positions.
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "macro/macro_control.h"

class QListWidget;
class QPushButton;

namespace cedar::app {

class DebugWindow : public QWidget {
  public:
    // Copy puts at most this many bytes on the clipboard (whole lines).
    static constexpr std::size_t kCopyLimit = 65'500;

    explicit DebugWindow(char sessionId, QWidget* parent = nullptr);

    // Adds the text as the last line and scrolls it into view.
    void addLine(std::string_view text);
    void clearLines();
    // Every line followed by CR LF, up to kCopyLimit bytes.
    std::string copyText() const;
    // Copy: copyText() onto the clipboard.
    void copyToClipboard() const;
    int lineCount() const;
    std::string line(int index) const;

    // Called with the window's frame rectangle after a move or a size while
    // it is taller than 100 pixels.
    void setGeometryChanged(std::function<void(const QRect&)> changed) {
        geometryChanged_ = std::move(changed);
    }

    QPushButton* clearButton() const { return clear_; }
    QPushButton* copyButton() const { return copy_; }
    QListWidget* list() const { return list_; }

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void remember();

    QListWidget* list_;
    QPushButton* clear_;
    QPushButton* copy_;
    std::function<void(const QRect&)> geometryChanged_;
};

// The debug window as macros reach it: created on first use with the
// session's remembered geometry, which it keeps up to date. With
// CEDAR_MESSAGE_BOXES set (the program under test) every line is also
// written to standard error as "debug TEXT".
class SessionDebugWindow : public MacroDebugWindow {
  public:
    struct Geometry {
        int left = 0, top = 0, width = 0, height = 0;  // width 0: none remembered
    };
    SessionDebugWindow(QWidget* owner, char sessionId, std::function<Geometry()> load,
                       std::function<void(const Geometry&)> save);
    ~SessionDebugWindow() override;

    void debugLine(std::string_view text) override;
    void open() override;
    void close() override;
    void clear() override;
    void hide() override;

    // The window, when it exists.
    DebugWindow* window() const { return window_; }

  private:
    DebugWindow& ensure();

    QWidget* owner_;
    char sessionId_;
    std::function<Geometry()> load_;
    std::function<void(const Geometry&)> save_;
    DebugWindow* window_ = nullptr;
};

}  // namespace cedar::app
