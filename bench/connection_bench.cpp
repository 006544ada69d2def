// The connection as a whole, our client against s3270, in one run:
//  - throughput: the loopback test host sends the first screen and then N
//    full-screen Write records (24x80 of text in protected fields);
//  - connect to first screen, plain and TLS (stunnel in front of the host);
//  - one attention key's round trip: from sending Enter (the read-modified
//    reply of a screen with one modified field) until the host's answer, a
//    Write that restores the keyboard, has been applied (the keyboard is
//    unlocked again); the host answers every record at once. The first
//    round trip of a connection and the later ones are shown apart.
//
//   build/default/bench/cedar_bench_connection [--quick] [--round-trip]
//                                              [--rounds N] [--verbose]
//
// --round-trip measures the attention key round trip alone; --rounds sets
// how often each throughput row is measured (15), --verbose shows every round.
//
// Both clients are timed by the host with TN3270 timing marks (RFC 860): a
// client answers DO TIMING-MARK only after it has processed every byte
// before it. The host asks one after the first screen and one after the
// last record; the throughput interval runs from the first answer to the
// second, so it covers applying the N records (and carrying them over
// loopback). Connect time runs from the moment the client is told to
// connect to the answer after the first screen.
//
// Our client runs in this process (HostLink, TcpConnector, an EventLoop);
// s3270 is started before any timing begins. s3270, stunnel or openssl
// missing: those rows are left out.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "platform/tcp_connection.h"
#include "record_builder.h"
#include "replay_host.h"
#include "s3270_peer.h"
#include "screen/inbound.h"
#include "session/host_link.h"
#include "stunnel.h"
#include "test_certs.h"

namespace {

using namespace std::chrono_literals;
using cedar::test::ReplayHost;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kLimit = 60s;  // any single wait

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The first screen: a title and an input field; the keyboard restored.
Bytes firstScreen() {
    return cedar::test::RecordBuilder(cedar::cmd::kEraseWrite, 0xC3)
        .sba(0)
        .sf(0x60)
        .text("CEDAR CONNECTION BENCHMARK")
        .sba(80)
        .sf(0x40)
        .ic()
        .bytes();
}

// Write, 24 protected fields, one a row, each 79 characters of text that
// change from record to record.
Bytes fullScreen(int n) {
    cedar::test::RecordBuilder b(cedar::cmd::kWrite, 0xC2);
    for (int row = 0; row < 24; ++row) {
        char line[96];
        std::snprintf(line, sizeof line, "RECORD %06d ROW %02d ", n, row);
        std::string text = line;
        while (text.size() < 79)
            text += static_cast<char>('A' + (n + row + static_cast<int>(text.size())) % 26);
        b.sba(row * 80).sf(0x60).text(text);
    }
    return b.bytes();
}

class Ui : public cedar::LinkUi {
  public:
    void showError(const std::string& title, const std::string& text) override {
        error = title + ": " + text;
    }
    std::string error;
};

// Our client, run by this thread.
class OurClient {
  public:
    void connect(const cedar::ConnectionOptions& options) { link.connect(options, {}); }
    void disconnect() { link.disconnect(); }
    // Runs the session until `done`; false after kLimit or on an error.
    template <typename Predicate>
    bool run(Predicate done) {
        const auto deadline = Clock::now() + kLimit;
        while (!done()) {
            if (!ui.error.empty() || Clock::now() >= deadline) return false;
            loop.runOnce(5);
        }
        return true;
    }

