// Operator input for cedar_headless and the tests: text written into an
// input field, the cursor moved, an attention key pressed. A small stand-in
// for the keyboard: no insert mode, no autoskip, no type-ahead, no exit
// macros. Rows and columns count from 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "screen/inbound.h"
#include "session/session.h"

namespace cedar::headless {

// The screen position of ROW and COLUMN (from 1), or nothing when it lies
// off the screen.
std::optional<int> positionOf(const PresentationSpace& ps, long row, long column);

// Writes `text` (printable ASCII) at `position` as typing would: each
// character in display code, its colour, highlight and character set
// cleared, the position marked changed. On a formatted screen the position
// must lie in an unprotected field and the text must end before the field
// does; the field's modified data tag is set. The cursor goes to the
// position after the text. Returns "" or why nothing was written.
std::string writeText(Session& session, int position, std::string_view text);

// The AID of an attention key named Enter, Clear, PA1..PA3 or PF1..PF24
// (case-insensitive); nothing for any other name.
std::optional<std::uint8_t> aidOfKey(std::string_view name);

// Presses the attention key of `aidByte`: the keyboard locks (SYSLOCK), the
// AID becomes the current one and the answer is awaited; Enter and the PF
// keys send the read-modified reply, PA1..PA3 the short read, and Clear
// erases the screen first and then sends the short read.
void pressAttentionKey(Session& session, InboundBuilder& inbound, std::uint8_t aidByte);

}  // namespace cedar::headless
