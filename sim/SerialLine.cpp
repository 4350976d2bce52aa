#include "sim/SerialLine.h"

#include <algorithm>

bool SerialLine::settingsMatch() const {
    // A receiver checks only the first stop bit, so the stop bits do not have to agree.
    return !realistic_ || (host_.baud == device_.baud && host_.dataBits == device_.dataBits &&
                           host_.parity == device_.parity);
}

void SerialLine::fromHost(uint8_t byte, SimTime now) {
    if (!realistic_) {
        toDevice_.push_back({byte, now, 0});
        return;
    }
    if (!settingsMatch()) {
        ++dropped_;
        return;
    }
    toDevice_.push_back({byte, now, host_.charTimeNs()});
}

bool SerialLine::takeForDevice(SimTime now, uint8_t& byte) {
    if (toDevice_.empty()) return false;
    SimTime t = arrival(toDevice_.front(), deviceFree_);
    if (t > now) return false;
    deviceFree_ = t;
    byte = toDevice_.front().byte;
    toDevice_.pop_front();
    return true;
}

void SerialLine::pushForHost(const Pending& p) {
    if (toHost_.size() >= maxQueued) {
        ++dropped_;
        return;
    }
    toHost_.push_back(p);
}

void SerialLine::fromDevice(const uint8_t* bytes, std::size_t count, SimTime now) {
    if (!realistic_) {
        for (std::size_t i = 0; i < count; ++i) pushForHost({bytes[i], now, 0});
        return;
    }
    int64_t charTime = device_.charTimeNs();
    if (settingsMatch()) {
        for (std::size_t i = 0; i < count; ++i) pushForHost({bytes[i], now, charTime});
        return;
    }
    // A slower receiver catches fewer characters than were sent; each is noise.
    double ratio = host_.baud > 0 ? std::min(1.0, static_cast<double>(host_.baud) / device_.baud) : 1.0;
    for (std::size_t i = 0; i < count; ++i) {
        garbleCredit_ += ratio;
        while (garbleCredit_ >= 1.0) {
            garbleCredit_ -= 1.0;
            garbleState_ ^= garbleState_ << 13;
            garbleState_ ^= garbleState_ >> 7;
            garbleState_ ^= garbleState_ << 17;
            pushForHost(
                {static_cast<uint8_t>(garbleState_ >> 24), now, static_cast<int64_t>(charTime / ratio)});
            ++garbled_;
        }
    }
}

void SerialLine::fromBridge(const uint8_t* bytes, std::size_t count, SimTime now) {
    int64_t charTime = realistic_ ? host_.charTimeNs() : 0;
    for (std::size_t i = 0; i < count; ++i) pushForHost({bytes[i], now, charTime});
}

void SerialLine::takeForHost(SimTime now, std::vector<uint8_t>& out) {
    while (!toHost_.empty()) {
        SimTime t = arrival(toHost_.front(), hostFree_);
        if (t > now) return;
        hostFree_ = t;
        out.push_back(toHost_.front().byte);
        toHost_.pop_front();
    }
}

SimTime SerialLine::nextDue() const {
    SimTime next = simNever;
    if (!toDevice_.empty()) next = std::min(next, arrival(toDevice_.front(), deviceFree_));
    if (!toHost_.empty()) next = std::min(next, arrival(toHost_.front(), hostFree_));
    return next;
}
