#include "screen/record_processor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cedar {

namespace order {
namespace {
constexpr std::array<bool, 256> makeOrderTable() {
    std::array<bool, 256> t{};
    for (std::uint8_t b :
         {kProgramTab, kGraphicEscape, kSetBufferAddress, kEraseUnprotectedToAddress, kInsertCursor,
          kStartField, kSetAttribute, kStartFieldExtended, kModifyField, kRepeatToAddress})
        t[b] = true;
    return t;
}
constexpr std::array<bool, 256> kOrderTable = makeOrderTable();
}  // namespace
bool isOrder(std::uint8_t b) {
    return kOrderTable[b];
}
}  // namespace order

namespace {

ReadReplySender gNoReads;
StructuredFieldHandler gNoStructuredFields;
TransferHook gNoTransfer;
HostPrintHook gNoPrint;
SessionEvents gNoEvents;
UserMessages gNoMessages;

// The CUT-mode file transfer end frame, bytes 2..11 of its record.
constexpr std::uint8_t kCutEndFrame[] = {0x11, 0x5D, 0x7F, 0x11, 0x40,
                                         0x40, 0xC3, 0x81, 0x81, 0x94};
// A session manager's signature screen: WCC, SBA 1/1, SF, "NETSPY" (from offset 1).
constexpr std::uint8_t kNetspySignature[] = {0x40, 0x11, 0x40, 0x40, 0x1D, 0x6C,
                                             0xD5, 0xC5, 0xE3, 0xE2, 0xD7, 0xE8};
constexpr std::size_t kNetspyNameOffset = 54;
constexpr std::size_t kNetspyNameLength = 8;

bool isEraseWrite(std::uint8_t command) {
    return command == cmd::kEraseWrite || command == cmd::kEraseWriteCcw;
}

bool isShortReadAid(std::uint8_t aid) {
    return (aid >= 0x6B && aid <= 0x6E) || aid == 0x7E;
}

// memset for the short runs between orders costs more in the call than in
// the work (and so does the "rep stos" the compiler turns a fill loop into):
// runs up to a few rows are filled eight bytes at a time, every plane of the
// run in one pass.
#if defined(__GNUC__) && !defined(__clang__)
#define CEDAR_PLAIN_STORES __attribute__((optimize("no-tree-loop-distribute-patterns")))
#else
#define CEDAR_PLAIN_STORES
#endif

struct RunPlanes {
    std::uint8_t* attributes;
    std::uint8_t* colors;
    std::uint8_t* highlights;
    std::uint8_t* charsets;
    std::uint8_t* changed;
};

CEDAR_PLAIN_STORES void fillRun(const RunPlanes& planes, std::uint8_t color, std::uint8_t highlight,
                                std::uint8_t charset, std::size_t n) {
    // Local copies: a store through one plane could otherwise alias `planes`.
    std::uint8_t* const attributes = planes.attributes;
    std::uint8_t* const colors = planes.colors;
    std::uint8_t* const highlights = planes.highlights;
    std::uint8_t* const charsets = planes.charsets;
    std::uint8_t* const changed = planes.changed;
    if (n > 512 || n < 8) {
        std::memset(attributes, 0, n);
        std::memset(colors, color, n);
        std::memset(highlights, highlight, n);
        std::memset(charsets, charset, n);
        std::memset(changed, 1, n);
        return;
    }
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t zero = 0;
    const std::uint64_t colorWord = kOnes * color;
    const std::uint64_t highlightWord = kOnes * highlight;
    const std::uint64_t charsetWord = kOnes * charset;
    auto storeAt = [&](std::size_t i) {
        std::memcpy(attributes + i, &zero, 8);
        std::memcpy(colors + i, &colorWord, 8);
        std::memcpy(highlights + i, &highlightWord, 8);
        std::memcpy(charsets + i, &charsetWord, 8);
        std::memcpy(changed + i, &kOnes, 8);
    };
    for (std::size_t i = 0; i + 8 <= n; i += 8)
        storeAt(i);
    // The last eight again, overlapping: every byte of the run takes the
    // same values.
    storeAt(n - 8);
}

const ByteTable& identityTable() {
    static const ByteTable table = [] {
        ByteTable t{};
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<std::uint8_t>(i);
        return t;
    }();
    return table;
}

template <typename T>
T& orDefault(T* hook, T& fallback) {
    return hook != nullptr ? *hook : fallback;
}

}  // namespace

