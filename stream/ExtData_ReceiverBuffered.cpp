#include "stream/ExtData_ReceiverBuffered.h"

#include <algorithm>

void* ExtData_ReceiverBuffered::data(int kind) {
    if (kind == dataLatestValue) return &latest_;
    if (kind == dataRing) return &ring_;
    return nullptr;
}

bool ExtData_ReceiverBuffered::receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) {
    ReceiverBuffered::receive(frame, length, id, userValue);

    const std::size_t n =
        length <= 0 ? 0 : std::min<std::size_t>({static_cast<std::size_t>(length), frame.getSize(), 4});
    uint32_t value = latest_.load(std::memory_order_relaxed);  // only this thread writes it
    const uint8_t* bytes = frame.getData();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned shift = static_cast<unsigned>(8 * i);
        value = (value & ~(0xFFu << shift)) | (static_cast<uint32_t>(bytes[i]) << shift);
    }
    // The value is published before the count, so a reader that sees the new count also sees
    // the value of that frame (or a newer one).
    latest_.store(value, std::memory_order_release);
    updateCount_.fetch_add(1, std::memory_order_release);
    return true;
}
