#include "live/SampleRing.h"

#include <algorithm>

SampleRing::SampleRing(std::size_t capacity) : samples_(std::max<std::size_t>(capacity, 1)) {}

void SampleRing::append(const LiveSample& sample) {
    if (count_ < samples_.size()) {
        samples_[(start_ + count_) % samples_.size()] = sample;
        ++count_;
    } else {
        samples_[start_] = sample;
        start_ = (start_ + 1) % samples_.size();
    }
}

std::vector<LiveSample> SampleRing::since(uint64_t after, std::size_t limit) const {
    std::vector<LiveSample> out;
    if (count_ == 0 || after >= lastSeq()) return out;
    // seq rises by one from sample to sample, so the first wanted one is found by arithmetic.
    const uint64_t first = firstSeq();
    std::size_t index = after < first ? 0 : static_cast<std::size_t>(after - first + 1);
    out.reserve(std::min(limit, count_ - index));
    for (; index < count_ && out.size() < limit; ++index) out.push_back(at(index));
    return out;
}

std::vector<LiveSample> SampleRing::run(int number) const {
    std::vector<LiveSample> out;
    for (std::size_t index = 0; index < count_; ++index)
        if (at(index).run == number) out.push_back(at(index));
    return out;
}

uint64_t SampleRing::firstSeq() const {
    return count_ == 0 ? 0 : at(0).seq;
}

uint64_t SampleRing::lastSeq() const {
    return count_ == 0 ? 0 : at(count_ - 1).seq;
}
