// The keyboard's link over the real send path: what reaches the connection.
#include "keyboard/sender_link.h"

#include "fake_connector.h"
#include "keyboard_fixture.h"
#include "manual_scheduler.h"

namespace cedar::test {
namespace {

// The data stream's replies go through the host sender, as the host link does.
struct SenderAdapter : InboundSender {
    explicit SenderAdapter(HostSender& s) : sender(s) {}
    void sendAid(Bytes record, Bytes trace) override {
        sender.sendAid(record, HostSender::kReallySend | HostSender::kTrace, trace);
    }
    void sendRecord(Bytes record, Bytes trace) override {
        sender.sendRecord(record, HostSender::kReallySend | HostSender::kTrace, trace);
    }
    HostSender& sender;
};

struct SenderLinkTest : ::testing::Test, SendEvents {
    SenderLinkTest() {
        sender.setConnection(&connection);
        sender.connectionStarted();
        link.setTrace([this](keys::ByteSpan bytes) { traced.push_back(hexBytes(bytes)); });
        protocol.lineMode = false;
        f.controller.setServices({&link, &f.ui, &f.recorder, &f.deferred});
        f.load(Screen::Form);
    }
    void traceSent(std::span<const std::uint8_t> frame) override {
        traced.push_back(hexBytes(frame));
    }
    std::vector<std::string> sent() const {
        std::vector<std::string> out;
        for (const auto& frame : connection.sent)
            out.push_back(hexBytes(frame));
        return out;
    }

    KeyboardFixture f;
    ProtocolState protocol;
    ManualScheduler scheduler;
    FakeConnector::Link connection;
    HostSender sender{protocol, scheduler, *this};
    SenderAdapter adapter{sender};
    InboundBuilder inbound{f.ps(), f.t.session.codePages, adapter};
    keys::SenderKeyboardLink link{inbound, sender, protocol};
    std::vector<std::string> traced;
};

TEST_F(SenderLinkTest, EnterSendsTheModifiedFieldsFramed) {
    f.keys("'AB' Enter");
    // AID, cursor 8 (0x40 0xC8), SBA to position 6 (0x40 0xC6), "ABcdefghij" in EBCDIC.
    EXPECT_EQ(sent(), std::vector<std::string>{"7D 40 C8 11 40 C6 C1 C2 83 84 85 86 87 88 89 91 "
                                               "FF EF"});
}

TEST_F(SenderLinkTest, Pf25AndAttnGoOutRawAndAreTraced) {
    f.settings.pfAids[0] = 0xF1;
    f.keys("PF25");
    f.key(keys::actionKey(keys::Action::Attn), KeySource::TypeaheadReplay);
    EXPECT_EQ(sent(), (std::vector<std::string>{"F1 FF EF", "FF F3"}));
    EXPECT_EQ(traced, (std::vector<std::string>{"F1 FF EF", "FF F3"}));

    protocol.tn3270eMode = true;
    f.key(keys::actionKey(keys::Action::PF25), KeySource::TypeaheadReplay);
    EXPECT_EQ(sent().back(), "00 00 00 00 00 F1 FF EF");
}

}  // namespace
}  // namespace cedar::test
