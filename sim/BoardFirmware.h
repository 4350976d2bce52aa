// The experiment firmware of the ATmega8: a text command dialogue and the measurement stream.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "sim/RcCircuit.h"
#include "sim/SimPeer.h"

// Commands are a text and "\n"; every command is answered at once with one line ending in
// "\n". "start" begins one run: the capacitor is emptied first (readings of frames 3 and 4 only,
// every sample period, until it reads empty; one reading when it is empty already), then one
// set of frames
// [id][counts, 16-bit little-endian] per sample through one charging and one discharging half
// cycle, and the line "OK Ende" after the last. "stop" ends a run at once. A "start" during a
// run begins a new run. While no run goes on the capacitor discharges.
class BoardFirmware : public SimPeer {
public:
    S_CLASSNAME(BoardFirmware)

    // Which ADC input a frame carries and in which half of the cycle it is sent.
    enum Source { capacitorInput, resistorInput };
    enum When { whileCharging, whileDischarging, always };
    struct FrameChannel {
        uint8_t id;
        const char* name;  // the channel name of the program's channel definitions
        Source source;
        When when;
    };
    // The frames of one sample, in the order they are sent.
    static const std::array<FrameChannel, 4>& frameChannels();

    static constexpr const char* versionAnswer = "NUK Kondensator-Firmware 1.0\n";
    static constexpr const char* errorAnswer = "Fehler: unbekannter Befehl\n";
    // The line after the last sample of a run.
    static constexpr const char* endAnswer = "OK Ende\n";
    // A capacitor at most this many counts counts as empty at the start of a run.
    static constexpr int emptyCounts = 1;
    // Longer command lines are refused as a whole (answered with the error line).
    static constexpr std::size_t maxLine = 32;
    // From the "start" answer to the first sample, in real time whatever the time scale: the
    // capacitor is shorted and the ADC settles. The pause also gives the program time to read
    // the answer and switch its splitter on before the first frame arrives.
    static constexpr SimTime startDelay = 200'000'000;

    // timeScale > 1 runs the circuit faster than real time (model seconds per real second).
    explicit BoardFirmware(const RcCircuit& circuit, double timeScale = 1.0);

    void onByte(uint8_t byte, SimTime now) override;
    void poll(SimTime now) override;
    SimTime nextDue() const override;
    // The supply went off: the run and a half-received command are lost.
    void reset() override;

    const RcCircuit& getCircuit() const { return circuit_; }
    bool isMeasuring() const { return measuring_.load(); }
    // Samples of one run: a charging and a discharging half cycle.
    int64_t samplesPerRun() const;
    // The capacitor voltage at a time (the run's model while one goes on, else its discharge).
    double capacitorVoltageAt(SimTime now) const;
    // Samples sent since the start of the current (or last) run.
    int64_t getSampleCount() const { return nextSample_.load(); }
    int64_t getCommandCount() const { return commands_.load(); }
    // The time at which sample k of the current run is due (sample 0 startDelay after "start").
    SimTime sampleDue(int64_t k) const;

private:
    struct Command;
    static const Command commandTable[];

    void execute(const std::string& line, SimTime now);
    void startRun(SimTime now);
    void stopRun(SimTime now);
    void sendSample(int64_t k);
    // A reading of the capacitor while it is emptied before a run.
    void sendPrerunReading(SimTime at);
    // Model seconds between two times of the line.
    double modelSeconds(SimTime from, SimTime to) const;

    RcCircuit circuit_;
    double samplePeriodNs_;  // real nanoseconds between samples
    std::string line_;
    bool overlong_ = false;
    SimTime runStart_ = 0;
    // Emptying before a run: the first reading's time and the voltage then; the run's sample 0
    // follows the reading that found the capacitor empty.
    bool emptying_ = false;
    SimTime nextReading_ = 0;
    SimTime emptyingStart_ = 0;
    double emptyingVoltage_ = 0.0;
    // Between runs: the voltage when the last run ended and since when it discharges.
    double restVoltage_ = 0.0;
    SimTime restSince_ = 0;
    std::atomic<bool> measuring_{false};
    std::atomic<int64_t> nextSample_{0};
    std::atomic<int64_t> commands_{0};
};
