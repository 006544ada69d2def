// The CUT protocol driven by small hand-made host frames: the handshake, the
// acknowledgement of every control frame, downloads with their faults,
// uploads that fill the screen, retransmission and the closing message.
#include "transfer/cut_protocol.h"

#include <gtest/gtest.h>

#include <memory>

#include "cut_fakes.h"
#include "record_builder.h"
#include "screen/presentation_space.h"

namespace cedar {
namespace {

using test::Data;

const Data kAck = {0x7D, 0x5D, 0x7B, 0x11, 0x5D, 0x7B};

Data join(std::initializer_list<Data> parts) {
    Data out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A host frame: Erase/Write, the layout's prefix, then `rest` (frame type first).
Data frame(TransferHostType host, const Data& rest) {
    const Data prefix = host == TransferHostType::Cics
                            ? Data{0xF5, 0xC2, 0x11, 0x40, 0x40}
                            : Data{0xF5, 0xC2, 0x11, 0x5D, 0x7F, 0x11, 0x40, 0x40};
    return join({prefix, rest});
}
Data startFrame(TransferHostType h) {
    return frame(h, {0xC3, 0x81, 0x81, 0x81});
}
Data endFrame(TransferHostType h) {
    return frame(h, {0xC3, 0x81, 0x81, 0x94});
}
Data dataFrame(TransferHostType h, const Data& coded) {
    return frame(h, join({{0xC1, 0x1D, 0xC1, 0xC1, 0x82}, coded, {0x11, 0x5D, 0x7F}}));
}
Data requestFrame(TransferHostType h, std::uint8_t id) {
    return frame(
        h, {0xC2, 0x1D, 0xC1, 0xC1, id, 0x13, 0x81, 0x81, 0x81, 0x11, 0x5D, 0x7F, 0x1D, 0x7C});
}
Data messageFrame(TransferHostType h, std::string_view text,
                  const Data& after = {0x11, 0x40, 0x40}) {
    // The message starts four bytes after the frame type (CICS: eight).
    const Data filler = h == TransferHostType::Cics
                            ? Data{0xC3, 0x96, 0x81, 0x89, 0x40, 0x40, 0x40, 0x40}
                            : Data{0xC3, 0x96, 0x81, 0x89};
    return frame(h, join({filler, test::ebcdic(text), after}));
}

struct CutFixture : ::testing::Test {
    TransferState state;
    test::RecordingLink link;
    CutProtocol cut{state, link, test::cutPages()};
    test::MemoryFile* file = nullptr;
    bool closed = false;

    void open(TransferDirection direction, Data content = {}) {
        auto f = std::make_unique<test::MemoryFile>();
        f->content = std::move(content);
        f->closed = &closed;
        file = f.get();
        state.file = std::move(f);
        state.direction = direction;
    }
    void useHost(TransferHostType h, int positions = 1920) {
        state.hostType = h;
        cut.configure(
            {positions, display::BigNumberFormat::Plain, display::NumberSeparators::cLocale()});
    }
    bool offer(const Data& record) { return cut.offerRecord(record); }
    // Answers requests until the end-of-file reply; returns the data replies.
    std::vector<Data> uploadAll(TransferHostType h) {
        std::vector<Data> replies;
        for (std::uint8_t id = 0x82; link.current != SessionStatus::TransferMessage; ++id) {
            link.sent.clear();
            EXPECT_TRUE(offer(requestFrame(h, id)));
            EXPECT_EQ(link.sent.size(), 1u);
            if (link.sent.empty() || replies.size() > 1000) break;
            EXPECT_EQ(link.sent[0][7], id) << "the frame id is echoed";
            if (link.current != SessionStatus::TransferMessage) replies.push_back(link.sent[0]);
        }
        return replies;
    }
};

TEST_F(CutFixture, HandshakeScreenIsAnsweredWithEnterAtTheAgreedPosition) {
    const Data screen = {0xF5, 0xC3, 0x11, 0x5D, 0x7F, 0x1D, 0x40, 0x11, 0xD9, 0x40,
                         0x1D, 0xC8, 0x5C, 0x5C, 0x5C, 0x1D, 0x40, 0x13, 0x40};
    cut.handshake(screen);
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(link.sent[0], (Data{0x7D, 0xD9, 0xC5}));
    for (std::size_t i = 2; i < 18; ++i) {
        Data other = screen;
        other[i] ^= 0x01;
        cut.handshake(other);
        EXPECT_EQ(link.sent.size(), 1u) << "byte " << i;
    }
    cut.handshake(Data(screen.begin(), screen.begin() + 17));
    EXPECT_EQ(link.sent.size(), 1u);
}

TEST_F(CutFixture, EveryControlFrameIsAcknowledgedInBothLayouts) {
    struct Case {
        TransferHostType host;
        Data record;
        SessionStatus after;
    };
    for (auto h : {TransferHostType::Tso, TransferHostType::Cms, TransferHostType::Cics}) {
        const Case cases[] = {
            {h, startFrame(h), SessionStatus::TransferData},
            {h, endFrame(h), SessionStatus::Unlocked},
            {h, messageFrame(h, "TRANS04 - FILE TRANSFER COMPLETE WITH RECORDS SEGMENTED"),
             SessionStatus::Unlocked},
        };
        for (const auto& c : cases) {
            useHost(c.host);
            link.sent.clear();
            link.current = SessionStatus::TransferData;
            EXPECT_TRUE(offer(c.record)) << test::hex(c.record);
            ASSERT_EQ(link.sent.size(), 1u) << test::hex(c.record);
            EXPECT_EQ(link.sent[0], kAck);
            EXPECT_EQ(link.current, c.after) << test::hex(c.record);
        }
    }
    link.sent.clear();
    cut.endFrame(endFrame(TransferHostType::Tso));
    EXPECT_EQ(link.sent, std::vector<Data>{kAck});
}

TEST_F(CutFixture, FramesOfTheOtherLayoutOrNoFrameAreLeftToTheScreen) {
    useHost(TransferHostType::Cics);
    EXPECT_FALSE(offer(startFrame(TransferHostType::Tso)));
    useHost(TransferHostType::Tso);
    EXPECT_FALSE(offer(startFrame(TransferHostType::Cics)));
    EXPECT_FALSE(offer(test::RecordBuilder(0xF5, 0xC3).sba(0).text("READY").bytes()));
    EXPECT_FALSE(offer(frame(TransferHostType::Tso, {0xC4})));
    EXPECT_FALSE(offer(frame(TransferHostType::Tso, {0xC2, 0x1D, 0xC1})));  // no frame id
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(CutFixture, DownloadDecodesConvertsWritesCountsAndAcknowledges) {
    for (auto h : {TransferHostType::Cms, TransferHostType::Cics}) {
        for (bool binary : {false, true}) {
            useHost(h);
            open(TransferDirection::Download);
            state.downloadBinary = binary;
            ASSERT_TRUE(offer(startFrame(h)));
            link.sent.clear();
            link.lines.clear();
            // "AB" CR LF, then 0xE4 (a-umlaut in the PC code page) carried over the frames' end.
            ASSERT_TRUE(offer(dataFrame(h, {0x7E, 0xC1, 0xC2, 0x5C, 0xD5, 0xD2})));
            ASSERT_TRUE(offer(dataFrame(h, {0xD2, 0x5E, 0xE4})));
            const std::uint8_t last = binary ? 0xE4 : test::cutPages().transferToPcTable[0xE4];
            EXPECT_EQ(file->written, (Data{'A', 'B', '\r', '\n', '\n', last}));
            EXPECT_EQ(state.bytesTransferred, 6u);
            EXPECT_EQ(link.sent, (std::vector<Data>{kAck, kAck}));
            EXPECT_EQ(link.lines.back(), "Bytes transferred = 6");
            EXPECT_EQ(link.current, SessionStatus::TransferData);
        }
    }
}

TEST_F(CutFixture, BadFramesWriteFailuresAndCancelStopTheHostWithPa1) {
    struct Case {
        const char* what;
        Data coded;
        bool failWrite;
        bool cancel;
        std::string error;  // the start of the kept error text
    };
    const Case cases[] = {
        {"a repeat past the screen",
         {0x7E, 0xC1, 0x3C, 0x3F, 0xFF, 0xC1},
         false,
         false,
         "File transfer stopped: the host sent a frame that cannot be decoded"},
        {"an unknown code", {0x7E, 0x00}, false, false, "File transfer stopped"},
        {"a failed write", {0x7E, 0xC1}, true, false, "The disk is full"},
        {"a cancel", {0x7E, 0xC1}, false, true, "File transfer cancelled"},
    };
    for (const auto& c : cases) {
        state = TransferState{};
        link = test::RecordingLink{};
        closed = false;
        useHost(TransferHostType::Tso);
        open(TransferDirection::Download);
        ASSERT_TRUE(offer(startFrame(TransferHostType::Tso)));
        link.sent.clear();
        file->failWrite = c.failWrite;
        state.cancelRequested = c.cancel;
        EXPECT_TRUE(offer(dataFrame(TransferHostType::Tso, c.coded))) << c.what;
        EXPECT_TRUE(link.sent.empty()) << c.what << ": no acknowledgement";
        EXPECT_EQ(link.pa1, 1) << c.what;
        EXPECT_EQ(state.errorText.rfind(c.error, 0), 0u) << c.what << ": " << state.errorText;
        EXPECT_TRUE(state.keepWindow) << c.what;
        EXPECT_TRUE(closed) << c.what;
        EXPECT_FALSE(state.file) << c.what;
        EXPECT_FALSE(state.running()) << c.what;
        EXPECT_EQ(link.current, SessionStatus::Unlocked) << c.what;
        EXPECT_TRUE(cut.takeCompletion()) << c.what;
        EXPECT_FALSE(cut.takeCompletion()) << c.what;
        EXPECT_EQ(link.lines.back(), state.errorText) << c.what;
    }
}

// Decodes what the upload frames carried, checking each frame's header.
Data decodeUpload(const std::vector<Data>& replies) {
    Data pc;
    std::uint8_t shift = cut::kNoShift;
    for (const auto& r : replies) {
        EXPECT_EQ(Data(r.begin(), r.begin() + 7), (Data{0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1}));
        const std::span<const std::uint8_t> coded(r.data() + 11, r.size() - 11);
        const auto header = cut::frameHeader(cut::checksum(coded), coded.size(), test::cutPages());
        EXPECT_EQ(Data(r.begin() + 8, r.begin() + 11), Data(header.begin(), header.end()));
        const auto d = cut::decode(coded, shift, 100000, test::cutPages(), pc);
        EXPECT_EQ(d.error, cut::DecodeError::None);
    }
    return pc;
}

TEST_F(CutFixture, UploadFillsTheScreenNotAFixedCountOfPcBytes) {
    struct Case {
        int positions;
        Data pattern;           // repeated to make the file
        std::size_t firstData;  // encoded bytes in the first frame
    };
    const Case cases[] = {
        {1920, {'A'}, 1912},                           // one class byte, then one byte a PC byte
        {1920, {0x41, 0x21}, 1912},                    // two bytes a PC byte, 956 of them
        {1920, {0x41, 0x41, 0x41, 0x41, 0x21}, 1911},  // 273 times 7 bytes, and one left
        {27 * 132, {'x'}, 27 * 132 - 8},
    };
    for (const auto& c : cases) {
        state = TransferState{};
        link = test::RecordingLink{};
        useHost(TransferHostType::Cms, c.positions);
        Data content;
        while (content.size() < 5000)
            content.insert(content.end(), c.pattern.begin(), c.pattern.end());
        open(TransferDirection::Upload, content);
        state.uploadBinary = true;
        ASSERT_TRUE(offer(startFrame(TransferHostType::Cms)));
        const auto replies = uploadAll(TransferHostType::Cms);
        ASSERT_FALSE(replies.empty());
        EXPECT_EQ(replies[0].size() - 11, c.firstData) << c.positions;
        EXPECT_EQ(decodeUpload(replies), content) << c.positions;
        EXPECT_EQ(state.bytesTransferred, content.size());
        ASSERT_FALSE(link.sent.empty());
        EXPECT_EQ(link.sent.back(), (Data{0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1,
                                          link.sent.back()[7], 0xE5, 0x81, 0x83, 0x5C, 0xA9}));
    }
}

TEST_F(CutFixture, ARepeatedStartFrameKeepsTheFileInOrder) {
    useHost(TransferHostType::Cms);
    Data content(5000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 7);
    open(TransferDirection::Upload, content);
    state.uploadBinary = true;
    ASSERT_TRUE(offer(startFrame(TransferHostType::Cms)));
    ASSERT_TRUE(offer(requestFrame(TransferHostType::Cms, 0x82)));
    std::vector<Data> replies = {link.sent.back()};
    ASSERT_TRUE(offer(startFrame(TransferHostType::Cms)));  // the host starts over
    for (const auto& r : uploadAll(TransferHostType::Cms))
        replies.push_back(r);
    EXPECT_EQ(decodeUpload(replies), content);
}

TEST_F(CutFixture, FramesBeforeTheStartFrameStartTheTransfer) {
    useHost(TransferHostType::Cms);
    Data content(3000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 11);
    open(TransferDirection::Upload, content);
    state.uploadBinary = true;
    ASSERT_TRUE(offer(requestFrame(TransferHostType::Cms, 0x82)));
    EXPECT_EQ(link.current, SessionStatus::TransferData);
    std::vector<Data> replies = {link.sent.back()};
    ASSERT_TRUE(offer(startFrame(TransferHostType::Cms)));  // late: nothing read is lost
    for (const auto& r : uploadAll(TransferHostType::Cms))
        replies.push_back(r);
    EXPECT_EQ(decodeUpload(replies), content);
}

TEST_F(CutFixture, AnAttachedScreenSetsTheFrameSize) {
    const PresentationSpace screen{ScreenSettings{}};
    ASSERT_EQ(screen.positions(), 1920);
    useHost(TransferHostType::Tso, 27 * 132);  // not what the screen holds
    cut.attachScreen(screen);
    open(TransferDirection::Upload, Data(3000, 'A'));
    state.uploadBinary = true;
    ASSERT_TRUE(offer(startFrame(TransferHostType::Tso)));
    ASSERT_TRUE(offer(requestFrame(TransferHostType::Tso, 0x82)));
    EXPECT_EQ(link.sent.back().size(), 11u + 1912u);
}

TEST_F(CutFixture, TextUploadTranslatesAndPutsCrBeforeLf) {
    useHost(TransferHostType::Tso);
    const Data text = {'a', '[', '\n', 0xE4, '\n'};
    open(TransferDirection::Upload, text);
    state.uploadLfToCrLf = true;
    ASSERT_TRUE(offer(startFrame(TransferHostType::Tso)));
    const auto& t = test::cutPages().transferTable;
    EXPECT_EQ(decodeUpload(uploadAll(TransferHostType::Tso)),
              (Data{t['a'], t['['], t['\r'], t['\n'], t[0xE4], t['\r'], t['\n']}));
}

TEST_F(CutFixture, EmptyFileAndNoFileAnswerEndOfFileAtOnce) {
    struct Case {
        TransferHostType host;
        bool withFile;
        Data reply;
    };
    const Case cases[] = {
        {TransferHostType::Tso,
         true,
         {0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1, 0x82, 0xE5, 0x81, 0x83, 0x5C, 0xA9}},
        {TransferHostType::Cics,
         true,
         {0x7D, 0x40, 0x40, 0x11, 0x40, 0xC2, 0xC1, 0x82, 0xE5, 0x81, 0x83, 0x5C, 0xA9}},
        {TransferHostType::Cms,
         false,
         {0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1, 0x82, 0xE5, 0x81, 0x83, 0x5C, 0xA9}},
    };
    for (const auto& c : cases) {
        state = TransferState{};
        link = test::RecordingLink{};
        useHost(c.host);
        if (c.withFile) open(TransferDirection::Upload);
        ASSERT_TRUE(offer(startFrame(c.host)));
        link.sent.clear();
        ASSERT_TRUE(offer(requestFrame(c.host, 0x82)));
        EXPECT_EQ(link.sent, std::vector<Data>{c.reply});
        EXPECT_EQ(link.current, SessionStatus::TransferMessage);
    }
}

TEST_F(CutFixture, ReadModifiedDuringTheTransferResendsTheLastAnswer) {
    useHost(TransferHostType::Cms);
    open(TransferDirection::Upload, Data(3000, 'q'));
    EXPECT_FALSE(offer({0xF6})) << "not before data has started";
    ASSERT_TRUE(offer(startFrame(TransferHostType::Cms)));
    ASSERT_TRUE(offer(requestFrame(TransferHostType::Cms, 0x82)));
    const auto sent = link.sent.size();
    EXPECT_TRUE(offer({0xF6}));
    EXPECT_TRUE(offer({0x06}));
    EXPECT_EQ(link.resends, 2);
    EXPECT_EQ(link.sent.size(), sent) << "nothing new is sent";
}

TEST_F(CutFixture, UploadCancelAndReadFailureStopWithPa1NotEndOfFile) {
    for (bool cancel : {true, false}) {
        state = TransferState{};
        link = test::RecordingLink{};
        useHost(TransferHostType::Tso);
        open(TransferDirection::Upload, Data(100, 'z'));
        ASSERT_TRUE(offer(startFrame(TransferHostType::Tso)));
        link.sent.clear();
        state.cancelRequested = cancel;
        file->failRead = !cancel;
        ASSERT_TRUE(offer(requestFrame(TransferHostType::Tso, 0x82)));
        EXPECT_TRUE(link.sent.empty());
        EXPECT_EQ(link.pa1, 1);
        EXPECT_EQ(state.errorText, cancel ? "File transfer cancelled" : "The disk is full");
        EXPECT_TRUE(state.keepWindow);
        EXPECT_NE(link.current, SessionStatus::TransferMessage);
    }
}

TEST_F(CutFixture, ClosingMessageEndsAtSbaOrDollarAndShowsTheCount) {
    struct Case {
        TransferHostType host;
        std::string_view text;
        Data after;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {TransferHostType::Tso,
         "File transfer complete",
         {0x11, 0x40, 0x40, 0xC1},
         {"File transfer complete - 1,234,567 bytes", ""}},
        {TransferHostType::Cics,
         "File transfer complete",
         {0x5B, 0xC1},
         {"File transfer complete - 1234567 bytes", ""}},
        {TransferHostType::Cms,
         "TRANS04 - File transfer complete",
         {0x11},
         {"TRANS04 - File transfer complete", ""}},
        {TransferHostType::Tso,
         "TRANS13 - Error writing file   ",
         {},
         {"TRANS13 - Error writing file", ""}},
    };
    for (const auto& c : cases) {
        state = TransferState{};
        link = test::RecordingLink{};
        closed = false;
        state.hostType = c.host;
        cut.configure(
            {1920, display::BigNumberFormat::Grouped, display::NumberSeparators::cLocale()});
        open(TransferDirection::Download);
        state.bytesTransferred = 1234567;
        ASSERT_TRUE(offer(messageFrame(c.host, c.text, c.after)));
        EXPECT_EQ(link.lines, c.lines);
        EXPECT_TRUE(closed);
        EXPECT_FALSE(state.running());
        EXPECT_EQ(state.completionState, 2);
        EXPECT_FALSE(state.keepWindow);
        EXPECT_TRUE(cut.takeCompletion());
    }
}

}  // namespace
}  // namespace cedar