RecordProcessor::RecordProcessor(PresentationSpace& ps, const CodePages& codePages,
                                 SessionStatus& status, AidState& aid)
    : ps_(ps), codePages_(codePages), status_(status), aid_(aid) {
    setHooks({});
}

void RecordProcessor::setHooks(const RecordHooks& hooks) {
    hooks_.reads = &orDefault(hooks.reads, gNoReads);
    hooks_.structuredFields = &orDefault(hooks.structuredFields, gNoStructuredFields);
    hooks_.transfer = &orDefault(hooks.transfer, gNoTransfer);
    hooks_.print = &orDefault(hooks.print, gNoPrint);
    hooks_.events = &orDefault(hooks.events, gNoEvents);
    hooks_.messages = &orDefault(hooks.messages, gNoMessages);
}

void RecordProcessor::startCapture() {
    capture_.clear();
    capturing_ = true;
}

const ByteTable& RecordProcessor::displayTable() {
    switch (codePages_.translationMode) {
        case TranslationMode::Tables:
            return codePages_.screenTable;
        case TranslationMode::None:
            for (int i = 0; i < 256; ++i)
                effectiveTable_[i] = static_cast<std::uint8_t>(i);
            return effectiveTable_;
        case TranslationMode::HighOnly:
        default:
            for (int i = 0; i < 256; ++i)
                effectiveTable_[i] = codePages_.hostToDisplay(static_cast<std::uint8_t>(i));
            return effectiveTable_;
    }
}

void RecordProcessor::processRecord(Bytes record, const RecordOrigin& origin) {
    if (status_ == SessionStatus::History) hooks_.events->returnToLiveScreen();

    if (origin.sscpLu) {
        characterString(record);
        ps_.fieldStatistics();
        return;
    }
    if (origin.tn3270e && origin.dataType != 0) return;  // not 3270-DATA
    if (record.empty()) return;

    if (record[0] == cmd::kWriteStructuredField || record[0] == cmd::kWriteStructuredFieldCcw) {
        hooks_.structuredFields->handleStructuredFields(record);
        ps_.fieldStatistics();
        return;
    }
    if (status_ == SessionStatus::TransferReady) hooks_.transfer->checkHandshake(record);
    if (record.size() >= 12 && std::memcmp(record.data() + 2, kCutEndFrame, 10) == 0) {
        status_ = SessionStatus::TransferReady;
        hooks_.transfer->cutFrame(record);
        return;
    }
    if (suspendsEndOfWrite(status_) && hooks_.transfer->offerRecord(record)) return;
    if (capturing_) capture(record);

    // An Erase/Write whose addresses only fit the alternate size is applied
    // again, once, as Erase/Write Alternate.
    std::vector<std::uint8_t> rerun;
    Cursor c{record.data(), record.size(), 0, record[0], true};
    for (;;) {
        bufferAddress_ = ps_.cursor();
        currentColor_ = currentHighlight_ = currentCharset_ = 0;
        Flow flow = processCommand(c);
        afterOrder_ = true;
        while (flow == Flow::Continue && c.pos < c.length)
            flow = processOrder(c);
        if (flow != Flow::Rerun) break;
        rerun.assign(record.begin(), record.end());
        rerun[0] = cmd::kEraseWriteAlternate;
        c = Cursor{rerun.data(), rerun.size(), 0, rerun[0], false};
    }
    endOfWrite();
    if (options_.showWindowOnUpdate) hooks_.events->showWindowOnUpdate();
}

