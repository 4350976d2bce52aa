// Takes the measurement frames off the board's data connection for the live view.
#pragma once

#include <atomic>
#include <cmath>
#include <memory>

#include "stream/Receiver.h"

class LiveHub;

// Connected to the stream splitter beside the data channels, it sees the frames of channels 1 to
// 4 on the serial reader thread. The firmware sends each step as [1 "Aufladen" or 2 "Entladen"],
// 3 "U_C", 4 "I", the last always last: a step with a curve frame becomes a sample, a step
// without one (while the capacitor is emptied before a run) a reading of the displays. It never
// decides a frame's length (the channels do), so the stream is cut as without it.
class LiveReceiver : public Receiver {
public:
    S_CLASSNAME(LiveReceiver)

    // ADC counts to the displayed units: volts for the voltages, milliamperes for I (the
    // factors of the program's repository: 5 V / 1023, and that over R = 10 kOhm).
    struct Scale {
        double volts = 5.0 / 1023.0;
        double milliamperes = 5.0 / 1023.0 / 10.0;
    };

    LiveReceiver() = default;
    explicit LiveReceiver(const Scale& scale) : scale_(scale) {}

    // The hub the steps go to; nullptr while nothing is shared. Safe from any thread.
    void setHub(std::shared_ptr<LiveHub> hub) { hub_.store(std::move(hub)); }

    bool hasId(uint32_t id) const override { return id >= 1 && id <= 4; }
    bool getFrameInfo(uint32_t id, int32_t& length, int32_t& lengthMode) const override;
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override;

private:
    Scale scale_;
    std::atomic<std::shared_ptr<LiveHub>> hub_;
    // The step being assembled (reader thread only).
    int curveId_ = 0;
    double curve_ = NAN;
    double uc_ = NAN;
};
