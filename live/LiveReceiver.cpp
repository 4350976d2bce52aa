#include "live/LiveReceiver.h"

#include "live/LiveHub.h"

LiveReceiver::LiveReceiver(const ChannelModel& model) {
    if (!model.isComplete()) return;
    charging_ = *model.curve(HalfCycle::charging);
    discharging_ = *model.curve(HalfCycle::discharging);
    voltage_ = *model.voltageDisplay();
    current_ = *model.currentDisplay();
}

bool LiveReceiver::hasId(uint32_t id) const {
    return charging_ && (id == charging_->channel.frameId || id == discharging_->channel.frameId ||
                         id == voltage_->channel.frameId || id == current_->channel.frameId);
}

bool LiveReceiver::getFrameInfo(uint32_t, int32_t&, int32_t&) const {
    return false;
}

bool LiveReceiver::receive(const SMem& frame, int32_t length, uint32_t id, uint32_t) {
    if (length < 2 || !hasId(id)) return false;
    const int32_t counts = frame.getByte(0) | (frame.getByte(1) << 8);
    if (id == charging_->channel.frameId || id == discharging_->channel.frameId) {
        const ChannelModel::Curve& curve = id == charging_->channel.frameId ? *charging_ : *discharging_;
        haveCurve_ = true;
        phase_ = curve.phase;
        curve_ = static_cast<double>(ChannelModel::curveValue(curve, counts));
        return true;
    }
    if (id == voltage_->channel.frameId) {
        uc_ = ChannelModel::displayValue(*voltage_, counts);
        return true;
    }
    const double i = ChannelModel::displayValue(*current_, counts);
    if (const std::shared_ptr<LiveHub> hub = hub_.load()) {
        if (haveCurve_)
            hub->addSample(phase_, curve_, uc_, i);
        else
            hub->addReading(uc_, i);
    }
    haveCurve_ = false;
    curve_ = NAN;
    uc_ = NAN;
    return true;
}
