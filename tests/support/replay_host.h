// A 3270 host for tests: listens on 127.0.0.1 (a port the system picks),
// serves one client at a time, negotiates, sends a scripted list of 3270
// records and logs everything the client sends.
//
// Negotiation, as the script chooses:
//  - TN3270 (RFC 1576): terminal type per RFC 1091, end of record per
//    RFC 885, binary per RFC 856.
//  - TN3270E (RFC 2355): DO TN3270E, SEND DEVICE-TYPE, then DEVICE-TYPE IS
//    with CONNECT (the device name the client asked for, or one the host
//    assigns) or DEVICE-TYPE REJECT with a reason code; then the FUNCTIONS
//    sub-negotiation (agreed with IS, countered with REQUEST, or left
//    unanswered). A client that answers WONT TN3270E is served TN3270. The
//    host can also withdraw TN3270E itself once the client's FUNCTIONS
//    REQUEST is in, with WONT TN3270E (as a z/OS server was recorded doing),
//    and go on with the TN3270 negotiation.
//
// Each record goes out with 0xFF doubled and IAC EOR appended; in TN3270E
// with its 5-byte header (data type, request and response flags, sequence
// number). The host can ask IAC DO TIMING-MARK (RFC 860) after any record
// and after the last: a client answers (WILL or WONT) only after it has
// processed every byte before it, so once the answer is in, the client's
// screen holds all the records before the mark. waitForSync() blocks,
// bounded in time, until every mark is answered. After a DEVICE-TYPE REJECT
// no records follow, but the mark after the records is still asked.
//
// Once the scripted records are out, the test can send more records with
// send() (each optionally followed by a timing mark), and the script can
// have every 3270 record of the client answered at once with a fixed record
// (Script::answer). clientRecords() holds every record the client sent.
//
// The host can also end the connection at a chosen point (after the
// negotiation, in the middle of a record, after the records or after the
// last timing mark is answered), with an orderly close or a reset.
//
// The host runs on its own thread; stop() (also run by the destructor) wakes
// it, closes the sockets and joins it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cedar::test {

class ReplayHost {
  public:
    using Record = std::vector<std::uint8_t>;
    using Clock = std::chrono::steady_clock;

    // RFC 2355 codes the scripts use.
    static constexpr std::uint8_t kFunctionBindImage = 0x00, kFunctionDataStreamCtl = 0x01,
                                  kFunctionResponses = 0x02, kFunctionScsCtlCodes = 0x03,
                                  kFunctionSysreq = 0x04;
    static constexpr std::uint8_t kData3270 = 0x00, kDataScs = 0x01, kDataResponse = 0x02,
                                  kDataBindImage = 0x03, kDataUnbind = 0x04, kDataNvt = 0x05,
                                  kDataRequest = 0x06, kDataSscpLu = 0x07, kDataPrintEoj = 0x08;
    static constexpr std::uint8_t kNoResponse = 0x00, kErrorResponse = 0x01, kAlwaysResponse = 0x02;

    enum class Negotiation : std::uint8_t { Tn3270, Tn3270e };

    // How the host meets the client's FUNCTIONS REQUEST (RFC 2355 section 7.2).
    enum class Functions : std::uint8_t {
        Agree,    // IS when it supports every function asked for, else REQUEST for the common ones
        Request,  // always REQUEST `functions`, then waits for the client's IS
        Ignore,   // never answers; the records follow DEVICE-TYPE IS at once
    };

    struct Tn3270e {
        std::string deviceName = "CEDAR001";       // assigned when the client names no device
        bool grantRequestedDevice = true;          // false: `deviceName` even when one was named
        std::optional<std::uint8_t> rejectReason;  // set: DEVICE-TYPE REJECT REASON code
        bool rejectWithoutReason = false;  // with rejectReason: REJECT without the REASON part
        Functions functionsMode = Functions::Agree;
        // Set: the FUNCTIONS REQUEST is answered with WONT TN3270E (not DONT),
        // then DO TERMINAL-TYPE and the rest of TN3270; records without headers.
        bool withdrawAfterFunctionsRequest = false;
        std::vector<std::uint8_t> functions = {kFunctionBindImage, kFunctionResponses,
                                               kFunctionSysreq};
        std::uint16_t firstSequence = 0;          // of the first record the host sends
        std::uint8_t responseFlag = kNoResponse;  // of each of Script::records
    };

    // A TN3270E record: its header fields and data.
    struct Message {
        std::uint8_t dataType = kData3270;
        std::uint8_t requestFlag = 0;
        std::uint8_t responseFlag = kNoResponse;
        std::uint16_t sequence = 0;  // sent: assigned by the host in order
        Record data;
        bool operator==(const Message&) const = default;
    };

    enum class CloseAt : std::uint8_t {
        Never,
        AfterNegotiation,  // before the first record (for a REJECT: once the client declined)
        MidRecord,         // after the first half of record `record` (header included)
        AfterRecords,      // once every record and timing mark is out
        AfterSync,         // once every timing mark is answered
    };
    struct Close {
        CloseAt at = CloseAt::Never;
        std::size_t record = 0;  // for MidRecord: counted over messages, then records
        bool reset = false;      // a TCP reset (SO_LINGER 0) instead of an orderly close
    };

