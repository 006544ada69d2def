#include "rexx/task_table.h"

namespace cedar {

RexxTaskTable::Start RexxTaskTable::start(std::string_view macroName) {
    Start result;
    result.ended = endAll();
    for (int i = 0; i < kSlots; ++i) {
        RexxTaskSlot& s = slot(i);
        if (s.taskId != 0) continue;
        s = RexxTaskSlot{};
        s.taskId = nextId_++;
        s.macroName = std::string(macroName);
        result.slot = i;
        break;
    }
    return result;
}

void RexxTaskTable::finish(int index) {
    if (index < 0 || index >= kSlots) return;
    slot(index) = RexxTaskSlot{};
    if (!anyRunning()) paused_ = false;
}

std::vector<int> RexxTaskTable::endAll() {
    std::vector<int> ended;
    for (int i = 0; i < kSlots; ++i) {
        RexxTaskSlot& s = slot(i);
        if (s.taskId != 0 && !s.ending) {
            s.ending = true;
            ended.push_back(i);
        }
    }
    return ended;
}

std::optional<int> RexxTaskTable::find(std::uint64_t taskId) const {
    if (taskId == 0) return std::nullopt;
    for (int i = 0; i < kSlots; ++i)
        if (slot(i).taskId == taskId) return i;
    return std::nullopt;
}

bool RexxTaskTable::anyRunning() const {
    for (const auto& s : slots_)
        if (s.taskId != 0) return true;
    return false;
}

RexxHaltAction RexxTaskTable::haltAction(int index) const {
    if (index < 0 || index >= kSlots || slot(index).taskId == 0 || slot(index).ending)
        return RexxHaltAction::Halt;
    return paused_ ? RexxHaltAction::Pause : RexxHaltAction::Continue;
}

void RexxTaskTable::noteResult(int index, std::string result) {
    slot(index).lastResult = std::move(result);
}

void RexxTaskTable::forgetResult(int index) {
    slot(index).lastResult.reset();
}

bool RexxTaskTable::suppressCommand(int index, std::string_view command) {
    RexxTaskSlot& s = slot(index);
    bool suppress = s.lastResult && *s.lastResult == command;
    s.lastResult.reset();
    return suppress;
}

bool RexxTaskTable::beginWait(int index, bool unlockOnly, std::string_view condition) {
    if (condition.size() > kMaxCondition) return false;
    RexxTaskSlot& s = slot(index);
    s.waiting = true;
    s.unlockOnly = unlockOnly;
    s.satisfied = false;
    s.recheck = false;
    s.condition = std::string(condition);
    return true;
}

void RexxTaskTable::endWait(int index) {
    RexxTaskSlot& s = slot(index);
    s.waiting = false;
    s.unlockOnly = false;
    s.satisfied = false;
    s.recheck = false;
    s.condition.clear();
}

std::vector<int> RexxTaskTable::keyboardRestored() {
    std::vector<int> woken;
    for (int i = 0; i < kSlots; ++i) {
        RexxTaskSlot& s = slot(i);
        if (s.taskId == 0 || !s.waiting) continue;
        if (s.unlockOnly)
            s.satisfied = true;
        else
            s.recheck = true;
        woken.push_back(i);
    }
    return woken;
}

}  // namespace cedar
