// The host's IND$FILE program. A screen application hands it every inbound
// record; when one carries a typed IND$FILE command it takes the
// conversation over: it asks the terminal for its query reply (Read
// Partition Query), then moves the file with structured fields of ID 0xD0
// (DFT) when the reply offers the Distributed Data Management function, and
// with coded frames written to the screen (CUT) otherwise. When it is done,
// result() says how it ended and the application draws its screen again.
//
// Beyond the plain exchange it can play what real hosts do now and then, so
// the terminal's handling of it can be tested: Set Cursor and Get in two
// records, a Read Modified after a chosen block (the terminal must send its
// last record again), a cancel by the host after a chosen block, and a
// closing message of the test's choosing.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "data_sets.h"
#include "ind_file_command.h"

namespace cedar::hostside {

using Bytes = std::vector<std::uint8_t>;

struct IndFileOptions {
    enum class Mode : std::uint8_t { Auto, CutOnly };
    enum class System : std::uint8_t { Auto, Tso, Cms, Cics };
    Mode mode = Mode::Auto;
    // Auto: CMS for the "(" form, TSO otherwise. Selects the query the host
    // sends, the CUT frame layout and the TSO CUT handshake.
    System system = System::Auto;
    bool separateSetCursor = false;  // DFT upload: Set Cursor and Get apart
    // CUT for TSO: a handshake screen the terminal answers with Enter before
    // the start frame (s3270 does not answer it, so it is off by default).
    bool tsoHandshake = false;
    std::set<unsigned> readModifiedAfter;  // data blocks (1, 2, ...) followed by a Read Modified
    int cancelAfterBlocks = -1;            // the host gives up after this many blocks
    std::string completionMessage;         // empty: "TRANS03 File transfer complete"
    // TSO reads 'A.B' as the fully qualified A.B: a host without prefixes
    // keeps the data set under the name without its quotes.
    bool unquoteNames = false;
};

struct IndFileResult {
    bool ok = false;
    std::string message;  // the closing message sent to the terminal
    IndFileCommand command;
    bool dft = false;
    std::uint64_t bytes = 0;
};

class IndFileHost {
  public:
    IndFileHost(DataSetStore& store, IndFileOptions options);

    bool active() const { return state_ != State::Idle; }
    // An inbound record while no transfer runs. True when it was an
    // IND$FILE command: the records to send are in `out` (none, with a
    // failed result, when the command is not valid).
    bool start(std::span<const std::uint8_t> record, std::vector<Bytes>& out);
    // An inbound record while a transfer runs.
    void receive(std::span<const std::uint8_t> record, std::vector<Bytes>& out);
    // How the last transfer ended (set when active() turns false).
    const std::optional<IndFileResult>& result() const { return result_; }

    const IndFileOptions& options() const { return options_; }
    IndFileOptions& options() { return options_; }

  private:
    enum class State : std::uint8_t {
        Idle,
        Query,
        // DFT
        OpenData,
        Data,
        Retransmit,
        Close,
        OpenMessage,
        Message,
        // CUT
        Handshake,
        CutStart,
        CutData,
        CutRetransmit,
        CutEnd,
    };
    // DFT
    void dftBegin(std::vector<Bytes>& out);
    void dftReceive(std::span<const std::uint8_t> record, std::vector<Bytes>& out);
    void dftNextData(std::vector<Bytes>& out);
    void dftGet(std::vector<Bytes>& out);
    void dftInsert(std::vector<Bytes>& out);
    void dftFinish(bool ok, const std::string& message, std::vector<Bytes>& out);
    // CUT
    void cutBegin(std::vector<Bytes>& out);
    void cutReceive(std::span<const std::uint8_t> record, std::vector<Bytes>& out);
    void cutNextData(std::vector<Bytes>& out);
    void cutFinish(bool ok, const std::string& message, std::vector<Bytes>& out);
    Bytes cutFrame(std::span<const std::uint8_t> area, bool input, bool pad = true) const;
    bool cics() const;

    void end();
    std::string completion() const;
    bool hostCancels() const;

    DataSetStore& store_;
    IndFileOptions options_;
    State state_ = State::Idle;
    IndFileCommand command_;
    std::optional<IndFileResult> result_;
    bool dft_ = false;
    std::size_t inboundLimit_ = 0, outboundLimit_ = 0;  // DDM buffer sizes
    Bytes data_;               // upload: what arrived; download: what is sent
    std::size_t offset_ = 0;   // download: bytes sent so far
    std::uint32_t block_ = 0;  // data blocks exchanged
    Bytes lastReply_;          // the terminal's last record, for a retransmit
    bool ok_ = false;
    std::string message_;
    unsigned frames_ = 0;     // CUT request frames
    Bytes lastFrame_;         // CUT: the last request frame sent
    std::uint8_t shift_ = 0;  // CUT upload: the terminal's shift at the end of its last frame
};

// The query a host sends, as TSO and CMS do it.
Bytes tsoQuery();
Bytes cmsQuery();
// The buffer sizes of the DDM query reply in `record` (AID 0x88), if any.
std::optional<std::pair<std::size_t, std::size_t>> ddmLimits(std::span<const std::uint8_t> record);

}  // namespace cedar::hostside
