// The Ravlink USB programmer adapter in front of the board: it switches the board's supply and
// connects the serial line either to its programmer or through to the board's firmware.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/SimPeer.h"

// An adapter command is the seven prefix bytes and one command character; the adapter answers
// each with one line. Every other byte goes on, through the forward function, to whatever the
// adapter connects the line to. Bytes that begin like the prefix are held back until the
// prefix is complete or broken, or until the line has been quiet for holdTime (a programmer
// block that happens to end in 0xD1 must not wait for ever).
//
// Without "present" the board is plugged in directly: the commands are still recognised and
// answered, but the line always reaches the firmware and the supply is always on.
class RavlinkAdapter : public SimPeer {
public:
    S_CLASSNAME(RavlinkAdapter)

    static constexpr uint8_t prefix[7] = {0xD1, 0x9C, 0xA4, 0xC7, 0x8E, 0xF3, 0xB8};
    static constexpr SimTime holdTime = 20'000'000;  // 20 ms
    static constexpr const char* errorAnswer = "Ravlink: unbekannter Befehl\r\n";

    using Forward = std::function<void(uint8_t byte, SimTime now)>;

    // present: the board sits behind the adapter; supplyOn: the supply state at power-up
    // (the adapter starts in programmer mode).
    RavlinkAdapter(bool present, bool supplyOn);

    void setForward(Forward forward) { forward_ = std::move(forward); }

    void onByte(uint8_t byte, SimTime now) override;
    void poll(SimTime now) override;
    SimTime nextDue() const override;

    bool isPresent() const { return present_; }
    bool isSupplyOn() const { return !present_ || supply_.load(); }
    bool isPassThrough() const { return !present_ || passThrough_.load(); }
    // The program's bytes reach the firmware and the firmware's reach the program.
    bool isFirmwareConnected() const { return isPassThrough() && isSupplyOn(); }
    int64_t getCommandCount() const { return commands_.load(); }

private:
    struct Command;
    static const Command commandTable[];

    void execute(uint8_t key);
    void release(SimTime now);
    void setSupply(bool on);
    void supplyOn() { setSupply(true); }
    void supplyOff() { setSupply(false); }
    void passThrough() { passThrough_ = true; }
    void programMode() { passThrough_ = false; }

    bool present_;
    std::atomic<bool> supply_;
    std::atomic<bool> passThrough_{false};
    std::atomic<int64_t> commands_{0};
    std::vector<uint8_t> held_;  // prefix bytes matched so far
    SimTime lastByte_ = 0;
    Forward forward_;
};
