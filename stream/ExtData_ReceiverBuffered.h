// A data channel fed by the stream splitter: a ring of its frames and the latest value.
#pragma once

#include <atomic>
#include <cstdint>

#include "stream/ExtData.h"
#include "stream/ReceiverBuffered.h"

// The reader thread writes the ring, the update count and the latest value; painters read them
// on the GUI thread. The ring locks itself; the latest value is one atomic 32-bit word, so a
// reader never sees half of one frame and half of the next.
class ExtData_ReceiverBuffered : public ExtData, public ReceiverBuffered {
public:
    S_CLASSNAME(ExtData_ReceiverBuffered)

    // Kind 0: pointer to the latest value, a std::atomic<uint32_t> (read it with
    // getLatestValue(); a plain 32-bit read of the pointer works on the platforms we build for
    // but is not guaranteed to be whole). Kind 1: the ring, an SRingBuffer.
    void* data(int kind) override;

    // Ring, update count, then the latest value: the frame's first bytes (at most four) replace
    // the value's bytes from the lowest on; bytes beyond the frame keep their contents, so a
    // 2-byte frame after construction reads as the zero-extended 16-bit number.
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override;

    // The latest value as a little-endian 32-bit number, always from whole frames. This is the
    // accessor painters use.
    uint32_t getLatestValue() const { return latest_.load(std::memory_order_acquire); }

private:
    std::atomic<uint32_t> latest_{0};
};