    cedar::test::TestSession t;
    cedar::EventLoop loop;
    cedar::TcpConnector connector;
    Ui ui;
    cedar::HostLink link{t.session, connector, loop, ui};
};

struct Throughput {
    double seconds = 0;
    bool ok = false;
    std::string failure;
};

// The interval between the first and the second timing-mark answer of the
// host's current connection.
std::optional<double> markInterval(const ReplayHost& host) {
    const auto marks = host.markAnswerTimes();
    if (marks.size() < 2) return std::nullopt;
    return seconds(marks[1] - marks[0]);
}

ReplayHost::Script throughputScript(const std::vector<Bytes>& bulk) {
    ReplayHost::Script script;
    script.records.reserve(bulk.size() + 1);
    script.records.push_back(firstScreen());
    script.records.insert(script.records.end(), bulk.begin(), bulk.end());
    script.timingMarksAfter = {0};
    script.timingMarkAfterRecords = true;
    return script;
}

Throughput ourThroughput(const std::vector<Bytes>& bulk) {
    Throughput result;
    ReplayHost host(throughputScript(bulk));
    if (!host.start()) {
        result.failure = host.error();
        return result;
    }
    OurClient client;
    cedar::ConnectionOptions options;
    options.host = "127.0.0.1";
    options.port = static_cast<std::uint16_t>(host.port());
    client.connect(options);
    if (!client.run([&] { return host.synced(); })) {
        result.failure = "no sync: " + client.ui.error + " " + host.error();
        return result;
    }
    client.disconnect();
    const auto interval = markInterval(host);
    if (!interval) {
        result.failure = "timing marks missing";
        return result;
    }
    result.seconds = *interval;
    result.ok = true;
    return result;
}

Throughput peerThroughput(const std::vector<Bytes>& bulk) {
    Throughput result;
    ReplayHost host(throughputScript(bulk));
    if (!host.start()) {
        result.failure = host.error();
        return result;
    }
    cedar::test::S3270Peer peer({.model = 2, .codePage = "cp037", .actionTimeout = kLimit});
    if (!peer.start()) {
        result.failure = peer.error();
        return result;
    }
    const auto answer = peer.action("Connect(127.0.0.1:" + std::to_string(host.port()) + ")");
    if (!answer.ok) {
        result.failure = "Connect failed: " + answer.failure;
        return result;
    }
    if (!host.waitForSync(kLimit)) {
        result.failure = "no sync: " + host.error();
        return result;
    }
    peer.quit();
    const auto interval = markInterval(host);
    if (!interval) {
        result.failure = "timing marks missing";
        return result;
    }
    result.seconds = *interval;
    result.ok = true;
    return result;
}

// Connect times of `rounds` connections, in seconds; empty on failure.
struct ConnectTimes {
    std::vector<double> times;
    std::string failure;
};

ReplayHost::Script connectScript() {
    ReplayHost::Script script;
    script.records = {firstScreen()};
    return script;
}

// Waits until the host serves connection number `n` and has its mark answered.
bool waitForConnection(const ReplayHost& host, int n, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        if (host.connections() >= n && host.synced()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

ConnectTimes ourConnects(ReplayHost& host, const cedar::ConnectionOptions& options, int rounds) {
    ConnectTimes result;
    OurClient client;
    for (int i = 0; i < rounds; ++i) {
        const int n = host.connections() + 1;
        const auto start = Clock::now();
        client.connect(options);
        if (!client.run([&] { return host.connections() >= n && host.synced(); })) {
            result.failure = "no first screen: " + client.ui.error + " " + host.error();
            return result;
        }
        result.times.push_back(seconds(host.markAnswerTimes().at(0) - start));
        client.disconnect();
        if (!host.waitForClientGone(kLimit)) {
            result.failure = "the host kept the connection";
            return result;
        }
    }
    return result;
}

ConnectTimes peerConnects(ReplayHost& host, const std::string& target, const std::string& caFile,
                          int rounds) {
    ConnectTimes result;
    cedar::test::S3270Peer peer({.model = 2, .codePage = "cp037", .actionTimeout = kLimit});
    if (!peer.start()) {
        result.failure = peer.error();
        return result;
    }
    if (!caFile.empty() && !peer.action("Set(caFile," + caFile + ")").ok) {
        result.failure = "Set(caFile) failed";
        return result;
    }
    for (int i = 0; i < rounds; ++i) {
        const int n = host.connections() + 1;
        const auto start = Clock::now();
        const auto answer = peer.action("Connect(" + target + ")");
        if (!answer.ok || !waitForConnection(host, n, Clock::now() + kLimit)) {
            result.failure = "no first screen: " + answer.failure + " " +
                             (answer.data.empty() ? "" : answer.data.front());
            return result;
        }
        result.times.push_back(seconds(host.markAnswerTimes().at(0) - start));
        peer.action("Disconnect()");
        if (!host.waitForClientGone(kLimit)) {
            result.failure = "the host kept the connection";
            return result;
        }
    }
    peer.quit();
    return result;
}

// The attention key round trips of one connection, in seconds.
struct RoundTrips {
    std::vector<double> times;
    std::string failure;
};

RoundTrips ourRoundTrips(int count) {
    RoundTrips result;
    ReplayHost::Script script;
    script.records = {firstScreen()};
    script.answer =
        cedar::test::RecordBuilder(cedar::cmd::kWrite, 0xC3).sba(160).text("ANSWER").bytes();
    ReplayHost host(script);
    if (!host.start()) {
        result.failure = host.error();
        return result;
    }
    OurClient client;
    cedar::ConnectionOptions options;
    options.host = "127.0.0.1";
    options.port = static_cast<std::uint16_t>(host.port());
    client.connect(options);
    cedar::Session& session = client.t.session;
    if (!client.run(
            [&] { return host.synced() && session.status == cedar::SessionStatus::Unlocked; })) {
        result.failure = "no first screen: " + client.ui.error + " " + host.error();
        return result;
    }
    cedar::PresentationSpace& ps = session.screen;
    const int input = 81;  // the first position of the screen's input field
    for (int i = 0; i < count; ++i) {
        // The operator's input: one character, the field modified.
        ps.characters()[input] = static_cast<std::uint8_t>('A' + i % 26);
        ps.attributes()[input - 1] |= cedar::fa::kModified;
        ps.setCursor(input + 1);
        const auto start = Clock::now();
        session.status = cedar::SessionStatus::SysLock;
        session.aid.current = cedar::aid::kEnter;
        session.aid.outstanding = true;
        client.link.inbound().sendReadModified(cedar::aid::kEnter);
        if (!client.run([&] { return session.status == cedar::SessionStatus::Unlocked; })) {
            result.failure = "no answer to Enter number " + std::to_string(i + 1) + ": " +
                             client.ui.error + " " + host.error();
            return result;
        }
        result.times.push_back(seconds(Clock::now() - start));
    }
    client.disconnect();
    if (host.clientRecords().size() != static_cast<std::size_t>(count))
        result.failure = "the host received " + std::to_string(host.clientRecords().size()) +
                         " records for " + std::to_string(count) + " Enter keys";
    return result;
}

std::string ms(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%8.2f ms", s * 1000);
    return text;
}

std::string us(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%7.1f us", s * 1e6);
    return text;
}

void printConnect(const char* label, const ConnectTimes& t) {
    if (!t.failure.empty()) {
        std::printf("  %-34s failed: %s\n", label, t.failure.c_str());
        return;
    }
    std::printf("  %-34s median %s   min %s   (%zu connections)\n", label,
                ms(median(t.times)).c_str(),
                ms(*std::min_element(t.times.begin(), t.times.end())).c_str(), t.times.size());
}

// The attention key round trips of several connections: the first of each
// connection and the later ones.
void printRoundTrips(bool quick) {
    const int connections = quick ? 5 : 20;
    const int keys = quick ? 50 : 500;
    std::printf(
        "\nAttention key round trip: Enter (the read-modified reply of a screen with one "
        "modified\nfield) until the host's answer (a Write that restores the keyboard, sent "
        "as soon as the\nrecord is in) has been applied. %d connections of %d Enter keys "
        "each.\n\n",
        connections, keys);
    std::vector<double> first, later;
    std::string failure;
    for (int c = 0; c < connections && failure.empty(); ++c) {
        const RoundTrips trips = ourRoundTrips(keys);
        failure = trips.failure;
        if (!failure.empty()) break;
        first.push_back(trips.times.front());
        later.insert(later.end(), trips.times.begin() + 1, trips.times.end());
    }
    if (!failure.empty()) {
        std::printf("  failed: %s\n", failure.c_str());
    } else {
        auto percentile = [](std::vector<double> v, double p) {
            std::sort(v.begin(), v.end());
            return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
        };
        std::printf("  %-28s median %s   min %s   p90 %s   (%zu)\n", "first Enter of a connection",
                    us(median(first)).c_str(),
                    us(*std::min_element(first.begin(), first.end())).c_str(),
                    us(percentile(first, 0.9)).c_str(), first.size());
        std::printf("  %-28s median %s   min %s   p90 %s   (%zu)\n", "later Enter keys",
                    us(median(later)).c_str(),
                    us(*std::min_element(later.begin(), later.end())).c_str(),
                    us(percentile(later, 0.9)).c_str(), later.size());
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    bool roundTripOnly = false;
    bool verbose = false;
    int rounds = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--round-trip") == 0) {
            roundTripOnly = true;
        } else if (std::strcmp(argv[i], "--verbose") == 0) {
            verbose = true;
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--round-trip] [--rounds N] [--verbose]\n",
                         argv[0]);
            return 2;
        }
    }
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::printf("Command: %s", length > 0 ? self : argv[0]);
    for (int i = 1; i < argc; ++i)
        std::printf(" %s", argv[i]);
    std::printf("\n");
    std::printf(
        "Cedar TN3270 connection benchmark: our client (HostLink + TcpConnector, in process) "
        "against s3270, timed by the loopback test host with timing marks (RFC 860).\n\n");

