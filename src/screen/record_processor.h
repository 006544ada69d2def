// Applies one host record (the 3270 data stream's write commands, orders and
// read commands, or an SSCP-LU character string) to the presentation space,
// and runs the end-of-write step that the write control character asks for.
//
// Every operand is read within the record's bounds: an order whose operands
// are cut off by the end of the record ends the record there.
#pragma once

#include <cstdint>
#include <vector>

#include "screen/aid_state.h"
#include "screen/code_pages.h"
#include "screen/presentation_space.h"
#include "screen/record_hooks.h"
#include "screen/session_status.h"

namespace cedar {

// How the Telnet layer received the record.
struct RecordOrigin {
    bool tn3270e = false;
    std::uint8_t dataType = 0;  // TN3270E data type; 0 = 3270-DATA
    bool sscpLu = false;        // SSCP-LU-DATA: a character string, not a 3270 record
};

// Session options consulted at the end of a write.
struct EndOfWriteOptions {
    bool alarm = true;                  // "ALARM"
    bool convertNullsToBlanks = false;  // "CONVERTNULLSTOBLANKS"
    bool showWindowOnUpdate = false;    // "SHOWWINDOWONUPDATE"
};

namespace cmd {
// Both codings of each command (CCW and SNA).
constexpr std::uint8_t kWrite = 0xF1, kWriteCcw = 0x01;
constexpr std::uint8_t kEraseWrite = 0xF5, kEraseWriteCcw = 0x05;
constexpr std::uint8_t kEraseWriteAlternate = 0x7E, kEraseWriteAlternateCcw = 0x0D;
constexpr std::uint8_t kReadBuffer = 0xF2, kReadBufferCcw = 0x02;
constexpr std::uint8_t kReadModified = 0xF6, kReadModifiedCcw = 0x06;
constexpr std::uint8_t kReadModifiedAll = 0x6E, kReadModifiedAllCcw = 0x0E;
constexpr std::uint8_t kEraseAllUnprotected = 0x6F, kEraseAllUnprotectedCcw = 0x0F;
constexpr std::uint8_t kWriteStructuredField = 0xF3, kWriteStructuredFieldCcw = 0x11;
}  // namespace cmd

namespace order {
constexpr std::uint8_t kProgramTab = 0x05;
constexpr std::uint8_t kGraphicEscape = 0x08;
constexpr std::uint8_t kSetBufferAddress = 0x11;
constexpr std::uint8_t kEraseUnprotectedToAddress = 0x12;
constexpr std::uint8_t kInsertCursor = 0x13;
constexpr std::uint8_t kStartField = 0x1D;
constexpr std::uint8_t kSetAttribute = 0x28;
constexpr std::uint8_t kStartFieldExtended = 0x29;
constexpr std::uint8_t kModifyField = 0x2C;
constexpr std::uint8_t kRepeatToAddress = 0x3C;
bool isOrder(std::uint8_t b);
}  // namespace order

class RecordProcessor {
  public:
    RecordProcessor(PresentationSpace& ps, const CodePages& codePages, SessionStatus& status,
                    AidState& aid);

    void setHooks(const RecordHooks& hooks);
    // The hooks in force (never null: absent ones are do-nothing defaults).
    const RecordHooks& hooks() const { return hooks_; }
    void setOptions(const EndOfWriteOptions& options) { options_ = options; }

    void processRecord(Bytes record, const RecordOrigin& origin = {});

    // The WCC of the last write command (cleared by the read commands).
    std::uint8_t wccRegister = 0;
    // Where Read Buffer starts (set by command chaining).
    int readBufferStart = 0;
    // The session's AID state: the write commands reset the AID, the end of a
    // write the outstanding flag.
    AidState& aid() { return aid_; }
    const AidState& aid() const { return aid_; }

    // Record capture for the assembler listing of a host screen.
    static constexpr std::size_t kCaptureSize = 65536;
    void startCapture();
    void stopCapture() { capturing_ = false; }
    bool capturing() const { return capturing_; }
    const std::vector<std::uint8_t>& captured() const { return capture_; }

    const std::string& sessionManagerName() const { return sessionManagerName_; }
    // Where the next order or character of the record goes.
    int bufferAddress() const { return bufferAddress_; }

  private:
    enum class Flow { Continue, Stop, Rerun };
    struct Cursor {
        const std::uint8_t* data;
        std::size_t length;
        std::size_t pos;
        std::uint8_t command;  // the record's first byte
        bool rerunAllowed;
    };

    void characterString(Bytes record);
    Flow processCommand(Cursor& c);
    void writeCommand(Cursor& c, std::uint8_t wcc);
    Flow processOrder(Cursor& c);
    Flow dataRun(Cursor& c);
    Flow readAddress(Cursor& c, std::uint8_t orderByte, int& address);
    bool writeGuard();
    Flow startFieldExtended(Cursor& c);
    Flow modifyField(Cursor& c);
    Flow setAttribute(Cursor& c);
    Flow programTab(Cursor& c);
    Flow repeatToAddress(Cursor& c);
    Flow eraseUnprotectedToAddress(Cursor& c);
    Flow graphicEscape(Cursor& c);
    enum class PairTarget { SetAttribute, StartFieldExtended, ModifyField };
    bool applyPair(std::uint8_t type, std::uint8_t value, PairTarget target, int position);
    void fill(int from, int count, std::uint8_t hostCode, std::uint8_t shown, std::uint8_t charset);
    void endOfWrite();
    void capture(Bytes record);
    const ByteTable& displayTable();

    PresentationSpace& ps_;
    const CodePages& codePages_;
    SessionStatus& status_;
    AidState& aid_;
    RecordHooks hooks_;
    EndOfWriteOptions options_;
    ByteTable effectiveTable_{};

    // The write's state from one order to the next: each write command starts
    // at the cursor with no colour, highlight or character set of its own.
    int bufferAddress_ = 0;
    std::uint8_t currentColor_ = 0;
    std::uint8_t currentHighlight_ = 0;
    std::uint8_t currentCharset_ = 0;
    bool afterOrder_ = true;

    bool capturing_ = false;
    std::vector<std::uint8_t> capture_;
    std::string sessionManagerName_;
};

}  // namespace cedar