void RecordProcessor::capture(Bytes record) {
    if (record.size() <= 2) return;
    const bool first = capture_.empty();
    const std::size_t n = first ? record.size() : record.size() - 2;
    if (capture_.size() + n > kCaptureSize) return;
    capture_.insert(capture_.end(), record.end() - static_cast<std::ptrdiff_t>(n), record.end());
}

void RecordProcessor::characterString(Bytes record) {
    auto& chars = ps_.characters();
    for (std::uint8_t b : record) {
        const int columns = ps_.columns();
        switch (b) {
            case 0x0C:  // form feed
                ps_.eraseScreen(ps_.sizeMode());
                ps_.setCursor(0);
                break;
            case 0x0D:  // carriage return
                ps_.setCursor(ps_.cursor() - ps_.cursor() % columns);
                break;
            case 0x15: {  // new line
                const int next = (ps_.cursor() / columns + 1) * columns;
                ps_.setCursor(next >= ps_.positions() ? 0 : next);
                break;
            }
            default: {
                const int p = ps_.cursor();
                chars[p] = codePages_.hostToDisplay(b);
                ps_.attributes()[p] = 0;
                ps_.colors()[p] = 0;
                ps_.highlights()[p] = 0;
                ps_.charsets()[p] = 0;
                ps_.mark(p);
                ps_.setCursor(ps_.nextAddress(p));
                break;
            }
        }
    }
}

void RecordProcessor::writeCommand(Cursor& c, std::uint8_t wcc) {
    if (wcc & 0x02) aid_.current = kNoAid;
    wccRegister = wcc;
    // The WCC's resets belong to the write itself, not to its end: they
    // apply during a transfer too. Skipping them left the typed IND$FILE
    // command modified, so that the first Read Modified after the transfer
    // sent it to the host again.
    if (wcc & 0x01) ps_.resetAllModifiedTags();
    if (wcc & 0x40) ps_.replyMode = ReplyMode::Field;
    c.pos = std::min<std::size_t>(2, c.length);
}

RecordProcessor::Flow RecordProcessor::processCommand(Cursor& c) {
    const std::uint8_t command = c.data[0];
    const std::uint8_t wcc = c.length > 1 ? c.data[1] : 0;
    switch (command) {
        case cmd::kWrite:
        case cmd::kWriteCcw:
            writeCommand(c, wcc);
            if (ps_.settings().cmdChaining && c.length == 5 && wcc == 0x40 &&
                c.data[2] == order::kSetBufferAddress) {
                readBufferStart = PresentationSpace::decodeAddressBytes(c.data[3], c.data[4]);
                if (readBufferStart >= ps_.positions()) readBufferStart = 0;
            }
            return Flow::Continue;
        case cmd::kEraseWrite:
        case cmd::kEraseWriteCcw:
        case cmd::kEraseWriteAlternate:
        case cmd::kEraseWriteAlternateCcw: {
            const bool alternate =
                command == cmd::kEraseWriteAlternate || command == cmd::kEraseWriteAlternateCcw;
            ps_.eraseScreen(alternate ? SizeMode::Alternate : SizeMode::Default);
            bufferAddress_ = 0;  // the orders start at the top of the cleared screen
            if (c.length >= kNetspyNameOffset + kNetspyNameLength &&
                std::memcmp(c.data + 1, kNetspySignature, sizeof kNetspySignature) == 0) {
                std::string name;
                for (std::size_t i = 0; i < kNetspyNameLength; ++i)
                    name +=
                        static_cast<char>(codePages_.hostToDisplay(c.data[kNetspyNameOffset + i]));
                const auto first = name.find_first_not_of(' ');
                const auto last = name.find_last_not_of(' ');
                sessionManagerName_ =
                    first == std::string::npos ? "" : name.substr(first, last - first + 1);
                hooks_.events->sessionManagerDetected(sessionManagerName_);
            }
            writeCommand(c, wcc);
            hooks_.structuredFields->completePendingRemoteAction();
            return Flow::Continue;
        }
        case cmd::kReadBuffer:
        case cmd::kReadBufferCcw:
            wccRegister = 0;
            c.pos = 1;
            hooks_.reads->sendReadBuffer();
            return Flow::Continue;
        case cmd::kReadModified:
        case cmd::kReadModifiedCcw:
            // A read never restores the keyboard: the end-of-write step sees no WCC.
            wccRegister = 0;
            c.pos = 1;
            if (isShortReadAid(aid_.current))
                hooks_.reads->sendShortRead(aid_.current);
            else
                hooks_.reads->sendReadModified(aid_.current);
            return Flow::Continue;
        case cmd::kReadModifiedAll:
        case cmd::kReadModifiedAllCcw:
            wccRegister = 0;
            c.pos = 1;
            hooks_.reads->sendReadModifiedAll(aid_.current);
            ps_.resetAllModifiedTags();
            return Flow::Continue;
        case cmd::kEraseAllUnprotected:
        case cmd::kEraseAllUnprotectedCcw:
            ps_.eraseAllUnprotected();
            aid_.current = kNoAid;
            wccRegister = 0x02;
            // The end-of-write step runs once, after the record, with the
            // cursor already on the first input field.
            ps_.fieldStatistics();
            ps_.setCursor(ps_.tabFrom(0));
            c.pos = 1;
            return Flow::Continue;
        case 0xA0:
            if (ps_.settings().wang) {
                hooks_.reads->sendAidAndCursor(aid_.current);
                c.pos = 1;
                return Flow::Continue;
            }
            [[fallthrough]];
        default:
            c.pos = 0;  // not a command: the first byte is data
            return Flow::Continue;
    }
}

