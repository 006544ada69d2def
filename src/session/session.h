// The one session of this process: its status, screen, code pages and the
// record processor that applies host data. Owned by the main thread and
// passed by reference; there is never a global session.
#pragma once

#include <array>

#include "screen/code_pages.h"
#include "screen/presentation_space.h"
#include "screen/record_processor.h"
#include "screen/screen_options.h"
#include "screen/session_status.h"

namespace cedar {

class Session {
  public:
    explicit Session(const ScreenSettings& settings = {}, const ScreenSessionOptions& options = {});
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    ScreenSettings settings;
    ScreenSessionOptions options;
    std::array<ScreenModel, 5> models = defaultScreenModels();
    SessionStatus status = SessionStatus::Start;
    CodePages codePages;
    PresentationSpace screen;
    RecordProcessor records;

    // Re-reads the session's size options into the screen (the next erase applies them).
    void applySizeOptions();
};

}  // namespace cedar
