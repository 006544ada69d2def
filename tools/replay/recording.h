// Reading recorded host sessions: x3270-style trace files ("< 0xOFF  hex"
// for host-to-client bytes, "> 0xOFF  hex" for client-to-host bytes) and
// plain hex dumps of host bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "screen/record_processor.h"

namespace cedar::recording {

enum class Direction { FromHost, ToHost };

struct Block {
    Direction direction;
    std::vector<std::uint8_t> bytes;
};

// The blocks of a recording in the order they were sent. A trace line with
// offset 0x0 starts a new block; other text lines are ignored. A file that is
// nothing but hex digits and white space is one block from the host.
std::vector<Block> parseRecording(std::string_view text);

// The model (2..5) a recording's client announced in its terminal type, if any.
std::optional<int> announcedModel(const std::vector<Block>& blocks);

struct HostRecord {
    std::vector<std::uint8_t> data;  // without TN3270E header and IAC EOR, 0xFF undoubled
    RecordOrigin origin;
};

// Cuts 3270 records out of the host's byte stream (RFC 854 commands, RFC 885
// end of record, RFC 2355 TN3270E header). A minimal reader for replaying
// recordings: it takes no part in negotiation, it only follows it.
class RecordSplitter {
  public:
    // Feeds bytes from the host; complete records are appended to `out`.
    void feed(const std::uint8_t* data, std::size_t length, std::vector<HostRecord>& out);
    // A recording that ends inside a record (a plain hex dump of one record
    // without IAC EOR) hands over what it has.
    void flush(std::vector<HostRecord>& out);
    bool tn3270e() const { return tn3270e_; }

  private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    void endOfRecord(std::vector<HostRecord>& out);
    void endOfSubnegotiation();

    State state_ = State::Data;
    std::uint8_t command_ = 0;
    bool tn3270e_ = false;
    std::vector<std::uint8_t> record_;
    std::vector<std::uint8_t> sub_;
};

std::vector<HostRecord> hostRecords(const std::vector<Block>& blocks);

}  // namespace cedar::recording
