// The query replies of the 3270 data stream: what the terminal tells the host
// about itself in answer to a Read Partition query (screen sizes, colours,
// highlighting, reply modes, character sets, the file-transfer buffer).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace cedar {

namespace query {
constexpr std::uint8_t kSummary = 0x80;
constexpr std::uint8_t kUsableArea = 0x81;
constexpr std::uint8_t kCharacterSets = 0x85;
constexpr std::uint8_t kColor = 0x86;
constexpr std::uint8_t kHighlight = 0x87;
constexpr std::uint8_t kReplyModes = 0x88;
constexpr std::uint8_t kOemAuxiliaryDevice = 0x8F;
constexpr std::uint8_t kDistributedDataManagement = 0x95;
constexpr std::uint8_t kAuxiliaryDevice = 0x99;
constexpr std::uint8_t kImplicitPartition = 0xA6;
constexpr std::uint8_t kTransparency = 0xA8;
constexpr std::uint8_t kNull = 0xFF;  // "none of those asked for": never listed below

// Every code that has a reply, in ascending order.
constexpr std::array<std::uint8_t, 11> kAllCodes = {
    kSummary,         kUsableArea,        kCharacterSets,      kColor,
    kHighlight,       kReplyModes,        kOemAuxiliaryDevice, kDistributedDataManagement,
    kAuxiliaryDevice, kImplicitPartition, kTransparency};
}  // namespace query

// What the variable parts of the replies report.
struct QueryReplyContext {
    int defaultRows = 24;
    int defaultColumns = 80;
    int alternateRows = 24;
    int alternateColumns = 80;
    int hostCharacterSet = 697;
    int hostCodePage = 37;
    bool replyCodepage = true;      // "ReplyCodepage": report the two numbers above
    int transferBlockSize = 25000;  // "TRANSFERBLOCKSIZE"
};

// Appends the reply for `code` (its 2-byte length, 0x81, the code and its
// data); false, with nothing appended, for a code without a reply.
bool appendQueryReply(std::uint8_t code, const QueryReplyContext& context,
                      std::vector<std::uint8_t>& out);

// Appends the Null reply (QCODE 0xFF): the answer to a Query List none of
// whose codes has a reply.
void appendNullQueryReply(std::vector<std::uint8_t>& out);

// The codes answered to a Query (or a Query List asking for everything), in
// reply order; the file-transfer buffer reply is included when asked for.
std::vector<std::uint8_t> fullReplySet(bool withDistributedDataManagement);

}  // namespace cedar
