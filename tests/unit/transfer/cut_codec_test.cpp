// CUT-mode coding: encoding PC bytes into shift classes and codes, the frame
// header characters, and decoding frames back, with the faults a host's bad
// frame can hold.
#include "transfer/cut_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "cut_fakes.h"
#include "record_builder.h"
#include "screen/code_pages.h"

namespace cedar {
namespace {

using test::Data;

const CodePages& pages037() {
    return test::cutPages();
}

Data encodeAll(const Data& pc, cut::Encoder& encoder) {
    Data out;
    EXPECT_EQ(encoder.encode(pc, 1'000'000, out), pc.size());
    return out;
}

Data decodeAll(const Data& coded, std::uint8_t& shift) {
    Data out;
    const auto r = cut::decode(coded, shift, 1'000'000, pages037(), out);
    EXPECT_EQ(r.error, cut::DecodeError::None) << cut::describe(r.error) << " at " << r.offset;
    return out;
}

TEST(CutCodec, EveryByteDecodesToItselfInAnyOrderAndFromAnyShift) {
    Data ascending(256);
    std::iota(ascending.begin(), ascending.end(), 0);
    Data shuffled = ascending;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(20));
    Data pairs;  // every byte after every class
    for (int b = 0; b < 256; ++b)
        for (std::uint8_t before : {0x00, 0x20, 0x21, 0x40})
            pairs.insert(pairs.end(), {before, static_cast<std::uint8_t>(b)});
    for (const Data& pc : {ascending, shuffled, pairs}) {
        cut::Encoder encoder;
        const Data coded = encodeAll(pc, encoder);
        for (std::uint8_t c : coded)
            EXPECT_NE(c, cut::kEndOfData) << "a code would end the frame";
        std::uint8_t shift = cut::kNoShift;
        EXPECT_EQ(decodeAll(coded, shift), pc);
        EXPECT_EQ(shift, encoder.shift());
    }
}

TEST(CutCodec, ClassBytesOnlyWhereTheClassChanges) {
    struct Case {
        Data pc;
        Data coded;
    };
    const Case cases[] = {
        {{0x41, 0x21}, {0x7E, 0xC1, 0x7D, 0xF1}},
        {{0x41, 0x31}, {0x7E, 0xC1, 0xF1}},
        {{0x0D, 0x0A, 0x41}, {0x5C, 0xD5, 0xD2, 0x7E, 0xC1}},
        {{0x40, 0x5D, 0x81, 0xFF}, {0x5E, 0x40, 0x5D, 0x81, 0x5C, 0xF9}},
        {{0x80, 0x81}, {0x7D, 0x81, 0x5E, 0x81}},  // same code, two classes
        {{'a', 'b', 0x60}, {0x7E, 0x81, 0x82, 0x5E, 0x60}},
    };
    for (const auto& c : cases) {
        cut::Encoder encoder;
        EXPECT_EQ(encodeAll(c.pc, encoder), c.coded) << test::hex(c.pc);
    }
    const Data edge = {0x7E, 0xC1, 0x7D, 0xF1};
    EXPECT_EQ(cut::checksum(edge), (0x7E ^ 0xC1 ^ 0x7D ^ 0xF1));
}

TEST(CutCodec, TheClassCarriesOverToTheNextFrameUntilReset) {
    cut::Encoder encoder;
    encodeAll({0x41}, encoder);
    EXPECT_EQ(encodeAll({0x42}, encoder), (Data{0xC2}));
    encoder.reset();
    EXPECT_EQ(encodeAll({0x42}, encoder), (Data{0x7E, 0xC2}));
}

TEST(CutCodec, ARoomTooSmallForClassAndCodeLeavesTheByteForLater) {
    cut::Encoder encoder;
    Data out;
    // 0x41 takes two bytes, 0x21 two more: three bytes of room take only 0x41.
    EXPECT_EQ(encoder.encode(Data{0x41, 0x21, 0x22}, 3, out), 1u);
    EXPECT_EQ(out, (Data{0x7E, 0xC1}));
    EXPECT_EQ(encoder.encode(Data{0x21, 0x22}, 3, out), 2u);
    EXPECT_EQ(out, (Data{0x7E, 0xC1, 0x7D, 0xF1, 0xF2}));
}

TEST(CutCodec, HeaderCharactersComeFromTheAlphabetInHostCode) {
    // A full 24 x 80 frame as a host received it: checksum 47, length 1912.
    EXPECT_EQ(cut::frameHeader(47, 1912, pages037()),
              (std::array<std::uint8_t, 3>{0xD7, 0x6B, 0xE8}));
    // Only the low six bits of the checksum count.
    EXPECT_EQ(cut::frameHeader(0xC0, 0, pages037()),
              (std::array<std::uint8_t, 3>{0x81, 0x81, 0x81}));
    EXPECT_EQ(cut::frameHeader(63, cut::kMaxEncodedLength, pages037()),
              (std::array<std::uint8_t, 3>{0xF5, 0xF5, 0xF5}));
}

TEST(CutCodec, DecodingStopsAtSbaSkipsFillerAndRepeats) {
    struct Case {
        const char* what;
        Data coded;
        Data pc;
    };
    const auto ra = [](int stop, std::uint8_t c) {
        Data r = {cut::kRepeat};
        const auto a = test::address(stop);
        r.insert(r.end(), a.begin(), a.end());
        r.push_back(c);
        return r;
    };
    auto withRepeat = [&](Data head, const Data& repeat, Data tail) {
        head.insert(head.end(), repeat.begin(), repeat.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const Case cases[] = {
        {"an SBA ends the data", {0x7E, 0xC1, 0x11, 0xC2}, {0x41}},
        {"filler skipped in the 0x5C class", {0x5C, 0xD5, 0xA9, 0xD2}, {0x0D, 0x0A}},
        {"0xA9 is data in the 0x5E class", {0x5E, 0xA9}, {0xA9}},
        {"any byte is itself in the 0x5E class", {0x5E, 0x61, 0x00, 0xFF}, {0x61, 0x00, 0xFF}},
        {"repeat up to the address, as display code",
         withRepeat({0x7E, 0xC1}, ra(4, 0xC2), {0xC3}),
         {0x41, 'B', 'B', 'B', 0x43}},
        {"repeat to where the output stands adds nothing",
         withRepeat({0x7E, 0xC1}, ra(1, 0xC2), {}),
         {0x41}},
    };
    for (const auto& c : cases) {
        std::uint8_t shift = cut::kNoShift;
        EXPECT_EQ(decodeAll(c.coded, shift), c.pc) << c.what;
    }
}

TEST(CutCodec, BadFramesAreFaultsNotData) {
    struct Case {
        const char* what;
        Data coded;
        std::size_t capacity;
        cut::DecodeError error;
        std::size_t offset;
    };
    const Case cases[] = {
        {"a code before any class", {0xC1}, 100, cut::DecodeError::NoShift, 0},
        {"no such code in the class", {0x7E, 0xC1, 0x00}, 100, cut::DecodeError::UnknownCode, 2},
        {"repeat without its character",
         {0x7E, 0x3C, 0x40, 0xC4},
         100,
         cut::DecodeError::ShortRepeat,
         1},
        {"repeat past the frame",
         {0x3C, 0x5D, 0x7F, 0xC1},
         100,
         cut::DecodeError::RepeatOutOfRange,
         0},
        {"repeat to a 14-bit address far away",
         {0x3C, 0x3F, 0xFF, 0xC1},
         1920,
         cut::DecodeError::RepeatOutOfRange,
         0},
        {"repeat backwards",
         {0x7E, 0xC1, 0xC2, 0x3C, 0x40, 0xC1, 0xC1},
         100,
         cut::DecodeError::RepeatOutOfRange,
         3},
        {"more than the frame holds", {0x7E, 0xC1, 0xC2, 0xC3}, 2, cut::DecodeError::TooLong, 3},
    };
    for (const auto& c : cases) {
        std::uint8_t shift = cut::kNoShift;
        Data out;
        const auto r = cut::decode(c.coded, shift, c.capacity, pages037(), out);
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_EQ(r.offset, c.offset) << c.what;
        EXPECT_LE(out.size(), c.capacity) << c.what;
    }
}

TEST(CutCodec, ARepeatIsBoundedByTheFrameCapacity) {
    std::uint8_t shift = cut::kNoShift;
    Data out;
    const Data full = {0x3C, 0x5D, 0x7F, 0xC1};  // up to 1919
    ASSERT_EQ(cut::decode(full, shift, 1920, pages037(), out).error, cut::DecodeError::None);
    EXPECT_EQ(out.size(), 1919u);
    out.clear();
    EXPECT_EQ(cut::decode(full, shift, 1000, pages037(), out).error,
              cut::DecodeError::RepeatOutOfRange);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace cedar
