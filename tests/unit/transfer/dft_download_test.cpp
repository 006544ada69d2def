// DFT download: Insert fields written to the PC file and acknowledged with
// their block numbers, RemoveHex1A, write failures and cancel, and the
// closing message that ends the transfer.
#include <gtest/gtest.h>

#include "dft_fixture.h"

namespace cedar::test {
namespace {

const ByteVector kInsertFailed = {0x88, 0x00, 0x09, 0xD0, 0x47, 0x08, 0x69, 0x04, 0x47, 0x00};

ByteVector ack(std::uint32_t block) {
    return {0x88,
            0x00,
            0x0B,
            0xD0,
            0x47,
            0x05,
            0x63,
            0x06,
            static_cast<std::uint8_t>(block >> 24),
            static_cast<std::uint8_t>(block >> 16),
            static_cast<std::uint8_t>(block >> 8),
            static_cast<std::uint8_t>(block)};
}

// The Insert that carries the closing message: TRANSnn and blanks first,
// the text from field offset 20.
ByteVector messageField(std::string_view text, std::size_t padTo = 0,
                        std::string_view number = "TRANS03   ") {
    ByteVector data = bytesOf(number);
    data.insert(data.end(), text.begin(), text.end());
    if (data.size() < padTo) data.resize(padTo, ' ');
    return insertField(data);
}

class DftDownloadTest : public DftTest {
  protected:
    std::shared_ptr<ByteVector> open(ByteVector = {}) {
        auto written = start(TransferDirection::Download).written;
        field(openField("FT:DATA"));
        takeSent();
        return written;
    }
};

TEST_F(DftDownloadTest, InsertsAreWrittenAndAcknowledgedOneTwoThree) {
    state.downloadBinary = true;
    auto written = open();
    const ByteVector blocks[] = {{0x00, 0xFF, 0x1A}, {}, {0x41, 0x0D, 0x0A}};
    ByteVector all;
    std::uint32_t n = 0;
    for (const auto& b : blocks) {
        field(kBeforeInsertField);
        field(insertField(b));
        EXPECT_EQ(takeSent(), std::vector<ByteVector>{ack(++n)});
        all.insert(all.end(), b.begin(), b.end());
    }
    EXPECT_EQ(*written, all);
    EXPECT_EQ(state.bytesTransferred, all.size());
}

TEST_F(DftDownloadTest, TextConversionAndRemoveHex1A) {
    codePages.transferToPcTable['Q'] = 'a';
    struct Case {
        bool binary;
        bool removeHex1A;
        ByteVector sent;
        ByteVector written;
    };
    const Case cases[] = {
        {false, true, {'Q', 'b', 0x1A}, {'a', 'b'}},
        {false, true, {0x1A, 'b'}, {0x1A, 'b'}},  // only a last 0x1A goes
        {false, false, {'Q', 0x1A}, {'a', 0x1A}},
        {true, true, {'Q', 0x1A}, {'Q', 0x1A}},  // binary: untouched
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "binary " << c.binary << " removeHex1A " << c.removeHex1A);
        state.downloadBinary = c.binary;
        session.setOptions({c.removeHex1A, display::BigNumberFormat::Plain, {}});
        auto written = open();
        field(insertField(c.sent));
        EXPECT_EQ(*written, c.written);
    }
}

TEST_F(DftDownloadTest, WriteFailureOrCancelAnswersTheErrorReplyWithoutAck) {
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancel" : "write failure");
        state.cancelRequested = false;
        state.keepWindow = false;
        auto& file = start(TransferDirection::Download);
        auto closes = file.closes;
        field(openField("FT:DATA"));
        takeSent();
        field(insertField(bytesOf("first")));
        EXPECT_EQ(takeSent(), std::vector<ByteVector>{ack(1)});
        if (cancel)
            state.cancelRequested = true;
        else
            file.failWrite = true;
        field(insertField(bytesOf("second")));
        EXPECT_EQ(takeSent(), std::vector<ByteVector>{kInsertFailed});
        EXPECT_EQ(*closes, 1);
        EXPECT_FALSE(state.file);
        EXPECT_TRUE(state.keepWindow);
        EXPECT_EQ(state.errorText, cancel ? "File transfer cancelled" : "No space left on device");
        EXPECT_EQ(state.bytesTransferred, 5u);
    }
}

