// The block in which every session of the user publishes its window title
// and whether its window is minimized (layout in session/session_windows.h),
// in POSIX shared memory beside the common area, with its own lock file in
// the runtime folder. Each session writes only its own entry.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "session/session_windows.h"

namespace cedar::platform {

class SharedWindowTitles {
  public:
    ~SharedWindowTitles();
    SharedWindowTitles(const SharedWindowTitles&) = delete;
    SharedWindowTitles& operator=(const SharedWindowTitles&) = delete;

    // Opens the block of this user (and session group); `folder` is the
    // runtime folder (SharedArea::folder()).
    static std::unique_ptr<SharedWindowTitles> open(const std::string& folder, std::string& error);

    // Writes the entry of `index` for this process.
    bool publish(int index, std::string_view title, bool minimized);
    // The entries of the sessions `owners` names.
    std::optional<area::WindowStates> read(const area::OwnerTable& owners);

  private:
    SharedWindowTitles() = default;
    template <typename Work>
    bool locked(Work&& work);
    int shm_ = -1;
    int lock_ = -1;
};

}  // namespace cedar::platform
