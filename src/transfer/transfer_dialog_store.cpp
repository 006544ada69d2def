#include "transfer/transfer_dialog_store.h"

#include <algorithm>
#include <string>

namespace cedar {

namespace {

struct Text {
    std::size_t offset, size;
};

struct Layout {
    Text pcName, pcFolder;
    std::size_t rest;
};

constexpr Layout kUpload{{4244, 260}, {4504, 260}, 831};
constexpr Layout kDownload{{4764, 260}, {5024, 260}, 1209};
constexpr std::size_t kEnd = 5284;

constexpr std::size_t kHostName = 0, kListLevel = 55, kParameters = 100, kFlags = 201,
                      kHostType = 202, kTsoFormat = 203, kCmsFormat = 204, kSpaceUnit = 205,
                      kTsoLength = 206, kCmsLength = 210, kBlockSize = 214, kPrimary = 218,
                      kSecondary = 222;
constexpr Text kHostNameText{kHostName, 55}, kListLevelText{kListLevel, 45},
    kParametersText{kParameters, 101};
constexpr std::uint8_t kBinary = 1, kAppend = 2, kNoAscii = 4, kNoCrlf = 8;

const Layout& layout(TransferDirection direction) {
    return direction == TransferDirection::Download ? kDownload : kUpload;
}

std::string readText(std::span<const std::uint8_t> record, Text t) {
    std::string out;
    for (std::size_t i = 0; i + 1 < t.size && record[t.offset + i] != 0; ++i)
        out += static_cast<char>(record[t.offset + i]);
    return out;
}

void writeText(std::span<std::uint8_t> record, Text t, const std::string& text) {
    const std::size_t n = std::min(text.size(), t.size - 1);
    std::fill_n(record.begin() + static_cast<std::ptrdiff_t>(t.offset), t.size, 0);
    std::copy_n(text.begin(), n, record.begin() + static_cast<std::ptrdiff_t>(t.offset));
}

int readNumber(std::span<const std::uint8_t> record, std::size_t at, int high) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | record[at + static_cast<std::size_t>(i)];
    return v > static_cast<std::uint32_t>(high) ? 0 : static_cast<int>(v);
}

void writeNumber(std::span<std::uint8_t> record, std::size_t at, int value) {
    const auto v = static_cast<std::uint32_t>(std::max(value, 0));
    for (std::size_t i = 0; i < 4; ++i)
        record[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

RecordFormat readFormat(std::uint8_t b) {
    return b <= 2 ? static_cast<RecordFormat>(b) : RecordFormat::None;
}

Text at(std::size_t base, Text t) {
    return {base + t.offset, t.size};
}

}  // namespace

TransferDialogValues storedDialogValues(std::span<const std::uint8_t> record,
                                        TransferDirection direction) {
    TransferDialogValues v;
    if (record.size() < kEnd) return v;
    const Layout& l = layout(direction);
    const std::size_t b = l.rest;
    v.pcName = readText(record, l.pcName);
    v.pcFolder = readText(record, l.pcFolder);
    v.hostName = readText(record, at(b, kHostNameText));
    v.listLevel = readText(record, at(b, kListLevelText));
    v.additionalParameters = readText(record, at(b, kParametersText));
    const std::uint8_t flags = record[b + kFlags];
    v.binary = (flags & kBinary) != 0;
    v.append = (flags & kAppend) != 0;
    v.ascii = (flags & kNoAscii) == 0;
    v.crlf = (flags & kNoCrlf) == 0;
    const std::uint8_t type = record[b + kHostType];
    v.hostType = type <= 2 ? static_cast<TransferHostType>(type) : TransferHostType::Tso;
    v.tso.recordFormat = readFormat(record[b + kTsoFormat]);
    v.cms.recordFormat = readFormat(record[b + kCmsFormat]);
    v.spaceUnit = record[b + kSpaceUnit] == 1 ? SpaceUnit::Cylinders : SpaceUnit::Tracks;
    v.tso.recordLength = readNumber(record, b + kTsoLength, 99999);
    v.cms.recordLength = readNumber(record, b + kCmsLength, 99999);
    v.blockSize = readNumber(record, b + kBlockSize, 99999);
    v.primarySpace = readNumber(record, b + kPrimary, 999999);
    v.secondarySpace = readNumber(record, b + kSecondary, 999999);
    return v;
}

void storeDialogValues(std::span<std::uint8_t> record, TransferDirection direction,
                       const TransferDialogValues& v) {
    if (record.size() < kEnd) return;
    const Layout& l = layout(direction);
    const std::size_t b = l.rest;
    writeText(record, l.pcName, v.pcName);
    writeText(record, l.pcFolder, v.pcFolder);
    writeText(record, at(b, kHostNameText), v.hostName);
    writeText(record, at(b, kListLevelText), v.listLevel);
    writeText(record, at(b, kParametersText), v.additionalParameters);
    record[b + kFlags] =
        static_cast<std::uint8_t>((v.binary ? kBinary : 0) | (v.append ? kAppend : 0) |
                                  (v.ascii ? 0 : kNoAscii) | (v.crlf ? 0 : kNoCrlf));
    record[b + kHostType] = static_cast<std::uint8_t>(v.hostType);
    record[b + kTsoFormat] = static_cast<std::uint8_t>(v.tso.recordFormat);
    record[b + kCmsFormat] = static_cast<std::uint8_t>(v.cms.recordFormat);
    record[b + kSpaceUnit] = v.spaceUnit == SpaceUnit::Cylinders ? 1 : 0;
    writeNumber(record, b + kTsoLength, std::min(v.tso.recordLength, 99999));
    writeNumber(record, b + kCmsLength, std::min(v.cms.recordLength, 99999));
    writeNumber(record, b + kBlockSize, std::min(v.blockSize, 99999));
    writeNumber(record, b + kPrimary, std::min(v.primarySpace, 999999));
    writeNumber(record, b + kSecondary, std::min(v.secondarySpace, 999999));
}

}  // namespace cedar
