// A session connected to the loopback test host, with the program's country
// file and standard keyboard map loaded for a keyboard country, and a
// terminal widget stand-in forwarding its events to a KeyboardInput.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "keyboard/qt/keyboard_files.h"
#include "keyboard_events.h"
#include "platform/event_loop.h"
#include "platform/tcp_connection.h"
#include "record_builder.h"
#include "replay_host.h"
#include "session/host_link.h"
#include "session/session_keyboard.h"
#include "test_paths.h"

namespace cedar::test {

// The host's screen: "Name" protected at 0, an input field from 10 to the
// end, the cursor at 10.
inline ReplayHost::Script inputScreen() {
    ReplayHost::Script s;
    s.records.push_back(RecordBuilder(cmd::kEraseWrite, 0xC3)
                            .sba(0)
                            .sf(0x60)
                            .text("Name")
                            .sba(9)
                            .sf(0x40)
                            .ic()
                            .bytes());
    return s;
}

class LoopbackTerminal {
  public:
    explicit LoopbackTerminal(const std::string& keyboardCountry) {
        const auto load =
            keys::qt::loadSessionKeyboard({"/nonexistent", dataDir(), dataDir() + "/defaults"},
                                          "standard.key", keyboardCountry, false, tables, map);
        EXPECT_TRUE(load.mapLoaded && load.messages.empty());
        started = host.start();
        ConnectionOptions options;
        options.host = "127.0.0.1";
        options.port = static_cast<std::uint16_t>(host.port());
        link.connect(options, {});
        started = started && run([&] { return host.synced(); });
    }

    template <typename Predicate>
    bool run(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            loop.runOnce(std::min<std::int64_t>(left.count(), 20));
        }
        return true;
    }

    // The field data of the client's record number `n` (from 1): what
    // follows the AID, the cursor address and the SBA of the input field.
    std::vector<std::uint8_t> fieldData(std::size_t n) {
        if (!run([&] { return host.clientRecords().size() >= n; })) return {};
        const auto record = host.clientRecords()[n - 1];
        if (record.size() < 6 || record[0] != 0x7D || record[3] != 0x11) return record;
        return {record.begin() + 6, record.end()};
    }
    std::uint8_t at(int position) { return t.session.screen.characters()[position]; }

    ReplayHost host{inputScreen()};
    TestSession t;
    EventLoop loop;
    TcpConnector connector;
    LinkUi linkUi;
    HostLink link{t.session, connector, loop, linkUi};
    SessionKeyboard keyboard{t.session, link};
    CodePages tables;
    keys::LayoutBlock map{keys::LayoutType::Keyboard};
    keys::KeyInputSettings settings;
    struct Ui : keys::KeyInputUi {
        int macrosUnavailableCalls = 0;
        void macrosUnavailable() override { ++macrosUnavailableCalls; }
    } ui;
    keys::qt::KeyboardInput input{
        {keyboard.controller(), t.session.status, t.session.keyboard, t.session.keyboardSettings,
         map, tables, settings, nullptr, &loop},
        nullptr,
        &ui};
    KeyboardWidget widget{input};
    bool started = false;
};

}  // namespace cedar::test
