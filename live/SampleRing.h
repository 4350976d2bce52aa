// The newest samples, numbered: the memory /api/samples and a reconnecting event stream read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "live/LiveSample.h"

// A ring of fixed capacity; the oldest sample goes when a new one comes into a full ring.
// Samples arrive in rising seq order. Not locked: its owner (LiveHub) locks.
class SampleRing {
public:
    explicit SampleRing(std::size_t capacity);

    void append(const LiveSample& sample);
    // Samples with seq > after, oldest first, at most limit of them.
    std::vector<LiveSample> since(uint64_t after, std::size_t limit) const;
    // Every sample of that run still in the ring, oldest first.
    std::vector<LiveSample> run(int number) const;
    std::size_t size() const { return count_; }
    std::size_t capacity() const { return samples_.size(); }
    // seq of the oldest and the newest sample; 0 when empty.
    uint64_t firstSeq() const;
    uint64_t lastSeq() const;

private:
    const LiveSample& at(std::size_t index) const { return samples_[(start_ + index) % samples_.size()]; }

    std::vector<LiveSample> samples_;
    std::size_t start_ = 0;
    std::size_t count_ = 0;
};
