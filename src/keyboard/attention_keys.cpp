// The attention keys (kind ACTION), Reset and Undo.
#include <array>

#include "keyboard/keyboard_controller.h"
#include "screen/inbound.h"

namespace cedar::keys {

namespace {

// AIDs of ACTION codes 0..29 (3270 data stream); Attn (0) has none.
constexpr std::array<std::uint8_t, 30> kActionAids = {
    aid::kNone, 0x6D, 0x7D, 0x6C, 0x6E, 0x6B,                    // Attn Clear Enter PA1-PA3
    0xF1,       0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9,  // PF1-PF9
    0x7A,       0x7B, 0x7C,                                      // PF10-PF12
    0xC1,       0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9,  // PF13-PF21
    0x4A,       0x4B, 0x4C};                                     // PF22-PF24

constexpr int kSysReq = static_cast<int>(Action::SysReq);
constexpr int kPa4 = static_cast<int>(Action::PA4);
constexpr int kPa10 = static_cast<int>(Action::PA10);
constexpr int kPf25 = static_cast<int>(Action::PF25);
constexpr int kPf36 = static_cast<int>(Action::PF36);

}  // namespace

std::uint8_t aidOfAction(std::uint8_t code) {
    return code < kActionAids.size() ? kActionAids[code] : aid::kNone;
}

void KeyboardController::attentionKey(std::uint8_t code) {
    // A code without a function sends nothing, so it must not lock the keyboard.
    if (code > kPf36) return;
    ui_->cancelLocateCursorFlash();
    ui_->removeSelection();
    if (status_ != SessionStatus::NotConnected) status_ = SessionStatus::SysLock;
    if (settings_.resetInsertOnActionKey && ps_.insertMode) {
        ps_.insertMode = false;
        ps_.listener().cursorMoved();
    }
    if (!ps_.settings().wordWrapAlways) ps_.wordWrap = ps_.settings().wordWrapDefault;
    ui_->repaintStatusLine();
    if (records_.capturing()) records_.startCapture();  // the next record is collected whole
    aid_.outstanding = true;
    ++state_.attentionsSent;
    if (code < kActionAids.size()) aid_.current = kActionAids[code];

    switch (static_cast<Action>(code)) {
        case Action::Attn:
            attention();
            return;
        case Action::Clear:
            ps_.eraseScreen(ps_.sizeMode());
            ps_.fieldStatistics();
            link_->sendShortRead(aid_.current);
            return;
        case Action::PA1:
        case Action::PA2:
        case Action::PA3:
            link_->sendShortRead(aid_.current);
            return;
        default:
            break;
    }
    if (code < kSysReq) {  // Enter, PF1-PF24
        link_->sendReadModified(aid_.current);
    } else if (code == kSysReq) {
        link_->sendHexString(link_->tn3270eMode() ? settings_.sysreqTn3270e
                                                  : settings_.sysreqTn3270);
    } else {
        const std::uint8_t configured =
            code <= kPa10 ? settings_.paAids[code - kPa4] : settings_.pfAids[code - kPf25];
        aid_.current = configured;
        if (settings_.extendedKeys)
            link_->sendReadModified(configured);
        else
            sendAidOnly(configured);
    }
}

void KeyboardController::attention() {
    if (settings_.attentionReset && status_ != SessionStatus::NotConnected)
        status_ = SessionStatus::Unlocked;
    aid_.current = aid::kNone;
    if (link_->tn3270eMode()) {
        link_->sendHexString(settings_.attnTn3270e);
        return;
    }
    switch (settings_.attentionMethod) {
        case 1: {
            const std::uint8_t brk[] = {0xFF, 0xF3};  // IAC BRK
            link_->sendAid(brk);
            aid_.current = aid::kPa2;
            break;
        }
        case 2: {
            const std::uint8_t ip[] = {0xFF, 0xF4};  // IAC IP
            link_->sendRaw(ip);
            break;
        }
        default:
            link_->sendHexString(settings_.attnTn3270);
            break;
    }
}

void KeyboardController::sendAidOnly(std::uint8_t aidByte) {
    // The AID alone as a record of its own, straight onto the connection:
    // behind an all-zero TN3270E header in TN3270E mode, then IAC EOR.
    std::array<std::uint8_t, 9> bytes{};
    std::size_t n = 0;
    if (link_->tn3270eMode()) n = 5;
    bytes[n++] = aidByte;
    if (aidByte == 0xFF) bytes[n++] = 0xFF;  // a data byte 0xFF travels doubled
    bytes[n++] = 0xFF;
    bytes[n++] = 0xEF;
    link_->sendRaw(ByteSpan(bytes.data(), n));
}

void KeyboardController::reset() {
    if (status_ == SessionStatus::History) ui_->returnToLiveScreen();
    if (settings_.noResetClock && status_ == SessionStatus::Locked) return;
    ps_.insertMode = false;
    if (status_ != SessionStatus::NotConnected) status_ = SessionStatus::Unlocked;
    if (!ps_.settings().wordWrapAlways) ps_.wordWrap = ps_.settings().wordWrapDefault;
    ui_->repaintStatusLine();
    ps_.listener().cursorMoved();
}

void KeyboardController::undo() {
    if (state_.undoArmed) {
        // To the screen as the host last unlocked it, keeping the operator's
        // version for the next Undo.
        if (!state_.unlockImage.taken() || state_.unlockImage.positions != ps_.positions()) return;
        state_.redoImage.take(ps_);
        state_.unlockImage.restoreTo(ps_);
        state_.undoArmed = false;
    } else if (state_.redoImage.restoreTo(ps_)) {
        state_.undoArmed = true;
    }
}

}  // namespace cedar::keys
