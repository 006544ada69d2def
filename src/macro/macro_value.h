// Values of the macro language: a signed 32-bit number or a text of at most
// 255 single-byte characters.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace cedar {

// The type codes the whole macro language uses.
enum class ValueType : std::uint8_t {
    None = 0,  // no value
    Number = 3,
    Text = 4,
};

// The range every binary operation and every assignment keeps numbers in.
inline constexpr std::int32_t kMacroNumberLimit = 99'999'999;

// A text of at most kCapacity bytes. It cannot grow past its capacity: an
// assignment or append that would is refused and leaves the text unchanged.
class MacroText {
  public:
    static constexpr std::size_t kCapacity = 255;

    MacroText() = default;

    std::string_view view() const { return {bytes_.data(), size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char* data() const { return bytes_.data(); }
    std::string str() const { return std::string(view()); }

    void clear() { size_ = 0; }
    // False (and no change) when the text would be longer than kCapacity.
    bool assign(std::string_view text) {
        if (text.size() > kCapacity) return false;
        if (!text.empty()) std::memcpy(bytes_.data(), text.data(), text.size());
        size_ = static_cast<std::uint16_t>(text.size());
        return true;
    }
    bool append(std::string_view text) {
        if (text.size() > kCapacity - size_) return false;
        if (!text.empty()) std::memcpy(bytes_.data() + size_, text.data(), text.size());
        size_ = static_cast<std::uint16_t>(size_ + text.size());
        return true;
    }
    // Keeps the first `n` bytes (n may exceed the size).
    void truncate(std::size_t n) {
        if (n < size_) size_ = static_cast<std::uint16_t>(n);
    }

    friend bool operator==(const MacroText& a, const MacroText& b) { return a.view() == b.view(); }

  private:
    std::array<char, kCapacity> bytes_{};
    std::uint16_t size_ = 0;
};

struct MacroValue {
    ValueType type = ValueType::None;
    std::int32_t number = 0;  // 0 unless the type is Number
    MacroText text;           // empty unless the type is Text

    static MacroValue ofNumber(std::int32_t n) {
        MacroValue v;
        v.type = ValueType::Number;
        v.number = n;
        return v;
    }
    // A text longer than 255 bytes is cut to 255 (callers that must report
    // the overflow check the length first).
    static MacroValue ofText(std::string_view t) {
        MacroValue v;
        v.type = ValueType::Text;
        v.text.assign(t.substr(0, MacroText::kCapacity));
        return v;
    }

    bool hasValue() const { return type != ValueType::None; }
    bool isNumber() const { return type == ValueType::Number; }
    bool isText() const { return type == ValueType::Text; }
    // A condition is true when its number is not zero; a text is never true.
    bool isTrue() const { return type == ValueType::Number && number != 0; }

    void clear() {
        type = ValueType::None;
        number = 0;
        text.clear();
    }

    friend bool operator==(const MacroValue& a, const MacroValue& b) {
        return a.type == b.type && a.number == b.number && a.text == b.text;
    }
};

// True when `n` lies within -99,999,999 ... 99,999,999.
constexpr bool inMacroRange(std::int64_t n) {
    return n >= -kMacroNumberLimit && n <= kMacroNumberLimit;
}

}  // namespace cedar
