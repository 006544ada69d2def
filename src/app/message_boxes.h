// Message boxes of the program. With CEDAR_MESSAGE_BOXES set in the
// environment nothing is shown: each box's title and text go to standard
// error as one line ("message box: TITLE: TEXT", line breaks as "\n") and
// the box is answered at once, with its default button, or with Cancel/No
// when the variable's value is "cancel". Tests and scripts read and answer
// the program's questions that way.
#pragma once

#include <functional>
#include <string>

#include "session/driver_interfaces.h"

class QWidget;

namespace cedar::app {

// NoYes: Yes and No with No the default button.
// OkHelp: OK and Help (a macro error); Help closes the box and answers Help.
enum class BoxButtons {
    Ok,
    OkCancel,
    RetryCancel,
    YesNo,
    NoYes,
    YesNoCancel,
    AbortRetryIgnore,
    OkHelp
};
enum class BoxAnswer { Ok, Cancel, Retry, Yes, No, Abort, Ignore, Help };

// Shows the box and waits for the answer (for start-up, before the session runs).
BoxAnswer askNow(QWidget* parent, const std::string& title, const std::string& text,
                 MessageIcon icon = MessageIcon::Warning, BoxButtons buttons = BoxButtons::Ok);

// Opens the box without blocking; `done` gets the answer once it is given.
void askLater(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
              BoxButtons buttons, std::function<void(BoxAnswer)> done);

// The line written for a box while CEDAR_MESSAGE_BOXES is set.
std::string messageLine(const std::string& title, const std::string& text);

}  // namespace cedar::app
