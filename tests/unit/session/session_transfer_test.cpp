// The transfer on the host link's real send path: replies framed on the
// connection, the last one again on Read Modified, the status line told of
// status changes, PA1 through the session keyboard; and the configuration
// read from the session file and the settings.
#include "session/session_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "record_builder.h"
#include "session/host_link.h"
#include "session/session_keyboard.h"
#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar {
namespace {

using Bytes_ = std::vector<std::uint8_t>;

class Ui : public LinkUi {
  public:
    int statusChanges = 0;
    void statusChanged() override { ++statusChanges; }
};

class EmptyFile : public TransferFile {
  public:
    std::optional<std::size_t> read(std::span<std::uint8_t>) override { return 0; }
    bool write(std::span<const std::uint8_t>) override { return true; }
    void close() override {}
    std::string errorText() const override { return {}; }
};

struct Harness {
    Harness() {
        ConnectionOptions options;
        options.host = "host";
        link.connect(options, {});
        connector.up();
        connector.receive({0xFF, 0xFD, 25});  // DO END-OF-RECORD: 3270 mode
        connector.current->sent.clear();
    }
    // One host record, framed (0xFF doubled, IAC EOR).
    void host(const Bytes_& record) {
        Bytes_ framed;
        for (std::uint8_t b : record) {
            framed.push_back(b);
            if (b == 0xFF) framed.push_back(0xFF);
        }
        framed.insert(framed.end(), {0xFF, 0xEF});
        connector.receive(framed);
    }
    Bytes_ takeSent() {
        Bytes_ out;
        for (const auto& s : connector.current->sent)
            out.insert(out.end(), s.begin(), s.end());
        connector.current->sent.clear();
        return out;
    }

    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    Ui ui;
    HostLink link{t.session, connector, scheduler, ui};
};

// A Write Structured Field record with one 0xD0 field.
Bytes_ wsf(std::initializer_list<std::uint8_t> body, std::string_view tail = {}) {
    Bytes_ r{0xF3, 0x00, 0x00, 0xD0};
    r.insert(r.end(), body);
    r.insert(r.end(), tail.begin(), tail.end());
    r[2] = static_cast<std::uint8_t>(r.size() - 1);
    return r;
}

TEST(SessionTransfer, DftRepliesGoOutFramedAndReadModifiedGetsTheLastAgain) {
    Harness h;
    h.t.session.transfer.direction = TransferDirection::Upload;
    h.t.session.transfer.file = std::make_unique<EmptyFile>();
    h.t.session.status = SessionStatus::TransferReady;

    h.host(wsf({0x00, 0x12, 0x01, 0x06}, "FT:DATA"));
    EXPECT_EQ(h.takeSent(), (Bytes_{0x88, 0x00, 0x05, 0xD0, 0x00, 0x09, 0xFF, 0xEF}));
    EXPECT_EQ(h.t.session.status, SessionStatus::TransferData);
    EXPECT_GT(h.ui.statusChanges, 0);

    h.host(wsf({0x46, 0x11, 0x01, 0x04, 0x00, 0x80}));
    const Bytes_ endOfData = {0x88, 0x00, 0x09, 0xD0, 0x46, 0x08,
                              0x69, 0x04, 0x22, 0x00, 0xFF, 0xEF};
    EXPECT_EQ(h.takeSent(), endOfData);
    h.host({0xF6});
    EXPECT_EQ(h.takeSent(), endOfData);
    EXPECT_EQ(h.link.sender().lastSent(), Bytes_(endOfData.begin(), endOfData.end() - 2));

    // Once the transfer is over, Read Modified is an ordinary read again.
    h.t.session.transfer.direction = TransferDirection::None;
    h.t.session.status = SessionStatus::Unlocked;
    h.host({0xF6});
    const Bytes_ read = h.takeSent();
    EXPECT_NE(read, endOfData);
    EXPECT_FALSE(read.empty());
}

class TextFile : public EmptyFile {
  public:
    explicit TextFile(std::string text) : text_(std::move(text)) {}
    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        const std::size_t n = std::min(buffer.size(), text_.size() - pos_);
        std::copy_n(text_.begin() + static_cast<std::ptrdiff_t>(pos_), n, buffer.begin());
        pos_ += n;
        return n;
    }

