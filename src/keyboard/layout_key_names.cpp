#include "keyboard/layout_key_names.h"

#include <array>

namespace cedar::keys {

namespace {

constexpr std::array<std::string_view, kPictureKeyCount> kNames = {
    "Escape",   "F1",      "F2",       "F3",       "F4",      "F5",       "F6",      "F7",
    "F8",       "F9",      "F10",      "F11",      "F12",     "Print",    "ScrLock", "Pause",
    "`",        "1",       "2",        "3",        "4",       "5",        "6",       "7",
    "8",        "9",       "0",        "-",        "=",       "BackSp",   "Insert",  "Home",
    "PageUp",   "NumLock", "Num /",    "Num *",    "Num -",   "Tab",      "Q",       "W",
    "E",        "R",       "T",        "Y",        "U",       "I",        "O",       "P",
    "[",        "]",       "\\",       "Delete",   "End",     "PageDown", "Num-7",   "Num-8",
    "Num-9",    "Num +",   "CapsLock", "A",        "S",       "D",        "F",       "G",
    "H",        "J",       "K",        "L",        ";",       "'",        "Enter",   "Num-4",
    "Num-5",    "Num-6",   "Shift-L",  "Z",        "X",       "C",        "V",       "B",
    "N",        "M",       ",",        ".",        "/",       "Shift-R",  "Up",      "Num-1",
    "Num-2",    "Num-3",   "Enter-R",  "Ctrl-L",   "Alt-L",   "Space",    "Alt-R",   "Ctrl-R",
    "Left",     "Down",    "Right",    "Num-0",    "Num-Dot", "Click-L",  "Click-R", "Double-L",
    "Double-R", "Lock-7",  "Lock-8",   "Lock-9",   "Lock-4",  "Lock-5",   "Lock-6",  "Lock-1",
    "Lock-2",   "Lock-3",  "Lock-0",   "Lock-Dot", "Click-M", "Double-M", "Local",
};

}  // namespace

std::string_view keyIndexName(int index) {
    if (index < 0 || index >= kPictureKeyCount) return {};
    return kNames[static_cast<std::size_t>(index)];
}

std::optional<int> keyIndexByName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (kNames[i] == name) return static_cast<int>(i);
    return std::nullopt;
}

int numLockIndex(int index) {
    if (index >= 54 && index <= 56) return index - 54 + 105;
    if (index >= 71 && index <= 73) return index - 71 + 108;
    if (index >= 87 && index <= 89) return index - 87 + 111;
    if (index == 99 || index == 100) return index - 99 + 114;
    return index;
}

bool hasNumLockIndex(int index) {
    return numLockIndex(index) != index;
}

}  // namespace cedar::keys
