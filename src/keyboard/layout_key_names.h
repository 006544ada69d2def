// Key indexes of the keyboard map: the physical keys of a PC keyboard (plus
// mouse buttons and the keypad's Num Lock variants), with the names the
// keyboard picture shows for them.
#pragma once

#include <optional>
#include <string_view>

namespace cedar::keys {

// Keys with a place in the keyboard picture; maps of 150 keys add 119..149.
inline constexpr int kPictureKeyCount = 119;

// The name of key index 0..118 ("Escape", "F1", "BackSp", "Num-7", "Click-L",
// "Lock-7", "Local", letters, digits and punctuation); empty for other indexes.
std::string_view keyIndexName(int index);
// The index of a key name (exact spelling), or nothing.
std::optional<int> keyIndexByName(std::string_view name);

// The index a keypad key takes while Num Lock is on (54-56 -> 105-107,
// 71-73 -> 108-110, 87-89 -> 111-113, 99, 100 -> 114, 115); other keys keep theirs.
int numLockIndex(int index);
// Whether the key is a keypad key with a Num Lock variant.
bool hasNumLockIndex(int index);

}  // namespace cedar::keys
