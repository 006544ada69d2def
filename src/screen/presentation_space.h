// The presentation space: the session's model of the 3270 screen. Parallel
// byte planes indexed by buffer position (row * columns + column), plus the
// geometry and the cursor. All position arithmetic wraps at `positions`. The
// state the outbound orders carry from one order to the next belongs to the
// RecordProcessor.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "screen/screen_options.h"

namespace cedar {

// Field attribute bits as stored (the 0x80 marker masked out).
namespace fa {
constexpr std::uint8_t kMarker = 0x80;
constexpr std::uint8_t kProtected = 0x20;
constexpr std::uint8_t kNumeric = 0x10;
constexpr std::uint8_t kAutoSkip = 0x30;
constexpr std::uint8_t kDisplayMask = 0x0C;
constexpr std::uint8_t kNonDisplay = 0x0C;
constexpr std::uint8_t kIntensified = 0x08;
constexpr std::uint8_t kModified = 0x01;

inline bool isProtected(std::uint8_t a) {
    return (a & kProtected) != 0;
}
inline bool isNonDisplay(std::uint8_t a) {
    return (a & kDisplayMask) == kNonDisplay;
}
inline bool isAutoSkip(std::uint8_t a) {
    return (a & kAutoSkip) == kAutoSkip;
}
}  // namespace fa

// Bits of the highlight plane beyond the highlight code in the low nibble.
namespace hl {
constexpr std::uint8_t kCodeMask = 0x0F;
constexpr std::uint8_t kExplicitColor = 0x40;
constexpr std::uint8_t kFindMatch = 0x80;
}  // namespace hl

// Character set value written by Graphic Escape.
constexpr std::uint8_t kGraphicEscapeCharset = 0xF1;

struct ScreenModel {
    std::string terminalType;  // at most 20 bytes, upper case
    int columns;
    int rows;
};

// The five models: 2, 3, 4, 5 and the user-defined size.
std::array<ScreenModel, 5> defaultScreenModels();

// Which of the session's two screen sizes is in force.
enum class SizeMode : std::uint8_t {
    Default = 1,
    Alternate = 2,
    None = 0xFF,  // none yet: the next erase applies one whatever it is
};

// What an erase does to the planes.
enum class EraseMode : std::uint8_t {
    Clear = 0,         // planes, cursor and buffer address to zero
    KeepContents = 3,  // only the size changes
};

// How Read Buffer answers (set by Set Reply Mode). The host's mode byte is
// kept as sent; a value outside these reads as field mode.
enum class ReplyMode : std::uint8_t { Field = 0, ExtendedField = 1, Character = 2 };

// Told about changes the display must follow. The view reads the planes; it
// never writes them.
class ScreenListener {
  public:
    virtual ~ScreenListener() = default;
    // The cursor moved, or its shape changed (insert mode).
    virtual void cursorMoved() {}
    // The geometry switched from one size to the other.
    virtual void sizeChanged(SizeMode /*oldMode*/, SizeMode /*newMode*/) {}
    virtual void invalidateAll() {}
};

class PresentationSpace {
  public:
    static constexpr int kMaxPositions = 16383;
    static constexpr int kPlaneSize = 16384;
    using Plane = std::array<std::uint8_t, kPlaneSize>;

    // The screen image: the six planes copied as a unit into Undo, paste and
    // history images. `changed` lives apart and is never part of a copy.
    struct Image {
        Plane characters{};
        Plane attributes{};
        Plane colors{};
        Plane highlights{};
        Plane charsets{};
        Plane hostCodes{};
    };

    explicit PresentationSpace(const ScreenSettings& settings);

    // Planes.
    Image& image() { return *image_; }
    const Image& image() const { return *image_; }
    Plane& characters() { return image_->characters; }
    Plane& attributes() { return image_->attributes; }
    Plane& colors() { return image_->colors; }
    Plane& highlights() { return image_->highlights; }
    Plane& charsets() { return image_->charsets; }
    Plane& hostCodes() { return image_->hostCodes; }
    const Plane& characters() const { return image_->characters; }
    const Plane& attributes() const { return image_->attributes; }
    const Plane& colors() const { return image_->colors; }
    const Plane& highlights() const { return image_->highlights; }
    const Plane& charsets() const { return image_->charsets; }
    const Plane& hostCodes() const { return image_->hostCodes; }
    Plane& changed() { return *changed_; }
    const Plane& changed() const { return *changed_; }

