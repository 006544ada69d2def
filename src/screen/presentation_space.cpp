#include "screen/presentation_space.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace cedar {

namespace {

// The 6-bit code of each value 0..63 in the 12-bit buffer address form.
constexpr std::array<std::uint8_t, 64> kAddressCodes = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

bool validSize(int rows, int columns) {
    return rows > 0 && columns > 0 && rows * columns <= PresentationSpace::kMaxPositions;
}

}  // namespace

std::array<ScreenModel, 5> defaultScreenModels() {
    return {{{"IBM-3278-2-E", 80, 24},
             {"IBM-3278-3-E", 80, 32},
             {"IBM-3278-4-E", 80, 43},
             {"IBM-3278-5-E", 132, 27},
             {"IBM-DYNAMIC", 0, 0}}};
}

ColorItems ColorItems::defaults() {
    ColorItems items;
    // Host colours: neutral, blue, red, pink, green, turquoise, yellow, white
    // map onto palette entries 0..7 (8..15 repeat them), on black.
    for (int i = 0; i < 16; ++i) {
        items.foreground[i] = static_cast<std::uint8_t>(i == 0 ? 7 : i & 0x0F);
        items.background[i] = 0;
    }
    items.foreground[kLowUnprotected] = 4;   // green
    items.foreground[kHighUnprotected] = 2;  // red
    items.foreground[kLowProtected] = 1;     // blue
    items.foreground[kHighProtected] = 7;    // white
    items.foreground[kDefaultColor] = 4;
    for (int i = 21; i < 32; ++i)
        items.foreground[i] = 7;
    return items;
}

PresentationSpace::PresentationSpace(const ScreenSettings& settings)
    : settings_(settings), image_(std::make_unique<Image>()), changed_(std::make_unique<Plane>()) {}

void PresentationSpace::setListener(ScreenListener* listener) {
    listener_ = listener != nullptr ? listener : &defaultListener_;
}

void PresentationSpace::markAll() {
    std::fill_n(changed_->begin(), positions_, std::uint8_t{1});
    listener_->invalidateAll();
}

void PresentationSpace::configureSizes(const ScreenSessionOptions& options,
                                       const std::array<ScreenModel, 5>& models) {
    defaultRows_ = options.defaultRows > 0 ? options.defaultRows : 24;
    defaultColumns_ = options.defaultColumns > 0 ? options.defaultColumns : 80;
    if (!validSize(defaultRows_, defaultColumns_)) {
        defaultRows_ = 24;
        defaultColumns_ = 80;
    }
    const int index = std::clamp(options.modelIndex, 0, 4);
    if (index == 4) {
        // User-defined: 24..200 rows, 80..200 columns, below 16384 positions.
        const bool ok = options.userRows >= 24 && options.userRows <= 200 &&
                        options.userColumns >= 80 && options.userColumns <= 200 &&
                        options.userRows * options.userColumns <= kMaxPositions;
        alternateRows_ = ok ? options.userRows : 24;
        alternateColumns_ = ok ? options.userColumns : 80;
    } else {
        alternateRows_ = models[index].rows;
        alternateColumns_ = models[index].columns;
    }
    alternateTerminalType_ = models[index].terminalType;
    if (!configured_) {
        // At start the default size is in force, with no size mode yet.
        rows_ = defaultRows_;
        columns_ = defaultColumns_;
        positions_ = rows_ * columns_;
        configured_ = true;
    }
    sizeMode_ = SizeMode::None;
}

int PresentationSpace::sizeRows(SizeMode size) const {
    return size == SizeMode::Alternate ? alternateRows_ : defaultRows_;
}

int PresentationSpace::sizeColumns(SizeMode size) const {
    return size == SizeMode::Alternate ? alternateColumns_ : defaultColumns_;
}

std::array<std::uint8_t, 2> PresentationSpace::encodeBufferAddress(int position) const {
    if (positions_ <= 4096) {
        return {kAddressCodes[(position >> 6) & 0x3F], kAddressCodes[position & 0x3F]};
    }
    return {static_cast<std::uint8_t>((position >> 8) & 0x3F),
            static_cast<std::uint8_t>(position & 0xFF)};
}

int PresentationSpace::decodeAddressBytes(std::uint8_t b1, std::uint8_t b2) {
    if (b1 == 0xFF && b2 == 0xEF) return 0;  // the record ended where the address stands
    if (b1 >= 0x40) return ((b1 & 0x3F) << 6) | (b2 & 0x3F);
    return b1 * 256 + b2;
}

int PresentationSpace::findField(int position) {
    if (position < 0 || position >= positions_) return -1;
    const Plane& attrs = image_->attributes;
    if (attrs[position] != 0) return position;
    // Walk backwards, wrapping, until back at the start.
    for (int p = previousAddress(position); p != position; p = previousAddress(p)) {
        if (attrs[p] != 0) {
            currentFieldAttribute = attrs[p];
            fieldHighlight = image_->highlights[p];
            return p;
        }
    }
    currentFieldAttribute = 0;
    fieldHighlight = 0;
    return -1;
}

