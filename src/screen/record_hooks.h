// Narrow interfaces through which applying a host record reaches the parts of
// the session built on top of the screen model. Each has a do-nothing default
// so the screen model runs alone (replay tool, tests, fuzzing).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cedar {

class PresentationSpace;

using Bytes = std::span<const std::uint8_t>;

// Answers the host's read commands (3270 data stream: Read Buffer, Read
// Modified, Read Modified All) and sends short AID-only records.
class ReadReplySender {
  public:
    virtual ~ReadReplySender() = default;
    virtual void sendReadBuffer() {}
    virtual void sendReadModified(std::uint8_t /*aid*/) {}
    virtual void sendReadModifiedAll(std::uint8_t /*aid*/) {}
    // The AID and the encoded cursor address, nothing more (Read Modified
    // after a short-read AID).
    virtual void sendShortRead(std::uint8_t /*aid*/) {}
    // The same record as an attention of its own, which starts the
    // transaction timer (the Wang-mode command 0xA0).
    virtual void sendAidAndCursor(std::uint8_t aid) { sendShortRead(aid); }
};

// Write Structured Field records (query replies, file transfer data, ...).
class StructuredFieldHandler {
  public:
    virtual ~StructuredFieldHandler() = default;
    virtual void handleStructuredFields(Bytes /*record*/) {}
    // A remote print or remote macro left a file open, acted on at the next erase-write.
    virtual void completePendingRemoteAction() {}
};

// The IND$FILE layer's view of ordinary write records.
class TransferHook {
  public:
    virtual ~TransferHook() = default;
    // While a transfer is ready to start: is this record the handshake screen?
    virtual void checkHandshake(Bytes /*record*/) {}
    // The CUT-mode end frame arrived.
    virtual void cutFrame(Bytes /*record*/) {}
    // While a transfer runs: true when the transfer layer consumed the record.
    virtual bool offerRecord(Bytes /*record*/) { return false; }
    // Called at end of write; true once after a transfer has completed.
    virtual bool takeCompletion() { return false; }
};

// Host-initiated printing (WCC start-printer bit).
class HostPrintHook {
  public:
    virtual ~HostPrintHook() = default;
    virtual bool wccPrintingEnabled() const { return false; }
    virtual void printScreen(const PresentationSpace& /*ps*/) {}
    // WCC without the start-printer bit: flush an accumulated print file, if any.
    virtual void flushAccumulated() {}
};

// Everything that follows a keyboard restore or another screen event.
class SessionEvents {
  public:
    virtual ~SessionEvents() = default;
    virtual void soundAlarm() {}
    virtual void keyboardRestored() {}  // history, capture, waiting macros and REXX tasks, Undo
    virtual void replayTypeAhead() {}   // stops after the first key that sends an AID
    virtual void refreshDisplay() {}
    virtual void sessionManagerDetected(const std::string& /*name*/) {}
    virtual void returnToLiveScreen() {}  // an earlier screen was shown
    virtual void showWindowOnUpdate() {}
    // The response time since the transaction timer started, when it is measured.
    virtual void measureResponseTime(bool /*aidOutstanding*/) {}
};

// Messages to the user. The core never shows them itself.
class UserMessages {
  public:
    virtual ~UserMessages() = default;
    virtual void warning(std::string_view /*title*/, std::string_view /*text*/) {}
};

struct RecordHooks {
    ReadReplySender* reads = nullptr;
    StructuredFieldHandler* structuredFields = nullptr;
    TransferHook* transfer = nullptr;
    HostPrintHook* print = nullptr;
    SessionEvents* events = nullptr;
    UserMessages* messages = nullptr;
};

}  // namespace cedar
