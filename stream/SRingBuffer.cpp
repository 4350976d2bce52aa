#include "stream/SRingBuffer.h"

void SRingBuffer::setCapacity(std::size_t capacity) {
    std::lock_guard lock(mutex_);
    bytes_.assign(capacity, 0);
    write_ = read_ = 0;
    empty_ = true;
    overflow_ = 0;
}

std::size_t SRingBuffer::getCapacity() const {
    std::lock_guard lock(mutex_);
    return bytes_.size();
}

void SRingBuffer::clear() {
    std::lock_guard lock(mutex_);
    write_ = read_ = 0;
    empty_ = true;
    overflow_ = 0;
}

bool SRingBuffer::putLocked(uint8_t byte) {
    const std::size_t capacity = bytes_.size();
    if (capacity == 0) return false;
    bytes_[write_] = byte;
    bool lost = false;
    if (read_ == write_ && !empty_) {
        read_ = (read_ + 1) % capacity;
        ++overflow_;
        lost = true;
    }
    write_ = (write_ + 1) % capacity;
    empty_ = false;
    return lost;
}

bool SRingBuffer::put(uint8_t byte) {
    std::lock_guard lock(mutex_);
    return putLocked(byte);
}

int SRingBuffer::put(const uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    int lost = 0;
    for (std::size_t i = 0; i < count; ++i) lost += putLocked(bytes[i]);
    return lost;
}

int SRingBuffer::countLocked() const {
    if (empty_) return 0;
    const std::size_t capacity = bytes_.size();
    if (read_ == write_) return static_cast<int>(capacity);
    return static_cast<int>((write_ + capacity - read_) % capacity);
}

int SRingBuffer::count() const {
    std::lock_guard lock(mutex_);
    return countLocked();
}

bool SRingBuffer::peek(std::size_t i, uint8_t& out) const {
    std::lock_guard lock(mutex_);
    if (i >= bytes_.size() || empty_ || static_cast<std::size_t>(countLocked()) <= i) return false;
    out = bytes_[(read_ + i) % bytes_.size()];
    return true;
}

bool SRingBuffer::get(uint8_t* destination, std::size_t n) {
    std::lock_guard lock(mutex_);
    if (static_cast<std::size_t>(countLocked()) < n) return false;
    const std::size_t capacity = bytes_.size();
    for (std::size_t i = 0; i < n; ++i) {
        destination[i] = bytes_[read_];
        read_ = (read_ + 1) % capacity;
        if (read_ == write_) empty_ = true;
    }
    return true;
}

int SRingBuffer::getOverflowCount() const {
    std::lock_guard lock(mutex_);
    return overflow_;
}