  private:
    std::string text_;
    std::size_t pos_ = 0;
};

TEST(SessionTransfer, ReadPartitionDuringDataKeepsTheTransferGoing) {
    Harness h;
    sessionfile::SessionOptions options;
    options.setNumber(sessionfile::Field::TransferBlockSize, 2500);
    options.setNumber(sessionfile::Field::DftMode, 1);
    h.link.transfer().configure(transferConfiguration(options, Settings{}, {}, 'A'));
    std::vector<std::string> lines;
    h.link.transfer().setProgressSink([&](std::string_view l) { lines.emplace_back(l); });
    h.t.session.transfer.direction = TransferDirection::Upload;
    h.t.session.transfer.uploadBinary = true;
    h.t.session.transfer.file = std::make_unique<TextFile>("abc");
    h.t.session.status = SessionStatus::TransferReady;

    h.host(wsf({0x00, 0x12, 0x01, 0x06}, "FT:DATA"));
    h.takeSent();
    h.host({0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02});  // Read Partition Query
    const Bytes_ replies = h.takeSent();
    const Bytes_ ddm = {0x00, 0x0C, 0x81, 0x95, 0x00, 0x00, 0x09, 0xDF, 0x09, 0xDF, 0x01, 0x01};
    EXPECT_NE(std::search(replies.begin(), replies.end(), ddm.begin(), ddm.end()), replies.end())
        << "DDM with 2,500 + 27 in " << testing::PrintToString(replies);
    EXPECT_EQ(h.t.session.status, SessionStatus::TransferData);

    h.host(wsf({0x46, 0x11, 0x01, 0x04, 0x00, 0x80}));
    const Bytes_ block = h.takeSent();
    ASSERT_GE(block.size(), 22u);
    EXPECT_EQ(Bytes_(block.end() - 5, block.end()), (Bytes_{'a', 'b', 'c', 0xFF, 0xEF}));
    h.host(wsf({0x46, 0x11, 0x01, 0x04, 0x00, 0x80}));
    h.host(wsf({0x41, 0x12}));
    h.host(wsf({0x00, 0x12, 0x01, 0x06}, "FT:MSG "));
    EXPECT_EQ(h.t.session.status, SessionStatus::TransferMessage);
    h.host(wsf({0x47, 0x04, 0xC0, 0x80, 0x61, 0x00, 0x24}, "TRANS03   File transfer complete$"));
    EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);
    EXPECT_EQ(lines, (std::vector<std::string>{"Bytes transferred = 3",
                                               "File transfer complete - 3 bytes", ""}));

    // The host's next screen closes the progress window, once.
    std::vector<bool> completions;
    h.link.transfer().setCompletionSink([&](bool keep) { completions.push_back(keep); });
    h.host(test::RecordBuilder(0xF1, 0xC3).text("READY").bytes());
    h.host(test::RecordBuilder(0xF1, 0xC3).text("READY").bytes());
    EXPECT_EQ(completions, std::vector<bool>{false});
}

TEST(SessionTransfer, Pa1ComesFromTheSessionKeyboardWhileItLives) {
    Harness h;
    h.t.session.status = SessionStatus::TransferData;  // the keyboard is locked
    {
        SessionKeyboard keyboard(h.t.session, h.link);
        h.link.transfer().link().pressPa1();
        EXPECT_EQ(h.takeSent(), (Bytes_{0x6C, 0xFF, 0xEF}));
    }
    h.link.transfer().link().pressPa1();
    EXPECT_TRUE(h.takeSent().empty());
}

