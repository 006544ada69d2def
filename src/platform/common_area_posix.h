// The sessions' common area on POSIX systems: the block in per-user shared
// memory, a lock file per slot that its session holds for its whole life (a
// slot whose lock can be taken is free, whatever its owner field says), a
// lock on the whole block for claims and request writes, and a datagram
// socket per session on which other processes post requests.
//
// Everything lives in the user's private runtime folder. CEDAR_SESSION_GROUP
// (letters, digits, "-" and "_") names a separate set of sessions, with its
// own block and folder; tests use it to stay apart from each other.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "session/common_area.h"
#include "session/driver_interfaces.h"

namespace cedar::platform {

// The private runtime folder, created when missing: /run/user/<uid>/
// cedar-tn3270 when /run/user/<uid> belongs to the user, else a 0700 folder
// in the temporary folder. A folder that is a symbolic link, or that belongs
// to someone else, is refused (nothing, and `error` says why).
std::optional<std::string> sessionRuntimeFolder(std::string& error);

// Opens (creating zero-filled when missing) a shared block of this user and
// session group, `suffix` telling the blocks apart, and makes it at least
// `size` bytes long; a block that belongs to someone else or that others may
// read is refused. The descriptor, or -1 with `error` saying why.
int openUserBlock(const std::string& suffix, std::size_t size, std::string& error);

// A request as it travels on a session's socket.
struct PostedRequest {
    int code = 0;
    std::uint64_t parameter = 0;
    std::string text;
};

class SharedArea {
  public:
    ~SharedArea();
    SharedArea(const SharedArea&) = delete;
    SharedArea& operator=(const SharedArea&) = delete;

    // Opens (creating zero-filled when missing) the block of this user.
    static std::unique_ptr<SharedArea> open(std::string& error);

    const std::string& folder() const { return folder_; }

    // Runs `work` on the block with the whole-block lock held. The owner
    // fields of slots whose session is gone are cleared first. False when
    // the block cannot be mapped.
    bool withArea(const std::function<void(area::CommonArea&)>& work);

    // The owners of live slots.
    std::optional<area::OwnerTable> owners();

    // Takes the slot's life lock; false when someone holds it.
    bool holdSlot(int index);
    void dropSlot();

    // Posts a request to the session process `pid` (no wait for an answer).
    bool post(std::uint32_t pid, const PostedRequest& request) const;

    // Hands a macro request to session `index` as cedarmac does: the text
    // goes into the slot's request field and with the posted message.
    enum class PostResult { Posted, NotRunning, TooLong, Failed };
    PostResult postMacro(int index, bool statements, const std::string& text);

  private:
    SharedArea() = default;
    bool slotHeld(int index) const;
    std::string slotLockPath(int index) const;

    std::string folder_;
    int shm_ = -1;
    int areaLock_ = -1;
    int slotLock_ = -1;
};

// The socket on which this process receives requests.
class RequestSocket {
  public:
    ~RequestSocket();
    RequestSocket(const RequestSocket&) = delete;
    RequestSocket& operator=(const RequestSocket&) = delete;
    static std::unique_ptr<RequestSocket> open(const std::string& folder, std::string& error);
    int fd() const { return fd_; }
    // The next request, without waiting; nothing when none is there.
    std::optional<PostedRequest> receive();

  private:
    RequestSocket() = default;
    int fd_ = -1;
    std::string path_;
};

// The session's id among the running sessions.
class SharedSessionIdentity : public SessionIdentity {
  public:
    explicit SharedSessionIdentity(std::unique_ptr<SharedArea> area);
    ~SharedSessionIdentity() override;

    // Claims an id (`requested`: the /I character or 0) and tells every
    // session to refresh its window list. index() is kNoIndex when all ids
    // are in use.
    area::ClaimResult claim(char requested, const std::string& sessionFile);

    int index() const override { return index_; }
    std::optional<std::vector<std::uint8_t>> requestField() const override;
    void refreshWindowList(std::uintptr_t endingWindow) override;
    void release() override;

    // The text of the request being handled (it came with the message and
    // takes the place of the slot's field, which a later request may have
    // overwritten); nothing to read the slot.
    void setRequestText(std::optional<std::string> text) { requestText_ = std::move(text); }

    const area::OwnerTable& windowTable() const { return table_; }
    SharedArea& area() { return *area_; }

  private:
    void tellAll(std::uint64_t parameter, bool includeSelf);
    std::unique_ptr<SharedArea> area_;
    int index_ = kNoIndex;
    area::OwnerTable table_{};
    std::optional<std::string> requestText_;
};

}  // namespace cedar::platform
