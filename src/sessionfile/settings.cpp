#include "sessionfile/settings.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "sessionfile/private_profile.h"

namespace cedar {

namespace {

constexpr const char* kSection = "Cedar";

struct IntKey {
    const char* key;
    int Settings::*field;
    int low;
    int high;
};

// Ranges keep hand-edited values from doing harm (a negative buffer size, a
// zero column count, ...); switches take any value, non-zero meaning on.
constexpr int kAny = INT_MIN;
const IntKey kIntKeys[] = {
    {"NoAutoSave", &Settings::noAutoSave, kAny, 0},
    {"NoSessionSave", &Settings::noSessionSave, kAny, 0},
    {"CloseOnDisconnect", &Settings::closeOnDisconnect, kAny, 0},
    {"NoMacroOnReconnect", &Settings::noMacroOnReconnect, kAny, 0},
    {"TimeoutDialog", &Settings::timeoutDialog, kAny, 0},
    {"CheckForMacroRunning", &Settings::checkForMacroRunning, kAny, 0},
    {"Wang", &Settings::wang, kAny, 0},
    {"HostnameFocus", &Settings::hostnameFocus, kAny, 0},
    {"HideSesExtension", &Settings::hideSesExtension, kAny, 0},
    {"ShowFileManagerButton", &Settings::showFileManagerButton, kAny, 0},
    {"KeepAliveTime", &Settings::keepAliveTime, 0, 86400},
    {"KeepAliveTimeDisable", &Settings::keepAliveTimeDisable, 0, 8640000},
    {"SetSockOpt", &Settings::setSockOpt, 0, 3},
    {"AttentionMethod", &Settings::attentionMethod, kAny, 0},
    {"AttentionReset", &Settings::attentionReset, kAny, 0},
    {"ReplyCodepage", &Settings::replyCodepage, kAny, 0},
    {"CmdChaining", &Settings::cmdChaining, kAny, 0},
    {"IgnoreInvalidSBA", &Settings::ignoreInvalidSba, kAny, 0},
    {"IgnoreInvalidWrite", &Settings::ignoreInvalidWrite, kAny, 0},
    {"ColorModifyField", &Settings::colorModifyField, kAny, 0},
    {"ExtendedKeys", &Settings::extendedKeys, kAny, 0},
    {"KeyTronicsKeyboard", &Settings::keyTronicsKeyboard, kAny, 0},
    {"IgnoreKeyUp80", &Settings::ignoreKeyUp80, kAny, 0},
    {"AdditionalKeys", &Settings::additionalKeys, kAny, 0},
    {"ExtraButtons", &Settings::extraButtons, kAny, 0},
    {"AllUpperCaseInput", &Settings::allUpperCaseInput, kAny, 0},
    {"AutoSkipAllFields", &Settings::autoSkipAllFields, kAny, 0},
    {"NoResetClock", &Settings::noResetClock, kAny, 0},
    {"WheelDelay", &Settings::wheelDelay, -1, 36000},
    {"CopyBufferSize", &Settings::copyBufferSize, 1, 100000},
    {"CopyUnderscores", &Settings::copyUnderscores, kAny, 0},
    {"CopyPasswords", &Settings::copyPasswords, kAny, 0},
    {"PasteByTyping", &Settings::pasteByTyping, kAny, 0},
    {"MoveCursorOnCut", &Settings::moveCursorOnCut, kAny, 0},
    {"WordWrapAlways", &Settings::wordWrapAlways, kAny, 0},
    {"WordWrapDefault", &Settings::wordWrapDefault, kAny, 0},
    {"RemoveHex1A", &Settings::removeHex1A, kAny, 0},
    {"UploadConvertLFtoCRLF", &Settings::uploadConvertLFtoCRLF, kAny, 0},
    {"AllowSendReceiveSwap", &Settings::allowSendReceiveSwap, kAny, 0},
    {"BigNumberFormat", &Settings::bigNumberFormat, 0, 2},
    {"MinFontWidth", &Settings::minFontWidth, 1, 400},
    {"MinFontHeight", &Settings::minFontHeight, 1, 400},
    {"MaxFontWidth", &Settings::maxFontWidth, 1, 400},
    {"MaxFontHeight", &Settings::maxFontHeight, 1, 400},
    {"AllowDefaultSizeChange", &Settings::allowDefaultSizeChange, kAny, 0},
    {"PatbltCursor", &Settings::patbltCursor, kAny, 0},
    {"AlwaysShowCrosshairs", &Settings::alwaysShowCrosshairs, kAny, 0},
    {"TestRulerFix", &Settings::testRulerFix, kAny, 0},
    {"DisplayByField", &Settings::displayByField, kAny, 0},
    {"StatusBarFullPaint", &Settings::statusBarFullPaint, kAny, 0},
    {"IspfOffset", &Settings::ispfOffset, 0, 200},
    {"ShowMenuWindowTitle", &Settings::showMenuWindowTitle, kAny, 0},
    {"CascadeX", &Settings::cascadeX, -10000, 10000},
    {"CascadeY", &Settings::cascadeY, -10000, 10000},
    {"CascadeStartX", &Settings::cascadeStartX, -10000, 10000},
    {"CascadeStartY", &Settings::cascadeStartY, -10000, 10000},
    {"CascadeNextX", &Settings::cascadeNextX, -10000, 10000},
    {"CascadeNextY", &Settings::cascadeNextY, -10000, 10000},
    {"CascadeMax", &Settings::cascadeMax, 1, 1000},
    {"CascadeRestartX", &Settings::cascadeRestartX, -10000, 10000},
    {"CascadeRestartY", &Settings::cascadeRestartY, -10000, 10000},
    {"FontAlreadyLoaded", &Settings::fontAlreadyLoaded, kAny, 0},
    {"BeepPitchLow", &Settings::beepPitchLow, 37, 32767},
    {"BeepDurationLow", &Settings::beepDurationLow, 0, 10000},
    {"BeepPitchMedium", &Settings::beepPitchMedium, 37, 32767},
    {"BeepDurationMedium", &Settings::beepDurationMedium, 0, 10000},
    {"BeepPitchHigh", &Settings::beepPitchHigh, 37, 32767},
    {"BeepDurationHigh", &Settings::beepDurationHigh, 0, 10000},
    {"RecordWait", &Settings::recordWait, 0, 86400},
    {"FixInstrFunction", &Settings::fixInstrFunction, kAny, 0},
    {"AlwaysUpdateTranTime", &Settings::alwaysUpdateTranTime, kAny, 0},
    {"PrintTimeout", &Settings::printTimeout, 0, 3600},
    {"WCCPrintAccumulate", &Settings::wccPrintAccumulate, kAny, 0},
    {"ShowRemotePrinters", &Settings::showRemotePrinters, kAny, 0},
};

struct TextKey {
    const char* key;
    std::string Settings::*field;
    std::size_t length;  // characters kept
};

const TextKey kTextKeys[] = {
    {"LastSession", &Settings::lastSession, 259},
    {"ShutDownMacro", &Settings::shutDownMacro, 259},
    {"IconGroupName", &Settings::iconGroupName, 63},
    {"Notepad", &Settings::notepad, 258},
    {"CipherList", &Settings::cipherList, 1023},
    {"CipherSuites", &Settings::cipherSuites, 1023},
    {"AttnTN3270E", &Settings::attnTn3270e, 39},
    {"AttnTN3270", &Settings::attnTn3270, 39},
    {"SysreqTN3270E", &Settings::sysreqTn3270e, 39},
    {"SysreqTN3270", &Settings::sysreqTn3270, 39},
    {"WheelUp", &Settings::wheelUp, 999},
    {"WheelDown", &Settings::wheelDown, 999},
};

const char* const kTermTypeKeys[5] = {"TermType2", "TermType3", "TermType4", "TermType5",
                                      "TermTypeUser"};

// A hexadecimal byte value ("F1"); what does not parse keeps the default.
std::uint8_t hexByte(std::string_view text, std::uint8_t fallback) {
    int value = 0;
    int digits = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) break;
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
        ++digits;
    }
    return digits == 0 || value > 0xFF ? fallback : static_cast<std::uint8_t>(value);
}

}  // namespace

