// The byte ring between a serial reader thread (writer) and the GUI thread (reader).
#pragma once

#include <mutex>

#include "foundation/SMem.h"

// Stored bytes run from the read index up to the write index modulo the capacity; equal
// indices mean empty when the empty flag is set and full otherwise. When full, put overwrites
// the oldest byte and counts it as lost. All operations lock: the reader thread puts while the
// GUI thread gets, and a lock per byte costs far less than the line delivers at 115200 baud.
class SRingBuffer : public SMem {
public:
    S_CLASSNAME(SRingBuffer)

    SRingBuffer() = default;
    explicit SRingBuffer(std::size_t capacity) { setCapacity(capacity); }

    // Sets the capacity and empties the ring.
    void setCapacity(std::size_t capacity);
    std::size_t getCapacity() const;
    void clear();
    // Stores a byte; true when the oldest byte was lost to make room. No-op on capacity 0.
    bool put(uint8_t byte);
    // Stores several bytes in order under one lock; returns how many older bytes were lost.
    int put(const uint8_t* bytes, std::size_t count);
    // Moves n bytes out (oldest first); false, and nothing moved, when fewer are stored.
    bool get(uint8_t* destination, std::size_t n);
    // The i-th stored byte without removing it.
    bool peek(std::size_t i, uint8_t& out) const;
    int count() const;
    int getOverflowCount() const;

private:
    bool putLocked(uint8_t byte);
    int countLocked() const;

    mutable std::mutex mutex_;
    std::size_t write_ = 0;
    std::size_t read_ = 0;
    bool empty_ = true;
    int overflow_ = 0;
};
