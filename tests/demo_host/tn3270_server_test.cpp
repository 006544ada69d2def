// The host side of the negotiation and framing, fed the bytes a client sends.
#include "tn3270_server.h"

#include <gtest/gtest.h>

#include <string>

namespace cedar::hostside {
namespace {

Bytes b(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes text(const std::string& t) {
    return Bytes(t.begin(), t.end());
}

struct Step {
    Bytes client;
    Bytes answer;
};

// Feeds each step whole and checks the answer; then the whole exchange again
// one byte at a time, which must give the same bytes.
void run(const std::vector<Step>& steps, Tn3270Server::Options options, Tn3270Server& server) {
    for (const auto& s : steps)
        EXPECT_EQ(server.receive(s.client), s.answer);
    Tn3270Server split(options);
    Bytes all, answers;
    for (const auto& s : steps) {
        for (std::uint8_t byte : s.client) {
            const Bytes a = split.receive(std::span<const std::uint8_t>(&byte, 1));
            answers.insert(answers.end(), a.begin(), a.end());
        }
        all.insert(all.end(), s.answer.begin(), s.answer.end());
    }
    EXPECT_EQ(answers, all) << "byte at a time";
    EXPECT_EQ(split.ready(), server.ready());
}

TEST(Tn3270Server, Tn3270eWithACounteredFunctionList) {
    Tn3270Server server({true, "CEDARLU1"});
    EXPECT_EQ(server.greeting(), b({255, 253, 40}));
    run({{b({255, 251, 40}), b({255, 250, 40, 8, 2, 255, 240})},
         {cat({b({255, 250, 40, 2, 7}), text("IBM-3278-4-E"), b({255, 240})}),
          cat({b({255, 250, 40, 2, 4}), text("IBM-3278-4-E"), b({1}), text("CEDARLU1"),
               b({255, 240})})},
         // BIND-IMAGE, RESPONSES and SYSREQ asked: RESPONSES alone is offered back.
         {b({255, 250, 40, 3, 7, 0, 2, 4, 255, 240}), b({255, 250, 40, 3, 7, 2, 255, 240})},
         {b({255, 250, 40, 3, 4, 2, 255, 240}), {}}},
        {true, "CEDARLU1"}, server);
    ASSERT_TRUE(server.ready());
    EXPECT_TRUE(server.terminal().tn3270e);
    EXPECT_EQ(server.terminal().model, 4);
    EXPECT_EQ(server.terminal().alternateRows(), 43);
    EXPECT_EQ(server.terminal().luName, "CEDARLU1");

    // A client record: the header goes, IAC IAC is one 0xFF; other data
    // types are not the application's.
    server.receive(b({0, 0, 0, 0, 1, 0x7D, 0x40, 0x40, 255, 255, 255, 239,  // 3270-DATA
                      7, 0, 0, 0, 2, 0x6C, 255,  239}));                    // SSCP-LU-DATA
    const auto records = server.takeRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], b({0x7D, 0x40, 0x40, 0xFF}));

    EXPECT_EQ(server.frame(b({0xF5, 0xC3, 0xFF})),
              b({0, 0, 0, 0, 0, 0xF5, 0xC3, 255, 255, 255, 239}));
    EXPECT_EQ(server.frame(b({0xF1})), b({0, 0, 0, 0, 1, 0xF1, 255, 239})) << "sequence 1";
}

TEST(Tn3270Server, AClientThatRefusesTn3270eGetsTn3270) {
    Tn3270Server server({true, "CEDARLU1"});
    run({{b({255, 252, 40}), b({255, 253, 24})},
         {b({255, 251, 24}), b({255, 250, 24, 1, 255, 240})},
         {cat({b({255, 250, 24, 0}), text("IBM-3278-5"), b({255, 240})}),
          b({255, 253, 25, 255, 251, 25, 255, 253, 0, 255, 251, 0})},
         // An option nobody offered is refused.
         {b({255, 253, 1}), b({255, 252, 1})},
         {b({255, 251, 25, 255, 253, 25, 255, 251, 0, 255, 253, 0}), {}}},
        {true, "CEDARLU1"}, server);
    ASSERT_TRUE(server.ready());
    EXPECT_FALSE(server.terminal().tn3270e);
    EXPECT_EQ(server.terminal().model, 5);
    EXPECT_EQ(server.terminal().alternateColumns(), 132);
    EXPECT_EQ(server.frame(b({0xF5, 0xC3})), b({0xF5, 0xC3, 255, 239}));
    server.receive(b({0x7D, 0x40, 0x40, 255, 239}));
    EXPECT_EQ(server.takeRecords().size(), 1u);
}

TEST(Tn3270Server, WhatAThirtyTwoSeventyNeedsRefusedIsAFailure) {
    struct Case {
        const char* name;
        Bytes client;
    };
    const std::vector<Case> cases = {
        {"no terminal type", b({255, 252, 24})},
        {"no end of record", b({255, 251, 24, 255, 254, 25})},
        {"no binary", b({255, 251, 24, 255, 252, 0})},
    };
    for (const auto& c : cases) {
        Tn3270Server server({false, "CEDARLU1"});
        EXPECT_EQ(server.greeting(), b({255, 253, 24}));
        server.receive(c.client);
        EXPECT_TRUE(server.failed()) << c.name;
        EXPECT_FALSE(server.ready()) << c.name;
    }
}

// Records sent before the negotiation is over are not the application's,
// and a long sub-negotiation is cut, never stored without end.
TEST(Tn3270Server, BytesBeforeTheNegotiationAndOverlongSubnegotiations) {
    Tn3270Server server({false, "CEDARLU1"});
    server.receive(b({0x7D, 255, 239}));
    EXPECT_TRUE(server.takeRecords().empty());
    Bytes longType = b({255, 250, 24, 0});
    longType.insert(longType.end(), 100000, 'X');
    longType.insert(longType.end(), {255, 240});
    server.receive(longType);
    EXPECT_LE(server.terminal().type.size(), 512u);
}

}  // namespace
}  // namespace cedar::hostside