bool RecordProcessor::writeGuard() {
    if (bufferAddress_ < ps_.positions()) return true;
    if (ps_.settings().ignoreInvalidWrite) return false;
    const int address = bufferAddress_;
    char text[256];
    std::snprintf(text, sizeof text,
                  "Attempting to write to buffer address %d, row=%d col=%d\nbut there are only "
                  "%d positions on the current screen.",
                  address, address / ps_.columns(), address % ps_.columns(), ps_.positions());
    hooks_.messages->warning("Attempting to write to invalid buffer address", text);
    return false;
}

RecordProcessor::Flow RecordProcessor::readAddress(Cursor& c, std::uint8_t orderByte,
                                                   int& address) {
    const std::size_t remaining = c.length - c.pos;
    std::uint8_t b1 = 0xFF;
    std::uint8_t b2 = 0xEF;
    if (remaining == 1) return Flow::Stop;  // half an address: the record is cut short
    if (remaining >= 2) {
        b1 = c.data[c.pos];
        b2 = c.data[c.pos + 1];
        c.pos += 2;
    }
    // With nothing left the IAC EOR that framed the record stands where the
    // address would be: it decodes to 0.
    address = PresentationSpace::decodeAddressBytes(b1, b2);
    if (address < ps_.positions() || ps_.settings().ignoreInvalidSba) return Flow::Continue;
    if (c.rerunAllowed && isEraseWrite(c.command) && ps_.sizeMode() == SizeMode::Default)
        return Flow::Rerun;
    char text[256];
    std::snprintf(text, sizeof text,
                  "Invalid buffer address received, code = %02X %02X %02X.\nAttempt to address "
                  "location %d on the screen,\nbut there are only %d positions on the current "
                  "screen.",
                  orderByte, b1, b2, address, ps_.positions());
    hooks_.messages->warning("Invalid buffer address", text);
    return Flow::Stop;
}

