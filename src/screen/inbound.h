// The inbound 3270 data stream: what the terminal sends to the host. The
// reply to an attention key (AID, cursor address and the modified fields),
// the replies to the host's read commands (Read Modified, Read Modified All,
// Read Buffer in field, extended field and character reply mode), short
// AID-only records and the input of an SSCP-LU session (RFC 2355).
//
// Every record is built together with a trace copy of the same length in
// which each character of a non-display field is replaced by the host code
// of "X" (a Graphic Escape character by GE and "X"), so that passwords never
// reach a trace file. Both go to an InboundSender, which frames, sends and
// traces them.
#pragma once

#include <cstdint>
#include <vector>

#include "screen/code_pages.h"
#include "screen/presentation_space.h"
#include "screen/record_hooks.h"

namespace cedar {

class RecordProcessor;

// Attention identifiers of the inbound data stream.
namespace aid {
constexpr std::uint8_t kNone = 0x60;
constexpr std::uint8_t kEnter = 0x7D;
constexpr std::uint8_t kPf1 = 0xF1;
constexpr std::uint8_t kStructuredField = 0x88;
constexpr std::uint8_t kPa1 = 0x6C;
constexpr std::uint8_t kPa2 = 0x6E;
constexpr std::uint8_t kPa3 = 0x6B;
constexpr std::uint8_t kClear = 0x6D;
constexpr std::uint8_t kSelectorPen = 0x7E;
// PA1-PA3, Clear and the selector pen: Read Modified answers these with the
// AID and the cursor address only.
inline bool isShortRead(std::uint8_t a) {
    return (a >= kPa3 && a <= kPa2) || a == kSelectorPen;
}
}  // namespace aid

// The send path as the data stream sees it. The session connects it to the
// host connection, which frames each record (TN3270E header, 0xFF doubled,
// IAC EOR) and traces `traceCopy` in place of `record`; `traceCopy` always has
// the record's length and differs from it only where input was masked.
class InboundSender {
  public:
    virtual ~InboundSender() = default;
    // Sends, traces, then starts the transaction timer (attention keys and replies).
    virtual void sendAid(Bytes record, Bytes traceCopy) = 0;
    // Sends and traces without touching the transaction timer.
    virtual void sendRecord(Bytes record, Bytes traceCopy) = 0;
    // An SSCP-LU session is in force (TN3270E SSCP-LU-DATA).
    virtual bool sscpLuMode() const { return false; }
};

class InboundBuilder {
  public:
    InboundBuilder(PresentationSpace& ps, const CodePages& codePages, InboundSender& sender);

    // Enter, the PF keys, and the host's Read Modified and Read Modified All:
    // the AID, the cursor address and every modified field (or, on an
    // unformatted screen, every character). In an SSCP-LU session: the
    // operator's input only, then every modified-data tag is reset.
    void sendReadModified(std::uint8_t aidByte);
    // PA1-PA3 and Clear keys: the single AID byte.
    void sendShortRead(std::uint8_t aidByte);
    // Read Modified after a short-read AID: the AID and the cursor address,
    // sent without starting the transaction timer.
    void sendShortReadModified(std::uint8_t aidByte);
    // The AID and the cursor address as an attention (starts the timer).
    void sendAidAndCursor(std::uint8_t aidByte);
    // Read Buffer: the AID, the cursor address and every position from
    // `start` (0 when it is not on the screen) in the screen's reply mode.
    void sendReadBuffer(std::uint8_t aidByte, int start = 0);

    // The last record built and its trace copy.
    const std::vector<std::uint8_t>& record() const { return out_; }
    const std::vector<std::uint8_t>& traceCopy() const { return trace_; }

  private:
    void begin(std::uint8_t aidByte);
    void put(std::uint8_t b) { put(b, b); }
    void put(std::uint8_t b, std::uint8_t traced) {
        out_.push_back(b);
        trace_.push_back(traced);
    }
    void putAddress(int position);
    // The character at `p`: Graphic Escape and the stored byte for a GE
    // character, else the character in host code; masked in the trace copy.
    void putCharacter(int p, bool masked);
    std::uint8_t maskCode() const;
    void readModifiedSscpLu();
    void readBufferFieldMode(int start);
    void readBufferExtended(int start, bool characterMode);
    // The attribute of the field that holds the position before `p`, walking
    // backwards with wrap; 0 on an unformatted screen.
    std::uint8_t fieldAttributeBefore(int p) const;

    PresentationSpace& ps_;
    const CodePages& codePages_;
    InboundSender& sender_;
    std::vector<std::uint8_t> out_;
    std::vector<std::uint8_t> trace_;
};

// Answers RecordProcessor's read commands through an InboundBuilder, with
// the processor's current AID and Read Buffer start position.
class InboundReadReplies : public ReadReplySender {
  public:
    InboundReadReplies(InboundBuilder& builder, const RecordProcessor& records);
    void sendReadBuffer() override;
    void sendReadModified(std::uint8_t aidByte) override;
    void sendReadModifiedAll(std::uint8_t aidByte) override;
    void sendShortRead(std::uint8_t aidByte) override;
    void sendAidAndCursor(std::uint8_t aidByte) override;

  private:
    InboundBuilder& builder_;
    const RecordProcessor& records_;
};

}  // namespace cedar
