#include "transfer/transfer_session.h"

namespace cedar {

namespace {

// The 3270 Read Modified command (CCW and SNA codes).
bool isReadModified(Bytes record) {
    return !record.empty() && (record[0] == 0xF6 || record[0] == 0x06);
}

bool transferStatus(SessionStatus status) {
    return status == SessionStatus::TransferReady || status == SessionStatus::TransferData ||
           status == SessionStatus::TransferMessage;
}

}  // namespace

TransferSession::TransferSession(TransferState& state, TransferLink& link,
                                 const CodePages& codePages)
    : state_(state), link_(link), dft_(state, link, codePages) {}

void TransferSession::processDftField(Bytes field) {
    dft_.field(field);
}

void TransferSession::keepErrorText(std::string_view text) {
    state_.errorText = std::string(text);
    state_.keepWindow = true;
}

void TransferSession::checkHandshake(Bytes record) {
    if (cut_ != nullptr) cut_->handshake(record);
}

void TransferSession::cutFrame(Bytes record) {
    if (cut_ != nullptr) cut_->endFrame(record);
}

bool TransferSession::offerRecord(Bytes record) {
    if (!state_.running() || !transferStatus(link_.status())) return false;
    if (isReadModified(record)) {
        // The host did not get our last answer: it asks for it again.
        link_.resendLastRecord();
        return true;
    }
    return cut_ != nullptr && cut_->offerRecord(record);
}

bool TransferSession::takeCompletion() {
    if (state_.completionState != 2) return false;
    state_.completionState = 0;
    return true;
}

}  // namespace cedar
