#include "transfer/transfer_progress.h"

namespace cedar {

namespace {

constexpr std::string_view kComplete = "File transfer complete";

std::string countText(const TransferState& state, const TransferOptions& options) {
    const auto count = static_cast<std::int64_t>(state.bytesTransferred);
    if (state.hostType == TransferHostType::Cics) return std::to_string(count);
    return display::formatByteCount(count, options.byteFormat, options.separators);
}

}  // namespace

void closeFile(TransferState& state) {
    if (!state.file) return;
    state.file->close();
    state.file.reset();
}

std::string progressText(const TransferState& state, const TransferOptions& options) {
    return "Bytes transferred = " + countText(state, options);
}

void showProgress(const TransferState& state, TransferLink& link, const TransferOptions& options) {
    link.progressLine(progressText(state, options));
}

void completeTransfer(TransferState& state, TransferLink& link, std::string_view closingMessage,
                      const TransferOptions& options, std::string_view number) {
    closeFile(state);
    state.direction = TransferDirection::None;
    state.completionState = 2;
    state.closingMessage = std::string(number);
    if (!number.empty() && !closingMessage.empty()) state.closingMessage += ' ';
    state.closingMessage += closingMessage;
    link.setStatus(SessionStatus::Unlocked);
    if (closingMessage == kComplete)
        link.progressLine(std::string(kComplete) + " - " + countText(state, options) + " bytes");
    else
        link.progressLine(closingMessage);
    link.progressLine("");
}

bool closingMessageReportsFailure(std::string_view message) {
    const auto start = message.find_first_not_of(' ');
    if (start == std::string_view::npos) return false;
    message.remove_prefix(start);
    const auto digit = [&](std::size_t i) { return message[i] >= '0' && message[i] <= '9'; };
    if (message.size() < 7 || message.substr(0, 5) != "TRANS" || !digit(5) || !digit(6))
        return false;
    const std::string_view number = message.substr(5, 2);
    return number != "03" && number != "04";
}

bool transferAwaitsHost(const TransferState& state, bool keyboardLocked) {
    return state.running() || state.completionState == 2 || keyboardLocked;
}

void failTransfer(TransferState& state, TransferLink& link, std::string_view text) {
    closeFile(state);
    state.keepWindow = true;
    state.errorText = std::string(text);
    link.progressLine(text);
}

}  // namespace cedar
