// KEY and TYPE through the session's real key dispatcher and host link: the
// typing rules apply to every typed byte and a key function named by the
// macro goes to the host as if pressed.
#include <gtest/gtest.h>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "record_builder.h"
#include "session/macro_functions.h"
#include "session/session_keyboard.h"

namespace cedar {
namespace {

using namespace telnet;
using Bytes_ = std::vector<std::uint8_t>;

class NoFiles : public MacroFileSystem {
    std::unique_ptr<MacroFileStream> open(std::string_view, MacroFileMode) override {
        return nullptr;
    }
};
class NoClipboard : public MacroClipboard {
    std::optional<std::string> text() override { return std::nullopt; }
    void setText(std::string_view) override {}
};

keys::KeyList keyList() {
    keys::KeyListTables tables;
    tables.actions = {{2, 0, "Enter", ""}, {8, 0, "PF3", ""}};
    tables.edits = {{14, 0, "Home", ""}};
    std::string error;
    keys::KeyList list;
    const auto bytes = keys::writeKeyList(tables, error);
    if (bytes) list.load(*bytes);
    return list;
}

struct Rig {
    Rig() {
        ConnectionOptions options;
        options.host = "host";
        link.connect(options, {});
        connector.up();
        connector.receive({kIac, kDo, kOptEndOfRecord});
        // "NAME" protected, an unprotected field at 5 (data 6..15), protected at 16.
        Bytes_ record = test::RecordBuilder(0xF5, 0xC3)
                            .sf(0x60)
                            .text("NAME")
                            .sf(0x40)
                            .ic()
                            .sba(16)
                            .sf(0x60)
                            .bytes();
        record.insert(record.end(), {kIac, kEor});
        connector.receive(record);
    }
    MacroError call(ReservedWord word, std::vector<MacroValue> args) {
        MacroValue result;
        return host.callFunction(word, args, result);
    }

    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link{t.session, connector, scheduler, ui};
    SessionKeyboard keyboard{t.session, link};
    Settings settings;
    keys::KeyList keys = keyList();
    NoFiles noFiles;
    NoClipboard noClipboard;
    MacroFiles files{noFiles, noClipboard};
    MacroControl control;
    SessionMacroHost host{
        t.session,
        nullptr,
        settings,
        keys,
        [this](keys::KeyWord w) { keyboard.performKey(w, keys::KeySource::Macro); },
        files,
        control};
};

TEST(MacroKeys, TypeFollowsTheTypingRulesAndKeySendsPf3) {
    Rig rig;
    ASSERT_EQ(rig.t.session.status, SessionStatus::Unlocked);
    EXPECT_EQ(rig.call(ReservedWord::Type, {MacroValue::ofText("ab")}), MacroError::None);
    MacroValue screen;
    const MacroValue at[] = {MacroValue::ofNumber(1), MacroValue::ofNumber(7),
                             MacroValue::ofNumber(2)};
    ASSERT_EQ(rig.host.callFunction(ReservedWord::Screen, at, screen), MacroError::None);
    EXPECT_EQ(screen, MacroValue::ofText("ab"));
    EXPECT_EQ(rig.call(ReservedWord::Key, {MacroValue::ofText("pf3")}), MacroError::None);
    EXPECT_EQ(rig.connector.current->sent.back(),
              (Bytes_{0xF3, 0x40, 0xC8, 0x11, 0x40, 0xC6, 0x81, 0x82, kIac, kEor}))
        << "PF3, the cursor after \"ab\", the field";
    EXPECT_EQ(rig.t.session.status, SessionStatus::SysLock);
}

TEST(MacroKeys, TypingIntoAProtectedFieldChangesNothing) {
    Rig rig;
    rig.host.moveCursor(0, 1);  // inside "NAME"
    EXPECT_EQ(rig.call(ReservedWord::Type, {MacroValue::ofText("X")}), MacroError::None);
    EXPECT_EQ(rig.t.ps().characters()[1], 'N');
    EXPECT_NE(rig.t.session.status, SessionStatus::Unlocked) << "an input error";
}

}  // namespace
}  // namespace cedar
