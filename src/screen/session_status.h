// The one-byte session and keyboard state shared by the data stream, the
// keyboard, macros and REXX. Codes 0..12 carry the names macros report.
#pragma once

#include <cstdint>
#include <string_view>

namespace cedar {

enum class SessionStatus : std::uint8_t {
    NotConnected = 0,
    Start = 1,
    SessionDialog = 2,
    Connecting = 3,
    Connected = 4,
    Unlocked = 5,
    Locked = 6,
    SysLock = 7,
    Protected = 8,
    InsertOverflow = 9,
    TransferReady = 10,
    TransferData = 11,
    TransferMessage = 12,
    Rejected = 14,
    History = 16,
};

// The name macros and REXX read for a status ("" for 14 and 16, which have none).
std::string_view statusName(SessionStatus status);

// Transfer states, REJECTED and HISTORY suspend the end-of-write actions.
inline bool suspendsEndOfWrite(SessionStatus status) {
    return static_cast<std::uint8_t>(status) >= 10;
}

}  // namespace cedar
