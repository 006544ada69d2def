// The keyboard map of a keyboard layout and the country layout applied to it.
#include <algorithm>

#include "keyboard/layout_file.h"
#include "keyboard/layout_internal.h"
#include "keyboard/layout_key_names.h"

namespace cedar::keys {

using namespace layout_detail;

namespace {

std::size_t wordOffset(int key, int column) {
    return static_cast<std::size_t>(key) * kKeyEntrySize + static_cast<std::size_t>(column) * 2;
}

}  // namespace

KeyWord LayoutBlock::word(int key, int column) const {
    if (type_ != LayoutType::Keyboard || key < 0 || key >= keyCount_ || column < 0 ||
        column >= kKeyColumns)
        return kNoFunction;
    return get16(block_, wordOffset(key, column));
}

bool LayoutBlock::setWord(int key, int column, KeyWord value) {
    if (type_ != LayoutType::Keyboard || key < 0 || key >= keyCount_ || column < 0 ||
        column >= kKeyColumns)
        return false;
    set16(block_, wordOffset(key, column), value);
    return true;
}

void LayoutBlock::applyCountryLayout(std::span<const KeyLayoutRecord> records) {
    if (type_ != LayoutType::Keyboard) return;
    remembered_.clear();
    for (const KeyLayoutRecord& record : records) {
        const auto& b = record.bytes;
        if (b[0] == 0xFF) break;
        int key = b[0];
        if (key >= keyCount_) continue;
        if ((word(key, 0) & kNumLockFlag) != 0) key = numLockIndex(key);
        const std::uint8_t characters[kKeyColumns] = {b[1], b[2], b[3], b[3]};
        for (int column = 0; column < kKeyColumns; ++column) {
            const KeyWord current = word(key, column);
            // 00: the country has no character there; the word stays.
            if ((current & kAssigned) != 0 || characters[column] == 0) continue;
            remembered_.push_back({key, column, current});
            setWord(key, column, charKey(characters[column], flagsOf(current) & ~kKindMask));
        }
    }
}

void LayoutBlock::restoreCountryWords() {
    // Latest first, so a key named by two records gets its first word back.
    for (auto it = remembered_.rbegin(); it != remembered_.rend(); ++it) {
        const KeyWord current = word(it->key, it->column);
        if ((current & kAssigned) != 0) continue;
        const auto kept = static_cast<std::uint8_t>(flagsOf(current) & ~kKindMask);
        setWord(it->key, it->column, makeKey(kindOf(it->word), codeOf(it->word), kept));
    }
    remembered_.clear();
}

std::vector<std::uint8_t> LayoutBlock::saveBytes(SaveHow how,
                                                 std::span<const KeyLayoutRecord> countryLayout) {
    if (type_ != LayoutType::Keyboard) return fileBytes();
    if (how == SaveHow::FileDialog) restoreCountryWords();
    std::vector<std::uint8_t> out = fileBytes();
    applyCountryLayout(countryLayout);
    return out;
}

}  // namespace cedar::keys
