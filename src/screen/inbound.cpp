#include "screen/inbound.h"

#include "screen/record_processor.h"

namespace cedar {

namespace {

// EBCDIC "X", for code pages whose table leaves the display "X" unmapped.
constexpr std::uint8_t kEbcdicX = 0xE7;

// Attribute types of the extended reply modes.
constexpr std::uint8_t kTypeFieldAttribute = 0xC0;
constexpr std::uint8_t kTypeHighlight = 0x41;
constexpr std::uint8_t kTypeForeground = 0x42;
constexpr std::uint8_t kTypeBackground = 0x45;

// Character positions in the Read Buffer reply that carry the stored byte
// itself: only a Graphic Escape character keeps its host byte in the
// character plane; every other character is held in display code.
bool isGraphicEscape(std::uint8_t charset) {
    return charset == kGraphicEscapeCharset;
}

}  // namespace

InboundBuilder::InboundBuilder(PresentationSpace& ps, const CodePages& codePages,
                               InboundSender& sender)
    : ps_(ps), codePages_(codePages), sender_(sender) {}

std::uint8_t InboundBuilder::maskCode() const {
    const std::uint8_t x = codePages_.displayToHost('X');
    return x != 0 ? x : kEbcdicX;
}

void InboundBuilder::begin(std::uint8_t aidByte) {
    out_.clear();
    trace_.clear();
    put(aidByte);
    putAddress(ps_.cursor());
}

void InboundBuilder::putAddress(int position) {
    const auto bytes = ps_.encodeBufferAddress(position);
    put(bytes[0]);
    put(bytes[1]);
}

void InboundBuilder::putCharacter(int p, bool masked) {
    const std::uint8_t c = ps_.characters()[p];
    const std::uint8_t x = maskCode();
    if (isGraphicEscape(ps_.charsets()[p])) {
        put(order::kGraphicEscape);
        put(c, masked ? x : c);
        return;
    }
    const std::uint8_t host = codePages_.displayToHost(c);
    put(host, masked ? x : host);
}

std::uint8_t InboundBuilder::fieldAttributeBefore(int p) const {
    const auto& attrs = ps_.attributes();
    const int positions = ps_.positions();
    int q = p;
    for (int i = 0; i < positions; ++i) {
        q = ps_.previousAddress(q);
        if (attrs[q] != 0) return attrs[q];
    }
    return 0;
}

void InboundBuilder::sendReadModified(std::uint8_t aidByte) {
    if (sender_.sscpLuMode()) {
        readModifiedSscpLu();
        return;
    }
    begin(aidByte);
    const int positions = ps_.positions();
    const auto& attrs = ps_.attributes();
    const auto& chars = ps_.characters();
    if (ps_.screenFormatted || ps_.inputFieldCount != 0) {
        // Each field lies between its attribute and the next one; a field
        // whose data runs past the last position continues at position 0, so
        // every modified field is sent whole and once.
        for (int p = 0; p < positions; ++p) {
            const std::uint8_t a = attrs[p];
            if (a == 0 || (a & fa::kModified) == 0) continue;
            const bool masked = fa::isNonDisplay(a);
            put(order::kSetBufferAddress);
            putAddress(ps_.nextAddress(p));
            for (int q = ps_.nextAddress(p); attrs[q] == 0; q = ps_.nextAddress(q))
                if (chars[q] != 0) putCharacter(q, masked);
        }
    } else {
        for (int p = 0; p < positions; ++p)
            if (attrs[p] == 0 && chars[p] != 0) putCharacter(p, false);
    }
    sender_.sendAid(out_, trace_);
}

void InboundBuilder::readModifiedSscpLu() {
    out_.clear();
    trace_.clear();
    const int positions = ps_.positions();
    const auto& attrs = ps_.attributes();
    const auto& chars = ps_.characters();
    auto& changed = ps_.changed();
    std::uint8_t field = fieldAttributeBefore(0);
    for (int p = 0; p < positions; ++p) {
        if (attrs[p] != 0) {
            field = attrs[p];
            continue;
        }
        if (chars[p] == 0 || changed[p] == 0) continue;
        putCharacter(p, fa::isNonDisplay(field));
        changed[p] = 0;
    }
    sender_.sendAid(out_, trace_);
    ps_.resetAllModifiedTags();
}

void InboundBuilder::sendShortRead(std::uint8_t aidByte) {
    out_.clear();
    trace_.clear();
    put(aidByte);
    sender_.sendAid(out_, trace_);
}

void InboundBuilder::sendShortReadModified(std::uint8_t aidByte) {
    begin(aidByte);
    sender_.sendRecord(out_, trace_);
}

void InboundBuilder::sendAidAndCursor(std::uint8_t aidByte) {
    begin(aidByte);
    sender_.sendAid(out_, trace_);
}

void InboundBuilder::sendReadBuffer(std::uint8_t aidByte, int start) {
    begin(aidByte);
    if (start < 0 || start >= ps_.positions()) start = 0;
    switch (ps_.replyMode) {
        case ReplyMode::ExtendedField:
            readBufferExtended(start, false);
            break;
        case ReplyMode::Character:
            readBufferExtended(start, true);
            break;
        default:  // field mode, and any mode byte the host had no business sending
            readBufferFieldMode(start);
            break;
    }
    sender_.sendAid(out_, trace_);
}

void InboundBuilder::readBufferFieldMode(int start) {
    const int positions = ps_.positions();
    out_.reserve(static_cast<std::size_t>(3 + 2 * (positions - start)));
    trace_.reserve(out_.capacity());
    const auto& attrs = ps_.attributes();
    const auto& chars = ps_.characters();
    const auto& charsets = ps_.charsets();
    const std::uint8_t x = maskCode();
    std::uint8_t field = fieldAttributeBefore(start);
    for (int p = start; p < positions; ++p) {
        if (attrs[p] != 0) {
            field = attrs[p];
            put(order::kStartField);
            put(attrs[p]);
            continue;
        }
        // Field mode has no Graphic Escape: a GE character goes as its byte.
        const std::uint8_t c = chars[p];
        const std::uint8_t host = isGraphicEscape(charsets[p]) ? c : codePages_.displayToHost(c);
        put(host, fa::isNonDisplay(field) ? x : host);
    }
}

void InboundBuilder::readBufferExtended(int start, bool characterMode) {
    const int positions = ps_.positions();
    // At most 11 bytes a position: three Set Attribute orders and a GE pair.
    out_.reserve(static_cast<std::size_t>(3 + 11 * (positions - start)));
    trace_.reserve(out_.capacity());
    const auto& attrs = ps_.attributes();
    const auto& colors = ps_.colors();
    const auto& highlights = ps_.highlights();
    std::uint8_t field = fieldAttributeBefore(start);
    // The character attributes last written with Set Attribute (0 = default).
    std::uint8_t lastForeground = 0;
    std::uint8_t lastBackground = 0;
    std::uint8_t lastHighlight = 0;
    auto setAttribute = [this](std::uint8_t type, std::uint8_t value, std::uint8_t& last) {
        if (value == last) return;
        put(order::kSetAttribute);
        put(type);
        put(value);
        last = value;
    };
    for (int p = start; p < positions; ++p) {
        const std::uint8_t color = colors[p];
        const std::uint8_t highlight = highlights[p] & hl::kCodeMask;
        if (attrs[p] != 0) {
            field = attrs[p];
            put(order::kStartFieldExtended);
            const std::size_t countAt = out_.size();
            put(0);
            std::uint8_t pairs = 1;
            put(kTypeFieldAttribute);
            put(attrs[p]);
            if ((color & 0x0F) != 0 && (highlights[p] & hl::kExplicitColor) != 0) {
                put(kTypeForeground);
                put(color | 0xF0);
                ++pairs;
            }
            if (color > 0x0F) {
                put(kTypeBackground);
                put(static_cast<std::uint8_t>((color >> 4) | 0xF0));
                ++pairs;
            }
            if (highlight != 0) {
                put(kTypeHighlight);
                put(highlight | 0xF0);
                ++pairs;
            }
            out_[countAt] = trace_[countAt] = pairs;
            continue;
        }
        if (characterMode) {
            const std::uint8_t foreground = color & 0x0F;
            setAttribute(kTypeForeground,
                         foreground != 0 ? static_cast<std::uint8_t>(0xF0 | foreground) : 0,
                         lastForeground);
            setAttribute(kTypeBackground,
                         color > 0x0F ? static_cast<std::uint8_t>(0xF0 | (color >> 4)) : 0,
                         lastBackground);
            setAttribute(kTypeHighlight,
                         highlight != 0 ? static_cast<std::uint8_t>(0xF0 | highlight) : 0,
                         lastHighlight);
        }
        putCharacter(p, fa::isNonDisplay(field));
    }
}

InboundReadReplies::InboundReadReplies(InboundBuilder& builder, const RecordProcessor& records)
    : builder_(builder), records_(records) {}

void InboundReadReplies::sendReadBuffer() {
    builder_.sendReadBuffer(records_.aid().current, records_.readBufferStart);
}

void InboundReadReplies::sendReadModified(std::uint8_t aidByte) {
    builder_.sendReadModified(aidByte);
}

void InboundReadReplies::sendReadModifiedAll(std::uint8_t aidByte) {
    builder_.sendReadModified(aidByte);
}

void InboundReadReplies::sendAidAndCursor(std::uint8_t aidByte) {
    builder_.sendAidAndCursor(aidByte);
}

void InboundReadReplies::sendShortRead(std::uint8_t aidByte) {
    builder_.sendShortReadModified(aidByte);
}

}  // namespace cedar
