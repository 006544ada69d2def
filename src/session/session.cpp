#include "session/session.h"

namespace cedar {

Session::Session(const ScreenSettings& s, const ScreenSessionOptions& o)
    : settings(s), options(o), screen(settings), records(screen, codePages, status) {
    applySizeOptions();
}

void Session::applySizeOptions() {
    screen.setColorItems(options.colors);
    screen.configureSizes(options, models);
    records.setOptions({.alarm = true,
                        .convertNullsToBlanks = options.convertNullsToBlanks,
                        .showWindowOnUpdate = false});
}

}  // namespace cedar