    bool isAttribute(int position) const { return image_->attributes[position] != 0; }
    void mark(int position) { (*changed_)[position] = 1; }
    void markAll();

    // Geometry.
    int positions() const { return positions_; }
    int rows() const { return rows_; }
    int columns() const { return columns_; }
    SizeMode sizeMode() const { return sizeMode_; }

    // The sizes the session's options select. Forces the next erase to re-apply
    // a size (sizeMode becomes "none").
    void configureSizes(const ScreenSessionOptions& options,
                        const std::array<ScreenModel, 5>& models);
    // Rows and columns of the default and the alternate size.
    int sizeRows(SizeMode size) const;
    int sizeColumns(SizeMode size) const;
    const std::string& alternateTerminalType() const { return alternateTerminalType_; }

    // Position arithmetic.
    int nextAddress(int address) const { return address + 1 >= positions_ ? 0 : address + 1; }
    int previousAddress(int address) const { return address <= 0 ? positions_ - 1 : address - 1; }
    int nextRow(int address) const { return (address + columns_) % positions_; }
    int previousRow(int address) const { return (address - columns_ + positions_) % positions_; }
    struct RowColumn {
        int row;
        int column;
    };
    RowColumn rowColumnOf(int address) const {
        const int row = address / columns_;
        return {row, address - row * columns_};
    }

    // 3270 buffer addresses. Encoding uses the 12-bit form while positions <= 4096.
    std::array<std::uint8_t, 2> encodeBufferAddress(int position) const;
    static int decodeAddressBytes(std::uint8_t b1, std::uint8_t b2);

    int findField(int position);
    // Switches to `size` (Default or Alternate; None keeps the size in force)
    // and clears the planes unless `mode` keeps them.
    void eraseScreen(SizeMode size, EraseMode mode = EraseMode::Clear);
    void resetAllModifiedTags();
    void eraseAllUnprotected();
    void fieldStatistics();

    // An input field for Tab: unprotected, or (with "Wang") protected with the
    // intensify highlight bit at its attribute position.
    bool isInputFieldAttribute(int position) const;
    // Where the Tab key function puts a cursor that stands at `from`.
    int tabFrom(int from) const;

    // The colour byte of a field without a colour of its own.
    std::uint8_t baseColorOf(std::uint8_t attribute) const;
    // The colour byte for a host colour value (0xF0..0xFF; only the low nibble counts).
    std::uint8_t hostColorByte(std::uint8_t value) const;

    void setColorItems(const ColorItems& items) { colorItems_ = items; }
    const ScreenSettings& settings() const { return settings_; }
    void setListener(ScreenListener* listener);
    ScreenListener& listener() { return *listener_; }

    // The cursor position. Setting it to another position tells the listener.
    int cursor() const { return cursor_; }
    void setCursor(int position) {
        if (position == cursor_) return;
        cursor_ = position;
        listener_->cursorMoved();
    }

    // The attribute and highlight of the field findField() found last.
    std::uint8_t currentFieldAttribute = 0;
    std::uint8_t fieldHighlight = 0;
    ReplyMode replyMode = ReplyMode::Field;
    bool insertMode = false;
    bool wordWrap = false;
    int inputFieldCount = 0;
    bool screenFormatted = false;
    bool screenBlank = true;

  private:
    const ScreenSettings& settings_;
    std::unique_ptr<Image> image_;
    std::unique_ptr<Plane> changed_;
    ColorItems colorItems_ = ColorItems::defaults();
    ScreenListener defaultListener_;
    ScreenListener* listener_ = &defaultListener_;
    int cursor_ = 0;

    int rows_ = 24;
    int columns_ = 80;
    int positions_ = 24 * 80;
    SizeMode sizeMode_ = SizeMode::None;
    bool configured_ = false;
    int defaultRows_ = 24;
    int defaultColumns_ = 80;
    int alternateRows_ = 24;
    int alternateColumns_ = 80;
    std::string alternateTerminalType_ = "IBM-3278-2-E";
};

}  // namespace cedar
