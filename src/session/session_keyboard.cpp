#include "session/session_keyboard.h"

namespace cedar {

namespace {

// PA1 with the immediate bit.
constexpr keys::KeyWord kTransferPa1 = 0x0301;

keys::KeyboardServices withLink(keys::KeyboardServices services, keys::KeyboardLink& link) {
    services.link = &link;
    return services;
}

}  // namespace

SessionKeyboard::SessionKeyboard(Session& session, HostLink& link,
                                 const keys::KeyboardServices& services)
    : session_(session),
      transfer_(link.transfer()),
      link_(link.inbound(), link.sender(), link.protocol()),
      controller_({session.screen, session.status, session.records, session.aid, session.keyboard,
                   session.keyboardSettings},
                  withLink(services, link_)) {
    link_.setTrace([&link](keys::ByteSpan bytes) { link.traceRawSent(bytes); });
    link_.setLineModeEcho([&link](keys::ByteSpan bytes) { link.echoLineMode(bytes); });
    RecordHooks hooks = session.records.hooks();
    previous_ = hooks.events;
    hooks.events = this;
    session.records.setHooks(hooks);
    // CUT mode stops the host with PA1, carried out even while the
    // keyboard is locked.
    link.transfer().setPa1Key(
        [this] { controller_.performKey(kTransferPa1, keys::KeySource::Internal); });
}

SessionKeyboard::~SessionKeyboard() {
    transfer_.setPa1Key({});
    RecordHooks hooks = session_.records.hooks();
    if (hooks.events != this) return;
    hooks.events = previous_;
    session_.records.setHooks(hooks);
}

void SessionKeyboard::setServices(const keys::KeyboardServices& services) {
    controller_.setServices(withLink(services, link_));
}

void SessionKeyboard::keyboardRestored() {
    previous_->keyboardRestored();
    controller_.keyboardRestored();
}

void SessionKeyboard::replayTypeAhead() {
    previous_->replayTypeAhead();
    controller_.drainTypeahead();
}

}  // namespace cedar
