// The IND$FILE command typed into the host session to start a transfer, and
// the host and PC names that go into it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "transfer/transfer_state.h"

namespace cedar {

enum class RecordFormat : std::uint8_t { None = 0, Fixed = 1, Variable = 2 };
enum class SpaceUnit : std::uint8_t { Tracks = 0, Cylinders = 1 };

// The choices of the send and receive dialogs that shape the command.
// Numbers of 0 are "not given".
struct TransferCommandOptions {
    TransferHostType hostType = TransferHostType::Tso;
    bool ascii = true;
    bool crlf = true;
    bool append = false;
    // Uploads only: TSO takes all of them, CMS the record length and format.
    int recordLength = 0;
    RecordFormat recordFormat = RecordFormat::None;
    int blockSize = 0;
    int primarySpace = 0;
    int secondarySpace = 0;
    SpaceUnit spaceUnit = SpaceUnit::Tracks;
    // The session's UPADDITIONALPARAMETERS / DOWNADDITIONALPARAMETERS.
    std::string programParameters;
    // The dialog's "Additional Parameters" field.
    std::string dialogParameters;
    // Text a macro adds at the very end.
    std::string macroText;
};

// The command for one transfer in display code, upper case. `program` is
// UPPROGRAM or DOWNPROGRAM; when it starts with "ind$file" (any case) its "$" becomes
// `hostDollar`, the display character of host code 0x5B, so that the host
// receives its own "$" whatever the code page. `hostName` is the name as
// hostFileName() gives it.
std::string transferCommand(TransferDirection direction, std::string_view program,
                            std::string_view hostName, const TransferCommandOptions& options,
                            std::uint8_t hostDollar);

// The host name as it goes into the command. A name in single quotes loses
// them first; a member is written in parentheses. Fully qualified (quoted)
// when a list level is set, or (with a member) when the name was quoted.
std::string hostFileName(std::string_view name, std::string_view member, bool listLevelSet);

// A PC file name turned into a host name for multiple uploads: every
// character other than ".", letters and digits becomes "#".
std::string pcNameToHostName(std::string_view pcName);

// Upper case of a display-code (Windows-1252) text.
std::string displayUpperCase(std::string_view text);

}  // namespace cedar
