#include "session/session_transfer.h"

#include <algorithm>

#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar {

namespace {
constexpr int kLargestBlock = 25000;
}

TransferConfiguration transferConfiguration(const sessionfile::SessionOptions& options,
                                            const Settings& settings,
                                            const display::NumberSeparators& separators,
                                            char sessionId) {
    TransferConfiguration c;
    // A block size of 0 (an old session file) or above the largest is taken
    // as the largest.
    const auto size = options.number(sessionfile::Field::TransferBlockSize);
    c.blockSize = size <= 0 || size > kLargestBlock ? kLargestBlock : static_cast<int>(size);
    c.structuredFields.dftMode = options.number(sessionfile::Field::DftMode) != 0;
    c.structuredFields.transferBlockSize = c.blockSize;
    c.structuredFields.replyCodepage = settings.replyCodepage != 0;
    c.structuredFields.sessionId = sessionId;
    c.transfer.removeHex1A = settings.removeHex1A != 0;
    c.transfer.byteFormat =
        static_cast<display::BigNumberFormat>(std::clamp(settings.bigNumberFormat, 0, 2));
    c.transfer.separators = separators;
    return c;
}

TransferRequest sessionTransferRequest(const TransferDialogValues& values,
                                       TransferDirection direction,
                                       const sessionfile::SessionOptions& options,
                                       const Settings& settings) {
    using sessionfile::Field;
    const bool upload = direction == TransferDirection::Upload;
    TransferRequest request = dialogTransferRequest(
        values, direction, options.text(upload ? Field::UpProgram : Field::DownProgram),
        options.text(upload ? Field::UpAdditionalParameters : Field::DownAdditionalParameters));
    request.convertLfToCrLf = settings.uploadConvertLFtoCRLF != 0;
    return request;
}

void SessionTransfer::setOptions(const TransferOptions& options) {
    protocol_.setOptions(options);
    cut_.configure({.numberFormat = options.byteFormat, .separators = options.separators});
}

void SessionTransfer::configure(const TransferConfiguration& configuration) {
    structuredFields_.setOptions(configuration.structuredFields);
    setOptions(configuration.transfer);
    blockSize_ = configuration.blockSize;
    // DFT reads what the DDM query reply announced.
    session_.transfer.blockSize = configuration.blockSize;
}

SessionTransfer::SessionTransfer(Session& session, HostSender& sender,
                                 StructuredFields& structuredFields)
    : session_(session),
      sender_(sender),
      structuredFields_(structuredFields),
      protocol_(session.transfer, *this, session.codePages),
      cut_(session.transfer, *this, session.codePages) {
    cut_.attachScreen(session.screen);
    protocol_.setCut(&cut_);
    RecordHooks hooks = session.records.hooks();
    hooks.transfer = this;
    session.records.setHooks(hooks);
    StructuredFieldLinks links = structuredFields.links();
    links.transfer = &protocol_;
    structuredFields.setLinks(links);
}

SessionTransfer::~SessionTransfer() {
    RecordHooks hooks = session_.records.hooks();
    if (hooks.transfer == this) {
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

bool SessionTransfer::takeCompletion() {
    if (!protocol_.takeCompletion()) return false;
    if (completion_) completion_(session_.transfer.keepWindow);
    return true;
}

void SessionTransfer::connectionEnded() {
    TransferState& state = session_.transfer;
    // A transfer that has ended waits for the host's screen after it, which
    // will not come now: its end is reported here.
    if (state.completionState == 2 && !state.running()) {
        state.completionState = 0;
        if (completion_) completion_(state.keepWindow);
        return;
    }
    if (!state.running()) return;
    // No host is left to end it: the PC side ends here, as a failure (a
    // download's file holds only what came).
    failTransfer(state, *this, kConnectionEnded);
    // Its end is reported here, not at the next screen (of another connection).
    state.direction = TransferDirection::None;
    progressLine("");
    if (completion_) completion_(true);
}

}  // namespace cedar
