// The transfer session's routing: the host's Read Modified during a transfer,
// CUT records to the CUT handler, DFT Open outside a transfer, and what the
// structured-field layer asks of it.
#include <gtest/gtest.h>

#include "dft_fixture.h"

namespace cedar::test {
namespace {

class CountingCut : public CutHandler {
  public:
    void handshake(Bytes) override { ++handshakes; }
    bool offerRecord(Bytes) override {
        ++offered;
        return take;
    }
    void endFrame(Bytes) override { ++ends; }
    int handshakes = 0, offered = 0, ends = 0;
    bool take = true;
};

class TransferSessionTest : public DftTest {};

TEST_F(TransferSessionTest, ReadModifiedResendsTheLastReplyOnlyWhileATransferRuns) {
    const ByteVector readModified = {0xF6}, readModifiedSna = {0x06}, write = {0xF1, 0xC2};
    struct Case {
        bool running;
        SessionStatus status;
        const ByteVector* record;
        bool taken;
    };
    const Case cases[] = {
        {true, SessionStatus::TransferData, &readModified, true},
        {true, SessionStatus::TransferMessage, &readModifiedSna, true},
        {true, SessionStatus::TransferReady, &readModified, true},
        {true, SessionStatus::TransferData, &write, false},  // no CUT handler: a screen
        {false, SessionStatus::TransferData, &readModified, false},
        {true, SessionStatus::History, &readModified, false},
        {true, SessionStatus::Rejected, &readModified, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.status) << " running " << c.running);
        state.direction = c.running ? TransferDirection::Upload : TransferDirection::None;
        link.current = c.status;
        const int before = link.resends;
        EXPECT_EQ(session.offerRecord(*c.record), c.taken);
        EXPECT_EQ(link.resends - before, c.taken ? 1 : 0);
    }
}

TEST_F(TransferSessionTest, ReadModifiedDuringUploadSendsTheSameBlockAgain) {
    state.uploadBinary = true;
    start(TransferDirection::Upload, bytesOf("block"));
    field(openField("FT:DATA"));
    field(kGetField);
    const ByteVector read = {0xF6};
    EXPECT_TRUE(session.offerRecord(read));
    ASSERT_EQ(link.sent.size(), 3u);
    EXPECT_EQ(link.sent[2], link.sent[1]);
    EXPECT_EQ(state.blockNumber, 1u);
}

TEST_F(TransferSessionTest, CutRecordsGoToTheCutHandler) {
    CountingCut cut;
    session.setCut(&cut);
    const ByteVector record = {0xF1, 0xC2, 0x11, 0x5D, 0x7F};
    session.checkHandshake(record);
    session.cutFrame(record);
    state.direction = TransferDirection::Download;
    link.current = SessionStatus::TransferData;
    EXPECT_TRUE(session.offerRecord(record));
    cut.take = false;
    EXPECT_FALSE(session.offerRecord(record));
    EXPECT_EQ(cut.handshakes, 1);
    EXPECT_EQ(cut.ends, 1);
    EXPECT_EQ(cut.offered, 2);
}

TEST_F(TransferSessionTest, OpenOutsideATransferIsAnsweredButChangesNothing) {
    link.current = SessionStatus::TransferReady;
    field(openField("FT:DATA"));
    EXPECT_EQ(takeSent(), (std::vector<ByteVector>{{0x88, 0x00, 0x05, 0xD0, 0x00, 0x09}}));
    EXPECT_EQ(link.current, SessionStatus::TransferReady);
}

TEST_F(TransferSessionTest, UnknownAndTruncatedFieldsAreIgnored) {
    start(TransferDirection::Upload, bytesOf("x"));
    for (const auto& f :
         {ByteVector{}, ByteVector{0x00, 0x03, 0xD0}, ByteVector{0x00, 0x04, 0xD0, 0x46},
          dftField({0x99, 0x99, 0x01}), ByteVector{0x00, 0x05, 0x01, 0x46, 0x11}})
        field(f);
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(TransferSessionTest, CloseAnswersAndClosesThePcFile) {
    auto closes = start(TransferDirection::Download).closes;
    field(kCloseField);
    EXPECT_EQ(takeSent(), (std::vector<ByteVector>{{0x88, 0x00, 0x05, 0xD0, 0x41, 0x09}}));
    EXPECT_EQ(*closes, 1);
    EXPECT_FALSE(state.file);
}

TEST_F(TransferSessionTest, StructuredFieldLayerSeesCancelAndKeepsErrors) {
    EXPECT_FALSE(session.cancelRequested());
    state.cancelRequested = true;
    EXPECT_TRUE(session.cancelRequested());
    session.keepErrorText("Disk full");
    EXPECT_EQ(state.errorText, "Disk full");
    EXPECT_TRUE(state.keepWindow);
}

}  // namespace
}  // namespace cedar::test
