#include "sim/RavlinkAdapter.h"

#include <cstdio>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

// One entry of the command table: the command character, the answer line and what it
// switches.
struct RavlinkAdapter::Command {
    uint8_t key;
    const char* answer;
    void (RavlinkAdapter::*action)();
};

const RavlinkAdapter::Command RavlinkAdapter::commandTable[] = {
    {'v', "Ravlink USB-Adapter 2.1\r\n", nullptr},
    {'+', "Versorgung ein\r\n", &RavlinkAdapter::supplyOn},
    {'-', "Versorgung aus\r\n", &RavlinkAdapter::supplyOff},
    {'d', "RS232 durchgeschaltet\r\n", &RavlinkAdapter::passThrough},
    {'p', "Programmiermodus\r\n", &RavlinkAdapter::programMode},
};

RavlinkAdapter::RavlinkAdapter(bool present, bool supplyOn) : present_(present), supply_(supplyOn) {}

void RavlinkAdapter::onByte(uint8_t byte, SimTime now) {
    // A pause before this byte ends a pending prefix first.
    if (!held_.empty() && now - lastByte_ >= holdTime) release(now);
    lastByte_ = now;
    if (held_.size() == sizeof(prefix)) {
        held_.clear();
        execute(byte);
        return;
    }
    if (byte == prefix[held_.size()]) {
        held_.push_back(byte);
        return;
    }
    // The prefix bytes all differ, so a broken prefix can only restart with this byte.
    release(now);
    if (byte == prefix[0]) {
        held_.push_back(byte);
        return;
    }
    if (forward_) forward_(byte, now);
}

void RavlinkAdapter::release(SimTime now) {
    std::vector<uint8_t> bytes;
    bytes.swap(held_);
    if (forward_)
        for (uint8_t b : bytes) forward_(b, now);
}

void RavlinkAdapter::poll(SimTime now) {
    if (!held_.empty() && now - lastByte_ >= holdTime) release(now);
}

SimTime RavlinkAdapter::nextDue() const {
    return held_.empty() ? simNever : lastByte_ + holdTime;
}

void RavlinkAdapter::execute(uint8_t key) {
    ++commands_;
    for (const Command& c : commandTable) {
        if (c.key != key) continue;
        if (c.action != nullptr) (this->*c.action)();
        log(SString::printf(MSG("simAdapterCommand", "Adapter-Befehl '%c'"), key));
        send(c.answer);
        return;
    }
    log(SString::printf(MSG("simAdapterUnknown", "Unbekannter Adapter-Befehl 0x%02X"), key));
    send(errorAnswer);
}

void RavlinkAdapter::setSupply(bool on) {
    supply_ = on;
}
