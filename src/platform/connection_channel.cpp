#include "platform/connection_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <utility>

namespace cedar::platform {

namespace {
// Buffers kept for reuse; more than a task's worth gains nothing.
constexpr std::size_t kSpareBlocks = ConnectionChannel::kBlocksPerTask;
}  // namespace

ConnectionChannel::ConnectionChannel(ConnectionEvents& events, Scheduler& scheduler,
                                     std::size_t maxQueuedBytes)
    : events_(&events),
      scheduler_(scheduler),
      maxQueuedBytes_(std::max(maxQueuedBytes, kBlockSize)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

ConnectionChannel::~ConnectionChannel() {
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void ConnectionChannel::wake() {
    if (wakeWrite_ < 0) return;
    const char byte = 0;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
}

void ConnectionChannel::clearWakes() {
    char drain[64];
    // A short read has emptied the pipe.
    while (::read(wakeRead_, drain, sizeof drain) == static_cast<ssize_t>(sizeof drain)) {
    }
}

void ConnectionChannel::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_.store(true, std::memory_order_release);
        writable_ = false;
        sendError_ = socket_error::kNotSocket;
        // outgoing_ stays: the thread writes what the socket takes at once
        // before it closes.
    }
    wake();
}

SendResult ConnectionChannel::queueSend(std::span<const std::uint8_t> data) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        if (!writable_) return {false, sendError_};
        if (data.empty()) return {};
        if (directFd_ >= 0 && outgoing_.empty() && !inFlight_) {
            // Nothing ahead of these bytes: they go now, as far as the socket
            // takes them without waiting. An error leaves them queued: the
            // connection's thread meets it too and reports it as its own.
            for (;;) {
                const ssize_t n =
                    ::send(directFd_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && errno == EINTR) continue;
                if (n > 0) data = data.subspan(static_cast<std::size_t>(n));
                if (n <= 0 || data.empty()) break;
            }
            if (data.empty()) return {};
        }
        first = outgoing_.empty();
        outgoing_.insert(outgoing_.end(), data.begin(), data.end());
    }
    // The thread takes all that is queued whenever it looks: one wake-up per
    // batch is enough.
    if (first) wake();
    return {};
}

void ConnectionChannel::setWritable(bool writable) {
    std::lock_guard lock(mutex_);
    writable_ = writable && !cancelled();
    if (!writable_) outgoing_.clear();
}

void ConnectionChannel::setSendError(int error) {
    std::lock_guard lock(mutex_);
    writable_ = false;
    sendError_ = error;
    outgoing_.clear();
}

bool ConnectionChannel::takeOutgoing(Block& out) {
    std::lock_guard lock(mutex_);
    inFlight_ = !outgoing_.empty();
    if (!inFlight_) return false;
    out.swap(outgoing_);
    return true;
}

void ConnectionChannel::setDirectSocket(int fd) {
    std::lock_guard lock(mutex_);
    directFd_ = fd;
}

ConnectionChannel::Block ConnectionChannel::freeBlock() {
    Block block;
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    block.resize(kBlockSize);
    return block;
}

bool ConnectionChannel::hasRoom(std::size_t pending) {
    std::lock_guard lock(mutex_);
    if (queuedBytes_ + pending + kBlockSize <= maxQueuedBytes_) return true;
    readerStalled_ = true;
    return false;
}

void ConnectionChannel::pushBlocks(std::vector<Block>& blocks) {
    if (blocks.empty()) return;
    bool postDrain = false;
    {
        std::lock_guard lock(mutex_);
        for (Block& block : blocks) {
            queuedBytes_ += block.size();
            incoming_.push_back(std::move(block));
        }
        postDrain = !drainPosted_;
        drainPosted_ = true;
    }
    blocks.clear();
    if (postDrain) scheduler_.post([self = shared_from_this()] { self->drain(); });
}

void ConnectionChannel::post(Event event) {
    scheduler_.post([self = shared_from_this(), event = std::move(event)] {
        if (!self->cancelled()) event(*self->events_);
    });
}

void ConnectionChannel::finish(Event event) {
    bool postDrain = false;
    {
        std::lock_guard lock(mutex_);
        last_ = std::move(event);
        postDrain = !drainPosted_;
        drainPosted_ = true;
    }
    if (postDrain) scheduler_.post([self = shared_from_this()] { self->drain(); });
}

void ConnectionChannel::drain() {
    std::vector<Block> batch;
    Event last;
    {
        std::lock_guard lock(mutex_);
        const std::size_t count = std::min(incoming_.size(), kBlocksPerTask);
        batch.reserve(count);
        std::move(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(count),
                  std::back_inserter(batch));
        incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(count));
        if (incoming_.empty()) {
            last = std::move(last_);
            last_ = nullptr;
        }
    }

    std::size_t bytes = 0;
    for (const Block& block : batch) {
        bytes += block.size();
        // dataReceived may close the connection: the rest is dropped.
        if (!cancelled()) events_->dataReceived(block);
    }

    bool again = false;
    bool wakeReader = false;
    {
        std::lock_guard lock(mutex_);
        queuedBytes_ -= bytes;
        for (Block& block : batch) {
            if (spare_.size() >= kSpareBlocks) break;
            spare_.push_back(std::move(block));
        }
        again = !incoming_.empty() || last_;
        drainPosted_ = again;
        if (readerStalled_ && queuedBytes_ + kBlockSize <= maxQueuedBytes_) {
            readerStalled_ = false;
            wakeReader = true;
        }
    }
    if (wakeReader) wake();
    if (last) {
        {
            // Until now the session, still working through what came before
            // the end, saw a connection; from now on sends fail at once.
            std::lock_guard lock(mutex_);
            writable_ = false;
            outgoing_.clear();
        }
        if (!cancelled()) last(*events_);
    }
    if (again) scheduler_.post([self = shared_from_this()] { self->drain(); });
}

}  // namespace cedar::platform
