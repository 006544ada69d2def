// Layout-file headers, loading and saving, and the macro-name list.
#include "keyboard/layout_file.h"

#include <algorithm>
#include <cstring>

#include "keyboard/layout_internal.h"
#include "screen/message_titles.h"

namespace cedar::keys {

using namespace layout_detail;

namespace {

constexpr std::string_view kPrefix = "Cedar ";
constexpr std::size_t kVersionLength = 5;
constexpr std::string_view kBaseVersion = "V1.26";
constexpr std::string_view kExtendedVersion = "V1.28";
constexpr std::size_t kOldNameSize = 8;

std::string format1(std::string_view pattern, std::string_view a) {
    std::string out;
    const auto at = pattern.find("%s");
    out.append(pattern.substr(0, at));
    out.append(a);
    out.append(pattern.substr(at + 2));
    return out;
}

std::string format2(std::string_view pattern, std::string_view a, std::string_view b) {
    const auto at = pattern.find("%s");
    return std::string(pattern.substr(0, at)) + std::string(a) + format1(pattern.substr(at + 2), b);
}

std::string_view versionOf(std::span<const std::uint8_t> file, LayoutType type) {
    const std::size_t at = kPrefix.size() + layoutTypeName(type).size() + 1;
    return {reinterpret_cast<const char*>(file.data() + at), kVersionLength};
}

bool versionBelow(std::string_view version, std::string_view than) {
    return std::lexicographical_compare(
        version.begin(), version.end(), than.begin(), than.end(), [](char a, char b) {
            return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
        });
}

// Rewrites a list of a count byte and 8-byte names as NUL-terminated names
// ended by an empty one. An empty old name ends the list (it cannot be
// represented in the new form). False when the old list passes the block's end.
bool convertOldMacroList(std::vector<std::uint8_t>& work, std::size_t listOffset) {
    if (listOffset >= work.size()) return false;
    const std::size_t count = work[listOffset];
    if (listOffset + 1 + count * kOldNameSize > work.size()) return false;
    std::vector<std::uint8_t> list;
    for (std::size_t i = 0; i < count; ++i) {
        const auto* name = work.data() + listOffset + 1 + i * kOldNameSize;
        const auto* end = std::find(name, name + kOldNameSize, std::uint8_t{0});
        if (end == name) break;
        list.insert(list.end(), name, end);
        list.push_back(0);
    }
    list.push_back(0);
    work.resize(listOffset);
    work.insert(work.end(), list.begin(), list.end());
    return true;
}

}  // namespace

namespace layout_detail {

std::optional<BlockShape> checkMacroList(std::span<const std::uint8_t> body, std::size_t offset) {
    BlockShape shape;
    shape.listOffset = offset;
    std::size_t at = offset;
    while (true) {
        if (at >= body.size()) return std::nullopt;
        const auto nul = std::find(body.begin() + static_cast<long>(at), body.end(), 0);
        if (nul == body.end()) return std::nullopt;
        const auto end = static_cast<std::size_t>(nul - body.begin());
        if (end == at) break;  // the closing empty name
        if (++shape.macroCount > kMaxMacroNames) return std::nullopt;
        at = end + 1;
    }
    shape.listEnd = at + 1;
    return shape;
}

std::optional<BlockShape> checkBlock(std::span<const std::uint8_t> body, LayoutType type,
                                     int keyCount) {
    if (body.size() > kLayoutBlockSize) return std::nullopt;
    std::size_t listOffset = 0;
    if (type == LayoutType::Keyboard) {
        if (keyCount != kStandardKeyCount && keyCount != kExtendedKeyCount) return std::nullopt;
        listOffset = static_cast<std::size_t>(keyCount) * kKeyEntrySize;
    } else {
        const auto offset = checkButtonEntries(body);
        if (!offset) return std::nullopt;
        listOffset = *offset;
    }
    return checkMacroList(body, listOffset);
}

}  // namespace layout_detail

std::string_view layoutTypeName(LayoutType type) {
    switch (type) {
        case LayoutType::Keyboard:
            return "Keytable";
        case LayoutType::Toolbar:
            return "Toolbar";
        case LayoutType::Keypad:
        default:
            return "KeyPad";
    }
}

std::string_view defaultLayoutName(LayoutType type) {
    switch (type) {
        case LayoutType::Keyboard:
            return "standard.key";
        case LayoutType::Toolbar:
            return "standard.bar";
        case LayoutType::Keypad:
        default:
            return "standard.pad";
    }
}

std::array<std::uint8_t, kLayoutHeaderSize> layoutHeader(LayoutType type, bool extendedKeyboard) {
    std::array<std::uint8_t, kLayoutHeaderSize> header;
    header.fill(' ');
    std::string text(kPrefix);
    text += layoutTypeName(type);
    text += ' ';
    text += (extendedKeyboard && type == LayoutType::Keyboard) ? kExtendedVersion : kBaseVersion;
    std::copy(text.begin(), text.end(), header.begin());
    return header;
}

KeyFileMessage layoutInvalidMessage(std::string_view fileName, LayoutType type) {
    return {format2("%s is not a valid Cedar %s", fileName, layoutTypeName(type)),
            title::kCedarFileError};
}

KeyFileMessage layoutTooLargeMessage(std::string_view fileName, LayoutType type) {
    return {format2("%s is too large for a Cedar %s file:\nits contents may hold at most 65536 "
                    "bytes",
                    fileName, layoutTypeName(type)),
            title::kCedarFileError};
}

KeyFileMessage layoutSaveErrorMessage(int errorCode, std::string_view fileName) {
    return {format2("Error %s while saving %s", std::to_string(errorCode), fileName),
            title::kFileSaveError};
}

LayoutBlock::LayoutBlock(LayoutType type) : type_(type) {
    if (type == LayoutType::Keyboard) {
        keyCount_ = kStandardKeyCount;
        listOffset_ = static_cast<std::size_t>(keyCount_) * kKeyEntrySize;
        block_.assign(listOffset_ + 1, 0);
        for (std::size_t at = 0; at < listOffset_; at += 2)
            set16(block_, at, kNoFunction);
    } else {
        listOffset_ = kButtonBlockHeaderSize;
        block_.assign(listOffset_ + 1, 0);
        set16(block_, 2, static_cast<unsigned>(listOffset_));
    }
}

std::optional<KeyFileMessage> LayoutBlock::load(std::span<const std::uint8_t> file,
                                                std::string_view fileName,
                                                const LayoutLoadOptions& options) {
    const std::string_view typeName = layoutTypeName(type_);
    if (file.size() < kLayoutHeaderSize ||
        std::memcmp(file.data(), kPrefix.data(), kPrefix.size()) != 0 ||
        std::memcmp(file.data() + kPrefix.size(), typeName.data(), typeName.size()) != 0)
        return layoutInvalidMessage(fileName, type_);
    const auto body = file.subspan(kLayoutHeaderSize);
    if (body.size() > kLayoutBlockSize) return layoutTooLargeMessage(fileName, type_);

    const std::string_view version = versionOf(file, type_);
    const bool keyboard = type_ == LayoutType::Keyboard;
    const int keyCount =
        keyboard ? (version == kExtendedVersion ? kExtendedKeyCount : kStandardKeyCount) : 0;

    std::vector<std::uint8_t> work(body.begin(), body.end());
    if (versionBelow(version, kBaseVersion)) {
        std::size_t listOffset = static_cast<std::size_t>(keyCount) * kKeyEntrySize;
        if (!keyboard) {
            if (work.size() < kButtonBlockHeaderSize) return layoutInvalidMessage(fileName, type_);
            listOffset = get16(work, 2);
        }
        if (!convertOldMacroList(work, listOffset)) return layoutInvalidMessage(fileName, type_);
        if (work.size() > kLayoutBlockSize) return layoutTooLargeMessage(fileName, type_);
    }

    auto shape = checkBlock(work, type_, keyCount);
    if (!shape) return layoutInvalidMessage(fileName, type_);
    work.resize(shape->listEnd);

    int finalKeys = keyCount;
    if (keyboard && options.additionalKeys && version == kBaseVersion) {
        // Keys 119..149 have no place in the picture; they start without a function.
        const std::size_t mapEnd = shape->listOffset;
        std::vector<std::uint8_t> added(
            static_cast<std::size_t>(kExtendedKeyCount - kStandardKeyCount) * kKeyEntrySize);
        for (std::size_t at = 0; at < added.size(); at += 2)
            set16(added, at, kNoFunction);
        work.insert(work.begin() + static_cast<long>(mapEnd), added.begin(), added.end());
        if (work.size() > kLayoutBlockSize) return layoutTooLargeMessage(fileName, type_);
        finalKeys = kExtendedKeyCount;
        shape->listOffset += added.size();
        shape->listEnd += added.size();
    }

    block_ = std::move(work);
    listOffset_ = shape->listOffset;
    macroCount_ = shape->macroCount;
    keyCount_ = finalKeys;
    remembered_.clear();
    if (keyboard) applyCountryLayout(options.countryLayout);
    return std::nullopt;
}

bool LayoutBlock::assignBody(std::span<const std::uint8_t> body, int keyCount) {
    const int keys = type_ == LayoutType::Keyboard ? keyCount : 0;
    const auto shape = checkBlock(body, type_, keys);
    if (!shape) return false;
    block_.assign(body.begin(), body.begin() + static_cast<long>(shape->listEnd));
    listOffset_ = shape->listOffset;
    macroCount_ = shape->macroCount;
    keyCount_ = keys;
    remembered_.clear();
    return true;
}

std::vector<std::uint8_t> LayoutBlock::fileBytes() const {
    const auto header = layoutHeader(type_, keyCount_ == kExtendedKeyCount);
    std::vector<std::uint8_t> out(header.size() + block_.size());
    std::copy(header.begin(), header.end(), out.begin());
    std::copy(block_.begin(), block_.end(), out.begin() + static_cast<long>(header.size()));
    return out;
}

std::optional<std::string> LayoutBlock::macroNameAt(int index) const {
    if (index < 0 || index >= macroCount_) return std::nullopt;
    std::size_t at = listOffset_;
    for (int i = 0; i < index; ++i)
        at = static_cast<std::size_t>(
                 std::find(block_.begin() + static_cast<long>(at), block_.end(), 0) -
                 block_.begin()) +
             1;
    const auto start = block_.begin() + static_cast<long>(at);
    return std::string(start, std::find(start, block_.end(), 0));
}

int LayoutBlock::macroIndex(std::string_view name) const {
    std::size_t at = listOffset_;
    for (int i = 0; i < macroCount_; ++i) {
        const auto start = block_.begin() + static_cast<long>(at);
        const auto end = std::find(start, block_.end(), 0);
        const std::string_view entry(reinterpret_cast<const char*>(&*start),
                                     static_cast<std::size_t>(end - start));
        if (equalsIgnoringCase(entry, name)) return i;
        at = static_cast<std::size_t>(end - block_.begin()) + 1;
    }
    return -1;
}

std::optional<int> LayoutBlock::addMacroName(std::string_view name) {
    if (name.empty() || name.find('\0') != std::string_view::npos) return std::nullopt;
    if (macroCount_ >= kMaxMacroNames) return std::nullopt;
    if (block_.size() + name.size() + 1 > kLayoutBlockSize) return std::nullopt;
    // The name takes the place of the closing empty name, which follows it.
    std::vector<std::uint8_t> entry(name.begin(), name.end());
    entry.push_back(0);
    block_.insert(block_.end() - 1, entry.begin(), entry.end());
    return macroCount_++;
}

LayoutLoadOutcome loadLayoutByName(LayoutBlock& block, const std::string& name,
                                   LayoutFileSource& source, const LayoutLoadOptions& options) {
    LayoutLoadOutcome out;
    const std::string fallback(defaultLayoutName(block.type()));
    const std::string notFoundTitle = title::kFileNotFound;
    std::string used = name;
    auto bytes = source.read(name);
    if (!bytes) {
        if (equalsIgnoringCase(name, fallback)) {
            out.messages.push_back(
                {format1("File \"%s\" was not found.\nYou may need to re-install Cedar TN3270.",
                         name),
                 notFoundTitle});
            return out;
        }
        bytes = source.read(fallback);
        if (!bytes) {
            out.messages.push_back(
                {format2("File \"%s\" was not found and\n%s could not be opened as an alternate.",
                         name, fallback),
                 notFoundTitle});
            return out;
        }
        out.messages.push_back(
            {format2("File \"%s\" was not found.\n%s will be used as an alternate.", name,
                     fallback),
             notFoundTitle});
        out.newFileName = fallback;
        used = fallback;
    }
    if (auto error = block.load(*bytes, used, options)) {
        out.messages.push_back(std::move(*error));
        return out;
    }
    out.loaded = true;
    return out;
}

std::string keyText(const KeyList& list, KeyWord word, const LayoutBlock& block) {
    return keyText(list, word, [&block](int index) { return block.macroNameAt(index); });
}

}  // namespace cedar::keys