// A run of data characters: scanned, translated and written in one pass up to
// the next order byte or the end of the screen, then the planes that take one
// value for the whole run are filled.
RecordProcessor::Flow RecordProcessor::dataRun(Cursor& c) {
    if (!writeGuard()) return Flow::Stop;
    const ByteTable& table =
        currentCharset_ == kGraphicEscapeCharset ? identityTable() : displayTable();
    auto& img = ps_.image();
    auto& changed = ps_.changed();
    do {
        const int p = bufferAddress_;
        const std::size_t limit =
            std::min<std::size_t>(c.length - c.pos, static_cast<std::size_t>(ps_.positions() - p));
        const std::uint8_t* src = c.data + c.pos;
        std::uint8_t* hostCodes = img.hostCodes.data() + p;
        std::uint8_t* chars = img.characters.data() + p;
        std::size_t n = 0;
        // Eight at a time while all eight are 0x40 or above: every order
        // code is below 0x40, and so is little else in text. The eight
        // translations are gathered in a register and stored at once.
        while (n + 8 <= limit) {
            std::uint64_t word;
            std::memcpy(&word, src + n, sizeof word);
            constexpr std::uint64_t kTop = 0x8080808080808080ULL;
            if (((word | (word << 1)) & kTop) != kTop) break;
            std::memcpy(hostCodes + n, &word, sizeof word);
            auto at = [&](int shift) {
                return std::uint64_t{table[(word >> shift) & 0xFF]} << shift;
            };
            const std::uint64_t shown =
                at(0) | at(8) | at(16) | at(24) | at(32) | at(40) | at(48) | at(56);
            std::memcpy(chars + n, &shown, sizeof shown);
            n += 8;
        }
        while (n < limit && !order::isOrder(src[n])) {
            const std::uint8_t b = src[n];
            hostCodes[n] = b;
            chars[n] = table[b];
            ++n;
        }
        fillRun({img.attributes.data() + p, img.colors.data() + p, img.highlights.data() + p,
                 img.charsets.data() + p, changed.data() + p},
                currentColor_, currentHighlight_, currentCharset_, n);
        c.pos += n;
        const int next = p + static_cast<int>(n);
        bufferAddress_ = next >= ps_.positions() ? 0 : next;
        if (n < limit) break;  // an order, or the end of the record
    } while (c.pos < c.length && !order::isOrder(c.data[c.pos]));
    afterOrder_ = false;
    return Flow::Continue;
}

RecordProcessor::Flow RecordProcessor::processOrder(Cursor& c) {
    const std::uint8_t b = c.data[c.pos];
    switch (b) {
        case order::kStartField: {
            if (!writeGuard()) return Flow::Stop;
            if (c.pos + 1 >= c.length) return Flow::Stop;
            const std::uint8_t attribute = c.data[c.pos + 1];
            const int p = bufferAddress_;
            ps_.characters()[p] = 0x20;
            ps_.attributes()[p] = attribute | fa::kMarker;
            ps_.colors()[p] = ps_.baseColorOf(attribute);
            ps_.highlights()[p] = 0;
            ps_.charsets()[p] = 0;
            ps_.mark(p);
            bufferAddress_ = ps_.nextAddress(p);
            c.pos += 2;
            afterOrder_ = true;
            return Flow::Continue;
        }
        case order::kStartFieldExtended:
            return startFieldExtended(c);
        case order::kSetBufferAddress: {
            ++c.pos;
            int address = 0;
            const Flow f = readAddress(c, b, address);
            if (f != Flow::Continue) return f;
            bufferAddress_ = address;
            afterOrder_ = true;
            return Flow::Continue;
        }
        case order::kSetAttribute:
            return setAttribute(c);
        case order::kModifyField:
            return modifyField(c);
        case order::kInsertCursor:
            ++c.pos;
            // An address outside the screen (accepted with "IgnoreInvalidSBA")
            // never becomes the cursor.
            if (bufferAddress_ < ps_.positions()) ps_.setCursor(bufferAddress_);
            afterOrder_ = true;
            return Flow::Continue;
        case order::kProgramTab:
            return programTab(c);
        case order::kRepeatToAddress:
            return repeatToAddress(c);
        case order::kEraseUnprotectedToAddress:
            return eraseUnprotectedToAddress(c);
        case order::kGraphicEscape:
            return graphicEscape(c);
        default:
            return dataRun(c);
    }
}

