#include "host/trace.h"

#include <algorithm>
#include <utility>

#include "screen/presentation_space.h"

namespace cedar {

namespace {

constexpr std::size_t kTimeLength = 8;
constexpr std::size_t kRecordOverhead = 1 + kTimeLength + 2;  // type, time, length

const char* const kConfidential =
    "Make sure this file is not accessible to others, since\n"
    "it may contain confidential data. Nondisplay input fields \n"
    "such as passwords have been replaced with XXXXXXXX";

void putLength(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

std::size_t getLength(Bytes file, std::size_t at) {
    return static_cast<std::size_t>(file[at]) | (static_cast<std::size_t>(file[at + 1]) << 8);
}

std::string formatted(const char* format, char sessionId) {
    std::string text(format);
    const auto at = text.find("%c");
    if (at != std::string::npos) text.replace(at, 2, 1, sessionId);
    return text;
}

}  // namespace

std::string traceFileName(char sessionId) {
    return std::string("session") + sessionId + ".trc";
}

std::string traceTextFileName(char sessionId) {
    return std::string("trace") + sessionId + ".txt";
}

std::string buildDateText() {
    return __DATE__;
}

std::string traceStartedMessage(char sessionId) {
    return formatted("Screen data will now be traced to file SESSION%c.TRC.\n\n", sessionId) +
           kConfidential;
}

std::string traceStoppedMessage(char sessionId, const std::string& location) {
    return formatted("File SESSION%c.TRC contains trace data. Location is\n", sessionId) +
           location + "\n\n" + kConfidential;
}

std::string screenDumpedMessage(char sessionId) {
    return formatted(
        "Screen buffers were dumped to file SESSION%c.TRC.\n\n"
        "Make sure this file is not accessible to others, since\n"
        "it may contain passwords or other important data.",
        sessionId);
}

std::string recordDroppedText(std::size_t length, std::size_t limit) {
    return "Record of " + std::to_string(length) + " bytes dropped: longer than the " +
           std::to_string(limit) + " bytes a record may hold";
}

// ---- Writing ----

Trace::Trace(TraceSink& sink, TraceClock& clock, char sessionId, std::string buildDate)
    : sink_(sink),
      clock_(clock),
      fileName_(traceFileName(sessionId)),
      textFileName_(traceTextFileName(sessionId)),
      buildDate_(std::move(buildDate)) {}

Trace::~Trace() {
    flush();
}

void Trace::begin() {
    // Records still buffered belong to the file being replaced.
    pending_.clear();
    std::string header = std::string(kVersion) + " " + buildDate_;
    if (header.size() > kMaxBody) header.resize(kMaxBody);
    std::vector<std::uint8_t> bytes;
    putLength(bytes, header.size());
    bytes.insert(bytes.end(), header.begin(), header.end());
    if (sink_.create(fileName_)) sink_.append(fileName_, bytes);
    sink_.create(textFileName_);
    tracing_ = true;
    traceBytes_ = 0;
}

void Trace::trace(TraceType type, Bytes data) {
    if (type == TraceType::Start) {
        begin();
        return;
    }
    // A stopped trace never starts again by itself.
    if (!tracing_) return;
    if (traceBytes_ > kRestartBytes) begin();

    switch (type) {
        case TraceType::TelnetCommand:
        case TraceType::RecordReceived:
        case TraceType::DataSent:
        case TraceType::ScreenSnapshot:
        case TraceType::RawBlock: {
            // An empty body is still a record; a long one becomes several.
            std::size_t at = 0;
            do {
                const std::size_t n = std::min(kMaxBody, data.size() - at);
                appendRecord(static_cast<std::uint8_t>(type), data.subspan(at, n));
                at += n;
            } while (at < data.size());
            break;
        }
        case TraceType::Start:
            break;
    }
}

void Trace::appendRecord(std::uint8_t type, Bytes body) {
    appendRecord(type, {body});
}

void Trace::appendRecord(std::uint8_t type, std::initializer_list<Bytes> parts) {
    std::size_t length = 0;
    for (const Bytes& p : parts)
        length += p.size();

    std::string time = clock_.timeText();
    time.resize(kTimeLength, ' ');

    pending_.push_back(type);
    pending_.insert(pending_.end(), time.begin(), time.end());
    putLength(pending_, length);
    for (const Bytes& p : parts)
        pending_.insert(pending_.end(), p.begin(), p.end());
    traceBytes_ += length + kRecordOverhead;

    if (pending_.size() >= kFlushBytes) flush();
}

void Trace::note(const std::string& text) {
    if (!tracing_) return;
    std::string time = clock_.timeText();
    time.resize(kTimeLength, ' ');
    const std::string line = time + " " + text + "\n";
    sink_.append(textFileName_,
                 Bytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
}

void Trace::flush() {
    if (pending_.empty()) return;
    sink_.append(fileName_, pending_);
    pending_.clear();
}

void Trace::stop() {
    flush();
    tracing_ = false;
}

void Trace::writeSnapshot(const PresentationSpace& ps) {
    const int positions = std::clamp(ps.positions(), 0, PresentationSpace::kPlaneSize);
    const auto count = static_cast<std::size_t>(positions);
    const std::array<const PresentationSpace::Plane*, kPlaneCount> planes = {
        &ps.characters(), &ps.attributes(), &ps.colors(), &ps.highlights(), &ps.charsets()};
    const std::array<std::uint8_t, 2> positionBytes = {
        static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>((count >> 8) & 0xFF)};

    if (positions <= kMaxWholeSnapshotPositions) {
        appendRecord(static_cast<std::uint8_t>(TraceType::ScreenSnapshot),
                     {Bytes(positionBytes), Bytes(planes[0]->data(), count),
                      Bytes(planes[1]->data(), count), Bytes(planes[2]->data(), count),
                      Bytes(planes[3]->data(), count), Bytes(planes[4]->data(), count)});
        return;
    }
    for (int i = 0; i < kPlaneCount; ++i) {
        const std::array<std::uint8_t, 1> index = {static_cast<std::uint8_t>(i)};
        appendRecord(static_cast<std::uint8_t>(TraceType::ScreenSnapshot),
                     {Bytes(positionBytes), Bytes(index),
                      Bytes(planes[static_cast<std::size_t>(i)]->data(), count)});
    }
}

void Trace::dumpScreen(const PresentationSpace& ps) {
    if (tracing_) {
        if (traceBytes_ > kRestartBytes) begin();
        writeSnapshot(ps);
        return;
    }
    begin();
    writeSnapshot(ps);
    stop();
}

// ---- Reading ----

bool parseTrace(Bytes file, TraceFile& out, std::string& error) {
    out = {};
    if (file.size() < 2) {
        error = "trace file too short for its header";
        return false;
    }
    const std::size_t headerLength = getLength(file, 0);
    if (headerLength > file.size() - 2) {
        error = "trace header length " + std::to_string(headerLength) + " runs past the end";
        return false;
    }
    out.header.assign(file.begin() + 2,
                      file.begin() + 2 + static_cast<std::ptrdiff_t>(headerLength));

    std::size_t at = 2 + headerLength;
    while (at < file.size()) {
        const std::size_t left = file.size() - at;
        if (left < kRecordOverhead) {
            error = "record at offset " + std::to_string(at) + " is cut off";
            return false;
        }
        const std::uint8_t type = file[at];
        if (type != 1 && type != 2 && type != 3 && type != 7 && type != 8) {
            error =
                "unknown record type " + std::to_string(type) + " at offset " + std::to_string(at);
            return false;
        }
        const std::size_t length = getLength(file, at + 1 + kTimeLength);
        if (length > left - kRecordOverhead) {
            error = "record at offset " + std::to_string(at) + " has length " +
                    std::to_string(length) + " past the end";
            return false;
        }
        TraceRecord r;
        r.type = type;
        r.time.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 1),
                      file.begin() + static_cast<std::ptrdiff_t>(at + 1 + kTimeLength));
        const auto body = file.subspan(at + kRecordOverhead, length);
        r.body.assign(body.begin(), body.end());
        out.records.push_back(std::move(r));
        at += kRecordOverhead + length;
    }
    return true;
}

bool readSnapshots(const TraceFile& file, std::vector<ScreenSnapshot>& out, std::string& error) {
    out.clear();
    constexpr auto kPlanes = static_cast<std::size_t>(Trace::kPlaneCount);
    ScreenSnapshot partial;
    std::size_t nextPlane = 0;  // planes gathered of a snapshot written plane by plane
    std::size_t index = 0;
    for (const TraceRecord& r : file.records) {
        ++index;
        if (r.type != static_cast<std::uint8_t>(TraceType::ScreenSnapshot)) continue;
        const std::string where = "snapshot record " + std::to_string(index);
        if (r.body.size() < 2) {
            error = where + " has no position count";
            return false;
        }
        const std::size_t positions =
            static_cast<std::size_t>(r.body[0]) | (static_cast<std::size_t>(r.body[1]) << 8);
        const auto from = [&](std::size_t offset) {
            return r.body.begin() + static_cast<std::ptrdiff_t>(offset);
        };
        if (r.body.size() == positions * kPlanes + 2) {
            if (nextPlane != 0) {
                error = where + " interrupts a snapshot written plane by plane";
                return false;
            }
            ScreenSnapshot s;
            s.positions = static_cast<int>(positions);
            for (std::size_t p = 0; p < kPlanes; ++p) {
                s.planes[p].assign(from(2 + p * positions), from(2 + (p + 1) * positions));
            }
            out.push_back(std::move(s));
        } else if (r.body.size() == positions + 3) {
            const std::size_t plane = r.body[2];
            if (plane != nextPlane) {
                error = where + " holds plane " + std::to_string(plane) + " where plane " +
                        std::to_string(nextPlane) + " was due";
                return false;
            }
            if (plane > 0 && static_cast<int>(positions) != partial.positions) {
                error = where + " changes the position count within a snapshot";
                return false;
            }
            partial.positions = static_cast<int>(positions);
            partial.planes[plane].assign(from(3), r.body.end());
            if (++nextPlane == kPlanes) {
                out.push_back(std::move(partial));
                partial = {};
                nextPlane = 0;
            }
        } else {
            error = where + " has length " + std::to_string(r.body.size()) + " for " +
                    std::to_string(positions) + " positions";
            return false;
        }
    }
    if (nextPlane != 0) {
        error = "the last snapshot stops after plane " + std::to_string(nextPlane - 1);
        return false;
    }
    return true;
}

}  // namespace cedar
