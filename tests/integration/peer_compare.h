// Differential runs against the peer emulator s3270: the loopback test host
// shows the same screen to cedar_headless and to s3270, both carry out the
// same operator steps (keys, typed text, attention keys) and the host sends
// the same read commands; the records the host receives from the two must
// be equal byte for byte (the whole record, TN3270E header included).
//
// Synchronisation: the host asks a timing mark (RFC 860) after the screen
// and after every record that needs no reply; a client answers it only once
// it has processed everything before. Replies are awaited by count.
//
// Where we differ from s3270 on purpose, the difference is a named
// exception: a case lists the exceptions it expects, and one that no longer
// occurs fails the case too.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sessionfile/session_options.h"

namespace cedar::test {

using Record = std::vector<std::uint8_t>;

inline constexpr auto kPeerWait = std::chrono::seconds(10);

std::string hexOf(const Record& bytes);

// One thing the operator or the host does. Operator steps hold the commands
// of cedar_headless and the actions of s3270 that do the same.
struct Step {
    enum class Kind {
        Input,      // operator input: nothing goes to the host
        Attention,  // an attention key: one record comes back
        HostRead,   // the host sends `record`; one record comes back
        HostSet,    // the host sends `record`; nothing comes back
    };
    Kind kind = Kind::Input;
    std::string label;
    std::vector<std::string> ours;    // cedar_headless commands
    std::vector<std::string> theirs;  // s3270 actions
    Record record;
    // Operator input that must be refused (an input error; the step's last
    // command or action fails): by both, or by s3270 alone where we accept
    // it on purpose (`peerOnlyReason` says why).
    enum class Refusal { None, Both, PeerOnly };
    Refusal refusal = Refusal::None;
    std::string peerOnlyReason;
};

// TEXT typed at the cursor: "type TEXT" and String("TEXT").
Step typeText(const std::string& text);
// The cursor to ROW and COL, counted from 1: "key MoveCursor ROW COL" and
// MoveCursor(ROW-1,COL-1).
Step moveCursor(int row, int column);
// Typing TEXT at ROW and COL (from 1).
Step writeAt(int row, int column, const std::string& text);
// A key function without arguments: "key OURS" and THEIRS() (the same name
// unless given).
Step press(const std::string& ours, const std::string& theirs = "");
// An attention key by its key-list name (Enter, Clear, PA1..PA3, PF1..PF24):
// one record comes back.
Step attention(const std::string& name);
Step hostRead(std::uint8_t command);
Step hostSet(Record record);
// The same step, which both must refuse.
Step refused(Step step);
// The same step, which s3270 refuses and we carry out on purpose.
Step refusedByPeerOnly(Step step, std::string reason);

// A Write that only restores the keyboard (WCC 0x02: no reset, modified data
// tags kept): every screen ends with it, so that both clients unlock.
extern const Record kRestore;

// What a record of ours and s3270's record look like where they differ; an
// exception may edit `theirs` to say what it explains.
struct Difference {
    std::size_t index;   // of the record after the screen
    std::size_t header;  // 5 in TN3270E, else 0
    int columns;
    Record ours;
    Record theirs;
};

// One kind of difference that is ours on purpose: where it applies, it makes
// s3270's record agree with ours in that respect and returns true. A record
// difference is covered when the allowed exceptions together explain it
// (applied again while one of them still changes something: one may make
// another apply).
struct NamedException {
    const char* name;
    const char* reason;
    bool (*explain)(Difference&);
};

// Field attributes in a Read Buffer: ours with the 0x80 marker, s3270's as
// the graphic form of their low six bits.
extern const NamedException kFieldAttributeMarker;

::testing::AssertionResult sameRecords(const std::vector<Record>& ours,
                                       const std::vector<Record>& theirs, bool tn3270e, int columns,
                                       const std::vector<const NamedException*>& allowed);

struct PeerCase {
    std::string name;
    int model = 2;
    std::vector<Record> screen;  // the host's records before the input
    std::vector<Step> steps;
    std::vector<const NamedException*> exceptions = {};
    // Session options of ours, set on the standard session: cedar_headless
    // then runs with a session file holding them.
    std::vector<std::pair<sessionfile::Field, std::int64_t>> ourOptions = {};
};

bool peerMissing();

// A session file of the standard session with some options changed, in /tmp,
// removed with this object; none (an empty path) when no option is given.
class TempSessionFile {
  public:
    explicit TempSessionFile(
        const std::vector<std::pair<sessionfile::Field, std::int64_t>>& options);
    ~TempSessionFile();
    TempSessionFile(const TempSessionFile&) = delete;
    TempSessionFile& operator=(const TempSessionFile&) = delete;
    const std::string& path() const { return path_; }
    const std::string& failure() const { return failure_; }

  private:
    std::string path_;
    std::string failure_;
};

// Runs the case with cedar_headless and with s3270 over TN3270 or TN3270E
// and compares what the host received.
void compareWithPeer(const PeerCase& c, bool tn3270e);

// What one client sent after the screen, or why the run failed.
struct PeerRun {
    std::vector<Record> records;
    std::string failure;
};
PeerRun runOurs(const PeerCase& c, bool tn3270e);
PeerRun runTheirs(const PeerCase& c, bool tn3270e);

}  // namespace cedar::test
