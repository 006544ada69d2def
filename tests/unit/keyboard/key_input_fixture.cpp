#include "key_input_fixture.h"

#include "test_paths.h"

namespace cedar::test {

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

KeyInputFixture::KeyInputFixture(const std::string& keyboard)
    : input({controller, t.session.status, state, settings, map, pages, inputSettings, nullptr,
             &scheduler},
            &macros, &inputUi) {
    const std::string country = readFile(dataDir() + "/country.lst");
    loadCountryText(country, CountryMode::Keyboard, {"", "", keyboard}, pages);
    const auto file = bytesOf(readFile(dataDir() + "/defaults/standard.key"));
    keys::LayoutLoadOptions options;
    options.countryLayout = pages.keyLayout;
    if (map.load(file, "standard.key", options)) ADD_FAILURE() << "standard.key not loaded";
    load(Screen::Form);
}

keys::RawKey KeyInputFixture::raw(int inputCode, Mods mods, char32_t unshifted) const {
    keys::RawKey key;
    key.scan = keys::scanCodeOfInputCode(inputCode).value_or(keys::ScanCode{});
    key.virtualKey =
        keys::letterVirtualKey(keys::usVirtualKey(key.scan, input.numLockOn()), unshifted);
    key.shift = mods.shift;
    key.ctrl = mods.ctrl;
    key.alt = mods.alt;
    return key;
}

void KeyInputFixture::down(int inputCode, Mods mods, char32_t unshifted, bool repeat) {
    auto key = raw(inputCode, mods, unshifted);
    key.previousDown = repeat;
    input.onKeyDown(key);
}

void KeyInputFixture::up(int inputCode, Mods mods, char32_t unshifted) {
    auto key = raw(inputCode, mods, unshifted);
    key.previousDown = true;
    input.onKeyUp(key);
}

void KeyInputFixture::stroke(int inputCode, Mods mods, char32_t unshifted) {
    if (mods.shift) down(input::kLeftShift, {.shift = true});
    if (mods.ctrl) down(input::kLeftCtrl, {.shift = mods.shift, .ctrl = true});
    // AltGr: the window system reports no Alt for it; the map's right Alt
    // shift key selects the Alt column.
    if (mods.alt) down(input::kRightAlt, {.shift = mods.shift, .ctrl = mods.ctrl});
    const Mods held{mods.shift, mods.ctrl, false};
    down(inputCode, held, unshifted);
    up(inputCode, held, unshifted);
    if (mods.alt) up(input::kRightAlt, {.shift = mods.shift, .ctrl = mods.ctrl});
    if (mods.ctrl) up(input::kLeftCtrl, {.shift = mods.shift});
    if (mods.shift) up(input::kLeftShift);
}

void KeyInputFixture::emptyField() {
    keys("EraseInput");
    ps().setCursor(130);
}

}  // namespace cedar::test
