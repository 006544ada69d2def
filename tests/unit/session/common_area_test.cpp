#include "session/common_area.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cedar::area {
namespace {

struct Block {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kAreaSize, 0);
    CommonArea view{bytes};
};

TEST(CommonAreaIds, IndexAndCharacterRoundTrip) {
    struct Case {
        char c;
        int index;
    };
    for (const Case& k : std::vector<Case>{{'A', 0},
                                           {'Z', 25},
                                           {'a', 0},
                                           {'z', 25},
                                           {'0', 26},
                                           {'9', 35},
                                           {'@', kNoIndex},
                                           {'[', kNoIndex},
                                           {'/', kNoIndex},
                                           {' ', kNoIndex},
                                           {0, kNoIndex}}) {
        EXPECT_EQ(indexOfId(k.c), k.index) << "'" << k.c << "'";
    }
    for (int i = 0; i < kSlotCount; ++i)
        EXPECT_EQ(indexOfId(idOfIndex(i)), i);
    EXPECT_EQ(idOfIndex(36), '?');
    EXPECT_EQ(idOfIndex(-1), '?');
}

TEST(CommonAreaSlots, FieldsLandAtTheirOffsets) {
    Block b;
    b.view.setOwner(1, 0x01020304);
    b.view.setSessionFile(1, "tso.ses");
    ASSERT_TRUE(b.view.setRequest(35, "run.mac"));
    const std::size_t s1 = kSlotSize;
    EXPECT_EQ(b.bytes[s1 + 0], 0x04);
    EXPECT_EQ(b.bytes[s1 + 3], 0x01);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&b.bytes[s1 + 8])), "tso.ses");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&b.bytes[35 * kSlotSize + 268])), "run.mac");
    EXPECT_EQ(b.view.owner(1), 0x01020304u);
    EXPECT_EQ(b.view.owner(0), 0u);
    EXPECT_EQ(b.view.sessionFile(1), "tso.ses");
}

TEST(CommonAreaSlots, RequestTextStaysInsideItsField) {
    Block b;
    const std::string longest(kMaxFieldText, 'x');
    EXPECT_TRUE(b.view.setRequest(35, longest));
    EXPECT_EQ(b.bytes[kAreaSize - 1], 0);  // the terminator is the block's last byte
    EXPECT_EQ(b.bytes[kAreaSize - 2], 'x');
    // One more is refused and leaves the earlier text as it was.
    EXPECT_FALSE(b.view.setRequest(35, longest + "y"));
    EXPECT_FALSE(b.view.setRequest(34, longest + "y"));
    EXPECT_EQ(b.view.owner(35), 0u);  // slot 34's refusal did not reach slot 35
    const auto f = b.view.requestField(35);
    EXPECT_EQ(f.size(), kTextFieldSize);
    EXPECT_EQ(f[0], 'x');
    // A long session file name is cut, not run into the request field.
    b.view.setSessionFile(0, std::string(400, 's'));
    EXPECT_EQ(b.view.sessionFile(0).size(), kMaxFieldText);
    EXPECT_EQ(b.view.requestField(0)[0], 0);
}

TEST(CommonAreaSlots, BadIndexesTouchNothing) {
    Block b;
    b.view.setOwner(36, 7);
    b.view.setOwner(-1, 7);
    EXPECT_FALSE(b.view.setRequest(kNoIndex, "x"));
    EXPECT_TRUE(b.view.requestField(99).empty());
    EXPECT_EQ(b.bytes, std::vector<std::uint8_t>(kAreaSize, 0));
}

TEST(CommonAreaClaim, RequestedIdThenFirstFree) {
    struct Case {
        const char* name;
        std::vector<int> held;  // slots taken before
        char requested;
        int expected;
    };
    const std::vector<Case> cases{
        {"empty block, no request", {}, 0, 0},
        {"one after another", {0, 1}, 0, 2},
        {"a gap is filled first", {0, 2}, 0, 1},
        {"requested and free", {0}, 'D', 3},
        {"lower case names the same id", {}, 'c', 2},
        {"digit", {}, '5', 31},
        {"requested but held falls back", {0, 1}, 'B', 2},
        {"character outside the alphabet falls back", {0}, '#', 1},
        {"last free slot",
         [] {
             std::vector<int> v;
             for (int i = 0; i < 35; ++i)
                 v.push_back(i);
             return v;
         }(),
         'A', 35},
    };
    for (const Case& c : cases) {
        Block b;
        for (int i : c.held)
            b.view.setOwner(i, 100 + static_cast<std::uint32_t>(i));
        const ClaimResult r = claim(b.view, c.requested, 42, "x.ses");
        EXPECT_EQ(r.index, c.expected) << c.name;
        EXPECT_EQ(b.view.owner(c.expected), 42u) << c.name;
        EXPECT_EQ(r.owners[static_cast<std::size_t>(c.expected)], 42u) << c.name;
        for (int i : c.held)
            EXPECT_EQ(r.owners[static_cast<std::size_t>(i)], 100u + static_cast<std::uint32_t>(i))
                << c.name;
    }
}

TEST(CommonAreaClaim, FullBlockGivesNoIdAndChangesNothing) {
    Block b;
    for (int i = 0; i < kSlotCount; ++i)
        b.view.setOwner(i, 1000 + static_cast<std::uint32_t>(i));
    const auto before = b.bytes;
    const ClaimResult r = claim(b.view, 'A', 42, "x.ses");
    EXPECT_EQ(r.index, kNoIndex);
    EXPECT_EQ(b.bytes, before);
}

