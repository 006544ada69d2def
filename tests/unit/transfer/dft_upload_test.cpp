// DFT upload: the host's Get fields answered with numbered data blocks, the
// end-of-data reply, text conversion, LF to CR LF, cancel and read failures.
#include <gtest/gtest.h>

#include "dft_fixture.h"

namespace cedar::test {
namespace {

const ByteVector kEndOfData = {0x88, 0x00, 0x09, 0xD0, 0x46, 0x08, 0x69, 0x04, 0x22, 0x00};
const ByteVector kCommandFailed = {0x88, 0x00, 0x09, 0xD0, 0x46, 0x08, 0x69, 0x04, 0x01, 0x00};

// The data of one data reply, after checking its header against its block
// number and its own length.
ByteVector dataOf(const ByteVector& reply, std::uint32_t block) {
    EXPECT_GE(reply.size(), 17u);
    if (reply.size() < 17) return {};
    const std::size_t n = reply.size() - 17;
    const ByteVector header = {0x88,
                               static_cast<std::uint8_t>((n + 16) >> 8),
                               static_cast<std::uint8_t>(n + 16),
                               0xD0,
                               0x46,
                               0x05,
                               0x63,
                               0x06,
                               static_cast<std::uint8_t>(block >> 24),
                               static_cast<std::uint8_t>(block >> 16),
                               static_cast<std::uint8_t>(block >> 8),
                               static_cast<std::uint8_t>(block),
                               0xC0,
                               0x80,
                               0x61,
                               static_cast<std::uint8_t>((n + 5) >> 8),
                               static_cast<std::uint8_t>(n + 5)};
    EXPECT_EQ(ByteVector(reply.begin(), reply.begin() + 17), header) << "block " << block;
    return ByteVector(reply.begin() + 17, reply.end());
}

class DftUploadTest : public DftTest {
  protected:
    // Opens for data and sends Get until the end-of-data reply; returns the
    // blocks in order (their numbers checked).
    std::vector<ByteVector> upload(int maxGets = 1000) {
        field(openField("FT:DATA"));
        takeSent();
        std::vector<ByteVector> blocks;
        for (int i = 0; i < maxGets; ++i) {
            field(kGetField);
            auto sent = takeSent();
            EXPECT_EQ(sent.size(), 1u);
            if (sent.size() != 1 || sent[0] == kEndOfData) break;
            blocks.push_back(dataOf(sent[0], static_cast<std::uint32_t>(blocks.size() + 1)));
        }
        return blocks;
    }
    static ByteVector joined(const std::vector<ByteVector>& blocks) {
        ByteVector all;
        for (const auto& b : blocks)
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }
};

TEST_F(DftUploadTest, EmptyFileAnswersTheFirstGetWithEndOfData) {
    start(TransferDirection::Upload);
    field(openField("FT:DATA"));
    EXPECT_EQ(takeSent(), (std::vector<ByteVector>{{0x88, 0x00, 0x05, 0xD0, 0x00, 0x09}}));
    EXPECT_EQ(link.current, SessionStatus::TransferData);
    field(kGetField);
    EXPECT_EQ(takeSent(), std::vector<ByteVector>{kEndOfData});
    EXPECT_EQ(state.bytesTransferred, 0u);
}

TEST_F(DftUploadTest, BlocksAreNumberedAndCutAtTheBlockSize) {
    struct Case {
        std::size_t fileSize;
        std::size_t blockSize;
        std::size_t readChunk;  // short reads from the file
        std::vector<std::size_t> blocks;
    };
    const Case cases[] = {
        {10, 10, 0, {10}},         // exactly one block
        {11, 10, 0, {10, 1}},      // one byte more
        {25, 10, 0, {10, 10, 5}},  // block numbers 1, 2, 3
        {25, 10, 3, {10, 10, 5}},  // the file answers in pieces: blocks still fill
        {70000, 25000, 0, {25000, 25000, 20000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileSize << " bytes, block " << c.blockSize);
        ByteVector content(c.fileSize);
        for (std::size_t i = 0; i < content.size(); ++i)
            content[i] = static_cast<std::uint8_t>(i * 7 + 0xF9);  // 0xFF and 0x1A among them
        state.uploadBinary = true;
        state.blockSize = static_cast<int>(c.blockSize);
        start(TransferDirection::Upload, content).readChunk = c.readChunk;
        const auto blocks = upload();
        std::vector<std::size_t> sizes;
        for (const auto& b : blocks)
            sizes.push_back(b.size());
        EXPECT_EQ(sizes, c.blocks);
        EXPECT_EQ(joined(blocks), content);
        EXPECT_EQ(state.bytesTransferred, c.fileSize);
        EXPECT_EQ(state.blockNumber, c.blocks.size());
    }
}

TEST_F(DftUploadTest, ProgressLineAfterEveryBlock) {
    state.blockSize = 1000;
    state.uploadBinary = true;
    start(TransferDirection::Upload, ByteVector(1500, 'x'));
    session.setOptions({false, display::BigNumberFormat::Grouped, {',', '.'}});
    upload();
    EXPECT_EQ(link.lines,
              (std::vector<std::string>{"Bytes transferred = 1,000", "Bytes transferred = 1,500"}));
}

TEST_F(DftUploadTest, TextGoesThroughTheTransferTableBinaryDoesNot) {
    codePages.transferTable['a'] = 'Q';
    codePages.transferTable[0xE9] = 0x82;
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        state.uploadBinary = binary;
        start(TransferDirection::Upload, {'a', 0xE9, 'b'});
        const auto blocks = upload();
        EXPECT_EQ(joined(blocks),
                  binary ? ByteVector({'a', 0xE9, 'b'}) : ByteVector({'Q', 0x82, 'b'}));
    }
}

TEST_F(DftUploadTest, LfBecomesCrLfAndTheExpandedBlockStillFits) {
    struct Case {
        const char* file;
        bool convert;
        int blockSize;
        const char* sent;
    };
    const Case cases[] = {
        {"a\nb\n", true, 100, "a\r\nb\r\n"},
        {"a\r\nb\n", false, 100, "a\r\nb\n"},  // the request leaves a file with a CR alone
        {"\n\n\n\n\n\n\n\n", true, 5, "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"},
        {"ab\ncd\n", true, 3, "ab\r\ncd\r\n"},  // a pair that would not fit waits
        {"abc", true, 2, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        state.uploadLfToCrLf = c.convert;
        state.blockSize = c.blockSize;
        start(TransferDirection::Upload, bytesOf(c.file));
        const auto blocks = upload();
        for (const auto& b : blocks) {
            EXPECT_LE(b.size(), static_cast<std::size_t>(c.blockSize));
            EXPECT_FALSE(b.empty());
        }
        EXPECT_EQ(joined(blocks), bytesOf(c.sent));
    }
}

TEST_F(DftUploadTest, OnlyGetIsAnsweredNotSetCursorOrThePreInsertField) {
    start(TransferDirection::Upload, bytesOf("data"));
    field(openField("FT:DATA"));
    takeSent();
    field(kSetCursorField);
    field(kBeforeInsertField);
    EXPECT_TRUE(takeSent().empty());
    field(kGetField);
    const auto sent = takeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(dataOf(sent[0], 1), bytesOf("data"));
}

TEST_F(DftUploadTest, CancelAnswersCommandFailedNotEndOfData) {
    state.blockSize = 4;
    auto closes = start(TransferDirection::Upload, bytesOf("0123456789")).closes;
    field(openField("FT:DATA"));
    field(kGetField);
    takeSent();
    state.cancelRequested = true;
    field(kGetField);
    EXPECT_EQ(takeSent(), std::vector<ByteVector>{kCommandFailed});
    EXPECT_EQ(*closes, 1);
    EXPECT_FALSE(state.file);
    EXPECT_TRUE(state.keepWindow);
    EXPECT_EQ(state.errorText, "File transfer cancelled");
    ASSERT_FALSE(link.lines.empty());
    EXPECT_EQ(link.lines.back(), "File transfer cancelled");
}

TEST_F(DftUploadTest, ReadFailureAnswersCommandFailedWithTheSystemText) {
    start(TransferDirection::Upload, bytesOf("abc")).failRead = true;
    field(openField("FT:DATA"));
    takeSent();
    field(kGetField);
    EXPECT_EQ(takeSent(), std::vector<ByteVector>{kCommandFailed});
    EXPECT_EQ(state.errorText, "No space left on device");
    EXPECT_TRUE(state.keepWindow);
}

TEST_F(DftUploadTest, GetWithoutAnOpenFileIsAnsweredWithEndOfData) {
    start(TransferDirection::Upload);
    state.file.reset();
    field(openField("FT:DATA"));
    takeSent();
    field(kGetField);
    EXPECT_EQ(takeSent(), std::vector<ByteVector>{kEndOfData});
}

}  // namespace
}  // namespace cedar::test
