#include "live/PinGuard.h"

#include <random>

PinGuard::PinGuard(std::string pin, Now now) : pin_(std::move(pin)), now_(std::move(now)) {}

std::string PinGuard::makePin() {
    std::random_device random;
    std::uniform_int_distribution<int> digit(0, 9);
    std::string pin;
    for (int i = 0; i < 6; ++i) pin += static_cast<char>('0' + digit(random));
    return pin;
}

namespace {

// Compares without stopping at the first difference, so the time taken tells nothing about
// how many leading digits were right.
bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace

PinGuard::Verdict PinGuard::check(const std::string& address, const std::string* pin) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    auto found = records_.find(address);
    if (found != records_.end() && found->second.lockedUntil != Clock::time_point{}) {
        if (now < found->second.lockedUntil) return Verdict::locked;
        // The lockout is over: the address starts afresh.
        found->second = Record{};
    }
    if (!pin) return Verdict::missing;
    if (!pin_.empty() && sameText(*pin, pin_)) {
        if (found != records_.end()) records_.erase(found);
        return Verdict::accepted;
    }
    if (found == records_.end()) {
        if (records_.size() >= maxAddresses) prune(now);
        found = records_.emplace(address, Record{}).first;
    }
    if (++found->second.wrong >= maxWrong) {
        found->second.wrong = 0;
        found->second.lockedUntil = now + lockout;
    }
    return Verdict::wrong;
}

int PinGuard::secondsLocked(const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto found = records_.find(address);
    if (found == records_.end()) return 0;
    const auto left = found->second.lockedUntil - now_();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

void PinGuard::prune(Clock::time_point now) {
    for (auto it = records_.begin(); it != records_.end();) {
        // A lock still running is kept; a lock over is forgotten. Counts of wrong guesses without
        // a lock are forgotten too when space runs out, so a flood of addresses cannot grow
        // the table without end.
        if (it->second.lockedUntil > now)
            ++it;
        else
            it = records_.erase(it);
    }
    while (records_.size() >= maxAddresses) {
        auto oldest = records_.begin();
        for (auto it = records_.begin(); it != records_.end(); ++it)
            if (it->second.lockedUntil < oldest->second.lockedUntil) oldest = it;
        records_.erase(oldest);
    }
}