bool RecordProcessor::applyPair(std::uint8_t type, std::uint8_t value, PairTarget target, int p) {
    const bool sa = target == PairTarget::SetAttribute;
    switch (type) {
        case 0x00:  // reset all character attributes
            currentColor_ = currentHighlight_ = currentCharset_ = 0;
            ps_.replyMode = ReplyMode::Field;
            return true;
        case 0x41: {  // highlighting
            const auto v = static_cast<std::uint8_t>(value & (ps_.settings().wang ? 0x0F : 0x07));
            if (sa)
                currentHighlight_ = v;
            else  // keeps the mark of a colour pair before it in the same order
                ps_.highlights()[p] =
                    static_cast<std::uint8_t>((ps_.highlights()[p] & hl::kExplicitColor) | v);
            return true;
        }
        case 0x42: {  // foreground colour
            if (value == 0) {
                currentColor_ = 0;
                return true;
            }
            const std::uint8_t color = ps_.hostColorByte(value);
            if (sa) {
                currentColor_ = color;
            } else {
                ps_.colors()[p] = color;
                ps_.highlights()[p] |= hl::kExplicitColor;
            }
            return true;
        }
        case 0x43:  // character set
            if (sa)
                currentCharset_ = value;
            else
                ps_.charsets()[p] = value;
            return true;
        case 0xC0:  // 3270 field attribute
            if (p < ps_.positions()) {
                ps_.attributes()[p] = value | fa::kMarker;
                if (target == PairTarget::StartFieldExtended && ps_.colors()[p] == 0 &&
                    (value & 0x80) != 0)
                    ps_.colors()[p] = ps_.baseColorOf(value);
            }
            return true;
        case 0x45:  // background colour
        case 0x46:  // transparency
        case 0xC1:  // field validation
        case 0xC2:  // field outlining
            return true;
        default:
            return false;  // a type we do not know (input control 0xFE, ...)
    }
}

RecordProcessor::Flow RecordProcessor::startFieldExtended(Cursor& c) {
    if (!writeGuard()) return Flow::Stop;
    if (c.pos + 1 >= c.length) return Flow::Stop;
    const int p = bufferAddress_;
    ps_.characters()[p] = 0x20;
    ps_.attributes()[p] = fa::kMarker;
    ps_.colors()[p] = 0;
    ps_.highlights()[p] = 0;
    ps_.charsets()[p] = 0;
    const int count = c.data[c.pos + 1];
    c.pos += 2;
    for (int i = 0; i < count; ++i) {
        if (c.pos + 1 >= c.length) {
            ps_.mark(p);
            return Flow::Stop;  // pairs cut off by the end of the record
        }
        // A pair of a type we do not know is skipped like any other: the count
        // says where the order ends, so what follows stays orders and data.
        applyPair(c.data[c.pos], c.data[c.pos + 1], PairTarget::StartFieldExtended, p);
        c.pos += 2;
    }
    ps_.characters()[p] = 0x20;
    ps_.mark(p);
    bufferAddress_ = ps_.nextAddress(p);
    afterOrder_ = true;
    return Flow::Continue;
}

RecordProcessor::Flow RecordProcessor::modifyField(Cursor& c) {
    if (c.pos + 1 >= c.length) return Flow::Stop;
    const int count = c.data[c.pos + 1];
    c.pos += 2;
    if (!writeGuard()) return Flow::Stop;
    const int p = bufferAddress_;
    for (int i = 0; i < count; ++i) {
        if (c.pos + 1 >= c.length) {
            ps_.mark(p);
            return Flow::Stop;
        }
        applyPair(c.data[c.pos], c.data[c.pos + 1], PairTarget::ModifyField, p);  // as in SFE
        c.pos += 2;
    }
    if (ps_.settings().colorModifyField) {
        ps_.colors()[p] = ps_.baseColorOf(ps_.attributes()[p]);
        ps_.highlights()[p] &= static_cast<std::uint8_t>(~hl::kExplicitColor);
    }
    ps_.characters()[p] = 0x20;
    ps_.mark(p);
    bufferAddress_ = ps_.nextAddress(p);
    afterOrder_ = true;
    return Flow::Continue;
}

