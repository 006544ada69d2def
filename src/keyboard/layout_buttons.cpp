// Toolbar and keypad button blocks.
#include "keyboard/layout_file.h"
#include "keyboard/layout_internal.h"

namespace cedar::keys {

using namespace layout_detail;

namespace layout_detail {

std::optional<std::size_t> checkButtonEntries(std::span<const std::uint8_t> body) {
    if (body.size() < kButtonBlockHeaderSize) return std::nullopt;
    const std::size_t listOffset = get16(body, 2);
    if (listOffset < kButtonBlockHeaderSize || listOffset >= body.size()) return std::nullopt;
    std::size_t at = kButtonBlockHeaderSize;
    for (int i = 0; i < body[1]; ++i) {
        if (at + kButtonEntryMinSize > listOffset) return std::nullopt;
        const std::size_t size = get16(body, at + 6);
        if (size < kButtonEntryMinSize || at + size > listOffset) return std::nullopt;
        at += size;
    }
    return listOffset;
}

}  // namespace layout_detail

std::uint8_t LayoutBlock::blockFlags() const {
    return type_ == LayoutType::Keyboard ? 0 : block_[0];
}

void LayoutBlock::setBlockFlags(std::uint8_t flags) {
    if (type_ != LayoutType::Keyboard) block_[0] = flags;
}

int LayoutBlock::buttonCount() const {
    return type_ == LayoutType::Keyboard ? 0 : block_[1];
}

std::optional<ButtonEntry> LayoutBlock::button(int index) const {
    if (index < 0 || index >= buttonCount()) return std::nullopt;
    // Entry sizes were checked when the block was taken in.
    std::size_t at = kButtonBlockHeaderSize;
    for (int i = 0; i < index; ++i)
        at += get16(block_, at + 6);
    ButtonEntry entry;
    entry.offset = at;
    entry.size = get16(block_, at + 6);
    entry.flags = block_[at];
    entry.x = get16(block_, at + 2);
    entry.y = get16(block_, at + 4);
    for (int c = 0; c < kKeyColumns; ++c)
        entry.words[static_cast<std::size_t>(c)] =
            get16(block_, at + kButtonWordsOffset + static_cast<std::size_t>(c) * 2);
    entry.picture = std::span<const std::uint8_t>(block_).subspan(
        at + kButtonPictureOffset, entry.size - kButtonPictureOffset);
    return entry;
}

bool LayoutBlock::setButtonWord(int index, int column, KeyWord value) {
    const auto entry = button(index);
    if (!entry || column < 0 || column >= kKeyColumns) return false;
    set16(block_, entry->offset + kButtonWordsOffset + static_cast<std::size_t>(column) * 2, value);
    return true;
}

}  // namespace cedar::keys
