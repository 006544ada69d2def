// The session's trace file ("session?.trc"): everything exchanged with the
// host, and screen snapshots, as typed records behind a short header.
//
// File layout (all lengths 2 bytes, least significant first):
//   header: length, then "1.30", a blank and the build date "Mmm dd yyyy"
//   record: type byte, 8 characters of local time, 2-byte body length, body
//
// Screen snapshots (type 7) carry 2-byte `positions` and then `positions`
// bytes of five planes. A snapshot whose body would not fit the 2-byte length
// (more than kMaxWholeSnapshotPositions positions) is written instead as five
// consecutive type-7 records, one per plane: 2-byte positions, the plane's
// index (0..4) and the plane. The two forms are told apart by the length
// (positions * 5 + 2 against positions + 3), so every record stays readable.
//
// Bodies of other types longer than 65535 bytes are split into consecutive
// records of the same type, each at most 65535 bytes.
//
// Writes are buffered: records collect in memory and go to the sink in one
// append when kFlushBytes have collected, when the trace stops, after a dump
// taken while no trace runs, on flush() and on destruction.
//
// Events that carry no bytes of their own (a record dropped for its size)
// go as text lines into the trace's text file "trace?.txt": the record's
// time, a blank and the text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "screen/record_hooks.h"

namespace cedar {

class PresentationSpace;

// Where trace and debug files go. Names are plain file names; the platform
// resolves them against the session's output folder.
class TraceSink {
  public:
    virtual ~TraceSink() = default;
    // Creates the file anew (empty), replacing any old one.
    virtual bool create(const std::string& name) = 0;
    // Appends bytes to the end of the file.
    virtual bool append(const std::string& name, Bytes bytes) = 0;
    // The system error code of the last failure (0 when unknown).
    virtual int lastError() const { return 0; }
};

// The local time as the record's 8-character text (hh:mm:ss).
class TraceClock {
  public:
    virtual ~TraceClock() = default;
    virtual std::string timeText() = 0;
};

enum class TraceType : std::uint8_t {
    TelnetCommand = 1,
    RecordReceived = 2,
    DataSent = 3,
    ScreenSnapshot = 7,
    RawBlock = 8,
    Start = 9,  // starts a trace; writes no record
};

// "session?.trc" and "trace?.txt" for a session id (A-Z, 0-9).
std::string traceFileName(char sessionId);
std::string traceTextFileName(char sessionId);

// The program's build date as "Mmm dd yyyy" (the day blank-padded).
std::string buildDateText();

// The operator's messages, with the session id (and folder) filled in.
std::string traceStartedMessage(char sessionId);
std::string traceStoppedMessage(char sessionId, const std::string& location);
std::string screenDumpedMessage(char sessionId);
// The trace's text line for a host record dropped because it grew past
// `limit` bytes.
std::string recordDroppedText(std::size_t length, std::size_t limit);
inline constexpr const char* kTraceStartedTitle = "Trace Started";
inline constexpr const char* kTraceStoppedTitle = "Trace Stopped";

class Trace {
  public:
    static constexpr std::size_t kRestartBytes = 1'000'000;
    static constexpr std::size_t kFlushBytes = 64 * 1024;
    static constexpr std::size_t kMaxBody = 0xFFFF;
    static constexpr int kPlaneCount = 5;
    static constexpr int kMaxWholeSnapshotPositions = (0xFFFF - 2) / 5;  // 13106
    static constexpr const char* kVersion = "1.30";

    Trace(TraceSink& sink, TraceClock& clock, char sessionId,
          std::string buildDate = buildDateText());
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // The hook of the data path. Start begins a new trace; the other types
    // append a record while tracing is on. A trace passing kRestartBytes
    // restarts with a fresh file; a stopped trace stays stopped.
    void trace(TraceType type, Bytes data = {});
    void start() { trace(TraceType::Start); }
    void stop();
    // While tracing: appends "hh:mm:ss TEXT" and a line end to the text file.
    void note(const std::string& text);
    // Writes a screen snapshot; without a running trace, starts one for it and
    // switches tracing off again.
    void dumpScreen(const PresentationSpace& ps);
    // Hands buffered records to the sink.
    void flush();

    bool tracing() const { return tracing_; }
    std::size_t traceBytes() const { return traceBytes_; }
    const std::string& fileName() const { return fileName_; }
    const std::string& textFileName() const { return textFileName_; }

  private:
    void begin();
    void appendRecord(std::uint8_t type, Bytes body);
    void appendRecord(std::uint8_t type, std::initializer_list<Bytes> parts);
    void writeSnapshot(const PresentationSpace& ps);

    TraceSink& sink_;
    TraceClock& clock_;
    std::string fileName_;
    std::string textFileName_;
    std::string buildDate_;
    bool tracing_ = false;
    std::size_t traceBytes_ = 0;
    std::vector<std::uint8_t> pending_;
};

// ---- Reading a trace file ----

struct TraceRecord {
    std::uint8_t type = 0;
    std::string time;                // 8 characters
    std::vector<std::uint8_t> body;  // the bytes after the 2-byte length
};

struct TraceFile {
    std::string header;  // "1.30 Mmm dd yyyy"
    std::vector<TraceRecord> records;
};

struct ScreenSnapshot {
    int positions = 0;
    std::array<std::vector<std::uint8_t>, Trace::kPlaneCount> planes;
};

// Parses a whole trace file. Returns false with a message on malformed input.
bool parseTrace(Bytes file, TraceFile& out, std::string& error);
// Gathers the type-7 records (either form) into snapshots.
bool readSnapshots(const TraceFile& file, std::vector<ScreenSnapshot>& out, std::string& error);

}  // namespace cedar
