#include "platform/common_area_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cedar::platform {

namespace {

std::string group() {
    const char* g = std::getenv("CEDAR_SESSION_GROUP");
    if (!g) return {};
    std::string s(g);
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) return {};
    return s.substr(0, 64);
}

// A folder of ours: a real folder (not a link), owned by us, 0700.
bool ownFolder(const std::string& path, bool create, std::string& error) {
    if (create) ::mkdir(path.c_str(), 0700);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        error = path + " is not a folder of this user";
        return false;
    }
    if ((st.st_mode & 0077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        error = "cannot make " + path + " private";
        return false;
    }
    return true;
}

bool lockFile(int fd, bool wait) {
    while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

int openLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

std::string socketPath(const std::string& folder, std::uint32_t pid) {
    return folder + "/" + std::to_string(pid) + ".sock";
}

bool fillAddress(sockaddr_un& a, const std::string& path) {
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    if (path.size() >= sizeof a.sun_path) return false;
    std::memcpy(a.sun_path, path.data(), path.size());
    return true;
}

constexpr std::size_t kHeader = 12;  // code (4), parameter (8)
constexpr std::size_t kMaxMessage = kHeader + 4096;

}  // namespace

std::optional<std::string> sessionRuntimeFolder(std::string& error) {
    const std::string uid = std::to_string(::getuid());
    std::string base;
    const std::string run = "/run/user/" + uid;
    struct stat st {};
    if (::lstat(run.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) {
        base = run + "/cedar-tn3270";
    } else {
        const char* tmp = std::getenv("TMPDIR");
        base = std::string(tmp && *tmp ? tmp : "/tmp") + "/cedar-tn3270-" + uid;
    }
    if (!ownFolder(base, true, error)) return std::nullopt;
    const std::string g = group();
    if (g.empty()) return base;
    const std::string sub = base + "/" + g;
    if (!ownFolder(sub, true, error)) return std::nullopt;
    return sub;
}

SharedArea::~SharedArea() {
    dropSlot();
    if (areaLock_ >= 0) ::close(areaLock_);
    if (shm_ >= 0) ::close(shm_);
}

int openUserBlock(const std::string& suffix, std::size_t size, std::string& error) {
    std::string name = "/cedar-tn3270-" + std::to_string(::getuid());
    if (const std::string g = group(); !g.empty()) name += "-" + g;
    name += suffix;
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = "cannot open the common area: " + std::string(std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return -1;
    }
    if (st.st_uid != ::getuid() || (st.st_mode & 0077) != 0) {
        error = "the common area belongs to someone else";
        ::close(fd);
        return -1;
    }
    // A new block is zero-filled; ftruncate only ever grows it here.
    if (static_cast<std::size_t>(st.st_size) < size &&
        ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        error = "cannot size the common area: " + std::string(std::strerror(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

std::unique_ptr<SharedArea> SharedArea::open(std::string& error) {
    const auto folder = sessionRuntimeFolder(error);
    if (!folder) return nullptr;
    std::unique_ptr<SharedArea> a(new SharedArea);
    a->folder_ = *folder;
    a->areaLock_ = openLockFile(a->folder_ + "/area.lock");
    if (a->areaLock_ < 0) {
        error = "cannot open the common area's lock: " + std::string(std::strerror(errno));
        return nullptr;
    }
    a->shm_ = openUserBlock("", area::kAreaSize, error);
    if (a->shm_ < 0) return nullptr;
    return a;
}

std::string SharedArea::slotLockPath(int index) const {
    return folder_ + "/slot-" + area::idOfIndex(index) + ".lock";
}

bool SharedArea::slotHeld(int index) const {
    const int fd = openLockFile(slotLockPath(index));
    if (fd < 0) return false;
    const bool free = lockFile(fd, false);
    ::close(fd);  // drops the lock just taken
    return !free;
}

bool SharedArea::withArea(const std::function<void(area::CommonArea&)>& work) {
    if (!lockFile(areaLock_, true)) return false;
    void* p = ::mmap(nullptr, area::kAreaSize, PROT_READ | PROT_WRITE, MAP_SHARED, shm_, 0);
    const bool mapped = p != MAP_FAILED;
    if (mapped) {
        area::CommonArea view({static_cast<std::uint8_t*>(p), area::kAreaSize});
        for (int i = 0; i < area::kSlotCount; ++i)
            if (view.owner(i) != 0 && !slotHeld(i)) area::release(view, i);
        work(view);
        ::munmap(p, area::kAreaSize);
    }
    ::flock(areaLock_, LOCK_UN);
    return mapped;
}

std::optional<area::OwnerTable> SharedArea::owners() {
    area::OwnerTable t{};
    if (!withArea([&](area::CommonArea& a) { t = a.owners(); })) return std::nullopt;
    return t;
}

bool SharedArea::holdSlot(int index) {
    dropSlot();
    const int fd = openLockFile(slotLockPath(index));
    if (fd < 0) return false;
    if (!lockFile(fd, false)) {
        ::close(fd);
        return false;
    }
    slotLock_ = fd;
    return true;
}

void SharedArea::dropSlot() {
    if (slotLock_ >= 0) ::close(slotLock_);
    slotLock_ = -1;
}

bool SharedArea::post(std::uint32_t pid, const PostedRequest& r) const {
    sockaddr_un addr{};
    if (!fillAddress(addr, socketPath(folder_, pid))) return false;
    std::string msg(kHeader, '\0');
    const auto code = static_cast<std::uint32_t>(r.code);
    std::memcpy(msg.data(), &code, 4);
    std::memcpy(msg.data() + 4, &r.parameter, 8);
    msg += r.text.substr(0, kMaxMessage - kHeader);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const ssize_t n = ::sendto(fd, msg.data(), msg.size(), MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    ::close(fd);
    return n == static_cast<ssize_t>(msg.size());
}

SharedArea::PostResult SharedArea::postMacro(int index, bool statements, const std::string& text) {
    if (text.size() > area::kMaxFieldText) return PostResult::TooLong;
    PostResult result = PostResult::Failed;
    withArea([&](area::CommonArea& a) {
        const std::uint32_t pid = a.owner(index);
        if (pid == 0) {
            result = PostResult::NotRunning;
            return;
        }
        a.setRequest(index, text);
        PostedRequest r;
        r.code = statements ? request::kRunMacroText : request::kRunMacroFile;
        r.text = text;
        result = post(pid, r) ? PostResult::Posted : PostResult::Failed;
    });
    return result;
}

RequestSocket::~RequestSocket() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
}

std::unique_ptr<RequestSocket> RequestSocket::open(const std::string& folder, std::string& error) {
    std::unique_ptr<RequestSocket> s(new RequestSocket);
    const std::string path = socketPath(folder, static_cast<std::uint32_t>(::getpid()));
    sockaddr_un addr{};
    if (!fillAddress(addr, path)) {
        error = "the request socket's path is too long";
        return nullptr;
    }
    s->fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s->fd_ < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    ::unlink(path.c_str());  // left by an earlier process with our pid
    if (::bind(s->fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        error = "cannot listen for requests: " + std::string(std::strerror(errno));
        return nullptr;
    }
    s->path_ = path;
    return s;
}

std::optional<PostedRequest> RequestSocket::receive() {
    char buf[kMaxMessage];
    for (;;) {
        const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) < kHeader) continue;  // not one of ours
        PostedRequest r;
        std::uint32_t code = 0;
        std::memcpy(&code, buf, 4);
        std::memcpy(&r.parameter, buf + 4, 8);
        r.code = static_cast<int>(code);
        r.text.assign(buf + kHeader, static_cast<std::size_t>(n) - kHeader);
        return r;
    }
}

SharedSessionIdentity::SharedSessionIdentity(std::unique_ptr<SharedArea> area)
    : area_(std::move(area)) {}

SharedSessionIdentity::~SharedSessionIdentity() {
    release();
}

area::ClaimResult SharedSessionIdentity::claim(char requested, const std::string& sessionFile) {
    area::ClaimResult r;
    const auto pid = static_cast<std::uint32_t>(::getpid());
    area_->withArea([&](area::CommonArea& a) {
        r = area::claim(a, requested, pid, sessionFile);
        if (r.index != area::kNoIndex && !area_->holdSlot(r.index)) {
            area::release(a, r.index);
            r.index = area::kNoIndex;
        }
    });
    index_ = r.index;
    table_ = r.owners;
    if (index_ != area::kNoIndex) tellAll(0, true);
    return r;
}

std::optional<std::vector<std::uint8_t>> SharedSessionIdentity::requestField() const {
    std::vector<std::uint8_t> field(area::kTextFieldSize, 0);
    if (requestText_) {
        // A text of any length the message carried; the driver applies its
        // own limits.
        field.assign(requestText_->begin(), requestText_->end());
        field.push_back(0);
        return field;
    }
    if (index_ == kNoIndex) return std::nullopt;
    bool ok = area_->withArea([&](area::CommonArea& a) {
        const auto f = a.requestField(index_);
        field.assign(f.begin(), f.end());
    });
    if (!ok) return std::nullopt;
    return field;
}

void SharedSessionIdentity::refreshWindowList(std::uintptr_t endingWindow) {
    const auto owners = area_->owners();
    if (!owners) return;
    table_ = *owners;
    for (auto& o : table_)
        if (endingWindow != 0 && o == endingWindow) o = 0;
}

void SharedSessionIdentity::tellAll(std::uint64_t parameter, bool includeSelf) {
    const auto self = static_cast<std::uint32_t>(::getpid());
    for (const std::uint32_t pid : table_) {
        if (pid == 0 || (pid == self && !includeSelf)) continue;
        area_->post(pid, PostedRequest{request::kRefreshWindowList, parameter, {}});
    }
}

void SharedSessionIdentity::release() {
    if (index_ == kNoIndex) return;
    const int own = index_;
    area_->withArea([&](area::CommonArea& a) {
        area::release(a, own);
        table_ = a.owners();
        area_->dropSlot();  // with the block locked, so no claim sees a held free slot
    });
    index_ = kNoIndex;
    tellAll(static_cast<std::uint32_t>(::getpid()), false);
}

}  // namespace cedar::platform
