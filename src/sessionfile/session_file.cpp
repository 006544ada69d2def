#include "sessionfile/session_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace cedar::sessionfile {

namespace {

// The version digits inside the header ("26" of "V1.26").
constexpr std::size_t kVersionAt = 17;
constexpr int kCurrentVersion = 26;

// Every earlier version held the fields up to USEALTFORMENU (nothing gives
// them defaults), so a shorter file is not a session file.
constexpr std::size_t kEarliestRecordBytes = 1888;

// A text of an earlier version's layout: where it was and how long its field was.
struct OldText {
    std::size_t offset;
    std::size_t size;
};
constexpr OldText kOldEditKeyboard{641, 14};
constexpr OldText kOldEditToolBar{655, 14};
constexpr OldText kOldFileName{669, 14};
constexpr OldText kOldStartupMacro{684, 14};
constexpr OldText kOldTransferText1{891, 260};
constexpr OldText kOldTransferText2{1269, 260};
constexpr OldText kOldEditKeypad{2034, 14};
constexpr OldText kOldLuName{2430, 10};
constexpr OldText kOldAlarmSound{2642, 32};
constexpr OldText kOldKeyClickSound{2674, 32};
constexpr OldText kOldUpdateSound{2706, 32};
constexpr OldText kOldPrinterName{2801, 34};

// Places inside the transfer and print blocks that conversion sets.
constexpr OldText kTransferText1{4244, 260};
constexpr OldText kTransferFolder1{4504, 260};
constexpr OldText kTransferText2{4764, 260};
constexpr OldText kTransferFolder2{5024, 260};
constexpr std::size_t kOldBackspace = 717;
constexpr std::size_t kPrintOption = 2752;
constexpr std::size_t kTransferOption1 = 2755;
constexpr std::size_t kTransferOption2 = 2756;

// Files with five print profiles: what followed them moves up by one profile.
constexpr std::size_t kFiveProfileTail = 2305;
constexpr std::size_t kSixProfileTail = 2355;
constexpr std::size_t kMovedTailBytes = 90;

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && lower(s.substr(s.size() - suffix.size())) == suffix;
}

std::string replaceFirst(std::string_view pattern, std::string_view value) {
    std::string out(pattern);
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

// The header's version: the current one, an earlier or later one, or nothing.
std::optional<int> headerVersion(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderSize) return std::nullopt;
    for (std::size_t i = 0; i < kHeaderSize; ++i) {
        if (i == kVersionAt || i == kVersionAt + 1) {
            if (!std::isdigit(file[i])) return std::nullopt;
            continue;
        }
        if (file[i] != static_cast<std::uint8_t>(kHeader[i])) return std::nullopt;
    }
    return (file[kVersionAt] - '0') * 10 + (file[kVersionAt + 1] - '0');
}

std::string readOld(const SessionOptions& o, OldText t) {
    const auto bytes = std::span<const std::uint8_t>(o.bytes()).subspan(t.offset, t.size - 1);
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
}

// Writes a text that is known to fit.
void writeOld(SessionOptions& o, OldText t, std::string_view text) {
    auto bytes = std::span<std::uint8_t>(o.bytes()).subspan(t.offset, t.size);
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    std::copy_n(text.begin(), std::min(text.size(), t.size - 1), bytes.begin());
}

void moveOld(SessionOptions& o, OldText from, Field to) {
    o.setText(to, readOld(o, from));
}

void moveOld(SessionOptions& o, OldText from, OldText to) {
    writeOld(o, to, readOld(o, from));
}

PrintProfile defaultPrintProfile() {
    PrintProfile p;
    p.face = "Courier New";
    p.left.fill(5);
    p.top.fill(5);
    p.right.fill(95);
    p.bottom.fill(95);
    return p;
}

