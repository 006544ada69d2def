// Building 3270 host records for tests, byte by byte but readable:
//   RecordBuilder(cmd::kEraseWrite, 0xC3).sba(1, 0).sf(0x60).text("HELLO").ic()
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "screen/record_hooks.h"
#include "session/session.h"

namespace cedar::test {

// EBCDIC (code page 037) of printable ASCII text.
std::vector<std::uint8_t> ebcdic(std::string_view ascii);
// "C3 11 40 40": bytes as upper-case hex pairs separated by blanks.
std::string hex(std::span<const std::uint8_t> bytes);
// 12-bit address bytes for a position (up to 4095), 14-bit above.
std::vector<std::uint8_t> address(int position, bool fourteenBit = false);

class RecordBuilder {
  public:
    RecordBuilder() = default;
    RecordBuilder(std::uint8_t command, std::uint8_t wcc) : bytes_{command, wcc} {}

    RecordBuilder& raw(std::initializer_list<std::uint8_t> bytes);
    RecordBuilder& raw(const std::vector<std::uint8_t>& bytes);
    RecordBuilder& text(std::string_view ascii);
    RecordBuilder& sba(int position);
    RecordBuilder& sba14(int position);
    RecordBuilder& sf(std::uint8_t attribute);
    RecordBuilder& sfe(std::initializer_list<std::uint8_t> pairs);  // type, value, ...
    RecordBuilder& sa(std::uint8_t type, std::uint8_t value);
    RecordBuilder& mf(std::initializer_list<std::uint8_t> pairs);
    RecordBuilder& ic();
    RecordBuilder& pt();
    RecordBuilder& ra(int stop, std::uint8_t character);
    RecordBuilder& eua(int stop);
    RecordBuilder& ge(std::uint8_t character);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    operator Bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// The loopback test host's usual first screen: a protected title field at
// the top, an unprotected input field on the second row holding `input` with
// the cursor in it; the WCC restores the keyboard.
inline constexpr std::string_view kLoopbackTitle = "CEDAR LOOPBACK HOST";
std::vector<std::uint8_t> loopbackFirstScreen(std::string_view title = kLoopbackTitle,
                                              std::string_view input = {});

// An ISPF-like panel drawn with Graphic Escape (model 2): a box of corners,
// lines and tees, the same codes under character set 0xF1 and as plain data,
// a line repeated with RA, a GE character in a non-display field and a GE
// code without a character of its own. graphicEscapePanelText() is what the
// operator sees, as UTF-8 rows without trailing blanks (rows 9 to 23 blank).
std::vector<std::uint8_t> graphicEscapePanel();
std::vector<std::string> graphicEscapePanelText();

// A session with the program's country.lst loaded (code page 037 base table).
struct TestSession {
    explicit TestSession(ScreenSettings settings = {}, ScreenSessionOptions options = {});
    Session session;
    PresentationSpace& ps() { return session.screen; }
    void apply(Bytes record, const RecordOrigin& origin = {}) {
        session.records.processRecord(record, origin);
    }
    // The screen as text rows (display code, nulls and attributes as blanks).
    std::string row(int r);
};

// Every hook interface, logging what was called.
class RecordingHooks : public ReadReplySender,
                       public StructuredFieldHandler,
                       public TransferHook,
                       public HostPrintHook,
                       public SessionEvents,
                       public UserMessages {
  public:
    std::vector<std::string> calls;
    std::vector<std::string> warnings;
    bool printingEnabled = false;

    RecordHooks hooks() { return {this, this, this, this, this, this}; }
    int count(std::string_view call) const;

    void sendReadBuffer() override { calls.emplace_back("readBuffer"); }
    void sendReadModified(std::uint8_t aid) override { log("readModified", aid); }
    void sendReadModifiedAll(std::uint8_t aid) override { log("readModifiedAll", aid); }
    void sendShortRead(std::uint8_t aid) override { log("shortRead", aid); }
    void sendAidAndCursor(std::uint8_t aid) override { log("aidAndCursor", aid); }
    void handleStructuredFields(Bytes) override { calls.emplace_back("structuredFields"); }
    void completePendingRemoteAction() override { calls.emplace_back("remoteAction"); }
    void checkHandshake(Bytes) override { calls.emplace_back("checkHandshake"); }
    void cutFrame(Bytes) override { calls.emplace_back("cutFrame"); }
    bool wccPrintingEnabled() const override { return printingEnabled; }
    void printScreen(const PresentationSpace&) override { calls.emplace_back("printScreen"); }
    void soundAlarm() override { calls.emplace_back("alarm"); }
    void keyboardRestored() override { calls.emplace_back("keyboardRestored"); }
    void replayTypeAhead() override { calls.emplace_back("replayTypeAhead"); }
    void sessionManagerDetected(const std::string& name) override {
        calls.push_back("sessionManager:" + name);
    }
    void warning(std::string_view title, std::string_view text) override {
        warnings.push_back(std::string(title) + ": " + std::string(text));
    }

  private:
    void log(const char* what, std::uint8_t aid);
};

}  // namespace cedar::test
