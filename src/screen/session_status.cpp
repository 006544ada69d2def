#include "screen/session_status.h"

#include <array>

namespace cedar {

std::string_view statusName(SessionStatus status) {
    static constexpr std::array<std::string_view, 13> kNames = {
        "NOTCONNECTED", "START",   "SESSION",   "CONNECTING", "CONNECTED",
        "UNLOCKED",     "LOCKED",  "SYSLOCK",   "PROTECTED",  "INSERTOVERFLOW",
        "TR_READY",     "TR_DATA", "TR_MESSAGE"};
    const auto code = static_cast<std::size_t>(status);
    return code < kNames.size() ? kNames[code] : std::string_view{};
}

}  // namespace cedar