    struct Script {
        std::vector<Record> records;  // 3270 records, without Telnet framing or header
        bool timingMarkAfterRecords = true;
        Negotiation negotiation = Negotiation::Tn3270;
        Tn3270e tn3270e = {};
        // TN3270E only: sent before `records` (which go as 3270-DATA), e.g.
        // BIND-IMAGE, SSCP-LU-DATA, UNBIND. Their sequence numbers are assigned.
        std::vector<Message> messages = {};
        // Also ask a timing mark after these items (counted over messages,
        // then records); the host sends on without waiting for the answers.
        std::vector<std::size_t> timingMarksAfter = {};
        Close close = {};
        // Set: every 3270 record the client sends once the scripted records
        // are out (not its TN3270E responses) is answered with this record
        // at once, e.g. a Write that restores the keyboard.
        std::optional<Record> answer = {};
    };

    struct Options {
        // How long the host waits for each answer during negotiation before it
        // carries on without it.
        std::chrono::milliseconds negotiationTimeout{5000};
    };

    // What the negotiation of the current (or last) connection came to.
    struct Negotiated {
        bool tn3270e = false;                          // DEVICE-TYPE IS was sent
        bool rejected = false;                         // DEVICE-TYPE REJECT was sent
        bool clientDeclined = false;                   // the client answered DO TN3270E with WONT
        bool withdrawn = false;                        // the host sent WONT TN3270E after IS
        std::string deviceType;                        // of the client's DEVICE-TYPE REQUEST
        std::string requestedDevice;                   // its CONNECT name, if any
        std::string assignedDevice;                    // the CONNECT name of DEVICE-TYPE IS
        std::vector<std::uint8_t> requestedFunctions;  // the client's first FUNCTIONS REQUEST
        std::vector<std::uint8_t> functions;           // agreed (empty when never settled)
        bool functionsSettled = false;
    };

    explicit ReplayHost(Script script);
    ReplayHost(Script script, Options options);
    ~ReplayHost();
    ReplayHost(const ReplayHost&) = delete;
    ReplayHost& operator=(const ReplayHost&) = delete;

    // Binds 127.0.0.1 port 0 and starts the thread. False (see error()) when
    // the socket cannot be set up.
    bool start();
    // Wakes the thread, closes every socket and joins. Safe to call twice.
    void stop();
    int port() const { return port_; }

    // Queues a 3270 record (3270-DATA in TN3270E) for the current client; it
    // goes out once the scripted records are out, followed by a timing mark
    // when asked (waitForSync() then waits for its answer). False when no
    // client is connected.
    bool send(Record data, bool timingMark = false);
    // Waits until the client has sent `count` records on the current
    // connection; false on timeout or when it went away first.
    bool waitForRecords(std::size_t count, std::chrono::milliseconds timeout);

    // Waits until the client of the current connection answered every timing
    // mark of the script. False on timeout, when the client went away first,
    // or when the script asks for no timing mark at all.
    bool waitForSync(std::chrono::milliseconds timeout);
    // The same without waiting.
    bool synced() const;
    // Whether the negotiation of the current connection is over (records
    // about to go out, or a REJECT settled); whether the connection ended.
    bool negotiationDone() const;
    bool clientGone() const;
    bool waitForClientGone(std::chrono::milliseconds timeout);

    // What the client sent on the current (or last) connection: every byte as
    // received, its terminal type, and the 3270 records it sent (framing
    // removed, 0xFF undoubled; in TN3270E with the header).
    std::vector<std::uint8_t> clientBytes() const;
    std::string terminalType() const;
    std::vector<Record> clientRecords() const;
    // The client's records sent while TN3270E was in force, header parsed.
    std::vector<Message> clientMessages() const;
    // Every sub-negotiation of the client, without IAC SB and IAC SE.
    std::vector<Record> clientSubnegotiations() const;
    // Everything the client sent, one readable line per command,
    // sub-negotiation or record ("WILL TN3270E", "SB TN3270E DEVICE-TYPE
    // REQUEST IBM-3278-2-E CONNECT LU1", "RECORD RESPONSE 00 00 #5: 00").
    std::vector<std::string> clientLog() const;
    Negotiated negotiated() const;
    // When each timing-mark answer came in, in order.
    std::vector<Clock::time_point> markAnswerTimes() const;
    // When the host started writing the first record (the end of negotiation).
    std::optional<Clock::time_point> recordsStartTime() const;
    int connections() const;
    // Problems met on the way (negotiation answers that never came, socket
    // errors); empty when all went to plan.
    std::string error() const;

  private:
    struct Connection;
    void run();
    void serve(int fd);
    void noteError(const std::string& text);
    // Empties the wake pipe; true when the wake was stop().
    bool drainWake();
    struct Queued {
        Record data;
        bool timingMark = false;
    };

    Script script_;
    Options options_;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_ = false;
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool synced_ = false;
    bool clientGone_ = false;
    bool negotiationDone_ = false;
    int connections_ = 0;
    std::vector<std::uint8_t> clientBytes_;
    std::string terminalType_;
    std::vector<Record> clientRecords_;
    std::vector<Message> clientMessages_;
    std::vector<Record> clientSubnegotiations_;
    std::vector<std::string> clientLog_;
    Negotiated negotiated_;
    std::vector<Clock::time_point> markAnswers_;
    std::optional<Clock::time_point> recordsStart_;
    std::vector<Queued> queued_;
    bool extraMarks_ = false;  // send() asked for a timing mark
    std::string error_;
};

}  // namespace cedar::test
