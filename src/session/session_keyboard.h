// The session's keyboard: the key dispatcher working on the session's
// screen, status and keyboard state, sending through the host link's send
// path, with the host's keyboard restore wired to it (the Undo image and the
// type-ahead replay at the end of every write that restores the keyboard).
//
// It installs itself as the record processor's session events and passes
// every event on to the events installed before it, so other parts of the
// session keep theirs. The session and the host link must outlive it.
#pragma once

#include "keyboard/keyboard_controller.h"
#include "keyboard/sender_link.h"
#include "screen/record_hooks.h"
#include "session/host_link.h"
#include "session/session.h"

namespace cedar {

class SessionKeyboard : private SessionEvents {
  public:
    // `services`: the user interface, the macro recorder and the key
    // functions of later subsystems (null ones do nothing). The link to the
    // host is always the host link's.
    SessionKeyboard(Session& session, HostLink& link, const keys::KeyboardServices& services = {});
    ~SessionKeyboard() override;
    SessionKeyboard(const SessionKeyboard&) = delete;
    SessionKeyboard& operator=(const SessionKeyboard&) = delete;

    keys::KeyboardController& controller() { return controller_; }
    keys::KeyOutcome performKey(keys::KeyWord word, keys::KeySource source) {
        return controller_.performKey(word, source);
    }
    void setServices(const keys::KeyboardServices& services);

  private:
    // SessionEvents: the earlier events first, then the keyboard's part.
    void soundAlarm() override { previous_->soundAlarm(); }
    void keyboardRestored() override;
    void replayTypeAhead() override;
    void refreshDisplay() override { previous_->refreshDisplay(); }
    void sessionManagerDetected(const std::string& name) override {
        previous_->sessionManagerDetected(name);
    }
    void returnToLiveScreen() override { previous_->returnToLiveScreen(); }
    void showWindowOnUpdate() override { previous_->showWindowOnUpdate(); }
    void measureResponseTime(bool aidOutstanding) override {
        previous_->measureResponseTime(aidOutstanding);
    }

    Session& session_;
    SessionTransfer& transfer_;
    keys::SenderKeyboardLink link_;
    keys::KeyboardController controller_;
    SessionEvents* previous_ = nullptr;
};

}  // namespace cedar