ScreenSettings Settings::screenSettings() const {
    ScreenSettings s;
    s.ignoreInvalidSba = ignoreInvalidSba != 0;
    s.ignoreInvalidWrite = ignoreInvalidWrite != 0;
    s.cmdChaining = cmdChaining != 0;
    s.wang = wang != 0;
    s.colorModifyField = colorModifyField != 0;
    s.wordWrapAlways = wordWrapAlways != 0;
    s.wordWrapDefault = wordWrapDefault != 0;
    s.alwaysUpdateTranTime = alwaysUpdateTranTime != 0;
    return s;
}

Settings readSettings(std::string_view text) {
    Settings s;
    for (const auto& k : kIntKeys) {
        int v = profile::getInt(text, kSection, k.key, s.*k.field);
        if (k.low != kAny) v = std::clamp(v, k.low, k.high);
        s.*k.field = v;
    }
    for (const auto& k : kTextKeys)
        s.*k.field = profile::getString(text, kSection, k.key, s.*k.field, k.length + 1);
    for (int i = 0; i < 5; ++i) {
        std::string t = profile::getString(text, kSection, kTermTypeKeys[i], s.termTypes[i], 20);
        for (char& c : t)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        s.termTypes[i] = t;
    }
    s.keepAlive = hexByte(profile::getString(text, kSection, "KeepAlive", "F1", 4), 0xF1);
    for (int i = 0; i < 7; ++i)
        s.paAids[i] =
            hexByte(profile::getString(text, kSection, "PA" + std::to_string(4 + i), "00", 3), 0);
    for (int i = 0; i < 12; ++i)
        s.pfAids[i] =
            hexByte(profile::getString(text, kSection, "PF" + std::to_string(25 + i), "00", 3), 0);
    // Font limits must stay ordered.
    s.maxFontWidth = std::max(s.maxFontWidth, s.minFontWidth);
    s.maxFontHeight = std::max(s.maxFontHeight, s.minFontHeight);
    return s;
}

const std::vector<SettingInfo>& settingKeys() {
    static const std::vector<SettingInfo> keys = [] {
        std::vector<SettingInfo> v;
        for (const auto& k : kIntKeys)
            v.push_back({k.key, "integer"});
        for (const auto& k : kTextKeys)
            v.push_back({k.key, "text"});
        for (const char* k : kTermTypeKeys)
            v.push_back({k, "text"});
        v.push_back({"KeepAlive", "hex"});
        return v;
    }();
    return keys;
}

}  // namespace cedar
