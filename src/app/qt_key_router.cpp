#include "qt_key_router.h"

#include <QKeyEvent>

#include "keyboard/text_input.h"

namespace cedar::app {

namespace {

struct KeyIndex {
    int qtKey;
    int index;
};

// Keys that have a function of their own in the map (not text).
constexpr KeyIndex kFunctionKeys[] = {
    {Qt::Key_Escape, 0},     {Qt::Key_Print, 13},   {Qt::Key_ScrollLock, 14}, {Qt::Key_Pause, 15},
    {Qt::Key_Backspace, 29}, {Qt::Key_Insert, 30},  {Qt::Key_Home, 31},       {Qt::Key_PageUp, 32},
    {Qt::Key_Tab, 37},       {Qt::Key_Backtab, 37}, {Qt::Key_Delete, 51},     {Qt::Key_End, 52},
    {Qt::Key_PageDown, 53},  {Qt::Key_Return, 70},  {Qt::Key_Up, 86},         {Qt::Key_Enter, 90},
    {Qt::Key_Left, 96},      {Qt::Key_Down, 97},    {Qt::Key_Right, 98},
};

// Keypad keys with Num Lock off act as the cursor keys they carry.
constexpr KeyIndex kKeypadKeys[] = {
    {Qt::Key_Home, 54},     {Qt::Key_Up, 55},     {Qt::Key_PageUp, 56},   {Qt::Key_Left, 71},
    {Qt::Key_Clear, 72},    {Qt::Key_Right, 73},  {Qt::Key_End, 87},      {Qt::Key_Down, 88},
    {Qt::Key_PageDown, 89}, {Qt::Key_Insert, 99}, {Qt::Key_Delete, 100},  {Qt::Key_Enter, 90},
    {Qt::Key_Plus, 57},     {Qt::Key_Minus, 36},  {Qt::Key_Asterisk, 35}, {Qt::Key_Slash, 34},
};

int columnOf(Qt::KeyboardModifiers m) {
    if (m & Qt::AltModifier) return 3;
    if (m & Qt::ControlModifier) return 2;
    if (m & Qt::ShiftModifier) return 1;
    return 0;
}

}  // namespace

std::optional<int> keyIndexOf(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 1 + (qtKey - Qt::Key_F1);
    if (keypad)
        for (const auto& k : kKeypadKeys)
            if (k.qtKey == qtKey) return k.index;
    for (const auto& k : kFunctionKeys)
        if (k.qtKey == qtKey) return k.index;
    return std::nullopt;
}

std::vector<keys::KeyWord> keyWordsFor(const QKeyEvent& event, const keys::LayoutBlock& map) {
    const auto modifiers = event.modifiers();
    const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
    int key = event.key();
    // Shift+Tab arrives as Backtab: the map's Shift column of Tab.
    int column = columnOf(modifiers);
    if (key == Qt::Key_Backtab) column = 1;
    if (const auto index = keyIndexOf(key, keypad)) {
        const keys::KeyWord word = map.word(*index, column);
        if (keys::kindOf(word) != keys::Kind::None) return {word};
        // Keypad digits and signs without a function of their own type text.
        if (!keypad) return {};
    }
    // Ctrl and Alt combinations without a map function type nothing.
    if ((modifiers & (Qt::ControlModifier | Qt::AltModifier)) != 0) return {};
    const std::string text = keys::utf8ToDisplay(event.text().toStdString());
    std::vector<keys::KeyWord> words;
    for (char c : text)
        words.push_back(keys::charKey(static_cast<std::uint8_t>(c)));
    return words;
}

}  // namespace cedar::app
