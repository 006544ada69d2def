// Reading recorded host sessions: x3270-style trace files ("< 0xOFF  hex"
// for host-to-client bytes, "> 0xOFF  hex" for client-to-host bytes) and
// plain hex dumps of host bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/telnet_layer.h"
#include "screen/record_processor.h"

namespace cedar::recording {

enum class Direction { FromHost, ToHost };

struct Block {
    Direction direction;
    std::vector<std::uint8_t> bytes;
};

// The blocks of a recording in the order they were sent. A trace line with
// offset 0x0 starts a new block; other text lines are ignored. A file that is
// nothing but hex digits and white space holds the records of a session whose
// negotiation is over: it becomes one host block that agrees END-OF-RECORD
// first and ends with IAC EOR.
std::vector<Block> parseRecording(std::string_view text);

// The model (2..5) a recording's client announced in its terminal type, if any.
std::optional<int> announcedModel(const std::vector<Block>& blocks);

struct HostRecord {
    std::vector<std::uint8_t> data;  // without TN3270E header and IAC EOR, 0xFF undoubled
    RecordOrigin origin;
};

// The records the host sent, cut out by the Telnet layer exactly as a live
// session cuts them (with a client that agrees to TN3270E), in order: 3270
// data, SSCP-LU data and, in TN3270E, the other data types too.
std::vector<HostRecord> hostRecords(const std::vector<Block>& blocks);

}  // namespace cedar::recording
