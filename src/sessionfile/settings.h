// The program settings of cedar.ini (section "Cedar"): expert switches the
// user edits by hand, read once at start. A missing file or key gives the
// default; values a hand-edited file could make harmful are clamped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "screen/screen_options.h"

namespace cedar {

struct Settings {
    // Start-up and session behaviour.
    std::string lastSession = "standard.ses";
    std::string shutDownMacro;
    int noAutoSave = 0;
    int noSessionSave = 0;
    int closeOnDisconnect = 0;
    int noMacroOnReconnect = 0;
    int timeoutDialog = 1;
    int checkForMacroRunning = 0;
    int wang = 0;
    int hostnameFocus = 0;
    int hideSesExtension = 0;
    int showFileManagerButton = 0;
    std::string iconGroupName = "Cedar TN3270";
    std::string notepad = "notepad.exe";

    // Connection.
    int keepAliveTime = 240;
    int keepAliveTimeDisable = 0;
    std::uint8_t keepAlive = 0xF1;
    int setSockOpt = 3;
    std::string cipherList;
    std::string cipherSuites;
    std::array<std::string, 5> termTypes = {"IBM-3278-2-E", "IBM-3278-3-E", "IBM-3278-4-E",
                                            "IBM-3278-5-E", "IBM-DYNAMIC"};
    std::string attnTn3270e = "FFF4";
    std::string attnTn3270 = "FFF3";
    std::string sysreqTn3270e = "FFF5";
    std::string sysreqTn3270 = "FFF5";
    int attentionMethod = 0;
    int attentionReset = 0;
    int replyCodepage = 1;
    int cmdChaining = 0;
    int ignoreInvalidSba = 0;
    int ignoreInvalidWrite = 0;
    int colorModifyField = 0;

    // Keys and keyboard.
    std::array<std::uint8_t, 7> paAids{};   // PA4..PA10
    std::array<std::uint8_t, 12> pfAids{};  // PF25..PF36
    int extendedKeys = 0;
    int keyTronicsKeyboard = 0;
    int ignoreKeyUp80 = 1;
    int additionalKeys = 0;
    int extraButtons = 0;
    int allUpperCaseInput = 0;
    int autoSkipAllFields = 0;
    int noResetClock = 0;
    std::string wheelUp = "Key(\"PF7\")";
    std::string wheelDown = "Key(\"PF8\")";
    int wheelDelay = -1;

    // Copy, paste and transfer.
    int copyBufferSize = 64;
    int copyUnderscores = 0;
    int copyPasswords = 0;
    int pasteByTyping = 0;
    int moveCursorOnCut = 0;
    int wordWrapAlways = 0;
    int wordWrapDefault = 0;
    int removeHex1A = 0;
    int uploadConvertLFtoCRLF = 0;
    int allowSendReceiveSwap = 0;
    int bigNumberFormat = 0;

    // Display.
    int minFontWidth = 4;
    int minFontHeight = 6;
    int maxFontWidth = 40;
    int maxFontHeight = 60;
    int allowDefaultSizeChange = 0;
    int patbltCursor = 1;
    int alwaysShowCrosshairs = 0;
    int testRulerFix = 0;
    int displayByField = 0;
    int statusBarFullPaint = 0;
    int ispfOffset = 0;
    int showMenuWindowTitle = 0;
    int cascadeX = 22;
    int cascadeY = 22;
    int cascadeStartX = 20;
    int cascadeStartY = 20;
    int cascadeNextX = 22;
    int cascadeNextY = 22;
    int cascadeMax = 26;
    int cascadeRestartX = 300;
    int cascadeRestartY = 0;
    int fontAlreadyLoaded = 0;

    // Sounds, macros, printing.
    int beepPitchLow = 500;
    int beepDurationLow = 300;
    int beepPitchMedium = 1000;
    int beepDurationMedium = 300;
    int beepPitchHigh = 1500;
    int beepDurationHigh = 300;
    int recordWait = 20;
    int fixInstrFunction = 0;
    int alwaysUpdateTranTime = 0;
    int printTimeout = 30;
    int wccPrintAccumulate = 0;
    int showRemotePrinters = 0;

    // Size in bytes of each copy buffer.
    std::size_t copyBufferBytes() const {
        return static_cast<std::size_t>(copyBufferSize) * 1000 + 64;
    }
    // The switches the data stream consults.
    ScreenSettings screenSettings() const;
};

// Reads the settings from the text of cedar.ini (empty text: all defaults).
Settings readSettings(std::string_view profileText);

// One key of the table, for documentation and tests.
struct SettingInfo {
    const char* key;
    const char* kind;  // "integer", "text", "hex"
};
// Every key read from section "Cedar", in table order.
const std::vector<SettingInfo>& settingKeys();

}  // namespace cedar
