#include "screen/host_screen.h"

#include <algorithm>

namespace cedar {

void HostScreen::applyRecord(std::span<const std::uint8_t> record, const RecordOrigin& origin) {
    records_.processRecord(record, origin);
}

void HostScreen::sessionUnbound() {
    ps_.eraseScreen(SizeMode::Default);
}

void HostScreen::sscpLuDataStarted() {
    ps_.eraseScreen(SizeMode::Default);
}

void HostScreen::echoWithdrawn() {
    ps_.eraseScreen(SizeMode::Default);
}

void HostScreen::translationModeChanged(TranslationMode mode) {
    codePages_.translationMode = mode;
}

// The cursor to the same column of the next row; on the last row the
// characters scroll up one row and the last row becomes blank.
void HostScreen::newLine() {
    const int columns = ps_.columns();
    const int column = ps_.cursor() % columns;
    const int row = ps_.cursor() / columns;
    if (row + 1 >= ps_.rows()) {
        auto& chars = ps_.characters();
        std::copy(chars.begin() + columns, chars.begin() + ps_.positions(), chars.begin());
        std::fill(chars.begin() + ps_.positions() - columns, chars.begin() + ps_.positions(),
                  std::uint8_t{0x20});
        ps_.markAll();
        ps_.setCursor((ps_.rows() - 1) * columns + column);
    } else {
        ps_.setCursor(ps_.cursor() + columns);
    }
}

void HostScreen::applyLineModeData(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) {
        switch (b) {
            case 0x07:
                if (updateSound_) updateSound_();
                break;
            case 0x08:
                ps_.setCursor(ps_.previousAddress(ps_.cursor()));
                break;
            case 0x0D:
                ps_.setCursor(ps_.cursor() - ps_.cursor() % ps_.columns());
                break;
            case 0x0A:
                newLine();
                break;
            default: {
                if (b < 0x20) break;
                const int p = ps_.cursor();
                ps_.characters()[p] = b;
                ps_.colors()[p] = 0;
                ps_.mark(p);
                const int next = ps_.nextAddress(p);
                if (next == 0) {
                    ps_.setCursor((ps_.rows() - 1) * ps_.columns());
                    newLine();
                } else {
                    ps_.setCursor(next);
                }
                break;
            }
        }
    }
    status_ = SessionStatus::Unlocked;
}

}  // namespace cedar
