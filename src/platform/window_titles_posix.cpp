#include "platform/window_titles_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/common_area_posix.h"

namespace cedar::platform {

SharedWindowTitles::~SharedWindowTitles() {
    if (lock_ >= 0) ::close(lock_);
    if (shm_ >= 0) ::close(shm_);
}

std::unique_ptr<SharedWindowTitles> SharedWindowTitles::open(const std::string& folder,
                                                             std::string& error) {
    std::unique_ptr<SharedWindowTitles> t(new SharedWindowTitles);
    t->lock_ =
        ::open((folder + "/titles.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (t->lock_ < 0) {
        error = "cannot open the window titles' lock: " + std::string(std::strerror(errno));
        return nullptr;
    }
    t->shm_ = openUserBlock("-titles", area::kTitleBlockSize, error);
    if (t->shm_ < 0) return nullptr;
    return t;
}

template <typename Work>
bool SharedWindowTitles::locked(Work&& work) {
    while (::flock(lock_, LOCK_EX) != 0)
        if (errno != EINTR) return false;
    void* p = ::mmap(nullptr, area::kTitleBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, shm_, 0);
    const bool mapped = p != MAP_FAILED;
    if (mapped) {
        area::TitleBlock block({static_cast<std::uint8_t*>(p), area::kTitleBlockSize});
        work(block);
        ::munmap(p, area::kTitleBlockSize);
    }
    ::flock(lock_, LOCK_UN);
    return mapped;
}

bool SharedWindowTitles::publish(int index, std::string_view title, bool minimized) {
    const auto pid = static_cast<std::uint32_t>(::getpid());
    return locked([&](area::TitleBlock& b) { b.publish(index, pid, title, minimized); });
}

std::optional<area::WindowStates> SharedWindowTitles::read(const area::OwnerTable& owners) {
    area::WindowStates states{};
    if (!locked([&](area::TitleBlock& b) { states = b.read(owners); })) return std::nullopt;
    return states;
}

}  // namespace cedar::platform
