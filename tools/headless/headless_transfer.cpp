#include "headless_transfer.h"

#include <chrono>
#include <cstdlib>
#include <utility>

#include "headless_shell.h"
#include "session/session_transfer.h"
#include "transfer/transfer_dialog_store.h"
#include "transfer/transfer_host_list.h"
#include "transfer/transfer_macro.h"
#include "transfer/transfer_progress.h"

namespace cedar::headless {

const char* const kTransferUsage =
    "usage: transfer send|receive PCFILE HOSTFILE [TEXT|BINARY] [REPLACE|APPEND] "
    "[TSO|CMS|CICS] [NOASCII] [NOCRLF] [LRECL=N] [RECFM=F|V] [BLKSIZE=N] [SPACE=P[,S]] "
    "[TRACKS|CYLINDERS] [PARMS=TEXT] [TIMEOUT=SECONDS]";

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return text;
}

bool readNumber(const std::string& text, long high, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

bool parseTransferCommand(const std::vector<std::string>& words, TransferCommandLine& command,
                          std::string& error) {
    if (words.size() < 4) {
        error = kTransferUsage;
        return false;
    }
    TransferRequest& r = command.request;
    const std::string direction = upper(words[1]);
    if (direction == "SEND") {
        r.direction = TransferDirection::Upload;
    } else if (direction == "RECEIVE") {
        r.direction = TransferDirection::Download;
    } else {
        error = kTransferUsage;
        return false;
    }
    r.pcName = words[2];
    r.hostName = words[3];
    TransferCommandOptions& o = r.command;
    bool binary = false;
    bool noAscii = false;
    bool noCrlf = false;
    for (std::size_t i = 4; i < words.size(); ++i) {
        const std::string word = upper(words[i]);
        const auto equals = word.find('=');
        const std::string key = word.substr(0, equals);
        // The value keeps the case it was given in (PARMS).
        const std::string value = equals == std::string::npos ? "" : words[i].substr(equals + 1);
        bool ok = true;
        if (equals == std::string::npos) {
            if (word == "TEXT")
                binary = false;
            else if (word == "BINARY")
                binary = true;
            else if (word == "REPLACE")
                o.append = false;
            else if (word == "APPEND")
                o.append = true;
            else if (word == "TSO")
                o.hostType = TransferHostType::Tso;
            else if (word == "CMS")
                o.hostType = TransferHostType::Cms;
            else if (word == "CICS")
                o.hostType = TransferHostType::Cics;
            else if (word == "NOASCII")
                noAscii = true;
            else if (word == "NOCRLF")
                noCrlf = true;
            else if (word == "TRACKS")
                o.spaceUnit = SpaceUnit::Tracks;
            else if (word == "CYLINDERS")
                o.spaceUnit = SpaceUnit::Cylinders;
            else
                ok = false;
        } else if (key == "LRECL") {
            ok = readNumber(value, 99999, o.recordLength);
        } else if (key == "BLKSIZE") {
            ok = readNumber(value, 99999, o.blockSize);
        } else if (key == "RECFM") {
            const std::string format = upper(value);
            ok = format == "F" || format == "V";
            o.recordFormat = format == "F" ? RecordFormat::Fixed : RecordFormat::Variable;
        } else if (key == "SPACE") {
            const auto comma = value.find(',');
            ok = readNumber(value.substr(0, comma), 999999, o.primarySpace) &&
                 (comma == std::string::npos ||
                  readNumber(value.substr(comma + 1), 999999, o.secondarySpace));
        } else if (key == "PARMS") {
            o.dialogParameters = value;
        } else if (key == "TIMEOUT") {
            ok = readNumber(value, 86400, command.timeoutSeconds) && command.timeoutSeconds > 0;
        } else {
            ok = false;
        }
        if (!ok) {
            error = "bad transfer option \"" + words[i] + "\"; " + kTransferUsage;
            return false;
        }
    }
    // Text means ASCII and CRLF unless switched off one by one; binary
    // means neither.
    r.binary = binary;
    o.ascii = !binary && !noAscii;
    o.crlf = !binary && !noCrlf;
    return true;
}

}  // namespace cedar::headless

