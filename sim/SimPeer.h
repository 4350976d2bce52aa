// The parts of the virtual board that talk on the serial line: the firmware now, the
// programmer and the bootloaders later. Each one takes bytes and gives bytes; the board
// decides who hears what (adapter mode, supply) and when bytes arrive (line rate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>

#include "foundation/SString.h"

// Nanoseconds of the board's monotonic clock; only differences have a meaning.
using SimTime = int64_t;
constexpr SimTime simNever = std::numeric_limits<SimTime>::max();

// Where a peer's answers go.
class SimSink {
public:
    virtual ~SimSink() = default;
    // Bytes for the program; frames counts the measurement frames among them.
    virtual void send(const uint8_t* bytes, std::size_t count, int frames = 0) = 0;
};

class SimPeer : public SObject {
public:
    S_CLASSNAME(SimPeer)

    using Log = std::function<void(const SString& line)>;

    void setSink(SimSink* sink) { sink_ = sink; }
    // Receives a line for every command the peer handles (called on the board's thread).
    void setLog(Log log) { log_ = std::move(log); }

    // One byte from the program, arrived at the time now.
    virtual void onByte(uint8_t byte, SimTime now) = 0;
    // Lets the peer send what is due at the time now (measurement samples, time-outs).
    virtual void poll(SimTime /*now*/) {}
    // When poll has something to do next; simNever when nothing is pending.
    virtual SimTime nextDue() const { return simNever; }
    // Power-on state: the supply was switched off (and the controller restarts when it returns).
    virtual void reset() {}

protected:
    void send(const uint8_t* bytes, std::size_t count, int frames = 0) {
        if (sink_ != nullptr) sink_->send(bytes, count, frames);
    }
    void send(const char* text);
    void log(const SString& line) const {
        if (log_) log_(line);
    }

private:
    SimSink* sink_ = nullptr;
    Log log_;
};
