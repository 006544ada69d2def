// The macro recorder under the dispatcher's statement writer: the header of
// each dialect, the lines of a recording, pause, the save and its messages,
// a failed save, a discarded recording, and the bounded recording text.
#include "session/macro_recorder.h"

#include <gtest/gtest.h>

#include "keyboard/key_recording.h"

namespace cedar {
namespace {

using keys::RecordedKey;

struct Saved {
    std::string fileName;
    std::string text;
};

class FakeRecorderUi : public MacroRecorderUi {
  public:
    int saveMacroFile(const std::string& fileName, std::string_view text) override {
        saves.push_back({fileName, std::string(text)});
        return failWith;
    }
    void recorderMessage(const std::string& title, const std::string& text, bool warning) override {
        messages.push_back((warning ? "warning " : "info ") + title + ": " + text);
    }
    void recordingStateChanged() override { ++stateChanges; }

    int failWith = 0;
    std::vector<Saved> saves;
    std::vector<std::string> messages;
    int stateChanges = 0;
};

keys::KeyList testKeyList() {
    keys::KeyListTables tables;
    tables.actions = {{static_cast<std::uint8_t>(keys::Action::Enter), 0, "Enter", "Enter key"}};
    tables.edits = {{static_cast<std::uint8_t>(keys::Edit::Tab), 0, "Tab", "Next field"}};
    tables.opers = {{static_cast<std::uint8_t>(keys::Oper::MacroStop), 0, "MacroStop", "Stop"}};
    std::string error;
    const auto bytes = keys::writeKeyList(tables, error);
    keys::KeyList list;
    EXPECT_TRUE(bytes.has_value()) << error;
    if (bytes) {
        EXPECT_FALSE(list.load(*bytes).has_value());
    }
    return list;
}

// The recorder fed as the key dispatcher feeds it.
struct Recording {
    Recording() {
        recorder.setTypingFlush([this] { writer.flushTypedText(); });
        recorder.setMacroNames([](int index, int) -> std::optional<std::string> {
            if (index == 3) return "daily";
            return std::nullopt;
        });
    }
    void start(bool rexx = false, std::string description = "Log on to TSO") {
        recorder.start({.name = "logon",
                        .description = std::move(description),
                        .rexx = rexx,
                        .recordWait = 20,
                        .timestamp = "2026-12-11 01:02:03"});
    }
    void key(keys::KeyWord word, int restores = 0) {
        RecordedKey k;
        k.word = word;
        k.restores = restores;
        k.rowBefore = 4;
        k.columnBefore = 12;
        writer.record(k, 20);
    }
    void type(std::string_view text) {
        for (char c : text)
            key(keys::charKey(static_cast<std::uint8_t>(c)));
    }