TEST_F(DftDownloadTest, ClosingMessageCompletesTheTransfer) {
    state.downloadBinary = true;
    auto written = open();
    field(insertField(ByteVector(1234, 'x')));
    field(kCloseField);
    field(openField("FT:MSG "));
    EXPECT_EQ(link.current, SessionStatus::TransferMessage);
    takeSent();
    link.lines.clear();
    session.setOptions({false, display::BigNumberFormat::Grouped, {'.', ','}});
    field(messageField("File transfer complete$", 85));
    // The message is numbered from 1 after its own Open.
    EXPECT_EQ(takeSent(), std::vector<ByteVector>{ack(1)});
    EXPECT_EQ(link.lines, (std::vector<std::string>{"File transfer complete - 1.234 bytes", ""}));
    EXPECT_EQ(link.current, SessionStatus::Unlocked);
    EXPECT_EQ(state.completionState, 2);
    EXPECT_FALSE(state.running());
    EXPECT_FALSE(state.file);
    EXPECT_EQ(written->size(), 1234u);
    EXPECT_TRUE(session.takeCompletion());
    EXPECT_FALSE(session.takeCompletion());
}

TEST_F(DftDownloadTest, ClosingMessageAndShortInsertsStayInsideTheField) {
    struct Case {
        const char* name;
        ByteVector field;
        std::string message;
        std::string kept;  // the state's closing message: the number too
    };
    // A 95-byte field without "$": 75 message bytes, not 81 that run past it.
    ByteVector noDollar = messageField(std::string(75, 'E'));
    ASSERT_EQ(noDollar.size(), 95u);
    const Case cases[] = {
        {"no dollar", noDollar, std::string(75, 'E'), "TRANS03 " + std::string(75, 'E')},
        {"host error", messageField("TRANS13 Error writing file$junk"),
         "TRANS13 Error writing file", "TRANS03 TRANS13 Error writing file"},
        {"failure number", messageField("Data set X not found$", 0, "TRANS13   "),
         "Data set X not found", "TRANS13 Data set X not found"},
        {"trailing blanks", messageField("Data set not found   ", 85), "Data set not found",
         "TRANS03 Data set not found"},
        {"ends before the message", dftField({0x47, 0x04, 0xC0, 0x80, 0x61, 0x00, 0x05, 'x'}), "",
         "x"},
        {"shorter than its header", dftField({0x47, 0x04}), "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(TransferDirection::Download);
        link.current = SessionStatus::TransferMessage;
        link.lines.clear();
        field(c.field);
        ASSERT_EQ(link.lines.size(), 2u);
        EXPECT_EQ(link.lines[0], c.message);
        EXPECT_EQ(state.closingMessage, c.kept);
        EXPECT_EQ(link.current, SessionStatus::Unlocked);
    }
}

TEST_F(DftDownloadTest, ShortInsertDuringDataWritesNothingAndIsAcknowledged) {
    auto written = open();
    for (const auto& f :
         {dftField({0x47, 0x04}), dftField({0x47, 0x04, 0xC0, 0x80, 0x61, 0x00, 0x05})}) {
        field(f);
        EXPECT_EQ(takeSent().size(), 1u);
    }
    EXPECT_TRUE(written->empty());
    EXPECT_EQ(state.blockNumber, 2u);
}

TEST_F(DftDownloadTest, CicsResetsTheBlockCounterAndCountsInPlainDigits) {
    session.setOptions({false, display::BigNumberFormat::Grouped, {',', '.'}});
    for (auto host : {TransferHostType::Tso, TransferHostType::Cics}) {
        const bool cics = host == TransferHostType::Cics;
        SCOPED_TRACE(cics ? "CICS" : "TSO");
        state.hostType = host;
        state.downloadBinary = true;
        open();
        field(insertField(ByteVector(1234, 'x')));
        field(openField("FT:MSG "));
        field(messageField("File transfer complete$"));
        EXPECT_EQ(state.blockNumber, cics ? 0u : 1u);
        ASSERT_GE(link.lines.size(), 2u);
        EXPECT_EQ(link.lines[link.lines.size() - 2], cics ? "File transfer complete - 1234 bytes"
                                                          : "File transfer complete - 1,234 bytes");
    }
}

}  // namespace
}  // namespace cedar::test
