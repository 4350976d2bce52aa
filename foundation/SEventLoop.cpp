#include "foundation/SEventLoop.h"

#include <algorithm>

#include "foundation/STimer.h"
#include "platform/Clock.h"

void SPlainEventLoop::processEvents() {
    int64_t now = platform::monotonicMs();
    // Collect due ids first: a timer callback may start or stop timers.
    std::vector<int> due;
    for (Timer& t : timers_) {
        if (t.dueMs <= now) {
            due.push_back(t.id);
            // The next expiry counts from now, so a slow callback does not cause a burst.
            t.dueMs = now + t.periodMs;
        }
    }
    for (int id : due)
        if (std::any_of(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; }))
            globalTimer().dispatch(id);
}

void SPlainEventLoop::waitForEvents(int maxMs) {
    int64_t now = platform::monotonicMs();
    int64_t sleep = maxMs;
    for (const Timer& t : timers_) sleep = std::min(sleep, t.dueMs - now);
    if (sleep > 0) platform::sleepMs(static_cast<int>(sleep));
    processEvents();
}

int SPlainEventLoop::startTimer(int periodMs) {
    int id = nextId_++;
    timers_.push_back({id, std::max(periodMs, 1), platform::monotonicMs() + std::max(periodMs, 1)});
    return id;
}

void SPlainEventLoop::stopTimer(int id) {
    std::erase_if(timers_, [id](const Timer& t) { return t.id == id; });
}

namespace {
SEventLoop* installed = nullptr;
}

SEventLoop& eventLoop() {
    static SPlainEventLoop plain;
    return installed ? *installed : plain;
}

void setEventLoop(SEventLoop* loop) { installed = loop; }
