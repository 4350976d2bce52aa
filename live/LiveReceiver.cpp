#include "live/LiveReceiver.h"

#include "live/LiveHub.h"

bool LiveReceiver::getFrameInfo(uint32_t, int32_t&, int32_t&) const {
    return false;
}

bool LiveReceiver::receive(const SMem& frame, int32_t length, uint32_t id, uint32_t) {
    if (length < 2) return false;
    const double counts = static_cast<double>(frame.getByte(0) | (frame.getByte(1) << 8));
    switch (id) {
    case 1:
    case 2:
        curveId_ = static_cast<int>(id);
        curve_ = counts * scale_.volts;
        return true;
    case 3:
        uc_ = counts * scale_.volts;
        return true;
    case 4: {
        const double i = counts * scale_.milliamperes;
        if (const std::shared_ptr<LiveHub> hub = hub_.load()) {
            if (curveId_ != 0)
                hub->addSample(curveId_ == 1 ? HalfCycle::charging : HalfCycle::discharging, curve_, uc_, i);
            else
                hub->addReading(uc_, i);
        }
        curveId_ = 0;
        curve_ = NAN;
        uc_ = NAN;
        return true;
    }
    default:
        return false;
    }
}