RecordProcessor::Flow RecordProcessor::setAttribute(Cursor& c) {
    if (c.pos + 2 >= c.length) return Flow::Stop;
    // Always one pair, whatever its type.
    applyPair(c.data[c.pos + 1], c.data[c.pos + 2], PairTarget::SetAttribute, bufferAddress_);
    c.pos += 3;
    afterOrder_ = true;
    return Flow::Continue;
}

RecordProcessor::Flow RecordProcessor::programTab(Cursor& c) {
    if (!writeGuard()) return Flow::Stop;
    ++c.pos;
    const bool followsData = !afterOrder_;
    afterOrder_ = true;
    const int positions = ps_.positions();
    const auto& attrs = ps_.attributes();
    const int p = bufferAddress_;
    int start = p;
    if (attrs[p] != 0) {
        if (!fa::isProtected(attrs[p])) {
            bufferAddress_ = ps_.nextAddress(p);
            return Flow::Continue;
        }
        start = p + 1;
    } else if (followsData) {
        // PT after data nulls the rest of the field.
        int q = p;
        while (q < positions && attrs[q] == 0) {
            ps_.characters()[q] = 0;
            ps_.colors()[q] = 0;
            ps_.highlights()[q] = 0;
            ps_.charsets()[q] = 0;
            ps_.mark(q);
            ++q;
        }
        if (q >= positions) {
            bufferAddress_ = 0;
            return Flow::Continue;
        }
        start = q;
    }
    // Search forward, without wrapping, for an unprotected field.
    for (int q = start; q < positions; ++q) {
        if (attrs[q] != 0 && !fa::isProtected(attrs[q])) {
            bufferAddress_ = ps_.nextAddress(q);
            return Flow::Continue;
        }
    }
    bufferAddress_ = 0;
    return Flow::Continue;
}

RecordProcessor::Flow RecordProcessor::repeatToAddress(Cursor& c) {
    int stop = 0;
    std::uint8_t orderByte = order::kRepeatToAddress;
    do {
        ++c.pos;
        const Flow f = readAddress(c, orderByte, stop);
        if (f != Flow::Continue) return f;
        // RA directly followed by RA: the second one's address and character count.
    } while (c.pos < c.length && c.data[c.pos] == order::kRepeatToAddress);
    afterOrder_ = true;
    if (stop >= ps_.positions()) return Flow::Continue;  // nothing repeated
    if (c.pos >= c.length) return Flow::Stop;
    std::uint8_t ch = c.data[c.pos];
    bool graphic = false;
    if (ch == order::kGraphicEscape) {
        if (c.pos + 1 >= c.length) return Flow::Stop;
        graphic = true;
        ch = c.data[c.pos + 1];
        c.pos += 2;
    } else if (order::isOrder(ch)) {
        // Only a character is repeated. An order here (SBA, IC, SA, another
        // RA, ...) would not move the buffer address and never reach the
        // stop address: the record ends.
        return Flow::Stop;
    } else {
        ++c.pos;
    }
    if (!writeGuard()) return Flow::Stop;
    // Stop address equal to the start: the whole buffer is filled.
    const int from = bufferAddress_;
    const int positions = ps_.positions();
    const int count = stop > from ? stop - from : positions - from + stop;
    const std::uint8_t shown =
        graphic || currentCharset_ == kGraphicEscapeCharset ? ch : codePages_.hostToDisplay(ch);
    fill(from, count, ch, shown, graphic ? kGraphicEscapeCharset : currentCharset_);
    bufferAddress_ = stop;
    return Flow::Continue;
}

