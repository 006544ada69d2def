// The one session of this process: its status, screen, code pages, the
// record processor that applies host data, and the keyboard's settings and
// state. Owned by the main thread and passed by reference; there is never a
// global session.
#pragma once

#include <array>

#include "keyboard/keyboard_settings.h"
#include "keyboard/keyboard_state.h"
#include "screen/code_pages.h"
#include "screen/presentation_space.h"
#include "screen/record_processor.h"
#include "screen/screen_options.h"
#include "screen/session_status.h"
#include "transfer/transfer_state.h"

namespace cedar {

namespace sessionfile {
class SessionOptions;
}
struct Settings;

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
    // The last AID and whether its answer is awaited (keys, records, host link).
    AidState aid;
    RecordProcessor records;
    // What the key functions consult (session options, program settings)
    // and the state they share (saved status, type-ahead queue, Undo images).
    keys::KeyboardSettings keyboardSettings;
    keys::KeyboardState keyboard;
    // The IND$FILE transfer under way, if any.
    TransferState transfer;

    // Re-reads the session's size options into the screen (the next erase applies them).
    void applySizeOptions();
    // Takes the keyboard's session options and program settings.
    void applyKeyboardSettings(const sessionfile::SessionOptions& sessionOptions,
                               const Settings& programSettings);
};

}  // namespace cedar