void PresentationSpace::eraseScreen(SizeMode size, EraseMode mode) {
    if (mode != EraseMode::KeepContents) {
        // A larger size to come is cleared whole: positions beyond the
        // current size may still hold what an earlier larger screen left.
        int clear = positions_;
        if (size == SizeMode::Default || size == SizeMode::Alternate)
            clear = std::max(clear, sizeRows(size) * sizeColumns(size));
        const auto n = static_cast<std::size_t>(clear);
        std::fill_n(image_->characters.begin(), n, std::uint8_t{0});
        std::fill_n(image_->attributes.begin(), n, std::uint8_t{0});
        std::fill_n(image_->colors.begin(), n, std::uint8_t{0});
        std::fill_n(image_->highlights.begin(), n, std::uint8_t{0});
        std::fill_n(image_->charsets.begin(), n, std::uint8_t{0});
        setCursor(0);
        currentFieldAttribute = 0;
        insertMode = false;
        if (!settings_.wordWrapAlways) wordWrap = settings_.wordWrapDefault;
    }
    if (size != sizeMode_ && (size == SizeMode::Default || size == SizeMode::Alternate)) {
        const SizeMode oldMode = sizeMode_;
        rows_ = sizeRows(size);
        columns_ = sizeColumns(size);
        positions_ = rows_ * columns_;
        sizeMode_ = size;
        // A smaller screen may leave the cursor outside it.
        if (cursor_ >= positions_) setCursor(0);
        listener_->sizeChanged(oldMode, size);
    }
    markAll();
}

void PresentationSpace::resetAllModifiedTags() {
    // Clearing bit 0x01 of a character position's 0 changes nothing, so whole
    // words are masked at a time.
    std::uint8_t* attrs = image_->attributes.data();
    const int n = positions_;
    constexpr std::uint64_t kMask = ~0x0101010101010101ULL;
    int p = 0;
    for (; p + 8 <= n; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, attrs + p, sizeof word);
        word &= kMask;
        std::memcpy(attrs + p, &word, sizeof word);
    }
    for (; p < n; ++p)
        attrs[p] &= static_cast<std::uint8_t>(~fa::kModified);
}

void PresentationSpace::eraseAllUnprotected() {
    if (!screenFormatted) {
        eraseScreen(sizeMode_);
        return;
    }
    Plane& attrs = image_->attributes;
    bool unprotected = false;
    // Start at the first attribute so that the field wrapping past the last
    // position is handled in one pass.
    int first = -1;
    for (int p = 0; p < positions_; ++p) {
        if (attrs[p] != 0) {
            first = p;
            break;
        }
    }
    if (first < 0) return;
    int p = first;
    do {
        if (attrs[p] != 0) {
            unprotected = !fa::isProtected(attrs[p]);
            if (unprotected) attrs[p] &= static_cast<std::uint8_t>(~fa::kModified);
        } else if (unprotected) {
            image_->characters[p] = 0;
            image_->highlights[p] = 0;
            image_->charsets[p] = 0;
            mark(p);
        }
        p = nextAddress(p);
    } while (p != first);
}

void PresentationSpace::fieldStatistics() {
    // This runs after every host record, so it skips eight character
    // positions at a time: most of a screen is not field attributes.
    const std::uint8_t* attrs = image_->attributes.data();
    const std::uint8_t* chars = image_->characters.data();
    int fields = 0;
    int inputs = 0;
    auto countAt = [&](int p) {
        if (attrs[p] == 0) return;
        ++fields;
        if (isInputFieldAttribute(p)) ++inputs;
    };
    int p = 0;
    for (; p + 8 <= positions_; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, attrs + p, sizeof word);
        // Only the bytes that are attributes: typically one in a word.
        while (word != 0) {
            const int bit = std::countr_zero(word);
            const int k = std::endian::native == std::endian::little ? bit / 8 : 7 - bit / 8;
            countAt(p + k);
            word &= ~(std::uint64_t{0xFF} << (bit / 8 * 8));
        }
    }
    for (; p < positions_; ++p)
        countAt(p);
    bool blank = true;
    for (int q = 0; q < positions_; ++q) {
        if (chars[q] > 0x40) {
            blank = false;
            break;
        }
    }
    inputFieldCount = inputs;
    screenFormatted = fields != 0;
    screenBlank = blank;
}

bool PresentationSpace::isInputFieldAttribute(int position) const {
    const std::uint8_t a = image_->attributes[position];
    if (a == 0) return false;
    if (!fa::isProtected(a)) return true;
    return settings_.wang && (image_->highlights[position] & 0x08) != 0;
}

int PresentationSpace::tabFrom(int from) const {
    if (!screenFormatted || inputFieldCount == 0) return 0;
    int p = from < 0 || from >= positions_ ? 0 : from;
    int passesOverZero = (p == 0) ? 1 : 0;
    // At most two full turns: the walk gives up once it passed position 0 twice.
    for (int steps = 0; steps <= 2 * positions_ + 1; ++steps) {
        if (isInputFieldAttribute(p)) {
            const int next = nextAddress(p);
            if (!isAttribute(next)) return next;
        }
        p = nextAddress(p);
        if (p == 0 && ++passesOverZero >= 2) return 0;
    }
    return 0;
}

std::uint8_t PresentationSpace::baseColorOf(std::uint8_t attribute) const {
    const bool prot = (attribute & fa::kProtected) != 0;
    const bool intens = (attribute & fa::kIntensified) != 0;
    const int item = prot ? (intens ? ColorItems::kHighProtected : ColorItems::kLowProtected)
                          : (intens ? ColorItems::kHighUnprotected : ColorItems::kLowUnprotected);
    return colorItems_.colorByte(item);
}

std::uint8_t PresentationSpace::hostColorByte(std::uint8_t value) const {
    return colorItems_.colorByte(value & 0x0F);
}

}  // namespace cedar