    if (roundTripOnly) {
        printRoundTrips(quick);
        return 0;
    }
    const bool havePeer = cedar::test::S3270Peer::available();
    if (!havePeer) std::printf("s3270 is not installed: its rows are left out.\n\n");

    // Throughput.
    const std::vector<int> counts = quick ? std::vector<int>{200} : std::vector<int>{1000, 5000};
    std::vector<Bytes> all;
    for (int n = 1; n <= counts.back(); ++n)
        all.push_back(fullScreen(n));
    const std::size_t recordBytes = all.front().size();
    std::printf(
        "Throughput: N full-screen Write records (24 protected fields of 79 characters, %zu "
        "bytes each)\nright after the first screen; from the answer to the timing mark after "
        "the first screen\nto the answer to the one after the last record.\n\n",
        recordBytes);
    const int repeats = quick ? 1 : rounds;
    std::printf(
        "  each measured %d time%s (rounds alternate between the clients); the median round, "
        "the best,\n  and the drift: the median of the last third of the rounds over the "
        "median of the first third.\n\n",
        repeats, repeats == 1 ? "" : "s");
    std::printf("  %6s  %-6s  %10s  %12s  %12s  %9s  %7s\n", "N", "client", "seconds", "records/s",
                "best rec/s", "MB/s", "drift");
    for (int n : counts) {
        const std::vector<Bytes> bulk(all.begin(), all.begin() + n);
        const double megabytes = static_cast<double>(recordBytes) * n / 1e6;
        struct Runs {
            const char* name;
            Throughput (*once)(const std::vector<Bytes>&);
            std::vector<double> seconds;
            std::string failure;
        };
        std::vector<Runs> clients = {{"cedar", ourThroughput, {}, {}}};
        if (havePeer) clients.push_back({"s3270", peerThroughput, {}, {}});
        // Alternating rounds: a machine that slows down or speeds up during
        // the run affects both clients alike.
        for (int r = 0; r < repeats; ++r) {
            for (Runs& c : clients) {
                if (!c.failure.empty()) continue;
                const Throughput t = c.once(bulk);
                if (t.ok)
                    c.seconds.push_back(t.seconds);
                else
                    c.failure = t.failure;
            }
        }
        std::vector<std::optional<double>> medians;
        for (const Runs& c : clients) {
            if (!c.failure.empty()) {
                std::printf("  %6d  %-6s  failed: %s\n", n, c.name, c.failure.c_str());
                medians.push_back(std::nullopt);
                continue;
            }
            const double mid = median(c.seconds);
            const double best = *std::min_element(c.seconds.begin(), c.seconds.end());
            const std::size_t third = std::max<std::size_t>(1, c.seconds.size() / 3);
            const double early =
                median(std::vector<double>(c.seconds.begin(), c.seconds.begin() + third));
            const double late =
                median(std::vector<double>(c.seconds.end() - third, c.seconds.end()));
            std::printf("  %6d  %-6s  %10.4f  %12.0f  %12.0f  %9.1f  %6.2fx\n", n, c.name, mid,
                        n / mid, n / best, megabytes / mid, late / early);
            medians.push_back(mid);
        }
        if (verbose) {
            for (const Runs& c : clients) {
                std::printf("  %6d  %-6s  rounds (ms):", n, c.name);
                for (double t : c.seconds)
                    std::printf(" %.1f", t * 1000);
                std::printf("\n");
            }
        }
        if (medians.size() == 2 && medians[0] && medians[1])
            std::printf("  %6d  ratio   cedar records/s : s3270 records/s = %.2f\n", n,
                        *medians[1] / *medians[0]);
        std::fflush(stdout);
    }
    std::fflush(stdout);

