#include "transfer/transfer_request.h"

#include <array>
#include <cstdint>

#include "keyboard/key_word.h"
#include "transfer/transfer_progress.h"

namespace cedar {

namespace {

constexpr std::size_t kMaxPcPath = 256;

bool isAbsolute(std::string_view name) {
    return name.starts_with('/') || name.starts_with("\\\\") ||
           name.find(':') != std::string_view::npos;
}

// Reads the whole file: true when it holds an LF and no CR, so that its
// lines need a CR each on the way to the host.
bool lineFeedsOnly(TransferFile& file) {
    std::array<std::uint8_t, 16384> buffer{};
    bool lineFeed = false;
    for (;;) {
        const auto got = file.read(buffer);
        if (!got || *got == 0) break;
        for (std::size_t i = 0; i < *got; ++i) {
            if (buffer[i] == '\r') return false;
            if (buffer[i] == '\n') lineFeed = true;
        }
    }
    return lineFeed;
}

TransferStart refused(std::string text, std::string title) {
    TransferStart start;
    start.kind = TransferStart::Kind::Refused;
    start.message = {std::move(text), std::move(title)};
    return start;
}

}  // namespace

std::optional<std::string> transferPcPath(std::string_view folder, std::string_view name,
                                          TransferMessage& error) {
    if (name.empty()) {
        error = {"Please enter the name of the PC file.", "File name missing"};
        return std::nullopt;
    }
    std::string path;
    if (isAbsolute(name) || folder.empty()) {
        path = name;
    } else {
        path = folder;
        if (!path.ends_with('/')) path += '/';
        path += name;
    }
    if (path.size() > kMaxPcPath) {
        error = {"Path length exceeds 256, please shorten the directory or filename.",
                 "Path too long"};
        return std::nullopt;
    }
    return path;
}

TransferStart startTransferRequest(const TransferRequest& request, TransferStartContext& context) {
    const bool upload = request.direction == TransferDirection::Upload;
    if (request.direction == TransferDirection::None)
        return refused("No transfer direction was given.", "File Transfer");
    if (context.state.running())
        return refused("A file transfer is already in progress.", "File Transfer in Progress");

    TransferMessage pathError;
    const auto path = transferPcPath(request.pcFolder, request.pcName, pathError);
    if (!path) return refused(pathError.text, pathError.title);

    // The command is typed into the host's field; a session that is not
    // connected or not ready for input would lose it.
    const SessionStatus status = context.link.status();
    if (status == SessionStatus::NotConnected)
        return refused("The session is not connected to a host.", "File Transfer");
    if (context.keyboard.locked())
        return refused(
            "The keyboard is locked. Wait until the host is ready for input,\nthen "
            "start the transfer again.",
            "File Transfer");

    TransferStart start;
    start.pcPath = *path;

    bool lfToCrLf = false;
    std::string error;
    std::unique_ptr<TransferFile> file;
    if (upload) {
        if (request.convertLfToCrLf && request.command.crlf) {
            auto probe = context.files.open(*path, TransferFileOpener::Mode::Read, error);
            if (probe) {
                lfToCrLf = lineFeedsOnly(*probe);
                probe->close();
            }
        }
        if (error.empty()) file = context.files.open(*path, TransferFileOpener::Mode::Read, error);
    } else {
        file = context.files.open(*path,
                                  request.command.append ? TransferFileOpener::Mode::Append
                                                         : TransferFileOpener::Mode::Create,
                                  error);
    }
    if (!file) {
        context.link.progressLine(error.empty() ? "The PC file could not be opened." : error);
        start.kind = TransferStart::Kind::FileError;
        start.message = {error, "File Transfer"};
        return start;
    }

    start.command = transferCommand(request.direction, request.program, request.hostName,
                                    request.command, context.hostDollar);
    keys::KeyboardController& keyboard = context.keyboard;
    keyboard.performKey(keys::editKey(keys::Edit::EraseEOF, keys::kImmediate),
                        keys::KeySource::Internal);
    if (keyboard.typeText(start.command, keys::KeySource::Internal) != start.command.size()) {
        // A protected field or one too short for the command: the host
        // would get half a command, so Enter is not pressed.
        file->close();
        return refused(
            "The transfer command could not be typed at the cursor.\nPut the cursor "
            "into the host's command line and try again.",
            "File Transfer");
    }

    TransferState& state = context.state;
    state.direction = request.direction;
    state.hostType = request.command.hostType;
    if (upload)
        state.uploadBinary = request.binary;
    else
        state.downloadBinary = request.binary;
    state.uploadLfToCrLf = lfToCrLf;
    state.blockNumber = 0;
    state.bytesTransferred = 0;
    state.cancelRequested = false;
    state.completionState = 0;
    state.keepWindow = false;
    state.cutShift = 0;
    state.errorText.clear();
    state.closingMessage.clear();
    state.file = std::move(file);

    keyboard.performKey(keys::actionKey(keys::Action::Enter), keys::KeySource::Internal);

    context.link.setStatus(SessionStatus::TransferReady);
    context.link.progressLine((upload ? "Upload " : "Download ") + *path + " to " +
                              request.hostName);
    start.kind = TransferStart::Kind::Started;
    return start;
}

void cancelTransferRequest(TransferState& state, TransferRequestLink& link) {
    if (!state.running() || state.cancelRequested) return;
    link.progressLine(state.direction == TransferDirection::Upload
                          ? "Upload cancelled at user request"
                          : "Download cancelled at user request");
    const SessionStatus status = link.status();
    if (status == SessionStatus::TransferData || status == SessionStatus::TransferMessage) {
        // The protocol stops it at the host's next request.
        state.cancelRequested = true;
        return;
    }
    // The host's program has not taken it up (and may never: a host without
    // it answers the command with a screen of its own): it ends here.
    closeFile(state);
    state.direction = TransferDirection::None;
    if (status == SessionStatus::TransferReady) link.setStatus(SessionStatus::Unlocked);
    link.progressLine("");
}

}  // namespace cedar
