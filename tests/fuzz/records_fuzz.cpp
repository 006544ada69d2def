// Fuzzes the record dispatcher: write commands, orders, read commands,
// SSCP-LU strings and the end-of-write step, under varying settings.
//
// Input: byte 0 selects settings, byte 1 the session status, then records
// separated by IAC EOR (0xFF 0xEF) as on the wire.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "session/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t flags = data[0];
    cedar::ScreenSettings settings;
    settings.ignoreInvalidSba = flags & 0x01;
    settings.ignoreInvalidWrite = flags & 0x02;
    settings.wang = flags & 0x04;
    settings.colorModifyField = flags & 0x08;
    settings.cmdChaining = flags & 0x10;
    cedar::ScreenSessionOptions options;
    options.modelIndex = (flags >> 5) & 0x03;
    const bool sscp = data[1] & 0x80;
    const bool tn3270e = data[1] & 0x40;
    cedar::Session session(settings, options);
    session.status = static_cast<cedar::SessionStatus>(data[1] & 0x0F);
    for (int i = 0; i < 256; ++i)
        session.codePages.screenTable[i] = static_cast<std::uint8_t>(i);
    session.codePages.rebuildInverseScreenTable();

    std::size_t start = 2;
    for (std::size_t i = 2; i <= size; ++i) {
        const bool end = i == size || (i + 1 < size && data[i] == 0xFF && data[i + 1] == 0xEF);
        if (!end) continue;
        const std::size_t length = i - start;
        cedar::RecordOrigin origin;
        if (tn3270e && length > 0) {
            origin.tn3270e = true;
            origin.dataType = data[start] & 0x07;
            origin.sscpLu = sscp && origin.dataType == 0x07;
        }
        // Each record in its own buffer, so an over-read is caught.
        auto* copy = new std::uint8_t[length + 1];
        std::memcpy(copy, data + start, length);
        session.records.processRecord({copy, length}, origin);
        delete[] copy;
        auto& ps = session.screen;
        if (ps.cursor() < 0 || ps.cursor() >= ps.positions()) __builtin_trap();
        start = i + 2;
        ++i;
    }
    return 0;
}
