// Operator input for cedar_headless: screen positions given as rows and
// columns counted from 1, and key functions named as in the key list.
#pragma once

#include <optional>
#include <string_view>

#include "keyboard/key_list.h"
#include "keyboard/key_word.h"
#include "screen/presentation_space.h"

namespace cedar::headless {

// The screen position of ROW and COLUMN (from 1), or nothing when it lies
// off the screen.
std::optional<int> positionOf(const PresentationSpace& ps, long row, long column);

// The key word of the key-list function called `name` (without regard to
// case; ACTION names first, then EDIT, then OPER), carrying the list's
// default Immediate flag, so that Reset or Attn act while the keyboard is
// locked. Nothing for an unknown name.
std::optional<keys::KeyWord> keyWordByName(const keys::KeyList& list, std::string_view name);

// Key functions that act at a row and column given with them: MoveCursor,
// MoveCursorEnter and the selection functions that select at a position.
bool takesPosition(keys::KeyWord word);

}  // namespace cedar::headless
