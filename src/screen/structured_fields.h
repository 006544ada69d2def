// Write Structured Field records of the 3270 data stream: Read Partition
// (Query and Query List, answered with the query replies), Erase/Reset, Set
// Reply Mode, Outbound 3270DS, remote print and remote macro data, and the
// IND$FILE file-transfer fields (ID 0xD0), which go to the transfer layer.
//
// A record is split into its fields by their 2-byte lengths; a field never
// reads past the record: a length of 1 or 2, or one that runs past the end,
// ends the record.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "screen/code_pages.h"
#include "screen/inbound.h"
#include "screen/presentation_space.h"
#include "screen/query_replies.h"
#include "screen/record_hooks.h"
#include "screen/remote_action.h"
#include "screen/session_status.h"

namespace cedar {

class RecordProcessor;

namespace sfid {
constexpr std::uint8_t kReadPartition = 0x01;
constexpr std::uint8_t kEraseReset = 0x03;
constexpr std::uint8_t kSetReplyMode = 0x09;
constexpr std::uint8_t kRemoteAction = 0x0F;  // with 0x1F as its second byte
constexpr std::uint8_t kRemoteActionType = 0x1F;
constexpr std::uint8_t kOutbound3270Ds = 0x40;
constexpr std::uint8_t kFileTransfer = 0xD0;

constexpr std::uint8_t kQuery = 0x02;
constexpr std::uint8_t kQueryList = 0x03;
}  // namespace sfid

// The IND$FILE layer's side of the structured fields. Does nothing until the
// file-transfer work fills it.
class DftHandler {
  public:
    virtual ~DftHandler() = default;
    // One 0xD0 field, whole (length, ID and data), while a transfer is under way.
    virtual void processDftField(Bytes /*field*/) {}
    // The progress window's cancel was pressed.
    virtual bool cancelRequested() const { return false; }
    // A failure's text for the progress window.
    virtual void keepErrorText(std::string_view /*text*/) {}
};

// Settings and session options the structured fields consult.
struct StructuredFieldOptions {
    bool replyCodepage = true;      // "ReplyCodepage"
    bool dftMode = false;           // "DFT Mode"
    int transferBlockSize = 25000;  // "TRANSFERBLOCKSIZE"
    char sessionId = 'A';           // names the remote-action files in messages
};

struct StructuredFieldLinks {
    DftHandler* transfer = nullptr;
    RemoteActionStore* remoteActions = nullptr;
    UserMessages* messages = nullptr;
    SessionEvents* events = nullptr;  // refreshDisplay() when the status changed
};

class StructuredFields : public StructuredFieldHandler {
  public:
    // At most this many attribute types of a Set Reply Mode are kept.
    static constexpr std::size_t kMaxReplyModeTypes = 16;
    // The 10-byte reply that tells the host a transfer failed.
    static constexpr std::uint8_t kTransferErrorReply[10] = {0x88, 0x00, 0x09, 0xD0, 0x47,
                                                             0x08, 0x69, 0x04, 0x47, 0x00};
    static constexpr std::uint8_t kRemoteActionAck = 0x6B;

    StructuredFields(PresentationSpace& ps, RecordProcessor& records, const CodePages& codePages,
                     SessionStatus& status, InboundSender& sender);

    void setLinks(const StructuredFieldLinks& links);
    const StructuredFieldLinks& links() const { return links_; }
    void setOptions(const StructuredFieldOptions& options) { options_ = options; }
    const StructuredFieldOptions& options() const { return options_; }

    // A Write Structured Field record, command byte first.
    void handleStructuredFields(Bytes record) override;
    // The next Erase/Write: a remote action's file is closed and printed or
    // run; a failed action's marker is cleared.
    void completePendingRemoteAction() override;

    // One inbound record: AID 0x88 and the reply of every code in the list,
    // in list order, each at most once; codes without a reply are skipped.
    void sendQueryReplies(std::span<const std::uint8_t> codes);
    // The reply set of a Query.
    void sendFullReplySet();
    QueryReplyContext replyContext() const;

    // The attribute types of the last Set Reply Mode.
    const std::vector<std::uint8_t>& replyModeTypes() const { return replyModeTypes_; }
    // A remote action's file is open, or opening it failed.
    bool remoteActionPending() const { return remote_ != Remote::None; }

  private:
    enum class Remote : std::uint8_t { None, Open, Failed };

    void field(Bytes field);
    void readPartition(Bytes field);
    void eraseReset(Bytes field);
    void setReplyMode(Bytes field);
    void outbound3270Ds(Bytes field);
    void remoteAction(Bytes field);

    PresentationSpace& ps_;
    RecordProcessor& records_;
    const CodePages& codePages_;
    SessionStatus& status_;
    InboundSender& sender_;
    StructuredFieldOptions options_;
    StructuredFieldLinks links_;

    std::vector<std::uint8_t> replyModeTypes_;
    std::vector<std::uint8_t> reply_;
    Remote remote_ = Remote::None;
    RemoteActionKind remoteKind_ = RemoteActionKind::PcPrint;
};

}  // namespace cedar
