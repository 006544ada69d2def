// Telnet and TN3270E state of the current connection (RFC 854, 885, 1091,
// 2355), shared by the receive side (TelnetLayer) and the send side
// (HostSender). Reset at every connect.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>

namespace cedar {

namespace telnet {
constexpr std::uint8_t kIac = 0xFF, kDont = 0xFE, kDo = 0xFD, kWont = 0xFC, kWill = 0xFB;
constexpr std::uint8_t kSb = 0xFA, kGa = 0xF9, kEl = 0xF8, kEc = 0xF7, kAyt = 0xF6, kAo = 0xF5;
constexpr std::uint8_t kIp = 0xF4, kBrk = 0xF3, kDm = 0xF2, kNop = 0xF1, kSe = 0xF0, kEor = 0xEF;

constexpr std::uint8_t kOptBinary = 0, kOptEcho = 1, kOptSuppressGoAhead = 3;
constexpr std::uint8_t kOptTerminalType = 24, kOptEndOfRecord = 25, kOptTn3270e = 40;
constexpr std::uint8_t kOptNoTranslation = 102;  // private: host bytes shown untranslated

constexpr std::uint8_t kTtIs = 0, kTtSend = 1;

// RFC 2355 sub-negotiation codes.
constexpr std::uint8_t kTnAssociate = 0, kTnConnect = 1, kTnDeviceType = 2, kTnFunctions = 3;
constexpr std::uint8_t kTnIs = 4, kTnReason = 5, kTnReject = 6, kTnRequest = 7, kTnSend = 8;
constexpr std::uint8_t kFnBindImage = 0, kFnResponses = 2, kFnSysreq = 4;

// RFC 2355 data types.
constexpr std::uint8_t kDt3270Data = 0x00, kDtScsData = 0x01, kDtResponse = 0x02;
constexpr std::uint8_t kDtBindImage = 0x03, kDtUnbind = 0x04, kDtNvtData = 0x05;
constexpr std::uint8_t kDtRequest = 0x06, kDtSscpLuData = 0x07, kDtPrintEoj = 0x08;
constexpr std::uint8_t kRspAlwaysResponse = 0x02;
}  // namespace telnet

struct ProtocolState {
    bool lineMode = true;
    bool tn3270eMode = false;
    bool headerExpected = true;
    bool echoOffered = false;
    bool sscpLuMode = false;
    bool firstRecordSeen = false;
    std::uint8_t lastDataType = 0;
    std::string terminalType;     // in force, at most 20 bytes
    std::string assignedLuName;   // from DEVICE-TYPE IS ... CONNECT
    std::string applicationName;  // primary LU of the BIND-IMAGE
    std::string sessionLuName;    // secondary LU of the BIND-IMAGE
    // Options we agreed to (our WILL, our DO) and that are still in force: a
    // repeated request for one of them is not acknowledged again (RFC 854).
    std::bitset<256> willInForce;
    std::bitset<256> doInForce;

    void reset() { *this = ProtocolState{}; }
};

}  // namespace cedar
