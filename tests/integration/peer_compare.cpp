#include "peer_compare.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "headless_process.h"
#include "record_builder.h"
#include "replay_host.h"
#include "s3270_peer.h"
#include "screen/inbound.h"
#include "screen/record_processor.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar::test {

const Record kRestore = {cmd::kWrite, 0x02};

std::string hexOf(const Record& bytes) {
    std::string out;
    char b[4];
    for (std::uint8_t x : bytes) {
        std::snprintf(b, sizeof b, "%02X", x);
        if (!out.empty()) out += ' ';
        out += b;
    }
    return out;
}

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

Step makeStep(Step::Kind kind, std::string label, std::vector<std::string> ours,
              std::vector<std::string> theirs, Record record = {}) {
    Step s;
    s.kind = kind;
    s.label = std::move(label);
    s.ours = std::move(ours);
    s.theirs = std::move(theirs);
    s.record = std::move(record);
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Steps.

Step typeText(const std::string& text) {
    return makeStep(Step::Kind::Input, "type " + text, {"type " + text},
                    {"String(" + quoted(text) + ")"});
}

Step moveCursor(int row, int column) {
    const std::string r = std::to_string(row), c = std::to_string(column);
    return makeStep(
        Step::Kind::Input, "MoveCursor " + r + "," + c, {"key MoveCursor " + r + " " + c},
        {"MoveCursor(" + std::to_string(row - 1) + "," + std::to_string(column - 1) + ")"});
}

Step writeAt(int row, int column, const std::string& text) {
    Step s = moveCursor(row, column);
    const Step t = typeText(text);
    s.label += " " + t.label;
    s.ours.insert(s.ours.end(), t.ours.begin(), t.ours.end());
    s.theirs.insert(s.theirs.end(), t.theirs.begin(), t.theirs.end());
    return s;
}

Step press(const std::string& ours, const std::string& theirs) {
    return makeStep(Step::Kind::Input, ours, {"key " + ours},
                    {(theirs.empty() ? ours : theirs) + "()"});
}

Step attention(const std::string& name) {
    std::string action = name + "()";
    if (name.rfind("PF", 0) == 0) action = "PF(" + name.substr(2) + ")";
    if (name.rfind("PA", 0) == 0) action = "PA(" + name.substr(2) + ")";
    return makeStep(Step::Kind::Attention, name, {"key " + name}, {action});
}

Step hostRead(std::uint8_t command) {
    return makeStep(Step::Kind::HostRead, "host " + hexOf({command}), {}, {}, {command});
}

Step hostSet(Record record) {
    return makeStep(Step::Kind::HostSet, "host " + hexOf(record), {}, {}, std::move(record));
}

Step refused(Step step) {
    step.refusal = Step::Refusal::Both;
    return step;
}

Step refusedByPeerOnly(Step step, std::string reason) {
    step.refusal = Step::Refusal::PeerOnly;
    step.peerOnlyReason = std::move(reason);
    return step;
}

// ---------------------------------------------------------------------------
// The two clients.

namespace {

class Client {
  public:
    virtual ~Client() = default;
    // Connects and waits for the first screen; "" or what went wrong.
    virtual std::string connect(int port) = 0;
    virtual std::string perform(const Step& step) = 0;
    virtual std::string diagnostics() = 0;
    virtual bool isPeer() const = 0;
};

class PeerClient : public Client {
  public:
    explicit PeerClient(int model) : peer_({.model = model}) {}
    std::string connect(int port) override {
        if (!peer_.start()) return "s3270: " + peer_.error();
        // An attention key's action must not wait for the host's answer.
        if (auto a = peer_.action("Set(aidWait,false)"); !a.ok) return "Set(aidWait) failed";
        const auto a = peer_.action("Connect(127.0.0.1:" + std::to_string(port) + ")");
        return a.ok ? "" : "Connect failed: " + a.failure + " " + a.status;
    }
    std::string perform(const Step& step) override {
        for (const auto& action : step.theirs) {
            const auto a = peer_.action(action);
            if (!a.failure.empty()) return action + ": " + a.failure;
            if (!a.ok) return action + " failed: " + (a.data.empty() ? a.status : a.data.front());
        }
        return "";
    }
    std::string diagnostics() override { return peer_.diagnostics(); }
    bool isPeer() const override { return true; }

  private:
    S3270Peer peer_;
};

class OurClient : public Client {
  public:
    OurClient(int model, std::string sessionFile)
        : model_(model),
          sessionFile_(std::move(sessionFile)),
          program_(CEDAR_HEADLESS_PROGRAM, {}, kPeerWait) {}
    std::string connect(int port) override {
        std::vector<std::string> args = {"--model", std::to_string(model_)};
        if (!sessionFile_.empty()) args.insert(args.end(), {"--session", sessionFile_});
        args.push_back("127.0.0.1:" + std::to_string(port));
        if (!program_.start(args)) return program_.failure();
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = program_.command(command);
            if (!a.ok) return std::string(command) + " failed: " + a.error;
        }
        return "";
    }
    std::string perform(const Step& step) override {
        for (const auto& command : step.ours) {
            const auto a = program_.command(command);
            if (!a.ok) return command + " failed: " + a.error;
        }
        return "";
    }
    std::string diagnostics() override { return program_.diagnostics(); }
    bool isPeer() const override { return false; }

  private:
    int model_;
    std::string sessionFile_;
    HeadlessProcess program_;
};

ReplayHost::Script script(const std::vector<Record>& screen, int model, bool tn3270e) {
    ReplayHost::Script s;
    s.records = screen;
    s.records.push_back(kRestore);
    if (tn3270e) {
        s.negotiation = ReplayHost::Negotiation::Tn3270e;
        // s3270 takes 3270-DATA only in a bound session once BIND-IMAGE is
        // agreed: a BIND (RFC 2355 section 10.3) goes first.
        // The presentation space of the BIND (bytes 20 to 24): default 24x80,
        // alternate the model's size, both given explicitly (0x7F).
        Record bind(27, 0x00);
        bind[0] = 0x31;
        bind[20] = 24;
        bind[21] = 80;
        bind[22] = static_cast<std::uint8_t>(model == 3   ? 32
                                             : model == 4 ? 43
                                             : model == 5 ? 27
                                                          : 24);
        bind[23] = static_cast<std::uint8_t>(model == 5 ? 132 : 80);
        bind[24] = 0x7F;
        for (const auto& name : {std::string("CEDARAPP"), std::string("CEDAR001")}) {
            bind.push_back(static_cast<std::uint8_t>(name.size()));
            const Record e = ebcdic(name);
            bind.insert(bind.end(), e.begin(), e.end());
            if (name == "CEDARAPP") bind.insert(bind.end(), {0x00, 0x00});
        }
        ReplayHost::Message m;
        m.dataType = ReplayHost::kDataBindImage;
        m.data = bind;
        s.messages = {m};
    }
    return s;
}

PeerRun runClient(Client& client, const PeerCase& c, bool tn3270e) {
    PeerRun run;
    ReplayHost host(script(c.screen, c.model, tn3270e));
    if (!host.start()) {
        run.failure = "test host: " + host.error();
        return run;
    }
    auto fail = [&](const std::string& what) {
        run.failure = what + " [host: " + host.error() + "] [client: " + client.diagnostics() + "]";
        return run;
    };
    if (const auto e = client.connect(host.port()); !e.empty()) return fail(e);
    if (!host.waitForSync(kPeerWait))
        return fail("the screen was not taken in (no timing mark answer)");
    const std::size_t first = host.clientRecords().size();
    std::size_t expected = first;
    for (const Step& step : c.steps) {
        switch (step.kind) {
            case Step::Kind::Input: {
                const auto e = client.perform(step);
                const bool mustFail = step.refusal == Step::Refusal::Both ||
                                      (step.refusal == Step::Refusal::PeerOnly && client.isPeer());
                if (mustFail && e.empty())
                    return fail(step.label + " was not refused" +
                                (step.peerOnlyReason.empty()
                                     ? std::string()
                                     : ": the named difference \"" + step.peerOnlyReason +
                                           "\" no longer occurs"));
                if (!mustFail && !e.empty()) return fail(e);
                break;
            }
            case Step::Kind::Attention:
                if (const auto e = client.perform(step); !e.empty()) return fail(e);
                if (!host.waitForRecords(++expected, kPeerWait))
                    return fail("no record for " + step.label);
                break;
            case Step::Kind::HostRead:
                host.send(step.record);
                if (!host.waitForRecords(++expected, kPeerWait))
                    return fail("no reply to " + hexOf(step.record));
                break;
            case Step::Kind::HostSet:
                host.send(step.record, true);
                if (!host.waitForSync(kPeerWait))
                    return fail("no timing mark answer after " + hexOf(step.record));
                break;
        }
    }
    // A last timing mark: nothing more may come.
    host.send({cmd::kWrite, 0x00}, true);
    if (!host.waitForSync(kPeerWait)) return fail("no answer to the last timing mark");
    const auto all = host.clientRecords();
    run.records.assign(all.begin() + static_cast<std::ptrdiff_t>(first), all.end());
    return run;
}

// Where two records part: their lengths and the bytes around the first
// difference.
std::string describe(const Difference& d) {
    std::size_t at = 0;
    while (at < d.ours.size() && at < d.theirs.size() && d.ours[at] == d.theirs[at])
        ++at;
    auto window = [&](const Record& r) {
        const std::size_t from = at > 8 ? at - 8 : 0;
        const std::size_t to = std::min(r.size(), at + 24);
        if (from >= to) return std::string("(ends)");
        return (from > 0 ? "... " : "") +
               hexOf(Record(r.begin() + static_cast<std::ptrdiff_t>(from),
                            r.begin() + static_cast<std::ptrdiff_t>(to))) +
               (to < r.size() ? " ..." : "");
    };
    std::ostringstream s;
    s << "record " << d.index + 1 << " differs at byte " << at << " (ours " << d.ours.size()
      << " bytes, s3270 " << d.theirs.size() << "):\n  ours  " << window(d.ours) << "\n  s3270 "
      << window(d.theirs) << "\n";
    const char* verbose = std::getenv("CEDAR_DIFF_VERBOSE");
    if (verbose != nullptr && *verbose != '\0' && *verbose != '0')
        s << "  ours  (whole) " << hexOf(d.ours) << "\n  s3270 (whole) " << hexOf(d.theirs) << "\n";
    return s.str();
}

}  // namespace

