#include "session/session_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cedar::area {
namespace {

using A = WindowAction;

// Sessions at the given indexes, owned by process 1000 + index.
OwnerTable owning(const std::vector<int>& indexes) {
    OwnerTable t{};
    for (int i : indexes)
        t[static_cast<std::size_t>(i)] = 1000u + static_cast<std::uint32_t>(i);
    return t;
}

TEST(TitleBlock, EntriesRoundTripAndStaleOnesReadEmpty) {
    std::vector<std::uint8_t> bytes(kTitleBlockSize, 0);
    TitleBlock block(bytes);
    block.publish(0, 1000, "Cedar TN3270 A - tso", false);
    block.publish(1, 1001, "Cedar TN3270 B - cics", true);
    block.publish(35, 1035, "last", true);
    // Written by a session whose id another process holds now.
    block.publish(2, 4242, "gone", true);
    auto states = block.read(owning({0, 1, 2, 35}));
    EXPECT_EQ(states[0], (WindowState{"Cedar TN3270 A - tso", false}));
    EXPECT_EQ(states[1], (WindowState{"Cedar TN3270 B - cics", true}));
    EXPECT_EQ(states[2], WindowState{});
    EXPECT_EQ(states[35], (WindowState{"last", true}));
    // A slot that is free reads empty whatever its entry holds.
    states = block.read(owning({0}));
    EXPECT_EQ(states[1], WindowState{});
    // Entry 35 ends exactly at the end of the block.
    EXPECT_EQ(bytes[35 * kTitleEntrySize], 1035 & 0xFF);
    EXPECT_EQ(bytes[35 * kTitleEntrySize + 4], 1);
    EXPECT_EQ(bytes[35 * kTitleEntrySize + kTitleOffset], 'l');
}

TEST(TitleBlock, LongTitlesAreCutOnACharacterBoundaryAndNeverOverflow) {
    std::vector<std::uint8_t> bytes(kTitleBlockSize + 16, 0xEE);  // guard bytes past the end
    TitleBlock block({bytes.data(), kTitleBlockSize});
    const std::string ascii(300, 'x');
    block.publish(35, 1035, ascii, false);
    EXPECT_EQ(block.read(owning({35}))[35].title, std::string(kMaxTitle, 'x'));
    for (std::size_t i = kTitleBlockSize; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0xEE) << i;
    // "é" is two bytes; 126 of "x" then "é" would be cut inside it at 127.
    block.publish(3, 1003, std::string(126, 'x') + "\xC3\xA9" + "tail", false);
    EXPECT_EQ(block.read(owning({3}))[3].title, std::string(126, 'x'));
    // A shorter title replaces a longer one completely.
    block.publish(3, 1003, "short", false);
    EXPECT_EQ(block.read(owning({3}))[3].title, "short");
    // Bad indexes touch nothing.
    block.publish(-1, 1, "x", true);
    block.publish(36, 1, "x", true);
    for (std::size_t i = kTitleBlockSize; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0xEE) << i;
}

TEST(TitleBlock, PointsSurviveTheRequestParameter) {
    for (const Point p : {Point{0, 0}, Point{20, 20}, Point{-300, 5}, Point{7, -1},
                          Point{-2147483647 - 1, 2147483647}})
        EXPECT_EQ(unpackPoint(packPoint(p)), p) << p.x << "," << p.y;
}

TEST(SessionOpers, SwitchingPicksTheNextWindowVisibleOrNot) {
    struct Case {
        SessionOper oper;
        std::vector<int> running;
        std::vector<int> minimized;
        int own;
        int expected;  // -1: nothing happens
    };
    const std::vector<Case> cases{
        {SessionOper::NextSession, {0, 2, 5}, {}, 2, 5},
        {SessionOper::NextSession, {0, 2, 5}, {}, 5, 0},
        {SessionOper::PreviousSession, {0, 2, 5}, {}, 0, 5},
        {SessionOper::NextSession, {0, 2, 5}, {5}, 2, 5},  // minimized ones count
        {SessionOper::NextVisibleSession, {0, 2, 5}, {5}, 2, 0},
        {SessionOper::PreviousVisibleSession, {0, 2, 5, 35}, {0, 35}, 2, 5},
        {SessionOper::NextVisibleSession, {0, 2}, {0}, 2, 2},  // back to itself
        {SessionOper::NextVisibleSession, {0, 2}, {0, 2}, 2, -1},
        {SessionOper::PreviousSession, {}, {}, kNoIndex, -1},
    };
    for (const Case& k : cases) {
        OperContext c;
        c.owners = owning(k.running);
        c.ownIndex = k.own;
        for (int m : k.minimized)
            c.states[static_cast<std::size_t>(m)].minimized = true;
        const auto plan = planSessionOper(k.oper, c);
        const auto expected = k.expected < 0 ? std::vector<WindowStep>{}
                                             : std::vector<WindowStep>{{k.expected, A::Activate}};
        EXPECT_EQ(plan.steps, expected) << static_cast<int>(k.oper) << " from " << k.own;
    }
}

TEST(SessionOpers, AllWindowFunctionsReachEverySessionInIndexOrder) {
    OperContext c;
    c.owners = owning({1, 4, 30});
    c.ownIndex = 4;
    EXPECT_EQ(planSessionOper(SessionOper::MinimizeAll, c).steps,
              (std::vector<WindowStep>{{1, A::Minimize}, {4, A::Minimize}, {30, A::Minimize}}));
    EXPECT_EQ(planSessionOper(SessionOper::RestoreAll, c).steps,
              (std::vector<WindowStep>{{1, A::Restore}, {4, A::Restore}, {30, A::Restore}}));
    // The own window ends on top.
    EXPECT_EQ(planSessionOper(SessionOper::MaximizeAll, c).steps,
              (std::vector<WindowStep>{
                  {1, A::Maximize}, {4, A::Maximize}, {30, A::Maximize}, {4, A::Activate}}));
    // The own session is told last.
    EXPECT_EQ(planSessionOper(SessionOper::ExitAll, c).steps,
              (std::vector<WindowStep>{{1, A::Shutdown}, {30, A::Shutdown}, {4, A::Shutdown}}));
    EXPECT_FALSE(isSessionOper(0));
    EXPECT_FALSE(isSessionOper(35));
    EXPECT_TRUE(isSessionOper(61));
}

TEST(SessionOpers, CascadeStartsNewColumnsAfterCascadeMax) {
    OperContext c;
    for (int i = 0; i < 30; ++i)
        c.owners[static_cast<std::size_t>(i)] = 100u + static_cast<std::uint32_t>(i);
    c.ownIndex = 3;
    c.cascade = CascadeSettings{{20, 20}, {22, 22}, {300, 0}, 26};
    c.ownPosition = {500, 40};
    auto plan = planSessionOper(SessionOper::Cascade, c);
    ASSERT_EQ(plan.steps.size(), 30u);
    EXPECT_EQ(plan.steps[0], (WindowStep{0, A::Cascade, {20, 20}}));
    EXPECT_EQ(plan.steps[25], (WindowStep{25, A::Cascade, {20 + 25 * 22, 20 + 25 * 22}}));
    // The 27th window: 300 pixels right of the first.
    EXPECT_EQ(plan.steps[26], (WindowStep{26, A::Cascade, {320, 20}}));
    EXPECT_EQ(plan.steps[29], (WindowStep{29, A::Cascade, {320 + 66, 20 + 66}}));
    ASSERT_TRUE(plan.debugWindowMoves);
    EXPECT_EQ(plan.debugWindow, (Point{320 + 88 + 100, 20 + 88 + 100}));

    // From here: the own window's saved position; gaps in the ids close up.
    c.owners = owning({2, 9, 11});
    c.ownIndex = 9;
    c.cascade.max = 2;
    plan = planSessionOper(SessionOper::CascadeFromHere, c);
    EXPECT_EQ(plan.steps, (std::vector<WindowStep>{{2, A::Cascade, {500, 40}},
                                                   {9, A::Cascade, {522, 62}},
                                                   {11, A::Cascade, {800, 40}}}));
    EXPECT_EQ(plan.debugWindow, (Point{822 + 100, 62 + 100}));
}

}  // namespace
}  // namespace cedar::area
