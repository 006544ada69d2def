#include "keyboard/keyboard_state.h"

namespace cedar::keys {

bool TypeAheadQueue::push(KeyWord word) {
    if (full()) return false;
    ring_[write_] = word;
    write_ = (write_ + 1) % kSlots;
    return true;
}

std::optional<KeyWord> TypeAheadQueue::pop() {
    if (empty()) return std::nullopt;
    const KeyWord word = ring_[read_];
    read_ = (read_ + 1) % kSlots;
    return word;
}

void ScreenSnapshot::take(const PresentationSpace& ps) {
    if (!planes) planes = std::make_shared<PresentationSpace::Image>();
    *planes = ps.image();
    cursor = ps.cursor();
    positions = ps.positions();
}

bool ScreenSnapshot::restoreTo(PresentationSpace& ps) const {
    if (!taken() || positions != ps.positions()) return false;
    ps.image() = *planes;
    ps.setCursor(cursor < positions ? cursor : 0);
    ps.fieldStatistics();
    ps.markAll();
    return true;
}

}  // namespace cedar::keys
