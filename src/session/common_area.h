// The block of memory the running sessions of one user share: one slot per
// session id ("A".."Z", "0".."9"), each naming the process that holds the id,
// its session file and a request text handed to it from outside. Everything
// here works on the bytes of the block; mapping, locking and liveness belong
// to the platform layer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::area {

constexpr std::string_view kIdChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int kSlotCount = 36;
constexpr int kNoIndex = 255;
constexpr std::size_t kSlotSize = 528;
constexpr std::size_t kAreaSize = kSlotSize * kSlotCount;  // 19,008 bytes

// Slot layout.
constexpr std::size_t kOwnerOffset = 0;  // 4 bytes, little-endian; 0 = free
constexpr std::size_t kSessionFileOffset = 8;
constexpr std::size_t kTextFieldSize = 260;  // NUL-terminated, 259 characters at most
constexpr std::size_t kRequestOffset = kSessionFileOffset + kTextFieldSize;
constexpr std::size_t kMaxFieldText = kTextFieldSize - 1;

// "A".."Z" and "a".."z" give 0..25, "0".."9" give 26..35, anything else
// kNoIndex.
int indexOfId(char c);
// The id character of index 0..35, or '?'.
char idOfIndex(int index);

// The owners (process ids) of the 36 slots; 0 = free.
using OwnerTable = std::array<std::uint32_t, kSlotCount>;

// A view of the block. The span must be kAreaSize bytes long.
class CommonArea {
  public:
    explicit CommonArea(std::span<std::uint8_t> bytes) : bytes_(bytes) {}
    static bool fits(std::span<const std::uint8_t> bytes) { return bytes.size() == kAreaSize; }

    std::uint32_t owner(int index) const;
    void setOwner(int index, std::uint32_t owner);
    OwnerTable owners() const;

    // The session file name (the text up to the first NUL of the field).
    std::string sessionFile(int index) const;
    // Writes `name` cut to 259 characters and its terminator.
    void setSessionFile(int index, std::string_view name);

    // The request field, all 260 bytes.
    std::span<const std::uint8_t> requestField(int index) const;
    // Writes a request text and its terminator; false (nothing written) for
    // a text longer than 259 characters.
    bool setRequest(int index, std::string_view text);

  private:
    std::span<std::uint8_t> slot(int index) const;
    std::span<std::uint8_t> bytes_;
};

struct ClaimResult {
    int index = kNoIndex;  // kNoIndex: all ids are in use
    // Other running sessions with the same session file; the new one too
    // when it got the id it asked for. Non-zero: its window cascades.
    int sameFileCount = 0;
    OwnerTable owners{};
};

// Claims an id for `owner` (non-zero): the slot of `requested` (a character
// as given with /I, or 0 for none) when it is free, else the first free slot.
// A session file name is compared as stored (cut to 259 characters).
ClaimResult claim(CommonArea& area, char requested, std::uint32_t owner,
                  std::string_view sessionFile);

// Frees `index`: owner 0 and an empty session file name.
void release(CommonArea& area, int index);

// One item of the window list.
struct WindowListItem {
    int index = 0;
    std::string text;
    bool checked = false;
    bool operator==(const WindowListItem&) const = default;
};

// The window list in index order: "Session &A", or with `showTitles`
// "[&A] - " and the window's title (cut to 126 characters). `titles` may be
// shorter than 36 entries.
std::vector<WindowListItem> windowList(const OwnerTable& owners, int ownIndex, bool showTitles,
                                       std::span<const std::string> titles);

// The session after (forward) or before the own one that holds a window,
// wrapping round; the own index when it is the only one; nothing when no
// slot holds a window. `skip` marks windows to leave out (minimized ones for
// the visible-session functions); may be empty.
std::optional<int> nextSession(const OwnerTable& owners, int ownIndex, bool forward,
                               std::span<const bool> skip = {});

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct CascadeSettings {
    Point start{20, 20};
    Point next{22, 22};
    Point restart{300, 0};
    int max = 26;
};

// Where Cascade puts `count` windows, in order, starting at `from`; `after`
// receives the point the next window would have gone to.
std::vector<Point> cascade(int count, Point from, const CascadeSettings& s, Point* after = nullptr);

}  // namespace cedar::area
