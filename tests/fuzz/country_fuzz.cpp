// Fuzzes the country file reader in each of its three modes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "screen/code_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    cedar::CountrySelection sel{"037", "DOS 437", "037"};
    for (auto mode :
         {cedar::CountryMode::Screen, cedar::CountryMode::Keyboard, cedar::CountryMode::Dialog}) {
        cedar::CodePages pages;
        cedar::CountryLists lists;
        cedar::loadCountryText(text, mode, sel, pages, &lists);
        // Every list stays terminated within its capacity.
        bool terminated = false;
        for (const auto& r : pages.keyLayout)
            terminated |= r.bytes[0] == 0xFF;
        if (mode == cedar::CountryMode::Keyboard && !terminated) __builtin_trap();
    }
    return 0;
}
