// The virtual board's controller as a simulated ATmega8: the image in the board's flash runs
// on simavr, with the UART on the board's serial line and the RC circuit on its pins.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/AvrMemory.h"
#include "sim/RcCircuit.h"
#include "sim/SimPeer.h"

// Pins: PB1 drives the capacitor through R (high: to the supply, low: to ground, input: no
// current), ADC0 reads U_C, ADC1 the pin side of R; AVCC (and AREF) is the circuit's ADC
// reference. The core runs at 16 MHz whatever the fuses say (the board has its crystal).
//
// Time: the core's clock follows the board's clock times the time scale. poll() runs the core
// up to the time it is given, in bounded slices, and lets the simulated controller skip over
// its sleep; when the machine cannot keep up, the backlog is given up rather than letting the
// line go unserved (getLostNs). runUntil() runs without limits, for tests and benchmarks.
//
// Flash: the image is loaded when the core powers on. An erased flash runs nothing (the line
// stays silent). When the flash changes (a programmer or bootloader writes it), the controller
// is held in reset until the flash has been quiet for flashSettle and then starts the new image.
class SimAvrCore : public SimPeer {
public:
    S_CLASSNAME(SimAvrCore)

    static constexpr uint32_t clockHz = 16'000'000;
    // The longest one poll runs the core (board time), so the line is served in between.
    static constexpr SimTime pollBudget = 20'000'000;
    // A backlog longer than this (board time) is given up.
    static constexpr SimTime maxLag = 250'000'000;
    // How long the flash must stay unchanged before the controller starts its new image.
    static constexpr SimTime flashSettle = 100'000'000;

    // timeScale > 1 runs the controller (and the circuit with it) faster than real time.
    SimAvrCore(const RcCircuit& circuit, const AvrMemory& memory, double timeScale = 1.0);
    ~SimAvrCore() override;

    void onByte(uint8_t byte, SimTime now) override;
    void poll(SimTime now) override;
    SimTime nextDue() const override;
    // The supply went off: the controller stops; it starts afresh (from the flash) with the
    // next call.
    void reset() override;

    // Runs the controller up to the time now, however long that takes.
    void runUntil(SimTime now);

    // True while a controller runs (flash not erased, not crashed).
    bool isRunning() const { return running_.load(); }
    // A run as seen on the line: from the answer to "start" until the answer to "stop".
    bool isMeasuring() const { return measuring_.load(); }
    // Samples of the run (sets with a curve frame) since the last "start" answer, and frames in
    // all.
    int64_t getSampleCount() const { return samples_.load(); }
    int64_t getFramesSent() const { return frames_.load(); }
    // Controller seconds since it last started.
    double getCoreSeconds() const;
    // The circuit's state. The capacitor may be charged before the controller runs (a board
    // plugged in with a charged capacitor, or one that cannot discharge).
    double getCapacitorVoltage() const;
    void setCapacitorVoltage(double volts) { capacitor_ = volts; }
    bool isChargePinHigh() const;
    // Board time given up because the machine could not keep up.
    int64_t getLostNs() const { return lostNs_.load(); }
    // How often the controller started (power-on, reset, new image).
    int getStartCount() const { return starts_.load(); }
    // Called with every byte the controller's UART sends and the controller cycle (16 MHz,
    // since its start) at which it sent it; for timing measurements.
    void setOutputTap(std::function<void(uint64_t cycle, uint8_t byte)> tap) { outputTap_ = std::move(tap); }

private:
    struct Core;
    class WireWatch;

    void powerOn(SimTime now);
    void powerOff();
    void checkFlash(SimTime now);
    void advance(SimTime now, bool bounded);
    void feedInput();
    void flushOutput();
    uint64_t targetCycle(SimTime now) const;

    RcCircuit circuit_;
    const AvrMemory& memory_;
    double timeScale_;
    std::unique_ptr<Core> core_;
    std::unique_ptr<WireWatch> watch_;
    std::deque<uint8_t> input_;
    std::vector<uint8_t> output_;
    std::function<void(uint64_t cycle, uint8_t byte)> outputTap_;

    SimTime origin_ = 0;        // board time at which the controller started
    uint64_t originCycle_ = 0;  // its cycle then
    SimTime lastNow_ = 0;
    bool powered_ = false;      // false after reset(): the next call powers on
    uint64_t seenGeneration_ = 0;
    SimTime flashChangedAt_ = 0;
    bool flashHeld_ = false;    // the flash changed: in reset until it has been quiet a while

    std::atomic<bool> running_{false};
    std::atomic<bool> measuring_{false};
    std::atomic<int64_t> samples_{0};
    std::atomic<int64_t> frames_{0};
    std::atomic<int64_t> lostNs_{0};
    std::atomic<int> starts_{0};
    std::atomic<uint64_t> cycles_{0};
    std::atomic<double> capacitor_{0.0};
    std::atomic<bool> pinHigh_{false};
};
