// Takes the measurement frames off the board's data connection for the live view.
#pragma once

#include <atomic>
#include <cmath>
#include <memory>
#include <optional>

#include "analysis/Curve.h"
#include "session/ChannelModel.h"
#include "stream/Receiver.h"

class LiveHub;

// Connected to the stream splitter beside the data channels, it sees the frames of the two
// curves and the two displays on the serial reader thread. The firmware sends each step as
// [charging or discharging curve], U_C, I, the last always last: a step with a curve frame
// becomes a sample, a step without one (while the capacitor is emptied before a run) a reading
// of the displays. It never decides a frame's length (the channels do), so the stream is cut as
// without it.
class LiveReceiver : public Receiver {
public:
    S_CLASSNAME(LiveReceiver)

    // Which frames carry what, and how their ADC counts become the values the program shows:
    // the program's channel model, so the live view's numbers are the diagram's to the last
    // digit. Without both curves and both displays in it nothing is taken.
    explicit LiveReceiver(const ChannelModel& model);

    // The hub the steps go to; nullptr while nothing is shared. Safe from any thread.
    void setHub(std::shared_ptr<LiveHub> hub) { hub_.store(std::move(hub)); }

    bool hasId(uint32_t id) const override;
    bool getFrameInfo(uint32_t id, int32_t& length, int32_t& lengthMode) const override;
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override;

private:
    // The model's entries, copied when the receiver is made and only read afterwards.
    std::optional<ChannelModel::Curve> charging_;
    std::optional<ChannelModel::Curve> discharging_;
    std::optional<ChannelModel::Display> voltage_;
    std::optional<ChannelModel::Display> current_;
    std::atomic<std::shared_ptr<LiveHub>> hub_;
    // The step being assembled (reader thread only).
    bool haveCurve_ = false;
    HalfCycle phase_ = HalfCycle::charging;
    double curve_ = NAN;
    double uc_ = NAN;
};
