// A real CMS host's CUT-mode upload (ft_cut.trc): from its start frame on,
// the host's records are handed to the CUT protocol one by one, uploading the
// same file the recording's client sent (fttext, LF line ends sent as CR LF),
// and every record we answer with must equal the client's recorded answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "cut_fakes.h"
#include "oracles.h"
#include "record_builder.h"
#include "recording.h"
#include "transfer/cut_protocol.h"

namespace cedar {
namespace {

using test::Data;

// The 3270 records of one direction of a plain TN3270 session: IAC IAC
// undoubled, Telnet commands and sub-negotiations left out, IAC EOR ends.
class RecordCutter {
  public:
    void feed(const Data& bytes, std::vector<Data>& records) {
        for (std::uint8_t b : bytes) {
            switch (state_) {
                case State::Bytes:
                    if (b == 0xFF)
                        state_ = State::Iac;
                    else
                        current_.push_back(b);
                    break;
                case State::Iac:
                    state_ = State::Bytes;
                    if (b == 0xFF) {
                        current_.push_back(b);
                    } else if (b == 0xEF) {
                        records.push_back(std::move(current_));
                        current_.clear();
                    } else if (b == 0xFA) {
                        state_ = State::Sub;
                    } else if (b >= 0xFB) {
                        state_ = State::Option;
                    }
                    break;
                case State::Option:
                    state_ = State::Bytes;
                    break;
                case State::Sub:
                    if (b == 0xFF) state_ = State::SubIac;
                    break;
                case State::SubIac:
                    state_ = b == 0xF0 ? State::Bytes : State::Sub;
                    break;
            }
        }
    }

  private:
    enum class State { Bytes, Iac, Option, Sub, SubIac } state_ = State::Bytes;
    Data current_;
};

// One host record and the client records that answered it.
struct Exchange {
    Data host;
    std::vector<Data> client;
};

std::vector<Exchange> exchanges(const std::vector<recording::Block>& blocks) {
    std::vector<Exchange> out;
    RecordCutter fromHost, toHost;
    for (const auto& b : blocks) {
        std::vector<Data> records;
        if (b.direction == recording::Direction::FromHost) {
            fromHost.feed(b.bytes, records);
            for (auto& r : records)
                out.push_back({std::move(r), {}});
        } else {
            toHost.feed(b.bytes, records);
            for (auto& r : records)
                if (!out.empty()) out.back().client.push_back(std::move(r));
        }
    }
    return out;
}

bool isDataFrame(const Data& r) {
    static const Data prefix = {0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1};
    return r.size() > 11 && std::equal(prefix.begin(), prefix.end(), r.begin()) &&
           !(r.size() == 13 && r[8] == 0xE5);  // not the end-of-file answer
}

// Checks a data frame's checksum and length characters and decodes its data.
void takeData(const Data& frame, std::uint8_t& shift, Data& out) {
    const std::span<const std::uint8_t> coded(frame.data() + 11, frame.size() - 11);
    const auto header = cut::frameHeader(cut::checksum(coded), coded.size(), test::cutPages());
    EXPECT_EQ(Data(frame.begin() + 8, frame.begin() + 11), Data(header.begin(), header.end()));
    const auto r = cut::decode(coded, shift, 100000, test::cutPages(), out);
    EXPECT_EQ(r.error, cut::DecodeError::None) << cut::describe(r.error);
}

TEST(CutRecording, CmsUploadAnswersEqualTheRecordedClient) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    const auto all = exchanges(recording::parseRecording(test::readFile(*dir + "/ft_cut.trc")));
    const std::string text = test::readFile(*dir + "/fttext");

    TransferState state;
    state.hostType = TransferHostType::Cms;
    state.direction = TransferDirection::Upload;
    state.uploadLfToCrLf = true;  // the file has LF line ends and no CR
    auto file = std::make_unique<test::MemoryFile>();
    file->content.assign(text.begin(), text.end());
    file->chunk = 4096;
    state.file = std::move(file);
    test::RecordingLink link;
    // Named difference: the recording's client kept "[" and "]" at host codes
    // 0xAD and 0xBD (its "bracket" code page), code page 037 at 0xBA and
    // 0xBB; both go through the host's own EBCDIC-to-ASCII table.
    CodePages pages = test::cutPages();
    pages.transferTable['['] = hostToTransferAscii()[0xAD];
    pages.transferTable[']'] = hostToTransferAscii()[0xBD];
    CutProtocol cut(state, link, pages);
    cut.configure({24 * 80, display::BigNumberFormat::Plain, display::NumberSeparators::cLocale()});

    std::size_t handled = 0, exact = 0, dataFrames = 0;
    std::vector<std::size_t> ourSizes;  // encoded bytes in our data frames
    Data ourData, theirData;            // the PC bytes both clients' data frames carried
    std::uint8_t ourShift = cut::kNoShift, theirShift = cut::kNoShift;
    bool started = false;
    for (const auto& e : all) {
        const bool isStart = e.host.size() >= 12 && e.host[8] == 0xC3 && e.host[11] == 0x81;
        if (!started && !isStart) continue;
        started = true;
        if (!state.running()) break;  // the transfer has completed: ordinary screens follow
        link.sent.clear();
        ASSERT_TRUE(cut.offerRecord(e.host)) << "host record " << test::hex(e.host);
        ++handled;
        ASSERT_EQ(link.sent.size(), e.client.size()) << "after host record " << test::hex(e.host);
        for (std::size_t i = 0; i < e.client.size(); ++i) {
            const Data& ours = link.sent[i];
            const Data& theirs = e.client[i];
            if (isDataFrame(theirs)) {
                // Named difference: the recording's client now and then
                // codes a byte in the 0x5E class (as itself) where its own
                // class is shorter, so its frames break a few bytes earlier;
                // what the frames carry must be the same.
                ++dataFrames;
                ASSERT_TRUE(isDataFrame(ours)) << test::hex(ours);
                EXPECT_EQ(Data(ours.begin(), ours.begin() + 8),
                          Data(theirs.begin(), theirs.begin() + 8));
                ourSizes.push_back(ours.size() - 11);
                takeData(ours, ourShift, ourData);
                takeData(theirs, theirShift, theirData);
            } else {
                EXPECT_EQ(test::hex(ours), test::hex(theirs))
                    << "answer to host record " << handled;
                ++exact;
            }
        }
    }
    // The start, 13 requests (12 data frames and the end of file) and the closing message.
    EXPECT_EQ(handled, 15u);
    EXPECT_EQ(exact, 3u);
    EXPECT_EQ(dataFrames, 12u);
    EXPECT_EQ(ourData, theirData);
    ASSERT_FALSE(ourSizes.empty());
    for (std::size_t i = 0; i + 1 < ourSizes.size(); ++i)
        EXPECT_TRUE(ourSizes[i] == 1911 || ourSizes[i] == 1912) << "frame " << i << " is full";
    Data expected;  // the file as sent: CR before LF, through the transfer table
    for (unsigned char ch : text) {
        if (ch == '\n') expected.push_back(pages.transferTable['\r']);
        expected.push_back(pages.transferTable[ch]);
    }
    EXPECT_EQ(ourData, expected);
    EXPECT_FALSE(state.running());
    EXPECT_EQ(link.current, SessionStatus::Unlocked);
    ASSERT_GE(link.lines.size(), 2u);
    EXPECT_EQ(link.lines[link.lines.size() - 2].rfind("TRANS04 - File transfer complete", 0), 0u)
        << link.lines[link.lines.size() - 2];
}

}  // namespace
}  // namespace cedar