// Defaults for what a file of `size` bytes cannot hold, oldest first.
void applySizeDefaults(SessionOptions& o, std::size_t size) {
    auto& b = o.bytes();
    const auto set = [&](Field f, std::int64_t v) { o.setNumber(f, v); };
    const auto text = [&](Field f, std::string_view v) { o.setText(f, v); };

    if (size <= 1936) {
        writeOld(o, kOldStartupMacro, "(none)");
        set(Field::AutoReconnect, 1);
    }
    if (size <= 1938) {
        text(Field::UserName, "");
        set(Field::ShowFieldAttributes, 0);
    }
    if (size < 1959) {
        set(Field::MoveCursorOnActivate, 1);
        set(Field::SkipAtEndOfField, 1);
        set(Field::ToggleShiftCaps, 1);
    }
    if (size < 1962) {
        set(Field::Icon, 0);
        set(Field::ToolBarHidden, 0);
        set(Field::MenuBarHidden, 0);
    }
    if (size < 2416) {
        text(Field::Screen, "United States");
        text(Field::Keyboard, "United States");
        text(Field::PcCodePage, "DOS (US 437)");
        writeOld(o, kOldEditKeypad, "standard.pad");
        set(Field::Brightness, 128);
        set(Field::NotifyUserOnInsertError, 1);
        for (int i = 0; i < PrintProfile::kCount; ++i)
            o.setPrintProfile(i, defaultPrintProfile());
        set(Field::DebugWindowLeft, 10);
        set(Field::DebugWindowTop, 10);
        set(Field::DebugWindowWidth, 200);
        set(Field::DebugWindowHeight, 300);
        text(Field::IpName, o.text(Field::HostName));
        set(Field::Tn3270e, 0);
        writeOld(o, kOldLuName, "");
        set(Field::After, 0);
        set(Field::TransferBlockSize, 2500);
        set(Field::UserModelHeight, 127);
        set(Field::UserModelWidth, 56);
    }
    if (size == 2416 || size == 2418) {
        // Five print profiles: make room for a sixth before the fifth.
        std::memmove(&b[kSixProfileTail], &b[kFiveProfileTail], kMovedTailBytes);
        auto profiles = o.raw(Field::PrintProfiles);
        const auto fifth = profiles.subspan(4 * PrintProfile::kSize, PrintProfile::kSize);
        std::copy(fifth.begin(), fifth.end(), profiles.begin() + 5 * PrintProfile::kSize);
        std::fill(fifth.begin(), fifth.end(), std::uint8_t{0});
        o.setPrintProfile(4, defaultPrintProfile());
        set(Field::TransferBlockSize, 2500);
        set(Field::UserModelHeight, 127);
        set(Field::UserModelWidth, 56);
    }
    if (size < 2764) {
        writeOld(o, {2446, 65}, "listcat");
        writeOld(o, {2511, 65}, "listds");
        writeOld(o, {2577, 65}, "list");
        set(Field::CursorColor, 0);
        writeOld(o, kOldAlarmSound, "beep1.wav");
        writeOld(o, kOldKeyClickSound, "click4.wav");
        writeOld(o, kOldUpdateSound, "beep4.wav");
        set(Field::MoveCursorToEndOnPaste, 0);
        set(Field::KeypadAtStart, 0);
        set(Field::KeypadAtPreviousPosition, 0);
        set(Field::KeypadLeft, 100);
        set(Field::KeypadTop, 100);
        b[kPrintOption] = 0;
    }
    if (size < 2828) {
        const int backspace = b[kOldBackspace] != 0 ? 2 : 0;
        set(Field::NormalCursorBackspace, backspace);
        set(Field::InsertCursorBackspace, backspace);
        b[kTransferOption1] = 0;
        b[kTransferOption2] = 0;
    }
    if (size < 2860) {
        writeOld(o, kOldPrinterName, "<default>");
        set(Field::EnableDragAndDrop, 1);
        set(Field::EnableAutoCutCopy, 0);
        set(Field::DftMode, 1);
    }
    if (size < 2864) {
        set(Field::EnableAutoSkip, 0);
        set(Field::FindOptions, 0);
    }
    if (o.number(Field::DefaultModeWidth) == 0) set(Field::DefaultModeWidth, 80);
    if (o.number(Field::DefaultModeHeight) == 0) set(Field::DefaultModeHeight, 24);
    if (size < 2884) moveOld(o, kOldLuName, Field::LuName);
    if (size < 6608) {
        moveOld(o, kOldPrinterName, Field::PrinterName);
        o.setItemForeground(kSpecifiedCursorItem, 10);
    }
    if (size < 6612) o.setItemForeground(kFindHighlightingItem, 7);
    if (size < 6712) text(Field::BorderText, "");
    if (size < 6716) set(Field::ScreenBuffers, 20);
    if (size < 7012) {
        set(Field::TrueType, 0);
        text(Field::TrueTypeFontName, "IBM 3270");
    }
    // Files shorter than the current record also lack the transfer dialogs'
    // saved size at the end of the record; its place is not fixed yet, so
    // nothing is written for it.
}