TEST(CommonAreaClaim, CountsOtherSessionsOfTheSameFile) {
    Block b;
    int next = 1;
    auto start = [&](const char* file, char id = 0) {
        return claim(b.view, id, static_cast<std::uint32_t>(next++), file);
    };
    EXPECT_EQ(start("tso.ses").sameFileCount, 0);
    EXPECT_EQ(start("cics.ses").sameFileCount, 0);
    EXPECT_EQ(start("tso.ses", 'Q').sameFileCount, 2);  // the requested slot counts too
    EXPECT_EQ(start("cics.ses", 'R').sameFileCount, 2);
    EXPECT_EQ(start("tso.ses").sameFileCount, 2);
    release(b.view, 0);
    const ClaimResult r = start("tso.ses");
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(r.sameFileCount, 2);
    EXPECT_EQ(b.view.sessionFile(1), "cics.ses");
}

TEST(CommonAreaClaim, ReleaseFreesTheIdForTheNextStart) {
    Block b;
    for (std::uint32_t pid : {11u, 12u, 13u})
        claim(b.view, 0, pid, "a");
    release(b.view, 1);
    EXPECT_EQ(b.view.owner(1), 0u);
    EXPECT_EQ(b.view.sessionFile(1), "");
    EXPECT_EQ(claim(b.view, 0, 14, "a").index, 1);
}

OwnerTable table(const std::vector<int>& held) {
    OwnerTable t{};
    for (int i : held)
        t[static_cast<std::size_t>(i)] = 500 + static_cast<std::uint32_t>(i);
    return t;
}

TEST(CommonAreaWindowList, ItemsInIndexOrderWithTheOwnChecked) {
    const auto items = windowList(table({27, 0, 3}), 3, false, {});
    const std::vector<WindowListItem> expected{
        {0, "Session &A", false}, {3, "Session &D", true}, {27, "Session &1", false}};
    EXPECT_EQ(items, expected);
    EXPECT_TRUE(windowList(table({}), 0, false, {}).empty());
}

TEST(CommonAreaWindowList, TitlesWhenShownAreCut) {
    std::vector<std::string> titles(36);
    titles[1] = "TSO on host";
    titles[2] = std::string(200, 't');
    const auto items = windowList(table({1, 2, 4}), 1, true, titles);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "[&B] - TSO on host");
    EXPECT_EQ(items[1].text, "[&C] - " + std::string(126, 't'));
    EXPECT_EQ(items[2].text, "[&E] - ");
    // Fewer titles than slots are not read past.
    EXPECT_EQ(windowList(table({30}), 1, true, std::span(titles.data(), 3))[0].text, "[&4] - ");
}

TEST(CommonAreaSwitching, NextAndPreviousWrap) {
    struct Case {
        std::vector<int> held;
        int own;
        bool forward;
        std::optional<int> expected;
    };
    const std::vector<Case> cases{
        {{0, 2, 5}, 2, true, 5},  {{0, 2, 5}, 5, true, 0}, {{0, 2, 5}, 0, false, 5},
        {{0, 2, 5}, 2, false, 0}, {{35, 0}, 35, true, 0},  {{35, 0}, 0, false, 35},
        {{7}, 7, true, 7},        {{7}, 7, false, 7},      {{}, 3, true, std::nullopt},
        {{4}, kNoIndex, true, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextSession(table(c.held), c.own, c.forward), c.expected)
            << "own " << c.own << (c.forward ? " forward" : " backward");
}

TEST(CommonAreaSwitching, VisibleSessionsSkipMinimizedWindows) {
    std::array<bool, kSlotCount> minimized{};
    minimized[2] = true;
    minimized[5] = true;
    const auto t = table({0, 2, 5, 9});
    EXPECT_EQ(nextSession(t, 0, true, minimized), 9);
    EXPECT_EQ(nextSession(t, 9, false, minimized), 0);
    // Only minimized others: the own window (also minimized here) is all there is.
    std::array<bool, kSlotCount> all{};
    for (int i : {0, 2, 5, 9})
        all[static_cast<std::size_t>(i)] = true;
    EXPECT_EQ(nextSession(t, 0, true, all), std::nullopt);
}

TEST(CommonAreaCascade, ColumnsRestartAfterCascadeMax) {
    CascadeSettings s;  // start (20,20), next (22,22), restart (300,0), max 26
    Point after;
    const auto p = cascade(30, s.start, s, &after);
    ASSERT_EQ(p.size(), 30u);
    EXPECT_EQ(p[0], (Point{20, 20}));
    EXPECT_EQ(p[25], (Point{20 + 25 * 22, 20 + 25 * 22}));
    EXPECT_EQ(p[26], (Point{p[0].x + 300, p[0].y}));  // the 27th, 300 px right of the first
    EXPECT_EQ(p[29], (Point{320 + 3 * 22, 20 + 3 * 22}));
    EXPECT_EQ(after, (Point{320 + 4 * 22, 20 + 4 * 22}));

    s.max = 2;
    s.restart = {10, 100};
    const auto q = cascade(4, {0, 0}, s, &after);
    EXPECT_EQ(q, (std::vector<Point>{{0, 0}, {22, 22}, {10, 100}, {32, 122}}));
    EXPECT_EQ(after, (Point{20, 200}));  // a full column: the next goes to a new one
    s.max = 0;                           // no division by zero: one window a column
    EXPECT_EQ(cascade(2, {0, 0}, s), (std::vector<Point>{{0, 0}, {10, 100}}));
    EXPECT_TRUE(cascade(0, {5, 5}, s, &after).empty());
    EXPECT_EQ(after, (Point{5, 5}));
}

}  // namespace
}  // namespace cedar::area
