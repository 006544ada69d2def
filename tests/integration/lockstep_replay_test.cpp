// Lock-step replay of real host sessions: the host's side of a recording is
// fed, block by block, to our HostLink (the real Telnet layer, send path,
// inbound builder and structured-field handler, on a fake connection), and
// what we send is compared with what the recording's client sent at the
// same point: negotiation answers, TN3270E responses, query replies, read
// replies. Where the recording's operator pressed an attention key, the
// operator's input is taken from that record (its cursor address and its
// fields, written over the fields' old contents) and the key is pressed on
// our side through the session's keyboard; the records must then agree too.
//
// The recordings were made with another emulator. Where we answer
// differently on purpose (our terminal type, our query replies, the
// options we take), the difference is named with its reason; each case
// lists the differences it expects, and one that no longer occurs fails
// the case as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "oracles.h"
#include "platform/transfer_file.h"
#include "record_builder.h"
#include "recording.h"
#include "session/host_link.h"
#include "session/session_keyboard.h"
#include "test_paths.h"

namespace cedar {
namespace {

using Bytes_ = std::vector<std::uint8_t>;

constexpr std::uint8_t kIac = 0xFF, kSb = 0xFA, kSe = 0xF0, kEor = 0xEF, kWill = 0xFB, kWont = 0xFC,
                       kDo = 0xFD, kDont = 0xFE;

std::string hexOf(const Bytes_& bytes, std::size_t limit = 48) {
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(b, sizeof b, "%02X", bytes[i]);
        if (!out.empty()) out += ' ';
        out += b;
    }
    if (bytes.size() > limit) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

// ---------------------------------------------------------------------------
// What a client sends, cut into units: Telnet commands, sub-negotiations and
// records (IAC IAC undoubled, without IAC EOR).

struct Unit {
    enum class Kind { Command, Subnegotiation, Data } kind;
    Bytes_ bytes;       // a command or sub-negotiation as sent; a record's data
    int afterHost = 0;  // how many host blocks had come when it was sent
    bool operator==(const Unit& o) const { return kind == o.kind && bytes == o.bytes; }
};

std::string describe(const Unit& u) {
    switch (u.kind) {
        case Unit::Kind::Command:
            return "command " + hexOf(u.bytes);
        case Unit::Kind::Subnegotiation:
            return "sub-negotiation " + hexOf(u.bytes);
        case Unit::Kind::Data:
            return "record " + hexOf(u.bytes);
    }
    return "";
}

// Cuts a byte stream into units; bytes may come in pieces of any size.
class UnitCutter {
  public:
    void feed(const Bytes_& bytes, int afterHost, std::vector<Unit>& out) {
        for (std::uint8_t b : bytes) {
            switch (state_) {
                case State::Data:
                    if (b == kIac)
                        state_ = State::Iac;
                    else
                        record_.push_back(b);
                    break;
                case State::Iac:
                    if (b == kIac) {
                        record_.push_back(kIac);
                        state_ = State::Data;
                    } else if (b == kEor) {
                        out.push_back({Unit::Kind::Data, record_, afterHost});
                        record_.clear();
                        state_ = State::Data;
                    } else if (b == kSb) {
                        pending_ = {kIac, kSb};
                        state_ = State::Sub;
                    } else if (b >= kWill && b <= kDont) {
                        pending_ = {kIac, b};
                        state_ = State::Verb;
                    } else {
                        out.push_back({Unit::Kind::Command, {kIac, b}, afterHost});
                        state_ = State::Data;
                    }
                    break;
                case State::Verb:
                    pending_.push_back(b);
                    out.push_back({Unit::Kind::Command, pending_, afterHost});
                    state_ = State::Data;
                    break;
                case State::Sub:
                    pending_.push_back(b);
                    if (b == kIac) state_ = State::SubIac;
                    break;
                case State::SubIac:
                    pending_.push_back(b);
                    if (b == kSe) {
                        out.push_back({Unit::Kind::Subnegotiation, pending_, afterHost});
                        state_ = State::Data;
                    } else {
                        state_ = State::Sub;
                    }
                    break;
            }
        }
    }

