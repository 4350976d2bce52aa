// A receiver that keeps the bytes of its frames in a ring for a reader on another thread.
#pragma once

#include "stream/Receiver.h"
#include "stream/SRingBuffer.h"

class ReceiverBuffered : public Receiver {
public:
    S_CLASSNAME(ReceiverBuffered)

    // Upper bound of the ring, so a mistyped buffer size in a definition file cannot ask for
    // gigabytes; the experiment needs a few kilobytes.
    static constexpr int64_t maxBufferBytes = 16 * 1024 * 1024;

    // Makes the ring hold recordLength x records bytes (0 for negative values, at most
    // maxBufferBytes) and empties it.
    void setBufferSize(int32_t records);
    // Puts the frame's bytes into the ring in order; when full the oldest bytes are lost.
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override;

    SRingBuffer& getRing() { return ring_; }
    const SRingBuffer& getRing() const { return ring_; }

protected:
    SRingBuffer ring_;
};