namespace cedar::headless {

namespace {

// How long a transfer's answer waits for the host's screen after it.
constexpr std::chrono::seconds kHostScreenAfterTransfer{5};

// One answer line: a message's line breaks become blanks.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// The request's view of the headless session: the status line is the
// session's status, the progress lines are kept for the answer.
class ShellRequestLink : public TransferRequestLink {
  public:
    explicit ShellRequestLink(Session& session) : session_(session) {}
    SessionStatus status() const override { return session_.status; }
    void setStatus(SessionStatus status) override { session_.status = status; }
    void progressLine(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;

  private:
    Session& session_;
};

}  // namespace

std::string Shell::transfer(const std::vector<std::string>& w) {
    TransferCommandLine command;
    std::string error;
    if (!parseTransferCommand(w, command, error)) return answer("", error);
    if (transferFiles_ == nullptr) return answer("", "file transfer is not available");
    if (session_.transfer.running()) return answer("", "a transfer is already running");
    command.request.convertLfToCrLf = uploadLfToCrLf_;

    ShellRequestLink link(session_);
    TransferStartContext context{session_.transfer, keyboard_.controller(), link, *transferFiles_,
                                 session_.codePages.hostToDisplay(0x5B)};
    const TransferStart start = startTransferRequest(command.request, context);
    if (start.kind != TransferStart::Kind::Started) {
        return answer("", oneLine(start.message.text));
    }

    // The protocols end the transfer: completion state 2, or the transfer
    // state cleared.
    TransferState& state = session_.transfer;
    auto ended = [&] { return state.completionState == 2 || !state.running(); };
    loop_.runUntil(
        [&] { return ended() || !messages_.empty() || finished_ || !connectionGoingOn(); },
        std::chrono::seconds(command.timeoutSeconds));
    if (!ended()) {
        // Given up: the PC file is closed and the session is free again.
        if (state.file) state.file->close();
        const int blockSize = state.blockSize;
        state = TransferState{};
        state.blockSize = blockSize;
        if (session_.status == SessionStatus::TransferReady ||
            session_.status == SessionStatus::TransferData ||
            session_.status == SessionStatus::TransferMessage)
            session_.status = SessionStatus::Unlocked;
        if (!messages_.empty()) return answer("");
        if (!connectionGoingOn()) return answer("", "the connection ended during the transfer");
        return answer("", "the transfer did not end within " +
                              std::to_string(command.timeoutSeconds) + " seconds");
    }
    if (!state.errorText.empty()) return answer("", state.errorText);
    // The host refused or failed the transfer: its message is the error.
    const bool hostFailed = closingMessageReportsFailure(state.closingMessage);
    // The host follows the transfer with a screen of its own (the closing
    // message, the keyboard restored). It comes in before the answer, so that
    // a command typed next goes into that screen and not into the old one,
    // which still holds the IND$FILE command.
    const std::uint64_t restores = macros_.restores();
    loop_.runUntil([&] { return macros_.restores() != restores || !connectionGoingOn(); },
                   kHostScreenAfterTransfer);
    std::string out;
    for (const auto& note : notes_)
        out += note + "\n";
    notes_.clear();
    if (!messages_.empty()) return answer("");
    if (hostFailed) return answer(out, state.closingMessage);
    return out + "ok " + std::to_string(state.bytesTransferred) + "\n";
}

bool HeadlessMacroTransfers::startTransfer(const MacroTransferRequest& macro) {
    started_ = false;
    if (parts_.files == nullptr) return false;
    const TransferDialogValues values =
        macroDialogValues(macro, storedDialogValues(parts_.options.bytes(), macro.direction));
    const TransferRequest request =
        sessionTransferRequest(values, macro.direction, parts_.options, parts_.settings);
    ShellRequestLink link(parts_.session);
    TransferStartContext context{parts_.session.transfer, parts_.keyboard, link, *parts_.files,
                                 parts_.session.codePages.hostToDisplay(0x5B)};
    const TransferStart start = startTransferRequest(request, context);
    const auto note = [this](const std::string& text) {
        if (parts_.note) parts_.note("transfer: " + oneLine(text));
    };
    switch (start.kind) {
        case TransferStart::Kind::Started:
            started_ = true;
            return true;
        case TransferStart::Kind::FileError:
            // Nothing went to the host: the macro goes on.
            note(link.lines.back());
            return true;
        case TransferStart::Kind::Refused:
            note(start.message.text);
            return false;
    }
    return false;
}

bool HeadlessMacroTransfers::transferPending() const {
    // Without a connection no screen will come.
    if (!started_ || (parts_.connected && !parts_.connected())) return false;
    return transferAwaitsHost(parts_.session.transfer, parts_.keyboard.locked());
}

void HeadlessMacroTransfers::abandonTransfer() {
    if (!std::exchange(started_, false)) return;
    ShellRequestLink link(parts_.session);
    cancelTransferRequest(parts_.session.transfer, link);
}

void HeadlessMacroTransfers::addHostListEntry(const std::string& entry) {
    if (parts_.note) parts_.note("entry " + entry);
}

std::string Shell::hostList(const std::vector<std::string>& w) {
    const char* usage =
        "usage: hostlist tso [LEVEL] | hostlist cms [PATTERN] | "
        "hostlist members NAME [LEVEL]";
    if (w.size() < 2) return answer("", usage);
    const std::string kind = upper(w[1]);
    const auto rest = [&w](std::size_t from) {
        std::string out;
        for (std::size_t i = from; i < w.size(); ++i)
            out += (out.empty() ? "" : " ") + w[i];
        return out;
    };
    std::optional<HostListing> listing;
    if (kind == "TSO" && w.size() <= 3)
        listing = hostListing(TransferHostType::Tso, false, {}, rest(2));
    else if (kind == "CMS")
        listing = hostListing(TransferHostType::Cms, false, {}, rest(2));
    else if (kind == "MEMBERS" && (w.size() == 3 || w.size() == 4))
        listing = hostListing(TransferHostType::Tso, true, w[2], rest(3));
    if (!listing) return answer("", usage);
    facts_.hli = listing->level;
    facts_.dsn = listing->dataSet;
    return macro(listing->macro, {});
}

}  // namespace cedar::headless
