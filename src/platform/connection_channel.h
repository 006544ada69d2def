// What a connection's thread and the session thread share: the bytes waiting
// to go out, the received blocks waiting to be processed, the cancel flag and
// the wake pipe that gets the connection's thread out of poll().
//
// Outgoing: send() on the session thread appends to one buffer and returns;
// the connection's thread takes the whole buffer when it has written the
// previous one, so bytes leave in the order they were sent. On a plain
// socket whose thread has nothing queued or half written, the session
// thread writes at once without waiting (MSG_DONTWAIT) and queues only what
// the socket did not take: one thread hop and a wake-up less per record, which
// a file transfer's lock-step exchange of blocks feels.
//
// Incoming: the connection's thread reads blocks of up to kBlockSize bytes
// and queues them without waiting. One drain task at a time runs on the
// session thread and hands the queued blocks to ConnectionEvents one by one,
// in order, a bounded number per task so that timers and other tasks get
// their turn. Once `maxQueuedBytes` are queued and not yet processed, the
// connection's thread stops reading (it goes on writing) until the session
// has caught up; memory stays bounded however fast the host sends.
//
// The connection's last event (the host closed, a send failed) goes through
// the same queue, after the last block. Nothing reaches ConnectionEvents after
// cancel(); tasks that run later do nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "host/connection.h"
#include "host/scheduler.h"

namespace cedar::platform {

class ConnectionChannel : public std::enable_shared_from_this<ConnectionChannel> {
  public:
    using Block = std::vector<std::uint8_t>;
    using Event = std::function<void(ConnectionEvents&)>;

    static constexpr std::size_t kBlockSize = 8000;
    // At most this many blocks go to ConnectionEvents per task.
    static constexpr std::size_t kBlocksPerTask = 64;

    ConnectionChannel(ConnectionEvents& events, Scheduler& scheduler, std::size_t maxQueuedBytes);
    ~ConnectionChannel();
    ConnectionChannel(const ConnectionChannel&) = delete;
    ConnectionChannel& operator=(const ConnectionChannel&) = delete;

    // The read end of the wake pipe (for poll), -1 when none could be made.
    int wakeFd() const { return wakeRead_; }
    // Any thread: makes the wake pipe readable.
    void wake();
    // Connection thread: empties the wake pipe.
    void clearWakes();

    // --- session thread ---
    // No event is delivered after this; the connection's thread is woken
    // (and writes what was sent before, as far as the socket takes it at
    // once, before it closes).
    void cancel();
    bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Queues `data` for the connection's thread. Not up, ended or cancelled:
    // the not-connected error (or the error the connection failed with).
    SendResult queueSend(std::span<const std::uint8_t> data);

    // --- connection thread ---
    // Sends are taken from now on (true) or refused from now on (false).
    void setWritable(bool writable);
    // The connection broke while sending: later sends report `error`.
    void setSendError(int error);
    // Swaps the queued outgoing bytes into `out` (which must be empty: the
    // bytes taken before are written); false when there were none.
    bool takeOutgoing(Block& out);
    // The plain socket the session thread may write to directly, or -1
    // (TLS, or before the socket is closed).
    void setDirectSocket(int fd);
    // A buffer of kBlockSize bytes to read into (recycled when possible).
    Block freeBlock();
    // Whether another block fits, counting `pending` bytes read but not yet
    // queued. When it does not, the next drain that makes room wakes the
    // connection's thread.
    bool hasRoom(std::size_t pending);
    // Queues the blocks (emptied) for the session thread.
    void pushBlocks(std::vector<Block>& blocks);
    // Runs `event` on the session thread before any block is queued.
    void post(Event event);
    // Runs `event` on the session thread after every queued block. Sends
    // are taken (and dropped) until then, so that the session sees the
    // connection end where the host ended it, not earlier.
    void finish(Event event);

  private:
    void drain();  // session thread

    ConnectionEvents* events_;
    Scheduler& scheduler_;
    const std::size_t maxQueuedBytes_;
    std::atomic<bool> cancelled_{false};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;

    std::mutex mutex_;  // guards everything below
    bool writable_ = false;
    int sendError_ = socket_error::kNotSocket;
    int directFd_ = -1;
    bool inFlight_ = false;  // the connection's thread holds bytes not yet written
    Block outgoing_;
    std::deque<Block> incoming_;
    std::size_t queuedBytes_ = 0;  // queued or being processed
    bool drainPosted_ = false;
    bool readerStalled_ = false;
    Event last_;
    std::vector<Block> spare_;
};

}  // namespace cedar::platform
