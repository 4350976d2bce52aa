// One client of the event stream: a bounded queue of events waiting to be sent to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The measurement side pushes, the client's own connection thread takes. A push never waits:
// when the client has fallen so far behind that its queue is full, it is marked dropped and its
// queue emptied; its connection then ends, and the browser reconnects and catches up from the
// sample ring. So a slow or stalled client never holds up the measurement or the other clients.
class LiveSubscriber {
public:
    using Event = std::shared_ptr<const std::string>;

    enum class Taken {
        events,   // out holds events
        timeout,  // nothing came within the time
        dropped,  // the client fell behind
        closed,   // sharing ends
    };

    explicit LiveSubscriber(std::size_t capacity) : capacity_(capacity) {}

    // Appends the event, or drops the client when its queue is full.
    void push(const Event& event);
    // Waits up to timeout for events and moves every waiting one into out.
    Taken take(std::vector<Event>& out, std::chrono::milliseconds timeout);
    // Wakes the taker for good: the stream ends.
    void close();
    bool isDropped() const;
    std::size_t queued() const;

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> queue_;
    bool dropped_ = false;
    bool closed_ = false;
};
