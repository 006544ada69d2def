#include "session/session_transfer.h"

namespace cedar {

SessionTransfer::SessionTransfer(Session& session, HostSender& sender,
                                 StructuredFields& structuredFields)
    : session_(session),
      sender_(sender),
      structuredFields_(structuredFields),
      protocol_(session.transfer, *this, session.codePages) {
    RecordHooks hooks = session.records.hooks();
    hooks.transfer = &protocol_;
    session.records.setHooks(hooks);
    StructuredFieldLinks links = structuredFields.links();
    links.transfer = &protocol_;
    structuredFields.setLinks(links);
}

SessionTransfer::~SessionTransfer() {
    RecordHooks hooks = session_.records.hooks();
    if (hooks.transfer == &protocol_) {
        hooks.transfer = nullptr;
        session_.records.setHooks(hooks);
    }
    StructuredFieldLinks links = structuredFields_.links();
    if (links.transfer == &protocol_) {
        links.transfer = nullptr;
        structuredFields_.setLinks(links);
    }
}

void SessionTransfer::sendRecord(std::span<const std::uint8_t> record) {
    sender_.sendRecord(record);
}

void SessionTransfer::resendLastRecord() {
    // The sender keeps the record it sends: send a copy of it.
    resend_ = sender_.lastSent();
    if (!resend_.empty()) sender_.sendRecord(resend_);
}

void SessionTransfer::pressPa1() {
    if (pa1_) pa1_();
}

void SessionTransfer::setStatus(SessionStatus status) {
    session_.status = status;
    if (statusChanged_) statusChanged_();
}

void SessionTransfer::progressLine(std::string_view line) {
    if (progress_) progress_(line);
}

}  // namespace cedar
