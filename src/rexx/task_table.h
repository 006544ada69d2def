// The REXX task table: ten slots, one per running REXX macro. The table holds
// what the session and the task threads share about a task; the platform
// guards it with one mutex and wakes tasks through condition variables.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cedar {

struct RexxTaskSlot {
    std::uint64_t taskId = 0;  // 0 = free
    std::string macroName;
    bool ending = false;      // asked to stop: the halt exit ends the program
    bool waiting = false;     // in wait or waitunlocked
    bool unlockOnly = false;  // waitunlocked: any keyboard restore satisfies the wait
    bool satisfied = false;   // a restore came that ends an unlockOnly wait
    bool recheck = false;     // a restore came: a conditional wait tests its condition again
    bool sleeping = false;    // in shortwait
    std::string condition;    // the condition of a pending wait
    // The result of the function the program called last, while it may still
    // come back as the command of a clause that is only that call.
    std::optional<std::string> lastResult;
};

// What the halt exit tells a task between clauses.
enum class RexxHaltAction { Continue, Halt, Pause };

class RexxTaskTable {
  public:
    static constexpr int kSlots = 10;
    static constexpr std::size_t kMaxCondition = 200;

    struct Start {
        std::optional<int> slot;  // nothing when all ten slots are in use
        std::vector<int> ended;   // the tasks this start asked to stop
    };

    // Starting a macro ends every task still running (they are marked
    // ending and leave their slots when their threads finish), then takes the
    // first free slot with fresh flags.
    Start start(std::string_view macroName);
    // The task's thread has finished: its slot is free again.
    void finish(int slot);
    // Asks every running task to stop (Stop, Break); returns their slots.
    std::vector<int> endAll();

    std::optional<int> find(std::uint64_t taskId) const;
    const RexxTaskSlot& slot(int index) const { return slots_.at(static_cast<std::size_t>(index)); }
    RexxTaskSlot& slot(int index) { return slots_.at(static_cast<std::size_t>(index)); }
    bool anyRunning() const;
    // The macro status character: 'P' while a task runs, else blank.
    char statusCharacter() const { return anyRunning() ? 'P' : ' '; }

    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }
    RexxHaltAction haltAction(int slot) const;

    // Command suppression. Every function notes its result; getvar and a
    // successful putvar forget it. A command to the CEDAR environment is
    // ignored only when its text is the noted result (the clause was the call
    // alone); either way the note is gone afterwards.
    void noteResult(int slot, std::string result);
    void forgetResult(int slot);
    bool suppressCommand(int slot, std::string_view command);

    // Waits. beginWait fails (false) for a condition over 200 bytes.
    bool beginWait(int slot, bool unlockOnly, std::string_view condition);
    void endWait(int slot);
    // A keyboard restore: unlock-only waits are satisfied, conditional waits
    // are asked to test again on their own thread. Returns the slots to wake.
    std::vector<int> keyboardRestored();

  private:
    std::array<RexxTaskSlot, kSlots> slots_{};
    std::uint64_t nextId_ = 1;
    bool paused_ = false;
};

}  // namespace cedar
