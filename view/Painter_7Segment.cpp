#include "view/Painter_7Segment.h"

#include <cstring>

#include "stream/ExtData.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "view/ValueFormat.h"

bool Painter_7Segment::onConnectExtData(const SString& names) {
    extData_ = connectExtData(names);
    return true;
}

void Painter_7Segment::onInit() {
    textColor_ = static_cast<uint32_t>(getAttributeInt("7SegmentTextColor", 0x0000FF00));
    backColor_ = static_cast<uint32_t>(getAttributeInt("7SegmentBackColor", 0));
    fontName_ = getAttributeString("7SegmentFontName", SString(std::string("Courier New")));
    fontSize_ = getAttributeInt("7SegmentFontSize", 20);
    valueFormat_ = getAttributeString("7SegmentValueFormat", valueFormat_);
    title_ = getAttributeString("7SegmentTitel");
    correctionFactor_ = getAttributeDouble("7SegmentCorrectionFaktor", 1.0);
    correctionOffset_ = getAttributeDouble("7SegmentCorrectionOffset", 0.0);
    titleFontName_ = getAttributeString("7SegmentTitelFontName", SString(std::string("Arial")));
    titleFontSize_ = getAttributeInt("7SegmentTitelFontSize", 10);
    setChanged();
}

int32_t Painter_7Segment::latestValue() const {
    if (!extData_) return 0;
    if (auto* buffered = dynamic_cast<ExtData_ReceiverBuffered*>(extData_))
        return static_cast<int32_t>(buffered->getLatestValue());
    int32_t value = 0;
    if (const void* latest = extData_->data(ExtData::dataLatestValue)) std::memcpy(&value, latest, sizeof value);
    return value;
}

bool Painter_7Segment::update() {
    if (KeloPainter::update()) return true;
    return extData_ && latestValue() != lastValue_;
}

SString Painter_7Segment::formatValue(int32_t raw) const {
    const double v = correctionOffset_ + correctionFactor_ * static_cast<double>(raw);
    return ValueFormat::format(valueFormat_, v, defaultFormat);
}

void Painter_7Segment::paint(SDrawDevice& device) {
    if (!element_) return;
    const SRect e = getElementRect();
    device.fillRect(e, backColor_);
    device.setPen(0);
    device.drawRect(e);
    if (!extData_) return;

    const int32_t raw = latestValue();
    lastValue_ = raw;
    device.setFont(SString(), SDrawDevice::keep, SDrawDevice::keep, SDrawDevice::keep, 700);
    device.setTextColor(textColor_);
    device.setTextBackground(backColor_);

    device.fillRect(e, frameColor);
    const SRect inner(e.x + 200, e.y - 200, e.width - 400, e.height + 400, e.yUp);
    device.fillRect(inner, backColor_);

    const int32_t titleHeight = 40 * titleFontSize_ + 200;
    const SRect titleStrip(inner.x, inner.y, inner.width, -titleHeight, inner.yUp);
    device.setFont(titleFontName_, titleFontSize_);
    device.drawText(title_, titleStrip, "vh");

    const SRect valueArea(inner.x, inner.y - titleHeight, inner.width, inner.height + titleHeight, inner.yUp);
    device.setFont(fontName_, fontSize_);
    device.drawText(formatValue(raw), valueArea, "hv");
}
