#include "live/LiveSubscriber.h"

void LiveSubscriber::push(const Event& event) {
    {
        std::lock_guard lock(mutex_);
        if (dropped_ || closed_) return;
        if (queue_.size() >= capacity_) {
            dropped_ = true;
            queue_.clear();
        } else {
            queue_.push_back(event);
        }
    }
    wake_.notify_one();
}

LiveSubscriber::Taken LiveSubscriber::take(std::vector<Event>& out, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, timeout, [this] { return closed_ || dropped_ || !queue_.empty(); });
    if (closed_) return Taken::closed;
    if (dropped_) return Taken::dropped;
    if (queue_.empty()) return Taken::timeout;
    out.insert(out.end(), queue_.begin(), queue_.end());
    queue_.clear();
    return Taken::events;
}

void LiveSubscriber::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    wake_.notify_all();
}

bool LiveSubscriber::isDropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::size_t LiveSubscriber::queued() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}