const NamedException kFieldAttributeMarker = {
    "field attribute sent with its 0x80 marker",
    "Read Buffer sends a field attribute as the attributes plane holds it, with bit 0x80 set "
    "(protected 0x20 goes as 0xE0); s3270 sends the graphic form of its low six bits (0x60)",
    [](Difference& d) {
        if (d.ours.size() != d.theirs.size()) return false;
        bool changed = false;
        for (std::size_t i = d.header + 3; i < d.ours.size(); ++i) {
            const std::uint8_t a = d.ours[i], b = d.theirs[i];
            const std::uint8_t before = d.ours[i - 1];
            if (a == b || (before != order::kStartField && before != 0xC0)) continue;
            if ((a & 0x80) != 0 && (a & 0x3F) == (b & 0x3F)) {
                d.theirs[i] = a;
                changed = true;
            }
        }
        return changed;
    }};

::testing::AssertionResult sameRecords(const std::vector<Record>& ours,
                                       const std::vector<Record>& theirs, bool tn3270e, int columns,
                                       const std::vector<const NamedException*>& allowed) {
    std::ostringstream message;
    std::set<const NamedException*> used;
    if (ours.size() != theirs.size())
        message << "we sent " << ours.size() << " record(s), s3270 " << theirs.size() << "\n";
    for (std::size_t i = 0; i < std::max(ours.size(), theirs.size()); ++i) {
        Difference d{i, tn3270e ? 5u : 0u, columns, i < ours.size() ? ours[i] : Record{},
                     i < theirs.size() ? theirs[i] : Record{}};
        if (d.ours == d.theirs) continue;
        const Difference original = d;
        // Until none explains more: one exception may make another apply.
        std::set<const NamedException*> explaining;
        for (std::size_t pass = 0; pass <= allowed.size() && d.ours != d.theirs; ++pass) {
            bool more = false;
            for (const NamedException* e : allowed) {
                if (!e->explain(d)) continue;
                explaining.insert(e);
                more = true;
            }
            if (!more) break;
        }
        if (d.ours == d.theirs) {
            used.insert(explaining.begin(), explaining.end());
            continue;
        }
        message << describe(original);
    }
    for (const NamedException* e : allowed)
        if (used.count(e) == 0)
            message << "named exception \"" << e->name
                    << "\" did not occur: the case no longer needs it\n";
    if (message.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << message.str();
}

TempSessionFile::TempSessionFile(
    const std::vector<std::pair<sessionfile::Field, std::int64_t>>& options) {
    if (options.empty()) return;
    auto o = sessionfile::standardSessionOptions();
    for (const auto& [field, value] : options)
        if (!o.setNumber(field, value)) failure_ = "cannot set a session option";
    char name[] = "/tmp/cedar-peer-session-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
        failure_ = "mkstemp failed";
        return;
    }
    close(fd);
    path_ = std::string(name) + ".ses";
    std::filesystem::rename(name, path_);
    const auto bytes = sessionfile::sessionFileBytes(o);
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TempSessionFile::~TempSessionFile() {
    if (!path_.empty()) std::filesystem::remove(path_);
}

bool peerMissing() {
    return !S3270Peer::available();
}

PeerRun runOurs(const PeerCase& c, bool tn3270e) {
    const TempSessionFile file(c.ourOptions);
    if (!file.failure().empty()) return {{}, file.failure()};
    OurClient client(c.model, file.path());
    return runClient(client, c, tn3270e);
}

PeerRun runTheirs(const PeerCase& c, bool tn3270e) {
    PeerClient client(c.model);
    return runClient(client, c, tn3270e);
}

void compareWithPeer(const PeerCase& c, bool tn3270e) {
    const PeerRun ours = runOurs(c, tn3270e);
    ASSERT_EQ(ours.failure, "") << "cedar_headless";
    const PeerRun theirs = runTheirs(c, tn3270e);
    ASSERT_EQ(theirs.failure, "") << "s3270";
    ASSERT_FALSE(ours.records.empty()) << "nothing was compared";
    EXPECT_TRUE(
        sameRecords(ours.records, theirs.records, tn3270e, c.model == 5 ? 132 : 80, c.exceptions));
}

}  // namespace cedar::test
