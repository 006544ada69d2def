// Debug-screen files (".dbg"): the last host record saved so that the screen
// it built can be replayed without a host.
//
// Layout: the 24-byte text "Cedar Debug V1.00" padded with blanks, a 2-byte
// length (least significant first), then that many bytes: the record and
// IAC EOR (0xFF 0xEF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "screen/record_hooks.h"

namespace cedar {

class PresentationSpace;
class RecordProcessor;
class Trace;
class TraceSink;

inline constexpr std::size_t kDebugMagicLength = 24;
inline constexpr std::size_t kDebugHeaderLength = kDebugMagicLength + 2;
// The longest record a debug file can hold (its length field counts IAC EOR too).
inline constexpr std::size_t kMaxDebugRecord = 0xFFFF - 2;

// The 24-byte magic text.
std::string debugMagic();

inline constexpr const char* kDebugSaveCaption = "Save Screen for Debugging";
inline constexpr const char* kDebugLoadCaption = "Load a Debugging Screen";
inline constexpr const char* kDebugPattern = "*.dbg";

// An outcome for the operator: empty message when all went well.
struct DebugScreenResult {
    bool ok = true;
    std::string title;
    std::string message;
};

// The whole file for a record; nullopt when the record is too long for the
// 2-byte length.
std::optional<std::vector<std::uint8_t>> encodeDebugScreen(Bytes record);

// Checks a file's bytes and hands back the record (without IAC EOR). A file
// too short for its header, with other magic text, with a length below 2 or
// beyond what the file holds is refused with the "not a valid" message.
DebugScreenResult decodeDebugScreen(Bytes file, const std::string& name,
                                    std::vector<std::uint8_t>& record);

// Writes the file through the sink. Failure: "Error %d while saving %s"; a
// record too long for the format is refused before anything is written.
DebugScreenResult saveDebugScreen(TraceSink& sink, const std::string& name, Bytes lastRecord);

// Loads a file's bytes (nullopt: the file was not found) into the screen:
// traces the record as received data (when a trace is given), applies it
// with processRecord, runs fieldStatistics and marks the whole screen for
// repainting. A refused file leaves the screen unchanged. The caller takes
// the Undo image afterwards, as the end-of-write step does.
DebugScreenResult loadDebugScreen(const std::optional<std::vector<std::uint8_t>>& file,
                                  const std::string& name, PresentationSpace& ps,
                                  RecordProcessor& records, Trace* trace = nullptr);

}  // namespace cedar
