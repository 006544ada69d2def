// The attention identifier (AID) of the terminal's last inbound transmission
// and whether its answer is still awaited: set by the attention keys, read by
// the host's read commands, reset by the write commands and the end of a
// write, cleared when a connection starts. One per session, shared by the
// keys, the record processor and the host link.
#pragma once

#include <cstdint>

namespace cedar {

// "No AID": what the terminal answers when no attention key was pressed.
constexpr std::uint8_t kNoAid = 0x60;

struct AidState {
    std::uint8_t current = kNoAid;
    // An attention key was sent and its answer has not restored the keyboard yet.
    bool outstanding = false;
};

}  // namespace cedar
