#include "headless_input.h"

#include <array>
#include <cctype>

namespace cedar::headless {

namespace {

// PF1..PF24 (3270 data stream AID table).
constexpr std::array<std::uint8_t, 24> kPfAids = {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
                                                  0xF9, 0x7A, 0x7B, 0x7C, 0xC1, 0xC2, 0xC3, 0xC4,
                                                  0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C};

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The number after `prefix` in `name`, when `name` is the prefix and 1 or 2 digits.
std::optional<int> numbered(const std::string& name, std::string_view prefix) {
    if (name.rfind(prefix, 0) != 0) return std::nullopt;
    const std::string digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 2 || digits[0] == '0') return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

std::optional<int> positionOf(const PresentationSpace& ps, long row, long column) {
    if (row < 1 || row > ps.rows() || column < 1 || column > ps.columns()) return std::nullopt;
    return static_cast<int>((row - 1) * ps.columns() + (column - 1));
}

std::string writeText(Session& session, int position, std::string_view text) {
    PresentationSpace& ps = session.screen;
    if (position < 0 || position >= ps.positions()) return "the position is off the screen";
    if (text.empty()) return "no text to write";
    if (static_cast<int>(text.size()) > ps.positions()) return "the text is longer than the screen";
    for (char c : text)
        if (c < 0x20 || c > 0x7E) return "the text must be printable ASCII";

    const auto& attrs = ps.attributes();
    int fieldAttribute = -1;
    const bool formatted = ps.screenFormatted || ps.inputFieldCount != 0;
    if (formatted) {
        if (attrs[position] != 0) return "the position holds a field attribute";
        for (int p = ps.previousAddress(position); p != position; p = ps.previousAddress(p)) {
            if (attrs[p] != 0) {
                fieldAttribute = p;
                break;
            }
        }
        if (fieldAttribute >= 0 && fa::isProtected(attrs[fieldAttribute]))
            return "the position lies in a protected field";
        int p = position;
        for (std::size_t i = 0; i < text.size(); ++i, p = ps.nextAddress(p))
            if (attrs[p] != 0) return "the text runs past the end of the field";
    }

    int p = position;
    for (char c : text) {
        const auto display = static_cast<std::uint8_t>(c);
        ps.characters()[p] = display;
        ps.hostCodes()[p] = session.codePages.displayToHost(display);
        ps.colors()[p] = 0;
        ps.highlights()[p] = 0;
        ps.charsets()[p] = 0;
        ps.mark(p);
        p = ps.nextAddress(p);
    }
    if (fieldAttribute >= 0) ps.attributes()[fieldAttribute] |= fa::kModified;
    ps.cursorAddress = p;
    ps.listener().cursorMoved();
    return "";
}

std::optional<std::uint8_t> aidOfKey(std::string_view name) {
    const std::string key = upper(name);
    if (key == "ENTER") return aid::kEnter;
    if (key == "CLEAR") return aid::kClear;
    if (const auto n = numbered(key, "PA")) {
        constexpr std::array<std::uint8_t, 3> kPa = {aid::kPa1, aid::kPa2, aid::kPa3};
        if (*n <= 3) return kPa[static_cast<std::size_t>(*n - 1)];
        return std::nullopt;
    }
    if (const auto n = numbered(key, "PF")) {
        if (*n <= 24) return kPfAids[static_cast<std::size_t>(*n - 1)];
    }
    return std::nullopt;
}

void pressAttentionKey(Session& session, InboundBuilder& inbound, std::uint8_t aidByte) {
    if (session.status != SessionStatus::NotConnected) session.status = SessionStatus::SysLock;
    session.records.currentAid = aidByte;
    session.records.aidOutstanding = true;
    if (aidByte == aid::kClear) {
        PresentationSpace& ps = session.screen;
        const int size = ps.sizeMode() == PresentationSpace::kNoSizeMode ? 1 : ps.sizeMode();
        ps.eraseScreen(size, 0);
        ps.fieldStatistics();
        ps.listener().invalidateAll();
    }
    if (aid::isShortRead(aidByte))
        inbound.sendShortRead(aidByte);
    else
        inbound.sendReadModified(aidByte);
}

}  // namespace cedar::headless
