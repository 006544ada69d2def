#include "session/session.h"

#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar {

Session::Session(const ScreenSettings& s, const ScreenSessionOptions& o)
    : settings(s), options(o), screen(settings), records(screen, codePages, status, aid) {
    // Typing word wrap starts as the settings say; screen erases reset it the same way.
    screen.wordWrap = settings.wordWrapAlways || settings.wordWrapDefault;
    applySizeOptions();
}

void Session::applySizeOptions() {
    screen.setColorItems(options.colors);
    screen.configureSizes(options, models);
    records.setOptions({.alarm = true,
                        .convertNullsToBlanks = options.convertNullsToBlanks,
                        .showWindowOnUpdate = false});
}

void Session::applyKeyboardSettings(const sessionfile::SessionOptions& sessionOptions,
                                    const Settings& programSettings) {
    keys::applySessionOptions(keyboardSettings, sessionOptions);
    keys::applyProgramSettings(keyboardSettings, programSettings);
}

}  // namespace cedar
