// What the host's data does to the screen, apart from the Telnet protocol
// itself: 3270 records go to the record processor, line-mode (NVT, RFC 854)
// data is painted as a scrolling teletype, and the session events reported
// by the TN3270E headers (RFC 2355) and the option negotiation erase the
// screen or switch the code-page translation.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "screen/code_pages.h"
#include "screen/presentation_space.h"
#include "screen/record_processor.h"
#include "screen/session_status.h"

namespace cedar {

// What the Telnet layer hands on once it has cut and classified the host's
// bytes. It knows nothing of the screen; the screen knows nothing of Telnet.
class HostDataSink {
  public:
    virtual ~HostDataSink() = default;
    // One 3270 record (TN3270E header already removed) or SSCP-LU string.
    virtual void applyRecord(std::span<const std::uint8_t> record, const RecordOrigin& origin) = 0;
    // One block of line-mode data, untranslated.
    virtual void applyLineModeData(std::span<const std::uint8_t> bytes) = 0;
    // TN3270E UNBIND: the host application's session ended.
    virtual void sessionUnbound() = 0;
    // The first SSCP-LU record after records of another data type.
    virtual void sscpLuDataStarted() = 0;
    // The host withdrew its echo (WONT ECHO).
    virtual void echoWithdrawn() = 0;
    // END-OF-RECORD or NO-TRANSLATION was agreed to.
    virtual void translationModeChanged(TranslationMode mode) = 0;
};

// The screen's side of the host data: owns no state of its own beyond the
// objects it is given.
class HostScreen final : public HostDataSink {
  public:
    HostScreen(PresentationSpace& ps, RecordProcessor& records, CodePages& codePages,
               SessionStatus& status)
        : ps_(ps), records_(records), codePages_(codePages), status_(status) {}

    // Played for a BEL in line mode (the update-notification sound).
    void setUpdateSound(std::function<void()> sound) { updateSound_ = std::move(sound); }

    void applyRecord(std::span<const std::uint8_t> record, const RecordOrigin& origin) override;
    void applyLineModeData(std::span<const std::uint8_t> bytes) override;
    void sessionUnbound() override;
    void sscpLuDataStarted() override;
    void echoWithdrawn() override;
    void translationModeChanged(TranslationMode mode) override;

  private:
    void newLine();

    PresentationSpace& ps_;
    RecordProcessor& records_;
    CodePages& codePages_;
    SessionStatus& status_;
    std::function<void()> updateSound_;
};

}  // namespace cedar