    keys::KeyList keyList = testKeyList();
    FakeRecorderUi ui;
    MacroRecorder recorder{ui, keyList};
    keys::StatementWriter writer{recorder};
};

constexpr const char* kNativeHeader =
    "*********************************************************\r\n"
    "* Log on to TSO\r\n"
    "* Cedar TN3270 macro generated on 2026-12-11 01:02:03\r\n"
    "*********************************************************\r\n"
    "\r\n"
    "Wait(20,Status=\"Unlocked\")\r\n";

constexpr const char* kRexxHeader =
    "/* rexx ***************************************************/\r\n"
    "/* Cedar TN3270 macro generated on 2026-12-11 01:02:03    */\r\n"
    "/**********************************************************/\r\n"
    "\r\n"
    "WaitUnlocked(20)\r\n";

TEST(MacroRecorder, RecordsTypedTextKeysAndWaitsInBothDialects) {
    const auto enter = keys::actionKey(keys::Action::Enter);
    const auto tab = keys::editKey(keys::Edit::Tab);
    struct Case {
        bool rexx;
        const char* body;
    };
    const Case cases[] = {
        {false,
         "Type(\"user\")\r\nKey(\"Tab\")\r\nType(\"say \"\"hi\"\"\")\r\nKey(\"Enter\")\r\n"
         "Wait(20,Status=\"Unlocked\")\r\nType(\"x\")\r\n"
         "Wait(20,Status=\"Unlocked\" & CursorPos = \"4,12\")\r\nKey(\"Enter\")\r\n"
         "Execute (\"daily\")\r\n"},
        {true,
         "Type(\"user\")\r\nKey(\"Tab\")\r\nType(\"say \"\"hi\"\"\")\r\nKey(\"Enter\")\r\n"
         "WaitUnlocked(20)\r\nType(\"x\")\r\n"
         "Wait(20,\"getvar('status')='UNLOCKED' & getvar('cursorpos')='4,12'\")\r\n"
         "Key(\"Enter\")\r\nExecute (\"daily\")\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rexx ? "rexx" : "native");
        Recording r;
        r.start(c.rexx);
        EXPECT_TRUE(r.recorder.recording());
        r.type("user");
        r.key(tab);
        r.type("say \"hi\"");
        r.key(enter);
        r.key(keys::charKey('x'), 1);
        r.key(enter, 2);
        r.key(keys::macroKey(3));
        // Stopping and pausing are not recorded.
        r.key(keys::operKey(keys::Oper::MacroStop));
        EXPECT_TRUE(r.recorder.stop());
        EXPECT_FALSE(r.recorder.active());
        ASSERT_EQ(r.ui.saves.size(), 1u);
        EXPECT_EQ(r.ui.saves[0].fileName, "logon.mac");
        EXPECT_EQ(r.ui.saves[0].text, std::string(c.rexx ? kRexxHeader : kNativeHeader) + c.body);
        EXPECT_EQ(r.ui.messages, std::vector<std::string>{
                                     "info Macro Recorded: Macro saved as logon.mac, containing "
                                     "14 statements"});
    }
}

TEST(MacroRecorder, TheShortestRecordingCountsHeaderTypeAndKey) {
    Recording r;
    r.start(false, "");
    r.type("abc");
    r.key(keys::actionKey(keys::Action::Enter));
    r.recorder.stop();
    ASSERT_EQ(r.ui.saves.size(), 1u);
    // Without a description the file name stands in the header.
    EXPECT_NE(r.ui.saves[0].text.find("* logon.mac\r\n"), std::string::npos);
    EXPECT_EQ(r.ui.messages.back(),
              "info Macro Recorded: Macro saved as logon.mac, containing 7 statements");
    // A second stop has nothing to save.
    EXPECT_FALSE(r.recorder.stop());
    EXPECT_EQ(r.ui.saves.size(), 1u);
}

TEST(MacroRecorder, PausedKeysAreLeftOutAndTypingBeforeThePauseIsSaved) {
    Recording r;
    r.start();
    r.type("ab");
    r.recorder.togglePause();
    EXPECT_EQ(r.recorder.state(), MacroRecorder::State::Paused);
    r.type("zz");
    r.key(keys::actionKey(keys::Action::Enter));
    // Stopped while paused: the characters typed before the pause are written.
    r.recorder.stop();
    ASSERT_EQ(r.ui.saves.size(), 1u);
    EXPECT_EQ(r.ui.saves[0].text, std::string(kNativeHeader) + "Type(\"ab\")\r\n");
    EXPECT_EQ(r.ui.stateChanges, 3);  // recording, paused, idle

    Recording resumed;
    resumed.start();
    resumed.recorder.togglePause();
    resumed.type("zz");
    resumed.recorder.togglePause();
    resumed.type("ok");
    resumed.recorder.stop();
    EXPECT_EQ(resumed.ui.saves.at(0).text, std::string(kNativeHeader) + "Type(\"ok\")\r\n");
}

TEST(MacroRecorder, AFailedSaveSaysSoAndTheRecordingIsGone) {
    Recording r;
    r.ui.failWith = 13;
    r.start();
    r.type("abc");
    EXPECT_FALSE(r.recorder.stop());
    EXPECT_EQ(r.ui.messages,
              std::vector<std::string>{"warning File Save Error: Error 13 while saving logon.mac"});
    EXPECT_FALSE(r.recorder.active());
    EXPECT_TRUE(r.recorder.text().empty());
}

TEST(MacroRecorder, DiscardSavesNothingAndDropsPendingTyping) {
    Recording r;
    r.start();
    r.type("secret");
    r.recorder.discard();
    EXPECT_FALSE(r.recorder.active());
    EXPECT_TRUE(r.ui.saves.empty());
    EXPECT_TRUE(r.writer.pendingTypedText().empty());
    // A new recording starts clean.
    r.start();
    r.recorder.stop();
    EXPECT_EQ(r.ui.saves.at(0).text, kNativeHeader);
}

TEST(MacroRecorder, StopsAtItsCapacityWithAMessageAndSavesWholeLines) {
    Recording r;
    r.start();
    const auto enter = keys::actionKey(keys::Action::Enter);
    const std::size_t line = std::string("Key(\"Enter\")\r\n").size();
    // Far more keys than fit; typed text waiting at the limit is written or
    // left out, never cut.
    const std::size_t keys = MacroRecorder::kCapacity / line + 10;
    for (std::size_t i = 0; i < keys && r.recorder.active(); ++i) {
        r.type("q");
        r.key(enter);
    }
    EXPECT_FALSE(r.recorder.active());
    ASSERT_EQ(r.ui.saves.size(), 1u);
    const std::string& text = r.ui.saves[0].text;
    EXPECT_LE(text.size(), MacroRecorder::kCapacity);
    EXPECT_GT(text.size(), MacroRecorder::kCapacity - line);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    ASSERT_EQ(r.ui.messages.size(), 2u);
    EXPECT_EQ(r.ui.messages[0], "warning Macro Recorder: " + recordingFullText());
    EXPECT_NE(r.ui.messages[1].find("info Macro Recorded: Macro saved as logon.mac"),
              std::string::npos);
    // Keys after the stop go nowhere.
    r.key(enter);
    EXPECT_EQ(r.ui.saves.size(), 1u);
}

TEST(MacroRecorder, TypedTextPendingAtTheLimitIsLeftOutWhole) {
    Recording r;
    r.start();
    // Fill to just under the limit with Enter lines, then type more than fits.
    const auto enter = keys::actionKey(keys::Action::Enter);
    const std::size_t line = std::string("Key(\"Enter\")\r\n").size();
    while (r.recorder.text().size() + 2 * line < MacroRecorder::kCapacity)
        r.key(enter);
    r.type(std::string(60, 'w'));
    const std::size_t before = r.recorder.text().size();
    r.recorder.stop();
    ASSERT_EQ(r.ui.saves.size(), 1u);
    EXPECT_EQ(r.ui.saves[0].text.size(), before);
    EXPECT_EQ(r.ui.messages.front(), "warning Macro Recorder: " + recordingFullText());
}

}  // namespace
}  // namespace cedar