// Texts of an earlier version's layout move to their current fields. The
// file's own name is not taken from the file: SESSIONFILE is always the name
// the file was loaded under, so that a renamed file is saved under its name.
void convertEarlierVersion(SessionOptions& o, const LoadContext& context) {
    moveOld(o, kOldEditKeyboard, Field::EditKeyboard);
    moveOld(o, kOldEditToolBar, Field::EditToolBar);
    moveOld(o, kOldStartupMacro, Field::StartupMacro);
    moveOld(o, kOldFileName, Field::FileName);
    moveOld(o, kOldTransferText1, kTransferText1);
    moveOld(o, kOldTransferText2, kTransferText2);
    moveOld(o, kOldEditKeypad, Field::EditKeypad);
    moveOld(o, kOldAlarmSound, Field::AlarmSound);
    moveOld(o, kOldKeyClickSound, Field::KeyClickSound);
    moveOld(o, kOldUpdateSound, Field::UpdateSound);
    const std::string folder =
        context.documentsFolder.empty() ? std::string() : context.documentsFolder + "\\";
    if (folder.size() < kTransferFolder1.size) {
        writeOld(o, kTransferFolder1, folder);
        writeOld(o, kTransferFolder2, folder);
    }
    auto reserved = o.raw(Field::Reserved);
    std::fill(reserved.begin(), reserved.end(), std::uint8_t{0});
}

}  // namespace

std::string withSesExtension(std::string_view name) {
    std::string out(name);
    if (!endsWithNoCase(name, ".ses")) out += ".ses";
    return out;
}

bool isStandardSessionFile(std::string_view name) {
    return lower(withSesExtension(name)) == kStandardSessionFile;
}

FileKind classify(std::span<const std::uint8_t> file) {
    const auto version = headerVersion(file);
    if (!version) return FileKind::NotASessionFile;
    if (*version > kCurrentVersion) return FileKind::NewerVersion;
    if (*version == kCurrentVersion)
        return file.size() == kFileSize ? FileKind::Current : FileKind::NotASessionFile;
    if (file.size() < kHeaderSize + kEarliestRecordBytes || file.size() > kFileSize)
        return FileKind::NotASessionFile;
    return FileKind::Earlier;
}

std::string notFoundMessage(std::string_view name, std::string_view folder) {
    std::string out = replaceFirst("Session file %s was not found\nin folder %s", name);
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, folder);
    return out;
}

std::string notValidMessage(std::string_view name) {
    return replaceFirst("%s is not a valid session file for this version", name);
}

LoadResult loadSessionFile(std::string_view name, std::span<const std::uint8_t> file,
                           const LoadContext& context) {
    LoadResult result;
    if (name.empty()) return result;
    const std::string fileName = withSesExtension(name);
    const FileKind kind = classify(file);
    if (kind != FileKind::Current && kind != FileKind::Earlier) {
        result.message = notValidMessage(fileName);
        return result;
    }
    SessionOptions o;
    const auto record = file.subspan(kHeaderSize);
    std::copy(record.begin(), record.end(), o.bytes().begin());
    applySizeDefaults(o, file.size());
    if (kind == FileKind::Earlier) convertEarlierVersion(o, context);
    if (!o.setText(Field::SessionFile, fileName)) {
        result.message = replaceFirst("The session file name %s is too long", fileName);
        return result;
    }
    result.ok = true;
    result.converted = kind == FileKind::Earlier;
    result.options = o;
    return result;
}

std::vector<std::uint8_t> sessionFileBytes(const SessionOptions& options) {
    std::vector<std::uint8_t> out;
    out.reserve(kFileSize);
    out.insert(out.end(), kHeader.begin(), kHeader.end());
    out.insert(out.end(), options.bytes().begin(), options.bytes().end());
    return out;
}