  private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    State state_ = State::Data;
    Bytes_ record_;
    Bytes_ pending_;
};

// ---------------------------------------------------------------------------
// Named differences.

enum class Rule {
    TerminalType,
    QueryReplies,
    DeclinedOption,
    NoNegativeResponse,
};

struct Context {
    bool tn3270e = false;  // records carry the 5-byte TN3270E header
};

struct NamedDifference {
    Rule rule;
    const char* name;
    const char* reason;
    // Whether the difference between our unit and the recording's (either
    // may be missing) is this one.
    bool (*covers)(const std::optional<Unit>& ours, const std::optional<Unit>& theirs,
                   const Context& context);
};

bool isSub(const std::optional<Unit>& u, std::initializer_list<std::uint8_t> prefix) {
    if (!u || u->kind != Unit::Kind::Subnegotiation || u->bytes.size() < 2 + prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), u->bytes.begin() + 2);
}

// The data of a record without the TN3270E header.
std::optional<Bytes_> recordData(const std::optional<Unit>& u, const Context& c) {
    if (!u || u->kind != Unit::Kind::Data) return std::nullopt;
    const std::size_t h = c.tn3270e ? 5 : 0;
    if (u->bytes.size() < h) return std::nullopt;
    return Bytes_(u->bytes.begin() + static_cast<std::ptrdiff_t>(h), u->bytes.end());
}

const NamedDifference kDifferences[] = {
    {Rule::TerminalType, "terminal type",
     "TERMINAL-TYPE IS (RFC 1091) names our terminal, IBM-3278-n-E (the model's terminal type "
     "setting); the recording's emulator announced itself as a 3279",
     [](const std::optional<Unit>& ours, const std::optional<Unit>& theirs, const Context&) {
         return isSub(ours, {24, 0}) && isSub(theirs, {24, 0});
     }},
    {Rule::QueryReplies, "query replies",
     "the answer to Read Partition Query (AID 0x88) carries our query replies (usable area, "
     "colours, character sets, our OEM device name); the recording's emulator describes itself",
     [](const std::optional<Unit>& ours, const std::optional<Unit>& theirs, const Context& c) {
         const auto a = recordData(ours, c), b = recordData(theirs, c);
         return a && b && !a->empty() && !b->empty() && (*a)[0] == 0x88 && (*b)[0] == 0x88;
     }},
    {Rule::DeclinedOption, "option declined",
     "we refuse Telnet options outside TN3270 (WONT NEW-ENVIRON, RFC 1572); the recording's "
     "emulator took the option on",
     [](const std::optional<Unit>& ours, const std::optional<Unit>& theirs, const Context&) {
         return ours && theirs && ours->kind == Unit::Kind::Command &&
                theirs->kind == Unit::Kind::Command && ours->bytes.size() == 3 &&
                theirs->bytes.size() == 3 && ours->bytes[2] == theirs->bytes[2] &&
                ours->bytes[1] == kWont && theirs->bytes[1] == kWill;
     }},
    {Rule::NoNegativeResponse, "no negative response",
     "a record the host marked ERROR-RESPONSE (RFC 2355) is applied as far as it goes and "
     "never answered with a negative response, even when an order in it was bad; the "
     "recording's emulator answered such a record with ERROR-RESPONSE",
     [](const std::optional<Unit>& ours, const std::optional<Unit>& theirs, const Context& c) {
         return !ours && theirs && c.tn3270e && theirs->kind == Unit::Kind::Data &&
                theirs->bytes.size() >= 6 && theirs->bytes[0] == 0x02 && theirs->bytes[2] == 0x01;
     }},
};

const NamedDifference& differenceFor(Rule rule) {
    for (const auto& d : kDifferences)
        if (d.rule == rule) return d;
    std::abort();
}

// ---------------------------------------------------------------------------
// Our client on a fake connection.

class Ui : public LinkUi {
  public:
    std::vector<std::string> errors;
    void showError(const std::string& title, const std::string& text) override {
        errors.push_back(title + ": " + text);
    }
};

struct Client {
    explicit Client(int model)
        : t({}, [model] {
              ScreenSessionOptions o;
              o.modelIndex = model - 2;
              return o;
          }()) {
        t.session.applySizeOptions();
        ConnectionOptions options;
        options.host = "recorded.host";
        link.connect(options, {});
        connector.up();
    }
    // What we sent since the last call.
    Bytes_ newBytes() {
        Bytes_ out;
        if (connector.current == nullptr) return out;
        auto& sent = connector.current->sent;
        for (; taken < sent.size(); ++taken)
            out.insert(out.end(), sent[taken].begin(), sent[taken].end());
        return out;
    }

    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    Ui ui;
    HostLink link{t.session, connector, scheduler, ui};
    SessionKeyboard keyboard{t.session, link};
    std::size_t taken = 0;
};

// The ACTION codes of the attention keys with an AID of the 3270 keyboard:
// Clear, Enter, PA1..PA3, PF1..PF24.
constexpr int kFirstAidKey = static_cast<int>(keys::Action::Clear);
constexpr int kLastAidKey = static_cast<int>(keys::Action::PF24);

std::set<std::uint8_t> attentionAids() {
    std::set<std::uint8_t> aids;
    for (int code = kFirstAidKey; code <= kLastAidKey; ++code)
        aids.insert(keys::aidOfAction(static_cast<std::uint8_t>(code)));
    return aids;
}

keys::KeyWord attentionKeyOf(std::uint8_t aidByte) {
    for (int code = kFirstAidKey; code <= kLastAidKey; ++code)
        if (keys::aidOfAction(static_cast<std::uint8_t>(code)) == aidByte)
            return keys::makeKey(keys::Kind::Action, static_cast<std::uint8_t>(code));
    return keys::kNoFunction;
}

// The operator's part of a recorded attention record: the cursor and every
// field sent (its old contents erased, the sent characters typed, its
// modified data tag set), then the key. False when the record cannot be
// replayed (a field address that is no field's first position).
bool replayOperator(Client& c, const Bytes_& data, std::string& why) {
    PresentationSpace& ps = c.t.ps();
    const std::uint8_t aidByte = data[0];
    if (!aid::isShortRead(aidByte)) {
        if (data.size() < 3) {
            why = "attention record without a cursor address";
            return false;
        }
        ps.setCursor(PresentationSpace::decodeAddressBytes(data[1], data[2]));
        std::size_t i = 3;
        while (i < data.size()) {
            if (data[i] != order::kSetBufferAddress || i + 2 >= data.size()) {
                why = "unexpected byte " + hexOf({data[i]}) + " in the attention record";
                return false;
            }
            const int start = PresentationSpace::decodeAddressBytes(data[i + 1], data[i + 2]);
            i += 3;
            const int attribute = ps.previousAddress(start);
            if (start >= ps.positions() || !ps.isAttribute(attribute)) {
                why = "field address " + std::to_string(start) + " is no field's first position";
                return false;
            }
            for (int p = start; !ps.isAttribute(p); p = ps.nextAddress(p))
                ps.characters()[p] = 0;
            int p = start;
            for (; i < data.size() && data[i] != order::kSetBufferAddress; ++i) {
                ps.characters()[p] = c.t.session.codePages.hostToDisplay(data[i]);
                ps.hostCodes()[p] = data[i];
                p = ps.nextAddress(p);
            }
            ps.attributes()[attribute] |= fa::kModified;
        }
    }
    // The recording holds no Reset: an operator who found the keyboard still
    // locked (the host's last write did not restore it) pressed one first.
    if (c.keyboard.controller().locked())
        c.keyboard.performKey(keys::editKey(keys::Edit::Reset, keys::kImmediate),
                              keys::KeySource::Keyboard);
    if (c.keyboard.performKey(attentionKeyOf(aidByte), keys::KeySource::Keyboard) !=
        keys::KeyOutcome::Performed) {
        why =
            "the keyboard was locked (status " + std::string(statusName(c.t.session.status)) + ")";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The replay.

struct Verdict {
    std::set<Rule> used;
    std::vector<std::string> unexplained;
    int compared = 0;      // units of ours matched with the recording's
    int operatorKeys = 0;  // attention records replayed
    // The transfer the operator started, once the recording is over.
    bool transferRunning = false;
    std::uint64_t transferBytes = 0;
};

// The allowed named difference that explains a pair (either side may be
// missing), if any.
std::optional<Rule> explained(const std::optional<Unit>& ours, const std::optional<Unit>& theirs,
                              const Context& context, const std::vector<Rule>& allowed) {
    for (Rule r : allowed)
        if (differenceFor(r).covers(ours, theirs, context)) return r;
    return std::nullopt;
}

void judge(const std::optional<Unit>& ours, const std::optional<Unit>& theirs,
           const Context& context, const std::vector<Rule>& allowed, Verdict& v) {
    ++v.compared;
    // CEDAR_DIFF_VERBOSE=1 lists every pair compared.
    const char* verbose = std::getenv("CEDAR_DIFF_VERBOSE");
    if (verbose != nullptr && *verbose != '\0' && *verbose != '0')
        std::cout << "  ours: " << (ours ? describe(*ours) : std::string("(nothing)"))
                  << "\n  recording: " << (theirs ? describe(*theirs) : std::string("(nothing)"))
                  << "\n";
    if (ours && theirs && *ours == *theirs) return;
    if (const auto rule = explained(ours, theirs, context, allowed)) {
        v.used.insert(*rule);
        return;
    }
    v.unexplained.push_back(
        "ours: " + (ours ? describe(*ours) : std::string("(nothing)")) +
        "\n    recording: " + (theirs ? describe(*theirs) : std::string("(nothing)")));
}

// A transfer the recording's operator started: typing the IND$FILE command
// and pressing Enter puts the session in TR_READY with the PC file open, as
// the transfer request does.
struct TransferStart {
    TransferDirection direction;
    TransferHostType hostType;
    bool binary;
    bool lfToCrLf;
    int blockSize;       // the recording's client's data block
    std::string pcFile;  // in the recordings folder
};

// IND$FILE in EBCDIC.
const Bytes_ kIndFile = {0xC9, 0xD5, 0xC4, 0x5B, 0xC6, 0xC9, 0xD3, 0xC5};

bool typedIndFile(const Bytes_& attention) {
    return std::search(attention.begin(), attention.end(), kIndFile.begin(), kIndFile.end()) !=
           attention.end();
}

void startTransfer(Client& c, const TransferStart& start, std::vector<std::string>& problems) {
    const auto dir = test::recordingsDir();
    std::string error;
    auto file = platform::PosixTransferFile::open(*dir + "/" + start.pcFile,
                                                  start.direction == TransferDirection::Upload
                                                      ? platform::PosixTransferFile::Mode::Read
                                                      : platform::PosixTransferFile::Mode::Create,
                                                  error);
    if (!file) {
        problems.push_back("cannot open " + start.pcFile + ": " + error);
        return;
    }
    TransferState& t = c.t.session.transfer;
    t = TransferState{};
    t.direction = start.direction;
    t.hostType = start.hostType;
    t.uploadBinary = t.downloadBinary = start.binary;
    t.uploadLfToCrLf = start.lfToCrLf;
    t.blockSize = start.blockSize;
    t.file = std::move(file);
    StructuredFieldOptions options = c.link.structuredFields().options();
    options.dftMode = true;
    options.transferBlockSize = start.blockSize;
    c.link.structuredFields().setOptions(options);
    c.t.session.status = SessionStatus::TransferReady;
}

struct Case {
    std::string file;
    std::size_t hostBlocks;  // feed this many host blocks (0: all)
    std::vector<Rule> differences;
    const char* note;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.file;
}

Verdict replay(const Case& rc, const std::vector<recording::Block>& blocks,
               const TransferStart* transfer = nullptr) {
    Verdict v;
    const std::set<std::uint8_t> aids = attentionAids();
    Client client(recording::announcedModel(blocks).value_or(2));

    // The recording's client units, each with the host blocks before it.
    std::vector<Unit> theirs;
    {
        UnitCutter cutter;
        int hostSoFar = 0;
        for (const auto& b : blocks) {
            if (b.direction == recording::Direction::FromHost)
                ++hostSoFar;
            else
                cutter.feed(b.bytes, hostSoFar, theirs);
        }
    }
    std::vector<Unit> ours;
    UnitCutter ourCutter;
    std::size_t o = 0, r = 0;
    int fed = 0;
    auto pairUp = [&](int upTo) {
        while (r < theirs.size() && theirs[r].afterHost <= upTo) {
            const Context context{client.link.protocol().tn3270eMode};
            if (o < ours.size()) {
                // A unit only one side sent, when a named difference says
                // so, is taken alone; otherwise the two are a pair.
                const auto& a = ours[o];
                const auto& b = theirs[r];
                if (!(a == b) && !explained(a, b, context, rc.differences)) {
                    if (explained(a, std::nullopt, context, rc.differences)) {
                        judge(ours[o++], std::nullopt, context, rc.differences, v);
                        continue;
                    }
                    if (explained(std::nullopt, b, context, rc.differences)) {
                        judge(std::nullopt, theirs[r++], context, rc.differences, v);
                        continue;
                    }
                }
                judge(ours[o++], theirs[r++], context, rc.differences, v);
                continue;
            }
            // Nothing of ours is waiting: an attention record here is the
            // operator's; anything else we did not send.
            const Unit& u = theirs[r];
            const auto data = recordData(u, context);
            const bool attention = data && !data->empty() && aids.count((*data)[0]) != 0 &&
                                   (!context.tn3270e || u.bytes[0] == 0x00);
            if (!attention) {
                judge(std::nullopt, theirs[r++], context, rc.differences, v);
                continue;
            }
            std::string why;
            if (!replayOperator(client, *data, why)) {
                v.unexplained.push_back("cannot replay the operator's " + describe(u) + ": " + why);
                ++r;
                continue;
            }
            ++v.operatorKeys;
            if (transfer != nullptr && typedIndFile(*data))
                startTransfer(client, *transfer, v.unexplained);
            ourCutter.feed(client.newBytes(), fed, ours);
            if (o == ours.size()) {
                judge(std::nullopt, theirs[r++], context, rc.differences, v);
            }
        }
    };
    for (const auto& b : blocks) {
        if (b.direction != recording::Direction::FromHost) continue;
        if (rc.hostBlocks != 0 && static_cast<std::size_t>(fed) >= rc.hostBlocks) break;
        client.connector.receive(b.bytes);
        client.scheduler.runPosted();
        ++fed;
        ourCutter.feed(client.newBytes(), fed, ours);
        pairUp(fed);
    }
    // What we sent that the recording does not have.
    const Context context{client.link.protocol().tn3270eMode};
    while (o < ours.size())
        judge(ours[o++], std::nullopt, context, rc.differences, v);
    for (const auto& e : client.ui.errors)
        v.unexplained.push_back("message: " + e);
    v.transferRunning = client.t.session.transfer.running();
    v.transferBytes = client.t.session.transfer.bytesTransferred;
    return v;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> list = {
        {"ibmlink.trc", 0, {}, "TN3270E: BIND, UNBIND; PF3 on the first screen"},
        {"ibmlink_help.trc", 0, {}, "TN3270E: Enter, PF1, PF3 and a field typed over"},
        {"fttext", 0, {}, "the file the transfers upload: a trace of the ibmlink session"},
        {"sruvm.trc",
         0,
         {Rule::TerminalType, Rule::QueryReplies},
         "TN3270E refused (TN3270 then), BINARY asked again, Read Partition Query, Enter"},
        {"invalid_sba.trc",
         0,
         {Rule::QueryReplies, Rule::NoNegativeResponse},
         "TN3270E: Read Partition Query; a record with a bad address asks for ERROR-RESPONSE"},
        {"login.trc", 0, {Rule::DeclinedOption}, "TN3270 with NEW-ENVIRON offered; no input"},
        {"hercules-3.13-logo.trc", 0, {Rule::TerminalType}, "plain TN3270, no input"},
        {"ft_dft.trc",
         5,
         {Rule::TerminalType, Rule::QueryReplies},
         "up to the query before the DFT transfer: the IND$FILE command typed"},
        {"ft_cut.trc",
         6,
         {Rule::TerminalType, Rule::QueryReplies},
         "up to the query before the CUT transfer: the IND$FILE command typed"},
    };
    return list;
}

class LockstepReplay : public ::testing::TestWithParam<Case> {};

TEST_P(LockstepReplay, OurClientBytesMatchTheRecording) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    const Case& rc = GetParam();
    const auto blocks = recording::parseRecording(test::readFile(*dir + "/" + rc.file));
    ASSERT_FALSE(blocks.empty());
    const Verdict v = replay(rc, blocks);
    std::ostringstream message;
    for (const auto& u : v.unexplained)
        message << "  " << u << "\n";
    for (Rule r : rc.differences)
        if (v.used.count(r) == 0)
            message << "  named difference \"" << differenceFor(r).name
                    << "\" did not occur: the case no longer needs it\n";
    EXPECT_TRUE(message.str().empty()) << rc.note << "\n" << message.str();
    EXPECT_GT(v.compared, 0);
}

std::string testName(const std::string& file) {
    std::string name;
    for (char ch : file)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Recordings, LockstepReplay, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return testName(param.param.file);
                         });

// The recorded transfers replayed whole: the operator's IND$FILE command
// starts the transfer as our transfer request does, and every reply of
// ours to the host's transfer fields must be the recording's.
struct TransferCase {
    Case replay;
    TransferStart start;
    std::uint64_t bytes;  // file bytes sent or received
};

void PrintTo(const TransferCase& c, std::ostream* os) {
    *os << c.replay.file;
}

const std::vector<TransferCase>& transferCases() {
    static const std::vector<TransferCase> list = {
        {{"ft_dft.trc",
          0,
          {Rule::TerminalType, Rule::QueryReplies},
          "TSO, DFT: fttext uploaded in text mode with CR LF (the file has LF only) in blocks of "
          "16,357 bytes (the recording's client announced 16,384 in its DDM reply); a Read "
          "Modified between the blocks gets the first block again; the closing message; then "
          "the host's screens and the operator's keys"},
         {TransferDirection::Upload, TransferHostType::Tso, false, true, 16357, "fttext"},
         19580 + 345},
    };
    return list;
}

class LockstepTransferReplay : public ::testing::TestWithParam<TransferCase> {};

TEST_P(LockstepTransferReplay, OurTransferRepliesMatchTheRecording) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    const TransferCase& tc = GetParam();
    const auto blocks = recording::parseRecording(test::readFile(*dir + "/" + tc.replay.file));
    ASSERT_FALSE(blocks.empty());
    const Verdict v = replay(tc.replay, blocks, &tc.start);
    std::ostringstream message;
    for (const auto& u : v.unexplained)
        message << "  " << u << "\n";
    for (Rule r : tc.replay.differences)
        if (v.used.count(r) == 0)
            message << "  named difference \"" << differenceFor(r).name << "\" did not occur\n";
    EXPECT_TRUE(message.str().empty()) << tc.replay.note << "\n" << message.str();
    EXPECT_FALSE(v.transferRunning);
    EXPECT_EQ(v.transferBytes, tc.bytes);
}