    printRoundTrips(quick);

    // Connect to first screen.
    const int connects = quick ? 3 : 15;
    std::printf(
        "\nConnect to first screen: from the connect call (s3270: its Connect() action) "
        "to the\nanswer to the timing mark after the first screen.\n\n");
    {
        ReplayHost host(connectScript());
        if (!host.start()) {
            std::printf("  the test host did not start: %s\n", host.error().c_str());
            return 1;
        }
        cedar::ConnectionOptions options;
        options.host = "127.0.0.1";
        options.port = static_cast<std::uint16_t>(host.port());
        printConnect("plain, cedar", ourConnects(host, options, connects));
        if (havePeer)
            printConnect(
                "plain, s3270",
                peerConnects(host, "127.0.0.1:" + std::to_string(host.port()), "", connects));

        cedar::test::TestCertificates certs;
        cedar::test::Stunnel stunnel;
        std::string error;
        if (!cedar::test::Stunnel::available()) {
            std::printf("  TLS: stunnel is not installed\n");
        } else if (!certs.make(error) ||
                   !stunnel.start({{certs.leafCert, certs.leafKey, host.port()}}, error)) {
            std::printf("  TLS: %s\n", error.c_str());
        } else {
            // Both verify the certificate against the test CA and the name.
            cedar::ConnectionOptions tls = options;
            tls.host = "localhost";
            tls.port = static_cast<std::uint16_t>(stunnel.port());
            tls.encryption = cedar::Encryption::Highest;
            tls.caFile = certs.caCert;
            printConnect("TLS (stunnel, verified), cedar", ourConnects(host, tls, connects));
            if (havePeer)
                printConnect("TLS (stunnel, verified), s3270",
                             peerConnects(host, "L:localhost:" + std::to_string(stunnel.port()),
                                          certs.caCert, connects));
        }
    }
    return 0;
}