// Writes `count` positions from `from` (wrapping) with one character.
void RecordProcessor::fill(int from, int count, std::uint8_t hostCode, std::uint8_t shown,
                           std::uint8_t charset) {
    auto& img = ps_.image();
    auto& changed = ps_.changed();
    while (count > 0) {
        const int n = std::min(count, ps_.positions() - from);
        const auto len = static_cast<std::size_t>(n);
        std::memset(img.hostCodes.data() + from, hostCode, len);
        std::memset(img.characters.data() + from, shown, len);
        std::memset(img.attributes.data() + from, 0, len);
        std::memset(img.colors.data() + from, currentColor_, len);
        std::memset(img.highlights.data() + from, currentHighlight_, len);
        std::memset(img.charsets.data() + from, charset, len);
        std::memset(changed.data() + from, 1, len);
        count -= n;
        from = 0;
    }
}

RecordProcessor::Flow RecordProcessor::eraseUnprotectedToAddress(Cursor& c) {
    if (!writeGuard()) return Flow::Stop;
    const std::uint8_t orderByte = c.data[c.pos];
    ++c.pos;
    int stop = 0;
    const Flow f = readAddress(c, orderByte, stop);
    if (f != Flow::Continue) return f;
    afterOrder_ = true;
    if (stop >= ps_.positions()) return Flow::Continue;
    ps_.findField(bufferAddress_);
    auto& attrs = ps_.attributes();
    do {
        const int p = bufferAddress_;
        if (attrs[p] != 0) ps_.currentFieldAttribute = attrs[p];
        if (!fa::isProtected(ps_.currentFieldAttribute)) {
            ps_.characters()[p] = 0;
            ps_.mark(p);
        }
        bufferAddress_ = ps_.nextAddress(p);
    } while (bufferAddress_ != stop);
    return Flow::Continue;
}

RecordProcessor::Flow RecordProcessor::graphicEscape(Cursor& c) {
    if (!writeGuard()) return Flow::Stop;
    if (c.pos + 1 >= c.length) return Flow::Stop;
    const std::uint8_t b = c.data[c.pos + 1];
    const int p = bufferAddress_;
    ps_.hostCodes()[p] = b;
    ps_.characters()[p] = b;
    ps_.attributes()[p] = 0;
    ps_.colors()[p] = currentColor_;
    ps_.highlights()[p] = currentHighlight_;
    ps_.charsets()[p] = kGraphicEscapeCharset;
    ps_.mark(p);
    bufferAddress_ = ps_.nextAddress(p);
    c.pos += 2;
    afterOrder_ = true;
    return Flow::Continue;
}

void RecordProcessor::endOfWrite() {
    ps_.fieldStatistics();
    if (suspendsEndOfWrite(status_)) return;
    hooks_.transfer->takeCompletion();  // closes a finished transfer's progress window
    const std::uint8_t wcc = wccRegister;
    if ((wcc & 0x04) && options_.alarm) hooks_.events->soundAlarm();
    if (!(wcc & 0x08)) {
        hooks_.print->flushAccumulated();
    } else if (hooks_.print->wccPrintingEnabled() && !ps_.screenBlank) {
        hooks_.print->printScreen(ps_);
    }
    if (!(wcc & 0x02)) return;

    status_ = SessionStatus::Unlocked;
    hooks_.events->keyboardRestored();
    hooks_.events->measureResponseTime(aid_.outstanding || ps_.settings().alwaysUpdateTranTime);
    if (options_.convertNullsToBlanks) {
        auto& chars = ps_.characters();
        for (int p = 0; p < ps_.positions(); ++p)
            if (chars[p] == 0) chars[p] = 0x20;
    }
    hooks_.events->replayTypeAhead();
    hooks_.events->refreshDisplay();
    aid_.outstanding = false;
}

}  // namespace cedar