INSTANTIATE_TEST_SUITE_P(Recordings, LockstepTransferReplay, ::testing::ValuesIn(transferCases()),
                         [](const ::testing::TestParamInfo<TransferCase>& param) {
                             return testName(param.param.replay.file);
                         });

// Every recording in the folder in which the client speaks has a case.
TEST(LockstepReplayTable, CoversEveryRecordingWithClientBytes) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    std::set<std::string> listed;
    for (const auto& c : cases())
        listed.insert(c.file);
    for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const auto blocks = recording::parseRecording(test::readFile(entry.path().string()));
        const bool clientSpeaks = std::any_of(
            blocks.begin(), blocks.end(),
            [](const recording::Block& b) { return b.direction == recording::Direction::ToHost; });
        EXPECT_EQ(listed.count(name), clientSpeaks ? 1u : 0u) << name;
    }
}

// The cutter itself: commands, sub-negotiations and records, split anywhere.
TEST(UnitCutter, CutsTheSameUnitsWhateverTheBlocks) {
    const Bytes_ stream = {kIac, kWill, 24,   kIac, kSb,  24,   0,    'X',  kIac,  kSe, 0x7D,
                           0x40, kIac,  kIac, kIac, kEor, kIac, 0xF1, kIac, kDont, 0x27};
    std::vector<Unit> whole;
    UnitCutter().feed(stream, 1, whole);
    ASSERT_EQ(whole.size(), 5u);
    EXPECT_EQ(whole[0].bytes, (Bytes_{kIac, kWill, 24}));
    EXPECT_EQ(whole[1].kind, Unit::Kind::Subnegotiation);
    EXPECT_EQ(whole[1].bytes, (Bytes_{kIac, kSb, 24, 0, 'X', kIac, kSe}));
    EXPECT_EQ(whole[2].kind, Unit::Kind::Data);
    EXPECT_EQ(whole[2].bytes, (Bytes_{0x7D, 0x40, kIac}));
    EXPECT_EQ(whole[3].bytes, (Bytes_{kIac, 0xF1}));
    EXPECT_EQ(whole[4].bytes, (Bytes_{kIac, kDont, 0x27}));
    std::vector<Unit> pieces;
    UnitCutter cutter;
    for (std::uint8_t b : stream)
        cutter.feed({b}, 1, pieces);
    EXPECT_EQ(pieces, whole);
}

}  // namespace
}  // namespace cedar
