#include "screen/structured_fields.h"

#include <array>
#include <cstdio>

#include "screen/message_titles.h"
#include "screen/record_processor.h"

namespace cedar {

namespace {

DftHandler gNoTransfer;
RemoteActionStore gNoRemoteActions;
UserMessages gNoMessages;
SessionEvents gNoEvents;

template <typename T>
T* orDefault(T* hook, T& fallback) {
    return hook != nullptr ? hook : &fallback;
}

// Offsets inside a field (length at 0 and 1, ID at 2).
constexpr std::size_t kQueryTypeOffset = 4;
constexpr std::size_t kRequestOffset = 5;
constexpr std::size_t kQueryCodesOffset = 6;
constexpr std::size_t kEraseFlagsOffset = 3;
constexpr std::size_t kReplyModeOffset = 4;
constexpr std::size_t kOutboundDataOffset = 4;
constexpr std::size_t kRemoteSelectorOffset = 6;
constexpr std::size_t kRemoteDataOffset = 7;

constexpr std::uint8_t kRemoteMacroSelector = 0x98;

}  // namespace

StructuredFields::StructuredFields(PresentationSpace& ps, RecordProcessor& records,
                                   const CodePages& codePages, SessionStatus& status,
                                   InboundSender& sender)
    : ps_(ps), records_(records), codePages_(codePages), status_(status), sender_(sender) {
    setLinks({});
}

void StructuredFields::setLinks(const StructuredFieldLinks& links) {
    links_.transfer = orDefault(links.transfer, gNoTransfer);
    links_.remoteActions = orDefault(links.remoteActions, gNoRemoteActions);
    links_.messages = orDefault(links.messages, gNoMessages);
    links_.events = orDefault(links.events, gNoEvents);
}

void StructuredFields::handleStructuredFields(Bytes record) {
    std::size_t pos = 1;  // past the command
    while (record.size() - pos >= 3) {
        std::size_t length = (std::size_t{record[pos]} << 8) | record[pos + 1];
        if (length == 0) length = record.size() - pos;  // up to the end of the record
        // A length that cannot hold its own length bytes would never advance,
        // and one that runs past the record would read beyond it: either
        // ends the record.
        if (length < 3 || length > record.size() - pos) return;
        field(record.subspan(pos, length));
        pos += length;
    }
}

void StructuredFields::field(Bytes f) {
    switch (f[2]) {
        case sfid::kReadPartition:
            readPartition(f);
            return;
        case sfid::kEraseReset:
            eraseReset(f);
            return;
        case sfid::kSetReplyMode:
            setReplyMode(f);
            return;
        case sfid::kOutbound3270Ds:
            outbound3270Ds(f);
            return;
        case sfid::kFileTransfer:
            if (suspendsEndOfWrite(status_)) links_.transfer->processDftField(f);
            return;
        case sfid::kRemoteAction:
            if (f.size() > 3 && f[3] == sfid::kRemoteActionType) {
                remoteAction(f);
                return;
            }
            break;
        default:
            break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Unknown Structured Field Received, code=%02X", f[2]);
    links_.messages->warning("SNA code Error", text);
}

QueryReplyContext StructuredFields::replyContext() const {
    QueryReplyContext c;
    c.defaultRows = ps_.sizeRows(SizeMode::Default);
    c.defaultColumns = ps_.sizeColumns(SizeMode::Default);
    c.alternateRows = ps_.sizeRows(SizeMode::Alternate);
    c.alternateColumns = ps_.sizeColumns(SizeMode::Alternate);
    c.hostCharacterSet = codePages_.hostCharacterSet;
    c.hostCodePage = codePages_.hostCodePage;
    c.replyCodepage = options_.replyCodepage;
    c.transferBlockSize = options_.transferBlockSize;
    return c;
}

void StructuredFields::sendQueryReplies(std::span<const std::uint8_t> codes) {
    const QueryReplyContext context = replyContext();
    reply_.clear();
    reply_.push_back(aid::kStructuredField);
    std::array<bool, 256> sent{};
    bool any = false;
    for (std::uint8_t code : codes) {
        if (sent[code]) continue;
        sent[code] = true;
        any = appendQueryReply(code, context, reply_) || any;
    }
    // A reply of no query reply at all is malformed: when nothing asked for
    // has a reply (or nothing was asked for), the 3270 data stream answers
    // with the Null reply.
    if (!any) appendNullQueryReply(reply_);
    sender_.sendRecord(reply_, reply_);
}

void StructuredFields::sendFullReplySet() {
    const auto codes = fullReplySet(suspendsEndOfWrite(status_) && options_.dftMode);
    sendQueryReplies(codes);
}

void StructuredFields::readPartition(Bytes f) {
    // The partition byte (offset 3) is not checked.
    if (f.size() > kQueryTypeOffset) {
        switch (f[kQueryTypeOffset]) {
            case sfid::kQuery:
                sendFullReplySet();
                break;
            case sfid::kQueryList:
                if (f.size() > kRequestOffset) {
                    const std::uint8_t request = f[kRequestOffset];
                    if (request < 0x80)
                        sendQueryReplies(f.subspan(kQueryCodesOffset));
                    else if (request < 0xC0)
                        sendFullReplySet();
                }
                break;
            default:
                break;
        }
    }
    // The keyboard stays locked until the host answers; a transfer keeps its state.
    if (!suspendsEndOfWrite(status_)) {
        status_ = SessionStatus::SysLock;
        links_.events->refreshDisplay();
    }
}

void StructuredFields::eraseReset(Bytes f) {
    const bool alternate = f.size() > kEraseFlagsOffset && (f[kEraseFlagsOffset] & 0x80) != 0;
    ps_.eraseScreen(alternate ? SizeMode::Alternate : SizeMode::Default);
}

void StructuredFields::setReplyMode(Bytes f) {
    if (f.size() <= kReplyModeOffset) return;  // no mode byte
    ps_.replyMode = static_cast<ReplyMode>(f[kReplyModeOffset]);
    replyModeTypes_.clear();
    for (std::size_t i = kReplyModeOffset + 1;
         i < f.size() && f[i] != 0 && replyModeTypes_.size() < kMaxReplyModeTypes; ++i)
        replyModeTypes_.push_back(f[i]);
}

void StructuredFields::outbound3270Ds(Bytes f) {
    if (f.size() <= kOutboundDataOffset) return;
    const Bytes embedded = f.subspan(kOutboundDataOffset);
    // Only write commands belong here; a structured-field record inside
    // another would nest without end.
    if (embedded[0] == cmd::kWriteStructuredField || embedded[0] == cmd::kWriteStructuredFieldCcw)
        return;
    records_.processRecord(embedded);
}

void StructuredFields::remoteAction(Bytes f) {
    const std::uint8_t ack = kRemoteActionAck;
    sender_.sendRecord(Bytes(&ack, 1), Bytes(&ack, 1));
    if (f.size() <= kRemoteSelectorOffset) return;
    if (remote_ == Remote::Failed) return;  // dropped until the next erase-write
    const RemoteActionKind kind = f[kRemoteSelectorOffset] == kRemoteMacroSelector
                                      ? RemoteActionKind::Macro
                                      : RemoteActionKind::PcPrint;
    std::vector<std::uint8_t> data(f.begin() + kRemoteDataOffset, f.end());
    for (auto& b : data)
        b = codePages_.hostToDisplay(b);

    if (remote_ == Remote::None) {
        if (!links_.remoteActions->create(kind)) {
            char text[96];
            const std::string name = remoteActionFileName(kind, options_.sessionId);
            std::snprintf(text, sizeof text,
                          kind == RemoteActionKind::Macro
                              ? "Error opening temp file '%s' for remote execution"
                              : "Error opening temp file '%s' for pcprint action",
                          name.c_str());
            links_.messages->warning(title::kFileError, text);
            remote_ = Remote::Failed;
            return;
        }
        remote_ = Remote::Open;
        remoteKind_ = kind;
    }
    std::string error;
    const bool written = links_.remoteActions->append(data, error);
    if (!written || links_.transfer->cancelRequested()) {
        links_.transfer->keepErrorText(error);
        sender_.sendRecord(kTransferErrorReply, kTransferErrorReply);
    }
}

void StructuredFields::completePendingRemoteAction() {
    const Remote was = remote_;
    remote_ = Remote::None;
    if (was == Remote::Open) links_.remoteActions->complete(remoteKind_);
}

}  // namespace cedar
