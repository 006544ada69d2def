// The status line under the terminal: a buffer of 200 one-byte columns
// composed from the session's state at every refresh, and the runs of
// columns that changed since the last one (the only ones repainted).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/byte_count.h"
#include "screen/presentation_space.h"
#include "screen/session_status.h"

namespace cedar::display {

inline constexpr int kStatusColumns = 200;
using StatusBuffer = std::array<std::uint8_t, kStatusColumns>;

// Status glyphs: bytes 0x80 ... 0x9E of the buffer are symbols drawn by the
// status painter; every other byte is text in the session's display code.
namespace status_glyph {
inline constexpr std::uint8_t kFirst = 0x80;
inline constexpr std::uint8_t kUnsecured = 0x82;
inline constexpr std::uint8_t kLockLeft = 0x83;  // "X" and clock of a locked keyboard
inline constexpr std::uint8_t kLockRight = 0x84;
inline constexpr std::uint8_t kInhibit = 0x85;  // the input-inhibited mark
inline constexpr std::uint8_t kProtectedLeft = 0x86;
inline constexpr std::uint8_t kProtectedRight = 0x87;
inline constexpr std::uint8_t kOverflowLeft = 0x88;
inline constexpr std::uint8_t kOverflowRight = 0x89;
inline constexpr std::uint8_t kShift1 = 0x8A;
inline constexpr std::uint8_t kShift2 = 0x8B;
inline constexpr std::uint8_t kShift3 = 0x8C;
inline constexpr std::uint8_t kSecured = 0x91;
inline constexpr std::uint8_t kConnected = 0x92;
inline constexpr std::uint8_t kLast = 0x9E;
}  // namespace status_glyph

inline bool isStatusGlyph(std::uint8_t b) {
    return b >= status_glyph::kFirst && b <= status_glyph::kLast;
}

// Everything the line shows, read from the session at the refresh.
struct StatusInputs {
    int width = 80;  // W: the screen's columns
    bool capturing = false;
    SessionStatus status = SessionStatus::NotConnected;
    bool tls = false;
    // CONNECTING: the seconds left and the time-out they count down from.
    int connectCountdown = 0;
    int connectionTimeout = 0;
    // TR_DATA: the bytes transferred, written in `byteFormat`.
    std::int64_t transferBytes = 0;
    BigNumberFormat byteFormat = BigNumberFormat::Plain;
    NumberSeparators separators;
    int screensBack = 0;            // HISTORY
    std::string statusText;         // the expanded STATUSLINE template
    char macroChar = ' ';           // ' ', 'R', 'X' or 'P' (blinking: blank half the time)
    std::optional<int> copyBuffer;  // the copy buffer in use; none after an attention key
    bool wordWrap = false;
    int shiftState = 0;        // 0 ... 3
    bool numericLock = false;  // cursor in an unprotected numeric field, NUMERICFIELDLOCK on
    bool capsLock = false;
    bool insertMode = false;
    std::string positionText;  // empty: not shown (ROW/COLONSTATUSLINE off)
};

// The text of a status, at most 19 bytes (glyphs included).
std::string statusText(const StatusInputs& in);

// The position text: "HxW" of a selection box, else "row/data column" in an
// ISPF data area (when `ispfColumns` is on), else "row,column", from 1.
struct SelectionSize {
    int rows = 0;
    int columns = 0;
};
std::string positionText(const PresentationSpace& ps, bool ispfColumns,
                         const std::optional<SelectionSize>& selection = std::nullopt);

StatusBuffer composeStatusLine(const StatusInputs& in);

// A run of changed columns, [first, first + count).
struct ColumnRun {
    int first = 0;
    int count = 0;
    bool operator==(const ColumnRun&) const = default;
};
// The runs of columns 0 ... width - 1 where the buffers differ.
std::vector<ColumnRun> changedColumns(const StatusBuffer& before, const StatusBuffer& after,
                                      int width);

}  // namespace cedar::display
