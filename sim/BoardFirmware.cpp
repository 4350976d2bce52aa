#include "sim/BoardFirmware.h"

#include <cmath>

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
        log(SString(std::string("Befehl zu lang")));
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
        log(SString(std::string("Befehl: ") + line));
        send(c.answer);
        if (c.action != nullptr) (this->*c.action)(now);
        return;
    }
    std::string shown;
    for (char ch : line) shown += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
    log(SString(std::string("Unbekannter Befehl: ") + shown));
    send(errorAnswer);
}

void BoardFirmware::startRun(SimTime now) {
    // The capacitor is discharged before the first sample, so every run starts at 0 V.
    runStart_ = now + startDelay;
    nextSample_ = 0;
    measuring_ = true;
}

void BoardFirmware::stopRun(SimTime) {
    measuring_ = false;
}

void BoardFirmware::reset() {
    measuring_ = false;
    line_.clear();
    overlong_ = false;
}

SimTime BoardFirmware::sampleDue(int64_t k) const {
    return runStart_ + static_cast<SimTime>(std::llround(static_cast<double>(k) * samplePeriodNs_));
}

SimTime BoardFirmware::nextDue() const {
    return measuring_ ? sampleDue(nextSample_) : simNever;
}

void BoardFirmware::poll(SimTime now) {
    while (measuring_ && sampleDue(nextSample_) <= now) {
        sendSample(nextSample_);
        ++nextSample_;
    }
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
