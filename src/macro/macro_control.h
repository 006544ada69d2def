// What the built-in functions may ask of the running interpreter, and the
// debug window both write to. The interpreter implements MacroControl; the
// window (or cedar_headless) implements MacroDebugWindow.
#pragma once

#include <string_view>

namespace cedar {

class MacroControl {
  public:
    virtual ~MacroControl() = default;
    // The trust flag KEY and TYPE pass to the key dispatcher (1 normally).
    virtual bool trusted() const { return true; }
    // KEY with the pause function: when the macro resumes, the statement
    // that paused it is passed over first.
    virtual void setPendingAdvance() {}
    // Ends the whole chain at once (an EditBox cancelled by the user). The
    // caller shows its own message.
    virtual void stopChain() {}
};

class MacroDebugWindow {
  public:
    virtual ~MacroDebugWindow() = default;
    // Appends a line, opening the window if needed.
    virtual void debugLine(std::string_view /*text*/) {}
    virtual void open() {}
    virtual void close() {}
    virtual void clear() {}
    virtual void hide() {}
};

}  // namespace cedar
