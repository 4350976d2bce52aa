#include "stream/ReceiverBuffered.h"

#include <algorithm>

void ReceiverBuffered::setBufferSize(int32_t records) {
    int64_t bytes = static_cast<int64_t>(recordLength_) * static_cast<int64_t>(records);
    bytes = std::clamp<int64_t>(bytes, 0, maxBufferBytes);
    ring_.setCapacity(static_cast<std::size_t>(bytes));
}

bool ReceiverBuffered::receive(const SMem& frame, int32_t length, uint32_t, uint32_t) {
    // A frame never claims more bytes than its buffer holds.
    const std::size_t n =
        length <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length), frame.getSize());
    ring_.put(frame.getData(), n);
    return true;
}
