// The serial line between the USB bridge and the board's controller.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/LineSettings.h"
#include "sim/SimPeer.h"

// Carries bytes both ways. Without realistic timing every byte arrives at once and the
// settings do not matter. With it, a byte arrives when its last bit would have: characters
// follow each other at the sender's character time (10 bits per byte for 8N1). The bridge
// side runs at the program's settings, the controller at its own (115200,N,8,1 for the
// firmware); when they differ, the controller's receiver sees only framing errors and drops
// what the program sends, and the program receives garbage in place of what the controller
// sends: one byte of noise per character it could have caught.
class SerialLine : public SObject {
public:
    S_CLASSNAME(SerialLine)

    // Bytes queued for the program beyond this are dropped, as a full transmit buffer would.
    static constexpr std::size_t maxQueued = 1 << 20;

    void setRealistic(bool realistic) { realistic_ = realistic; }
    bool isRealistic() const { return realistic_; }
    void setDeviceSettings(const LineSettings& s) { device_ = s; }
    // The settings the program has given its end of the line.
    void setHostSettings(const LineSettings& s) { host_ = s; }
    const LineSettings& getHostSettings() const { return host_; }
    // Whether both ends use the same character format (always true without realistic timing).
    bool settingsMatch() const;

    // A byte from the program for the controller; dropped when the settings differ.
    void fromHost(uint8_t byte, SimTime now);
    // The next byte that has reached the controller by the time now.
    bool takeForDevice(SimTime now, uint8_t& byte);
    // Bytes the controller sends; garbled when the settings differ.
    void fromDevice(const uint8_t* bytes, std::size_t count, SimTime now);
    // Bytes the bridge itself answers (the adapter): they travel at the program's settings.
    void fromBridge(const uint8_t* bytes, std::size_t count, SimTime now);
    // Moves every byte that has reached the program by the time now to out.
    void takeForHost(SimTime now, std::vector<uint8_t>& out);
    // Forgets what is on its way to the controller (it lost its supply).
    void clearForDevice() { toDevice_.clear(); }

    SimTime nextDue() const;
    int64_t getDroppedCount() const { return dropped_; }
    int64_t getGarbledCount() const { return garbled_; }

private:
    struct Pending {
        uint8_t byte;
        SimTime ready;     // when the sender had it
        int64_t duration;  // the character time on the line
    };
    // When a byte has fully arrived: it starts when the sender has it and the line is idle.
    static SimTime arrival(const Pending& p, SimTime free) {
        return (p.ready > free ? p.ready : free) + p.duration;
    }
    void pushForHost(const Pending& p);

    bool realistic_ = false;
    LineSettings device_{115200, 8, 'N', 1};
    LineSettings host_{115200, 8, 'N', 1};
    std::deque<Pending> toDevice_;
    std::deque<Pending> toHost_;
    SimTime deviceFree_ = 0;  // when the line to the controller is idle again
    SimTime hostFree_ = 0;
    double garbleCredit_ = 0.0;
    uint64_t garbleState_ = 0x2545F4914F6CDD1Dull;
    int64_t dropped_ = 0;
    int64_t garbled_ = 0;
};