// The connection ends while a transfer runs: the PC file is closed, the
// transfer ends as a failure that says so, and its end is reported once, so
// that a dialog or a macro waiting for it is not left waiting.
TEST(SessionTransfer, AConnectionThatEndsEndsTheTransfer) {
    Harness h;
    struct ClosingFile : EmptyFile {
        int* closes;
        explicit ClosingFile(int* c) : closes(c) {}
        void close() override { ++*closes; }
    };
    int closes = 0;
    std::vector<std::string> lines;
    std::vector<bool> completions;
    h.link.transfer().setProgressSink([&](std::string_view l) { lines.emplace_back(l); });
    h.link.transfer().setCompletionSink([&](bool keep) { completions.push_back(keep); });
    h.link.transfer().connectionEnded();  // nothing runs: nothing happens
    EXPECT_TRUE(lines.empty());

    TransferState& state = h.t.session.transfer;
    state.direction = TransferDirection::Download;
    state.file = std::make_unique<ClosingFile>(&closes);
    h.link.transfer().connectionEnded();
    h.link.transfer().connectionEnded();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(state.running());
    EXPECT_EQ(state.errorText, SessionTransfer::kConnectionEnded);
    EXPECT_EQ(lines,
              (std::vector<std::string>{std::string(SessionTransfer::kConnectionEnded), ""}));
    EXPECT_EQ(completions, std::vector<bool>{true});

    // Ended, and the host's screen after it never comes: reported once.
    state.completionState = 2;
    h.link.transfer().connectionEnded();
    h.link.transfer().connectionEnded();
    EXPECT_EQ(completions, (std::vector<bool>{true, true}));
    EXPECT_EQ(state.completionState, 0);
}

TEST(SessionTransfer, ProgressLinesReachTheSink) {
    Harness h;
    std::vector<std::string> lines;
    h.link.transfer().setProgressSink([&](std::string_view l) { lines.emplace_back(l); });
    h.link.transfer().link().progressLine("Bytes transferred = 10");
    EXPECT_EQ(lines, std::vector<std::string>{"Bytes transferred = 10"});
}

TEST(SessionTransfer, ConfigurationFromTheSessionFileAndSettings) {
    struct Case {
        std::int64_t blockSize;
        int expected;
    };
    for (const Case& c :
         {Case{0, 25000}, Case{2500, 2500}, Case{25000, 25000}, Case{40000, 25000}}) {
        sessionfile::SessionOptions options;
        options.setNumber(sessionfile::Field::TransferBlockSize, c.blockSize);
        options.setNumber(sessionfile::Field::DftMode, 1);
        Settings settings;
        settings.removeHex1A = 1;
        settings.bigNumberFormat = 1;
        settings.replyCodepage = 0;
        const auto config = transferConfiguration(options, settings, {'.', ','}, 'C');
        EXPECT_EQ(config.blockSize, c.expected) << c.blockSize;
        EXPECT_EQ(config.structuredFields.transferBlockSize, c.expected);
        EXPECT_TRUE(config.structuredFields.dftMode);
        EXPECT_FALSE(config.structuredFields.replyCodepage);
        EXPECT_EQ(config.structuredFields.sessionId, 'C');
        EXPECT_TRUE(config.transfer.removeHex1A);
        EXPECT_EQ(config.transfer.byteFormat, display::BigNumberFormat::Grouped);
        EXPECT_EQ(config.transfer.separators.group, '.');
    }
    Harness h;
    sessionfile::SessionOptions options;
    options.setNumber(sessionfile::Field::TransferBlockSize, 2500);
    options.setNumber(sessionfile::Field::DftMode, 1);
    h.link.transfer().configure(transferConfiguration(options, Settings{}, {}, 'A'));
    EXPECT_TRUE(h.link.structuredFields().options().dftMode);
    EXPECT_EQ(h.link.structuredFields().options().transferBlockSize, 2500);
    EXPECT_EQ(h.link.transfer().blockSize(), 2500);
    EXPECT_EQ(h.t.session.transfer.blockSize, 2500) << "DFT blocks as the DDM reply announces";
}

}  // namespace
}  // namespace cedar
