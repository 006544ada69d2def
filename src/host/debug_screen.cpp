#include "host/debug_screen.h"

#include <algorithm>

#include "host/trace.h"
#include "screen/message_titles.h"
#include "screen/presentation_space.h"
#include "screen/record_processor.h"

namespace cedar {

namespace {

constexpr std::uint8_t kIac = 0xFF;
constexpr std::uint8_t kEor = 0xEF;

std::string withName(const char* format, const std::string& name) {
    std::string text(format);
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, name);
    return text;
}

DebugScreenResult notValid(const std::string& name) {
    return {false, title::kCedarFileError,
            withName("%s is not a valid Cedar TN3270 debug file for this version", name)};
}

}  // namespace

std::string debugMagic() {
    std::string magic = "Cedar Debug V1.00";
    magic.resize(kDebugMagicLength, ' ');
    return magic;
}

std::optional<std::vector<std::uint8_t>> encodeDebugScreen(Bytes record) {
    if (record.size() > kMaxDebugRecord) return std::nullopt;
    const std::string magic = debugMagic();
    const std::size_t length = record.size() + 2;
    std::vector<std::uint8_t> file(magic.begin(), magic.end());
    file.push_back(static_cast<std::uint8_t>(length & 0xFF));
    file.push_back(static_cast<std::uint8_t>((length >> 8) & 0xFF));
    file.insert(file.end(), record.begin(), record.end());
    file.push_back(kIac);
    file.push_back(kEor);
    return file;
}

DebugScreenResult decodeDebugScreen(Bytes file, const std::string& name,
                                    std::vector<std::uint8_t>& record) {
    record.clear();
    if (file.size() < kDebugHeaderLength) return notValid(name);
    const std::string magic = debugMagic();
    if (!std::equal(magic.begin(), magic.end(), file.begin())) return notValid(name);
    const std::size_t length = static_cast<std::size_t>(file[kDebugMagicLength]) |
                               (static_cast<std::size_t>(file[kDebugMagicLength + 1]) << 8);
    if (length < 2 || length > file.size() - kDebugHeaderLength) return notValid(name);
    const auto data = file.subspan(kDebugHeaderLength, length - 2);  // without IAC EOR
    record.assign(data.begin(), data.end());
    return {};
}

DebugScreenResult saveDebugScreen(TraceSink& sink, const std::string& name, Bytes lastRecord) {
    const auto file = encodeDebugScreen(lastRecord);
    if (!file) {
        return {false, title::kFileSaveError,
                withName("The last record is too long to be saved in %s", name)};
    }
    if (!sink.create(name) || !sink.append(name, *file)) {
        return {false, title::kFileSaveError,
                "Error " + std::to_string(sink.lastError()) + " while saving " + name};
    }
    return {};
}

DebugScreenResult loadDebugScreen(const std::optional<std::vector<std::uint8_t>>& file,
                                  const std::string& name, PresentationSpace& ps,
                                  RecordProcessor& records, Trace* trace) {
    if (!file)
        return {false, title::kSessionFileError, withName("Debug file %s was not found", name)};
    std::vector<std::uint8_t> record;
    DebugScreenResult result = decodeDebugScreen(*file, name, record);
    if (!result.ok) return result;

    if (trace) trace->trace(TraceType::RecordReceived, record);
    records.processRecord(record);
    ps.fieldStatistics();
    ps.markAll();
    return result;
}

}  // namespace cedar
