// Keys of the window by Qt's logical key: the key index of the keyboard
// map (Enter 70, Tab 37, the F keys, the cursor and editing keys, ...) and
// its column for Shift, Ctrl or Alt; a key that types text (letters, digits,
// punctuation, with dead keys already composed by the window system) types
// its characters. This is the path until keys are read by their physical
// position.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "keyboard/key_word.h"
#include "keyboard/layout_file.h"

class QKeyEvent;

namespace cedar::app {

// The key words one key press stands for (none: not ours).
std::vector<keys::KeyWord> keyWordsFor(const QKeyEvent& event, const keys::LayoutBlock& map);

// The keyboard map's key index for a Qt key that has one, with the keypad flag.
std::optional<int> keyIndexOf(int qtKey, bool keypad);

}  // namespace cedar::app
