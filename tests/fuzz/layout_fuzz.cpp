// Fuzzes the layout-file readers. The input is a file; it is loaded as a
// keyboard, toolbar and keypad file, with and without the additional keys and
// a country layout. A file that loads must save to bytes that load as the same
// block, and the macro-name list and button operations must stay in bounds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "keyboard/layout_file.h"

namespace {

using namespace cedar::keys;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

std::vector<cedar::KeyLayoutRecord> countryLayout() {
    std::vector<cedar::KeyLayoutRecord> records(4);
    const int keys[] = {38, 100, 130};
    for (std::size_t i = 0; i < 3; ++i) {
        records[i].bytes[0] = static_cast<std::uint8_t>(keys[i]);
        records[i].bytes[1] = 'a';
        records[i].bytes[2] = 'A';
        records[i].bytes[3] = '@';
    }
    records[3].bytes[0] = 0xFF;
    return records;
}

void exercise(LayoutBlock& block) {
    for (int i = 0; i < block.macroCount(); ++i) {
        const auto name = block.macroNameAt(i);
        check(name.has_value() && !name->empty());
        check(block.macroIndex(*name) <= i);
    }
    check(!block.macroNameAt(block.macroCount()));
    for (int i = 0; i < block.buttonCount(); ++i) {
        const auto entry = block.button(i);
        check(entry.has_value());
        check(entry->offset + entry->size <= block.listOffset());
    }
    for (int k = 0; k < block.keyCount(); ++k)
        for (int c = 0; c < kKeyColumns; ++c)
            (void)block.word(k, c);
    const std::size_t size = block.layoutSize();
    const int count = block.macroCount();
    if (const auto index = block.addMacroName("fuzz")) {
        check(*index == count && block.layoutSize() == size + 5);
        check(block.macroIndex("FUZZ") >= 0);
    } else {
        check(count == kMaxMacroNames || size + 5 > kLayoutBlockSize);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const auto country = countryLayout();
    for (LayoutType type : {LayoutType::Keyboard, LayoutType::Toolbar, LayoutType::Keypad}) {
        for (bool additional : {false, true}) {
            LayoutBlock block(type);
            const auto before = block.fileBytes();
            const LayoutLoadOptions options{additional, {}};
            if (block.load(file, "fuzz", options)) {
                check(block.fileBytes() == before);
                continue;
            }
            check(block.layoutSize() <= kLayoutBlockSize);
            const auto saved = block.fileBytes();
            LayoutBlock again(type);
            check(!again.load(saved, "fuzz", {}));
            check(again.fileBytes() == saved);

            if (type == LayoutType::Keyboard) {
                // Country words put back by a dialog save give the file's words again.
                LayoutBlock withCountry(type);
                check(!withCountry.load(file, "fuzz", {additional, country}));
                check(withCountry.saveBytes(SaveHow::FileDialog, country) == saved);
            }
            exercise(block);
        }
    }
    return 0;
}