bool mayRestoreFromBackup(std::string_view name) {
    return isStandardSessionFile(name);
}

bool shouldRefreshBackup(std::span<const std::uint8_t> standardSes) {
    return classify(standardSes) == FileKind::Current;
}

RecoveredLoad loadWithRecovery(
    std::string_view name, std::span<const std::uint8_t> file, const LoadContext& context,
    const std::function<std::optional<std::vector<std::uint8_t>>()>& readBackup) {
    RecoveredLoad out{loadSessionFile(name, file, context), false};
    // A file of a later version is not damaged: it is refused, never replaced.
    if (out.result.ok || name.empty() || !mayRestoreFromBackup(name) ||
        classify(file) == FileKind::NewerVersion || !readBackup)
        return out;
    const auto backup = readBackup();
    if (!backup || classify(*backup) != FileKind::Current) return out;
    LoadResult restored = loadSessionFile(name, *backup, context);
    if (!restored.ok) return out;
    out.result = std::move(restored);
    out.restoreStandardFromBackup = true;
    return out;
}

std::optional<HostSecurity> mergeHostEntry(SessionOptions& options, const HostList& hosts,
                                           const CommandLineGiven& given) {
    const HostEntry* entry = hosts.find(options.text(Field::HostName));
    if (entry == nullptr) return std::nullopt;
    if (!given.port) options.setNumber(Field::Port, entry->port);
    if (!given.tn3270e) options.setNumber(Field::Tn3270e, entry->tn3270e ? 1 : 0);
    if (!given.securityLevel) options.setNumber(Field::SecurityLevel, entry->securityLevel);
    if (!given.luName) options.setText(Field::LuName, entry->luName);
    return HostSecurity{entry->caCert, entry->clientCert, entry->clientKey, entry->validateHostCert,
                        entry->domainMustMatchHost};
}

SessionOptions optionsForWriting(const SessionOptions& options, const ScreenGeometry& screen) {
    SessionOptions out = options;
    std::int64_t defaultRows = options.number(Field::DefaultModeHeight);
    if (defaultRows == 0) defaultRows = 24;
    if (screen.rows == defaultRows || options.number(Field::WindowState) != 0 ||
        options.number(Field::KeepFontConstantOnModeSwitch) == 0)
        return out;
    const auto reduce = [&](Field f, std::int64_t by) {
        out.setNumber(f, std::clamp<std::int64_t>(options.number(f) - by, 0, 0xFFFF));
    };
    reduce(Field::WindowHeight, std::int64_t{screen.cellHeight} * (screen.rows - 24));
    if (screen.columns == 132) reduce(Field::WindowWidth, std::int64_t{screen.cellWidth} * 52);
    return out;
}

LoadResult SessionFile::load(std::string_view name, std::span<const std::uint8_t> file,
                             const LoadContext& context) {
    LoadResult r = loadSessionFile(name, file, context);
    if (r.ok) adopt(r.options);
    return r;
}

RecoveredLoad SessionFile::loadWithRecovery(
    std::string_view name, std::span<const std::uint8_t> file, const LoadContext& context,
    const std::function<std::optional<std::vector<std::uint8_t>>()>& readBackup) {
    RecoveredLoad r = sessionfile::loadWithRecovery(name, file, context, readBackup);
    if (r.result.ok) adopt(r.result.options);
    return r;
}

void SessionFile::adopt(const SessionOptions& loaded) {
    options = loaded;
    last_ = loaded;
}

SessionFile::SavePlan SessionFile::planSave(SaveMode mode, bool explicitSave,
                                            const SaveSettings& settings,
                                            const ScreenGeometry& screen) const {
    SavePlan plan;
    const std::string name = options.text(Field::SessionFile);
    if (name.empty()) {
        plan.action = SaveAction::Fail;
        return plan;
    }
    if (settings.noAutoSave && !explicitSave) return plan;
    if (mode == SaveMode::SaveIfChanged && !changed()) return plan;
    if (settings.noSessionSave) return plan;
    plan.action = SaveAction::Write;
    plan.fileName = withSesExtension(name);
    plan.snapshot = options;
    plan.bytes = sessionFileBytes(optionsForWriting(options, screen));
    return plan;
}

}  // namespace cedar::sessionfile
