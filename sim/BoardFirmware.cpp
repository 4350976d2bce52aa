#include "sim/BoardFirmware.h"

#include <algorithm>
#include <cmath>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

// One entry of the command table: the command text, its answer line and what it does
// besides answering.
struct BoardFirmware::Command {
    const char* text;
    const char* answer;
    void (BoardFirmware::*action)(SimTime now);
};

const BoardFirmware::Command BoardFirmware::commandTable[] = {
    {"ver", BoardFirmware::versionAnswer, nullptr},
    {"start", "OK start\n", &BoardFirmware::startRun},
    {"stop", "OK stop\n", &BoardFirmware::stopRun},
};

const std::array<BoardFirmware::FrameChannel, 4>& BoardFirmware::frameChannels() {
    static const std::array<FrameChannel, 4> channels = {{
        {1, "Aufladen", capacitorInput, whileCharging},
        {2, "Entladen", capacitorInput, whileDischarging},
        {3, "U_C", capacitorInput, always},
        {4, "I", resistorInput, always},
    }};
    return channels;
}

BoardFirmware::BoardFirmware(const RcCircuit& circuit, double timeScale)
    : circuit_(circuit),
      samplePeriodNs_(1e9 / (circuit.getParameters().sampleRate * (timeScale > 0.0 ? timeScale : 1.0))) {}

void BoardFirmware::onByte(uint8_t byte, SimTime now) {
    if (byte != '\n') {
        if (line_.size() < maxLine)
            line_ += static_cast<char>(byte);
        else
            overlong_ = true;
        return;
    }
    std::string line;
    line.swap(line_);
    bool overlong = overlong_;
    overlong_ = false;
    if (overlong) {
        log(SString(MSG("simCommandTooLong", "Befehl zu lang")));
        send(errorAnswer);
        ++commands_;
        return;
    }
    // A terminal sends "\r\n"; blanks around the command do not count either.
    std::size_t first = line.find_first_not_of(" \t\r");
    std::size_t last = line.find_last_not_of(" \t\r");
    line = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    if (line.empty()) return;  // an empty line is no command
    execute(line, now);
}

void BoardFirmware::execute(const std::string& line, SimTime now) {
    ++commands_;
    for (const Command& c : commandTable) {
        if (line != c.text) continue;
        log(SString(MSG("simCommand", "Befehl: ")) + SString(line));
        send(c.answer);
        if (c.action != nullptr) (this->*c.action)(now);
        return;
    }
    std::string shown;
    for (char ch : line) shown += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
    log(SString(MSG("simCommandUnknown", "Unbekannter Befehl: ")) + SString(shown));
    send(errorAnswer);
}

double BoardFirmware::modelSeconds(SimTime from, SimTime to) const {
    // samplePeriodNs_ real nanoseconds are one sample period of the model.
    return static_cast<double>(to - from) / samplePeriodNs_ / circuit_.getParameters().sampleRate;
}

int64_t BoardFirmware::samplesPerRun() const {
    const RcParameters& p = circuit_.getParameters();
    return std::llround(2.0 * p.halfCycle * p.sampleRate);
}

double BoardFirmware::capacitorVoltageAt(SimTime now) const {
    const double tau = circuit_.getTau();
    if (measuring_ && emptying_)
        return emptyingVoltage_ * std::exp(-std::max(0.0, modelSeconds(emptyingStart_, now)) / tau);
    if (measuring_) return circuit_.capacitorVoltage(std::max(0.0, modelSeconds(runStart_, now)));
    return restVoltage_ * std::exp(-std::max(0.0, modelSeconds(restSince_, now)) / tau);
}

void BoardFirmware::startRun(SimTime now) {
    // Every run starts from 0 V: the capacitor is read every sample period, from half the start
    // pause after the answer on, until it reads empty; sample 0 follows one period later (with an
    // empty capacitor that is the end of the start pause).
    const double voltage = capacitorVoltageAt(now);
    nextSample_ = 0;
    measuring_ = true;
    emptying_ = true;
    emptyingStart_ = now;
    emptyingVoltage_ = voltage;
    nextReading_ = now + startDelay / 2;
    runStart_ = now + startDelay;
}

void BoardFirmware::stopRun(SimTime now) {
    restVoltage_ = capacitorVoltageAt(now);
    restSince_ = now;
    emptying_ = false;
    measuring_ = false;
}

void BoardFirmware::reset() {
    measuring_ = false;
    emptying_ = false;
    restVoltage_ = 0.0;
    line_.clear();
    overlong_ = false;
}

SimTime BoardFirmware::sampleDue(int64_t k) const {
    return runStart_ + static_cast<SimTime>(std::llround(static_cast<double>(k) * samplePeriodNs_));
}

SimTime BoardFirmware::nextDue() const {
    if (!measuring_) return simNever;
    return emptying_ ? nextReading_ : sampleDue(nextSample_);
}

void BoardFirmware::poll(SimTime now) {
    while (measuring_ && emptying_ && nextReading_ <= now) {
        const SimTime at = nextReading_;
        sendPrerunReading(at);
        if (!emptying_) {
            // Empty: the run's sample 0 comes one period after this reading, and never before
            // the start pause is over.
            runStart_ = std::max(at + static_cast<SimTime>(std::llround(samplePeriodNs_)), emptyingStart_ + startDelay);
            break;
        }
        nextReading_ = at + static_cast<SimTime>(std::llround(samplePeriodNs_));
    }
    while (measuring_ && !emptying_ && sampleDue(nextSample_) <= now) {
        const int64_t k = nextSample_;
        sendSample(k);
        ++nextSample_;
        if (k + 1 >= samplesPerRun()) {
            // The run is over after its discharging half; the capacitor rests on discharge.
            restVoltage_ = circuit_.capacitorVoltage(circuit_.sampleTime(k));
            restSince_ = sampleDue(k);
            measuring_ = false;
            send(endAnswer);
        }
    }
}

void BoardFirmware::sendPrerunReading(SimTime at) {
    const int counts = circuit_.toCounts(capacitorVoltageAt(at));
    // While it is emptied the capacitor discharges: U_R is U_C.
    const uint8_t bytes[6] = {3, static_cast<uint8_t>(counts & 0xFF), static_cast<uint8_t>(counts >> 8),
                              4, static_cast<uint8_t>(counts & 0xFF), static_cast<uint8_t>(counts >> 8)};
    send(bytes, sizeof bytes, 2);
    if (counts <= emptyCounts) emptying_ = false;
}

void BoardFirmware::sendSample(int64_t k) {
    RcCircuit::Sample s = circuit_.sample(k);
    uint8_t bytes[3 * 4];
    std::size_t n = 0;
    int frames = 0;
    for (const FrameChannel& ch : frameChannels()) {
        if (ch.when == whileCharging && s.phase != RcCircuit::charging) continue;
        if (ch.when == whileDischarging && s.phase != RcCircuit::discharging) continue;
        int counts = ch.source == capacitorInput ? s.capacitorCounts : s.resistorCounts;
        bytes[n++] = ch.id;
        bytes[n++] = static_cast<uint8_t>(counts & 0xFF);
        bytes[n++] = static_cast<uint8_t>((counts >> 8) & 0xFF);
        ++frames;
    }
    send(bytes, n, frames);
}
