// The REXX task table: the start rule, slots, halt answers, command
// suppression and the state of waits.
#include "rexx/task_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cedar {
namespace {

TEST(RexxTaskTable, StartEndsRunningTasksAndTakesTheFirstFreeSlot) {
    RexxTaskTable table;
    EXPECT_FALSE(table.anyRunning());
    EXPECT_EQ(table.statusCharacter(), ' ');

    auto first = table.start("one");
    ASSERT_EQ(first.slot, 0);
    const std::uint64_t firstId = table.slot(0).taskId;
    EXPECT_TRUE(first.ended.empty());
    EXPECT_EQ(table.statusCharacter(), 'P');
    EXPECT_EQ(table.haltAction(0), RexxHaltAction::Continue);

    // The first task has not finished yet: the second start asks it to stop
    // and takes the next slot.
    auto second = table.start("two");
    ASSERT_EQ(second.slot, 1);
    EXPECT_EQ(second.ended, std::vector<int>{0});
    EXPECT_EQ(table.haltAction(0), RexxHaltAction::Halt);
    EXPECT_EQ(table.haltAction(1), RexxHaltAction::Continue);
    EXPECT_EQ(table.slot(1).macroName, "two");

    // A third start ends only the task not already ending.
    auto third = table.start("three");
    EXPECT_EQ(third.slot, 2);
    EXPECT_EQ(third.ended, std::vector<int>{1});

    table.finish(0);
    auto fourth = table.start("four");
    EXPECT_EQ(fourth.slot, 0);  // the freed slot, with fresh flags
    EXPECT_FALSE(table.slot(0).ending);
    EXPECT_EQ(table.slot(0).macroName, "four");
    EXPECT_NE(table.slot(0).taskId, firstId);
    EXPECT_FALSE(table.find(firstId));
}

TEST(RexxTaskTable, TenSlotsAtMostAndIdsAreNotReused) {
    RexxTaskTable table;
    std::vector<std::uint64_t> ids;
    for (int i = 0; i < RexxTaskTable::kSlots; ++i) {
        auto s = table.start("m" + std::to_string(i));
        ASSERT_EQ(s.slot, i);
        ids.push_back(table.slot(i).taskId);
    }
    auto full = table.start("eleventh");
    EXPECT_FALSE(full.slot);
    EXPECT_EQ(full.ended, std::vector<int>{9});  // the others were already ending
    for (int i = 0; i < RexxTaskTable::kSlots; ++i)
        EXPECT_EQ(table.find(ids[static_cast<std::size_t>(i)]), i);

    table.finish(4);
    EXPECT_FALSE(table.find(ids[4]));
    auto again = table.start("again");
    ASSERT_EQ(again.slot, 4);
    EXPECT_NE(table.slot(4).taskId, ids[4]);  // a finished task's id never finds the new one
    EXPECT_FALSE(table.find(0));
    table.finish(-1);  // out of range: ignored
    table.finish(RexxTaskTable::kSlots);
}

TEST(RexxTaskTable, PauseAndStop) {
    RexxTaskTable table;
    int s = *table.start("m").slot;
    table.setPaused(true);
    EXPECT_EQ(table.haltAction(s), RexxHaltAction::Pause);
    table.setPaused(false);
    EXPECT_EQ(table.haltAction(s), RexxHaltAction::Continue);
    table.setPaused(true);
    EXPECT_EQ(table.endAll(), std::vector<int>{s});
    EXPECT_EQ(table.haltAction(s), RexxHaltAction::Halt);  // stop wins over pause
    table.finish(s);
    EXPECT_FALSE(table.paused());  // the last task gone: nothing stays paused
    EXPECT_EQ(table.haltAction(s), RexxHaltAction::Halt);  // a free slot never runs on
}

TEST(RexxTaskTable, CommandSuppression) {
    // Each row: results noted (and forgotten) before a command arrives.
    struct Case {
        const char* what;
        std::optional<std::string> noted;
        bool forget;
        const char* command;
        bool suppressed;
    } cases[] = {
        {"a clause that is only key(\"Enter\")", "0", false, "0", true},
        {"x = screen(1,1,10) then EXECIO", "READY     ", false, "EXECIO * DISKW f (STEM a.", false},
        {"getvar's result assigned", "5", true, "5", false},
        {"no function called", std::nullopt, false, "EXECIO * CLIPR (STEM a.", false},
        {"an empty result issued", "", false, "", true},
    };
    for (const auto& c : cases) {
        RexxTaskTable table;
        int s = *table.start("m").slot;
        if (c.noted) table.noteResult(s, *c.noted);
        if (c.forget) table.forgetResult(s);
        EXPECT_EQ(table.suppressCommand(s, c.command), c.suppressed) << c.what;
        // The note is used once: the same command again is carried out.
        EXPECT_FALSE(table.suppressCommand(s, c.command)) << c.what;
    }
}

TEST(RexxTaskTable, WaitsAndKeyboardRestores) {
    RexxTaskTable table;
    // Three tasks at once (each start asks the others to stop; they are kept
    // running here to see that a restore reaches every waiting task).
    int unlock = *table.start("a").slot;
    int cond = *table.start("b").slot;
    int idle = *table.start("c").slot;
    for (int s : {unlock, cond, idle})
        table.slot(s).ending = false;

    EXPECT_TRUE(table.keyboardRestored().empty());  // nobody waits
    ASSERT_TRUE(table.beginWait(unlock, true, ""));
    ASSERT_TRUE(table.beginWait(cond, false, "onscreen('READY')"));
    EXPECT_FALSE(table.beginWait(idle, false, std::string(201, 'x')));
    EXPECT_FALSE(table.slot(idle).waiting);
    EXPECT_TRUE(table.beginWait(idle, false, std::string(200, 'x')));
    table.endWait(idle);

    EXPECT_EQ(table.keyboardRestored(), (std::vector<int>{unlock, cond}));
    EXPECT_TRUE(table.slot(unlock).satisfied);
    EXPECT_FALSE(table.slot(cond).satisfied);  // its own thread tests the condition
    EXPECT_TRUE(table.slot(cond).recheck);
    EXPECT_EQ(table.slot(cond).condition, "onscreen('READY')");

    // A wait after a time-out starts unsatisfied: an earlier restore does not
    // end it at once.
    table.endWait(unlock);
    ASSERT_TRUE(table.beginWait(unlock, true, ""));
    EXPECT_FALSE(table.slot(unlock).satisfied);
    table.endWait(unlock);
    table.endWait(cond);
    EXPECT_FALSE(table.slot(cond).waiting);
    EXPECT_TRUE(table.slot(cond).condition.empty());
    EXPECT_TRUE(table.keyboardRestored().empty());
}

}  // namespace
}  // namespace cedar
