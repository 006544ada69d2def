// The SESSION dialog as the session driver opens it: the dialog over the
// host list and the AppData folder's session files, and what its Connect or
// Save leaves behind (the session file saved, the host list and LastSession
// written, the record in force replaced) before the driver hears of its end.
#pragma once

#include <functional>
#include <string>

#include "app/app_core.h"

class QWidget;

namespace cedar::app {

// Opens the dialog without blocking; `done(connect, sessionFile)` follows
// its end (`connect` false for Save and Cancel).
void runSessionDialog(QWidget* parent, AppCore& core, const std::string& rememberedSessionFile,
                      std::function<void(bool connect, const std::string& sessionFile)> done);

}  // namespace cedar::app
