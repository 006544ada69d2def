// What the operator functions that act on every session window do (Cascade,
// MinimizeAll, NextSession and the rest), worked out as a list of window
// actions, each for one session; the program carries out those for its own
// window and posts the others to their sessions. Also the second shared
// block, in which every session publishes its window title and whether its
// window is minimized, for the window list and the visible-session
// functions.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/common_area.h"

namespace cedar {

// Window requests a session posts to another session, which carries them
// out on its own window.
namespace request {
constexpr int kActivateWindow = 0x420;  // restore when minimized, else bring to the front
constexpr int kMinimizeWindow = 0x421;
constexpr int kRestoreWindow = 0x422;
constexpr int kMaximizeWindow = 0x423;
// Restore to normal, move to the point the parameter carries (packPoint),
// bring to the front.
constexpr int kCascadeWindow = 0x424;
}  // namespace request

namespace area {

// A point in a request parameter: x in the low 32 bits, y in the high ones,
// each as a two's-complement number.
std::uint64_t packPoint(Point p);
Point unpackPoint(std::uint64_t parameter);

// The title block: 36 entries of 136 bytes, entry i for session index i.
constexpr std::size_t kTitleEntrySize = 136;
constexpr std::size_t kTitleBlockSize = kTitleEntrySize * kSlotCount;  // 4,896 bytes
// Entry layout: the publishing session's process id (4 bytes, little-endian),
// flags (4 bytes; bit 0: minimized), the title (NUL-terminated, 127
// characters at most).
constexpr std::size_t kTitleOffset = 8;
constexpr std::size_t kMaxTitle = kTitleEntrySize - kTitleOffset - 1;

struct WindowState {
    std::string title;
    bool minimized = false;
    bool operator==(const WindowState&) const = default;
};
using WindowStates = std::array<WindowState, kSlotCount>;

class TitleBlock {
  public:
    explicit TitleBlock(std::span<std::uint8_t> bytes) : bytes_(bytes) {}

    // Writes the entry of `index` for the session `owner`; the title is cut
    // to 127 characters (never inside a UTF-8 sequence).
    void publish(int index, std::uint32_t owner, std::string_view title, bool minimized);
    // The states of the sessions `owners` names. An entry written by another
    // process than the slot's owner (a session that ended without clearing
    // it, whose id has been taken again) counts as empty.
    WindowStates read(const OwnerTable& owners) const;

  private:
    std::span<std::uint8_t> entry(int index) const;
    std::span<std::uint8_t> bytes_;
};

// One step of an operator function on one session's window.
enum class WindowAction : std::uint8_t {
    Activate,  // restore when minimized, else bring to the front
    Minimize,
    Restore,
    Maximize,
    Cascade,   // restore to normal, move to `at`, bring to the front
    Shutdown,  // end the session without asking
};

struct WindowStep {
    int index = 0;
    WindowAction action = WindowAction::Activate;
    Point at{};
    bool operator==(const WindowStep&) const = default;
};

// The operator functions handled here (their OPER codes).
enum class SessionOper : std::uint8_t {
    Cascade = 29,
    MinimizeAll = 30,
    ExitAll = 31,
    MaximizeAll = 32,
    PreviousSession = 33,
    NextSession = 34,
    CascadeFromHere = 52,
    NextVisibleSession = 58,
    PreviousVisibleSession = 59,
    RestoreAll = 61,
};
// True for the codes above.
bool isSessionOper(int code);

struct OperContext {
    OwnerTable owners{};  // the window table as last refreshed
    int ownIndex = kNoIndex;
    WindowStates states{};  // for the minimized flags
    CascadeSettings cascade;
    Point ownPosition{};  // the own window's saved position (CascadeFromHere)
};

struct OperPlan {
    std::vector<WindowStep> steps;  // in order
    // Cascade: where the own macro debug window goes next.
    bool debugWindowMoves = false;
    Point debugWindow{};
};

// The steps of `oper` (a code isSessionOper accepts). ExitAll gives the
// shutdown of every other session, then of the own one; whether to ask
// first is the caller's.
OperPlan planSessionOper(SessionOper oper, const OperContext& context);

}  // namespace area
}  // namespace cedar
