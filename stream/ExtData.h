// A named source of measured values that the diagram's painters read.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/SObject.h"

// The values' layout in the channel's ring, as the painters read it.
class ExtData : public SObject {
public:
    S_CLASSNAME(ExtData)

    // Kinds of data().
    static constexpr int dataLatestValue = 0;
    static constexpr int dataRing = 1;

    // Type codes: bytes per value and their meaning.
    static constexpr int32_t typeUInt8 = 1;         // one unsigned 8-bit value
    static constexpr int32_t typeUInt16 = 2;        // one unsigned 16-bit little-endian value
    static constexpr int32_t typeUInt8Pair = 1002;  // two unsigned 8-bit values

    ExtData() = default;
    ~ExtData() override = default;

    // Called when the channel should refresh itself; the base does nothing.
    virtual void update() {}
    // Kind 0: the latest value; kind 1: the ring (SRingBuffer). The base has none.
    virtual void* data(int kind);

    // Frames received since construction; written by the reader thread.
    uint32_t getUpdateCount() const { return updateCount_.load(std::memory_order_acquire); }
    int32_t getType() const { return type_; }
    void setType(int32_t type) { type_ = type; }

protected:
    std::atomic<uint32_t> updateCount_{0};
    int32_t type_ = 0;
};
