// Reconnect soak: the relay in front of the loopback test host ends the
// session's connection at a random byte of the host's side (anywhere in the
// Telnet or TN3270E negotiation or inside a record), by an orderly close or
// a reset, over and over. With AUTORECONNECT on, the session must come back
// to the full first screen every time, with no message for the user, and
// without leaving threads or open files behind.
//
// The number of rounds is CEDAR_SOAK_ROUNDS (set by the build; the
// environment variable of the same name overrides it).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>

#include "cutting_proxy.h"
#include "driver_harness.h"
#include "replay_host.h"

#ifndef CEDAR_SOAK_ROUNDS
#define CEDAR_SOAK_ROUNDS 1000
#endif

namespace cedar {
namespace {

using namespace std::chrono_literals;
using test::countEntries;
using test::CuttingProxy;
using test::DriverHarness;
using test::ReplayHost;

constexpr auto kWait = 10s;

int rounds() {
    if (const char* env = std::getenv("CEDAR_SOAK_ROUNDS")) {
        const int n = std::atoi(env);
        if (n > 0) return n;
    }
    return CEDAR_SOAK_ROUNDS;
}

// Three records: the screen is complete, and the keyboard unlocked, only
// once the last one is in.
std::vector<ReplayHost::Record> records() {
    using test::RecordBuilder;
    return {RecordBuilder(cmd::kEraseWrite, 0xC1).sba(0).sf(0x60).text("SOAK HOST").bytes(),
            RecordBuilder(cmd::kWrite, 0xC1).sba(80).sf(0x60).text("SECOND RECORD").bytes(),
            RecordBuilder(cmd::kWrite, 0xC3).sba(160).sf(0x40).ic().text("THIRD").bytes()};
}

std::string messages(DriverHarness& h) {
    std::string out;
    for (const auto& m : h.ui.messages)
        out += "; message [" + m.title + "] " + m.text;
    return out;
}

bool complete(DriverHarness& h) {
    return h.row(0) == " SOAK HOST" && h.row(1) == " SECOND RECORD" && h.row(2) == " THIRD" &&
           h.status() == SessionStatus::Unlocked;
}

// Runs the loop until the threads and open files are back at `threads` and
// `files` (retired connections are joined from posted tasks).
bool settled(DriverHarness& h, int threads, int files) {
    return h.run(
        [&] {
            return countEntries("/proc/self/task") == threads &&
                   countEntries("/proc/self/fd") == files;
        },
        2s);
}

class ReconnectSoak : public testing::TestWithParam<ReplayHost::Negotiation> {};

TEST_P(ReconnectSoak, EveryCutEndsBackOnTheFirstScreen) {
    ReplayHost::Script script;
    script.records = records();
    script.negotiation = GetParam();
    ReplayHost host(script);
    ASSERT_TRUE(host.start());
    CuttingProxy proxy(host.port());
    ASSERT_TRUE(proxy.start());
    const bool tn3270e = GetParam() == ReplayHost::Negotiation::Tn3270e;
    DriverHarness h({.port = proxy.port(), .tn3270e = tn3270e, .autoReconnect = true});

    const int idleThreads = countEntries("/proc/self/task");
    const int idleFiles = countEntries("/proc/self/fd");
    h.driver->connect(ConnectMode::User);
    ASSERT_TRUE(h.run([&] { return complete(h) && host.synced(); }, kWait));
    // Every byte the host sends on one connection, the timing mark included.
    const std::size_t total = proxy.hostBytes();
    ASSERT_GT(total, 20u);
    const int threads = countEntries("/proc/self/task");
    const int files = countEntries("/proc/self/fd");
    ASSERT_GT(threads, 0);

    std::mt19937 random(20261210u + (tn3270e ? 1u : 0u));
    const int n = rounds();
    int sendErrors = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        const std::size_t cutAt = random() % total;
        const bool reset = (random() & 1u) != 0;
        proxy.cutNext(cutAt, reset);
        const int expected = proxy.connections() + 2;
        proxy.cutCurrent();
        // The connection accepted after the cut one was started after the
        // screen was erased for it: a complete screen now is its work.
        const bool back =
            h.run([&] { return proxy.connections() >= expected && complete(h); }, kWait);
        ASSERT_TRUE(back) << "round " << i << ", cut after " << cutAt << " of " << total << " bytes"
                          << (reset ? " (reset)" : "") << ": status "
                          << static_cast<int>(h.status()) << ", connections " << proxy.connections()
                          << " of " << expected << ", row 0 \"" << h.row(0) << "\"" << messages(h);
        ASSERT_EQ(proxy.connections(), expected) << "round " << i;
        // A reset that meets one of the session's replies is a failed send:
        // the user is told, and the session reconnects all the same.
        while (h.driver->messagePending())
            h.driver->answer(MessageAnswer::Ok);
        for (const auto& m : h.ui.messages)
            ASSERT_EQ(m.title, "Send Error") << "round " << i << messages(h);
        sendErrors += static_cast<int>(h.ui.messages.size());
        h.ui.messages.clear();
        ASSERT_TRUE(settled(h, threads, files))
            << "round " << i << ": threads " << countEntries("/proc/self/task") << " (" << threads
            << "), files " << countEntries("/proc/self/fd") << " (" << files << ")";
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::cout << "[ soak ] " << (tn3270e ? "TN3270E" : "TN3270") << ": " << n << " cuts over "
              << total << " host bytes in " << ms << " ms, " << sendErrors << " failed sends\n";
    RecordProperty("rounds", n);
    RecordProperty("milliseconds", static_cast<int>(ms));

    // The end of the session leaves no thread of ours behind.
    h.driver->endSession();
    ASSERT_TRUE(h.run([&] { return !h.ui.quits.empty(); }, kWait));
    EXPECT_TRUE(settled(h, idleThreads, idleFiles))
        << "threads " << countEntries("/proc/self/task") << " (" << idleThreads << "), files "
        << countEntries("/proc/self/fd") << " (" << idleFiles << ")";
}

INSTANTIATE_TEST_SUITE_P(Negotiations, ReconnectSoak,
                         testing::Values(ReplayHost::Negotiation::Tn3270,
                                         ReplayHost::Negotiation::Tn3270e),
                         [](const auto& param) {
                             return param.param == ReplayHost::Negotiation::Tn3270 ? "Tn3270"
                                                                                   : "Tn3270e";
                         });

}  // namespace
}  // namespace cedar
