#include "view/Painter_Oszi.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <optional>

#include "foundation/SDebug.h"
#include "gui/SGuiEvent.h"
#include "platform/Clock.h"
#include "repo/ViewElementData.h"
#include "stream/ExtData.h"
#include "stream/SRingBuffer.h"

namespace {

// Samples taken from a ring in one piece, and pieces per channel and update: a bound, so an
// update always ends even if a channel were fed as fast as it is read.
constexpr int samplesPerPiece = 4096;
constexpr int piecesPerUpdate = 64;

// Storage reserved per channel beyond the sample limit, and the most reserved in advance.
constexpr int reserveMargin = 101;
constexpr int reserveLimit = 100000;

// The k-th entry of a correction list: cuts it off the front of the list.
SString nextEntry(SString& list) {
    return list.cutFront(SString(std::string(",")));
}

int32_t truncated(double value) {
    return SOszi::toUnits(value);
}

// The colour a share of the way from the background to the colour (share 0..1).
uint32_t blend(uint32_t color, uint32_t background, double share) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double c = static_cast<double>((color >> shift) & 0xFF);
        const double b = static_cast<double>((background >> shift) & 0xFF);
        const auto mixed = static_cast<uint32_t>(std::lround(b + (c - b) * share));
        out |= std::min<uint32_t>(mixed, 0xFF) << shift;
    }
    return out;
}

// Share of the curve colour for the kept runs, newest first: older runs fade further.
constexpr std::array<double, 3> runShares = {0.45, 0.3, 0.2};
static_assert(runShares.size() >= static_cast<std::size_t>(OsziEvaluation::maxRuns),
              "a share for every kept run");

}  // namespace

bool Painter_Oszi::onConnectExtData(const SString& names) {
    SDebug& debug = globalDebug();
    debug.print(SString("-onConnectExtData ") + names);

    xStep = static_cast<float>(getAttributeDouble("OsziValueStepX", 1.0));
    SString factorX = getAttributeString("OsziCorrectionFaktorX");
    SString offsetX = getAttributeString("OsziCorrectionOffsetX");
    SString factorY = getAttributeString("OsziCorrectionFaktorY");
    SString offsetY = getAttributeString("OsziCorrectionOffsetY");

    bool ok = true;
    SString list = names;
    list.trim();
    while (!list.isEmpty()) {
        SString name = nextEntry(list);
        // The correction entries of a position are used up whether or not its name is known.
        const SString fx = nextEntry(factorX);
        const SString ox = nextEntry(offsetX);
        const SString fy = nextEntry(factorY);
        const SString oy = nextEntry(offsetY);
        name.trim();
        ExtData* extData = connectExtData(name);
        if (extData == nullptr) {
            debug.print(SString("FEHLER: onConnectExtData('") + names +
                        "'): Unbekannte ExtData-Verbindung: " + name);
            ok = false;
            continue;
        }
        extDataList.add(extData);
        auto* channel = new SOsziChannel;
        channel->yOffset = static_cast<float>(oy.toDouble());
        channel->yFactor = fy.isEmpty() ? 1.0F : static_cast<float>(fy.toDouble());
        channel->xOffset = static_cast<float>(ox.toDouble());
        channel->xFactor = fx.isEmpty() ? 1.0F : static_cast<float>(fx.toDouble());
        channels.add(channel);
    }
    return ok;
}

bool Painter_Oszi::loadAttributes() {
    style.curveStyle = getAttributeInt("OsziCurveStyle", 1);
    yMinSetting = static_cast<float>(getAttributeDouble("OsziMinValueY", 0.0));
    yMaxSetting = static_cast<float>(getAttributeDouble("OsziMaxValueY", 100.0));
    style.yRasterValue = static_cast<float>(getAttributeDouble("OsziRasterValueY", OSZI_AUTO));
    style.yFormat = getAttributeString("OsziFormatValueY");
    const float xMinimum = static_cast<float>(getAttributeDouble("OsziMinValueX", 0.0));
    const float xMaximum = static_cast<float>(getAttributeDouble("OsziMaxValueX", 100.0));
    const int relative = getAttributeInt("OsziRelativeValueX", 1);
    style.xRasterValue = static_cast<float>(getAttributeDouble("OsziRasterValueX", OSZI_AUTO));
    style.xFormat = getAttributeString("OsziFormatValueX");
    maxValuesShowCount = getAttributeInt("OsziMaxValuesShowCountX", defaultMaxValuesShowCount);
    xStep = static_cast<float>(getAttributeDouble("OsziValueStepX", 1.0));
    xText = getAttributeString("OsziTextValueX");
    yText = getAttributeString("OsziTextValueY");
    setXRange(xMinimum, xMaximum, relative);

    // Room for a full channel, so that appending and dropping samples does not reallocate.
    const int reserve = std::min(std::max(maxValuesShowCount, 0) + reserveMargin, reserveLimit);
    for (SOsziChannel* channel : channels) channel->values.reserve(reserve);
    return true;
}

bool Painter_Oszi::update() {
    const int taken = loadFromExtData();
    const int64_t now = clock_ ? clock_() : platform::monotonicMs();
    if (evaluation_.afterPoll(taken, channels, now)) setChanged();
    return KeloPainter::update();
}

int Painter_Oszi::loadFromExtData() {
    int taken = 0;
    const int count = std::min(extDataList.getSize(), channels.getSize());
    for (int c = 0; c < count; ++c) {
        ExtData* extData = extDataList.getAt(c);
        SOsziChannel* channel = channels.getAt(c);
        if (extData != nullptr && channel != nullptr) loadChannel(*extData, *channel, taken);
    }
    return taken;
}

bool Painter_Oszi::loadChannel(ExtData& extData, SOsziChannel& channel, int& taken) {
    const int32_t type = extData.getType();
    int sampleSize = 0;
    switch (type) {
        case ExtData::typeUInt8:
            sampleSize = 1;
            break;
        case ExtData::typeUInt16:
        case ExtData::typeUInt8Pair:
            sampleSize = 2;
            break;
        default:
            // The bytes stay in the ring; the message comes once per update.
            globalDebug().printf(
                "FEHLER: Painter_Oszi::loadFromExtData(..): Daten f\xFCr unbekannten PainterTyp =%d", type);
            return false;
    }
    auto* ring = static_cast<SRingBuffer*>(extData.data(ExtData::dataRing));
    if (ring == nullptr) return true;

    SDebug& debug = globalDebug();
    SOsziValues& values = channel.values;
    const int limit = std::max(maxValuesShowCount, 0);
    bool changedValues = false;
    for (int piece = 0; piece < piecesPerUpdate; ++piece) {
        const int available = std::min(ring->count() / sampleSize, samplesPerPiece);
        if (available <= 0) break;
        const std::size_t bytes = static_cast<std::size_t>(available * sampleSize);
        if (buffer_.size() < bytes) buffer_.resize(bytes);
        // Only this thread takes bytes out, so the counted bytes are there.
        if (!ring->get(buffer_.data(), bytes)) break;

        const uint8_t* p = buffer_.data();
        for (int i = 0; i < available; ++i, p += sampleSize) {
            SOsziValue value;
            if (type == ExtData::typeUInt8Pair) {
                const int bx = p[0];
                const int by = p[1];
                if (debug.isOn())
                    debug.printf("Painter_Oszi::loadFromExtData(..): extData[c]->type==1002: %d,%d", bx, by);
                value.xInput = bx;
                value.yInput = by;
                value.xValue = channel.xOffset + channel.xFactor * static_cast<float>(bx);
                value.yValue = channel.yOffset + channel.yFactor * static_cast<float>(by);
            } else {
                const int input = type == ExtData::typeUInt8 ? p[0] : (p[0] | (p[1] << 8));
                value.yInput = input;
                value.xInput = truncated(xCounter);
                value.yValue = channel.yOffset + channel.yFactor * static_cast<float>(input);
                value.xValue = static_cast<float>(xCounter);
                xCounter += xStep;
            }
            values.add(value);
        }
        taken += available;
        if (values.getSize() > limit) values.removeFirst(values.getSize() - limit);
        changedValues = true;
    }
    if (changedValues) {
        // A frozen display shows its snapshot: the new samples wait for the resume.
        if (!evaluation_.isFrozen()) setChanged();
    }
    return true;
}

void Painter_Oszi::paint(SDrawDevice& device) {
    if (element_ == nullptr) return;
    const SRect& rect = element_->getClientRect();
    if (needsRecalc != 0) {
        recalc(device, rect.width, rect.height);
        needsRecalc = 0;
    }
    SOszi::paint(device, rect);
}

bool Painter_Oszi::handleEvent(SEvent& event) {
    if (event.type == eventGui) {
        const auto& gui = static_cast<const SGuiEvent&>(event);
        if (gui.code != SGuiEvent::leftButtonDown) return false;
        // The diagram object passes points relative to the element's top-left corner.
        const SRect rect = getElementRect();
        if (!contains(SRect(0, 0, rect.width, rect.height, true), gui.point)) return false;
        if ((gui.keyState & SGuiEvent::keyControl) != 0) {
            onClick(gui.code);
            return true;
        }
        if (!evaluation_.takesCursors()) return false;
        return setCursorAt(gui.point);
    }
    if (event.type != eventApplication) return false;
    switch (event.code) {
        case codeClear:
            startNewRun();
            break;
        case codeFreeze:
            setFrozen(true);
            break;
        case codeResume:
            setFrozen(false);
            break;
        case codeToggleFreeze:
            setFrozen(!evaluation_.isFrozen());
            break;
        case codeEvaluate:
            evaluate();
            break;
        case codeClearRuns:
            clearRuns();
            break;
        case codeRunEnded: {
            // The last samples may still wait in the ring: they belong to the half cycle.
            const int taken = loadFromExtData();
            const int64_t now = clock_ ? clock_() : platform::monotonicMs();
            bool changed = evaluation_.afterPoll(taken, channels, now);
            changed = evaluation_.runEnded(channels) || changed;
            if (changed) setChanged();
            break;
        }
        default:
            break;
    }
    return false;
}

void Painter_Oszi::startNewRun() {
    evaluation_.startRun(channels);
    clear();
    setChanged();
}

void Painter_Oszi::clearRuns() {
    evaluation_.clearRuns();
    setChanged();
}

Painter_Oszi::Carried Painter_Oszi::carryOut() {
    Carried carried;
    for (int c = 0; c < channels.getSize(); ++c) carried.values.push_back(channels.getAt(c)->values);
    carried.xCounter = xCounter;
    carried.evaluation = std::move(evaluation_);
    evaluation_ = OsziEvaluation();
    return carried;
}

void Painter_Oszi::carryIn(Carried&& carried) {
    if (static_cast<int>(carried.values.size()) == channels.getSize()) {
        for (int c = 0; c < channels.getSize(); ++c) channels.getAt(c)->values = std::move(carried.values[c]);
        xCounter = carried.xCounter;
    }
    evaluation_ = std::move(carried.evaluation);
    setChanged();
}

void Painter_Oszi::setNotice(std::string text) {
    if (evaluation_.setNotice(std::move(text))) setChanged();
}

void Painter_Oszi::setFrozen(bool frozen) {
    if (evaluation_.setFrozen(frozen, channels)) setChanged();
}

SOsziValues& Painter_Oszi::shownValues(int c) {
    if (SOsziValues* frozen = evaluation_.frozenValues(c)) return *frozen;
    return channels.getAt(c)->values;
}

void Painter_Oszi::evaluate(bool shown) {
    if (channels.getSize() == 0) return;
    // A live curve still growing gets no failed fit; a frozen picture is still.
    const bool growing = evaluation_.isReceiving() && !evaluation_.isFrozen();
    if (evaluation_.evaluate(shown ? shownValues(0) : channels.getAt(0)->values, growing)) setChanged();
}

float Painter_Oszi::leftX(const SOsziValues& values) const {
    return xValuesRelative != 0 && !values.isEmpty() ? values[0].xValue : 0.0F;
}

bool Painter_Oszi::setCursorAt(const SPoint& point) {
    const SOsziValue* best = nullptr;
    float bestLeft = 0.0F;
    double bestDistance = 0.0;
    auto search = [&](const SOsziValues& values) {
        const float left = leftX(values);
        for (const SOsziValue& v : values) {
            const double dx = static_cast<double>(v.xCoord) - point.x;
            const double dy = static_cast<double>(v.yCoord) - point.y;
            const double distance = dx * dx + dy * dy;
            if (best == nullptr || distance < bestDistance) {
                best = &v;
                bestLeft = left;
                bestDistance = distance;
            }
        }
    };
    for (int c = 0; c < channels.getSize(); ++c) search(shownValues(c));
    for (const OsziEvaluation::Run& run : evaluation_.getRuns())
        for (const SOsziValues& values : run) search(values);
    if (best == nullptr) return false;
    evaluation_.placeCursor({static_cast<double>(best->xValue) - static_cast<double>(bestLeft),
                             static_cast<double>(best->yValue)});
    setChanged();
    return true;
}

void Painter_Oszi::paintBehind(SDrawDevice& device, int y0) {
    // Oldest first, so the newer runs lie over the older ones.
    std::deque<OsziEvaluation::Run>& runs = evaluation_.getRuns();
    for (int r = static_cast<int>(runs.size()) - 1; r >= 0; --r) {
        OsziEvaluation::Run& run = runs[static_cast<std::size_t>(r)];
        const double share =
            runShares[static_cast<std::size_t>(std::min(r, static_cast<int>(runShares.size()) - 1))];
        for (std::size_t c = 0; c < run.size() && static_cast<int>(c) < channels.getSize(); ++c) {
            float x0 = 0.0F;
            paintCurve(device, run[c],
                       blend(channels.getAt(static_cast<int>(c))->color, style.backColor, share), y0, x0);
        }
    }
}

void Painter_Oszi::paintOver(SDrawDevice& device, int y0, float x0) {
    (void)x0;
    const int left = dataRect.x;
    const int right = left + std::abs(dataRect.width);
    const int top = dataRect.y;
    const int bottom = top - std::abs(dataRect.height);

    // The fitted curve at the measured samples' times, over the evaluated stretch.
    if (evaluation_.hasFit() && channels.getSize() > 0) {
        const SOsziValues& values = shownValues(0);
        SPointList points;
        auto flush = [&] {
            if (points.getSize() >= 2) device.drawPolyline(points);
            points.removeAll();
        };
        // Dashed, so the measured curve shows between the dashes.
        device.setPen(fitColor, std::max(style.curvePenWidth / 2, 1), SDrawDevice::penDash);
        const float start = leftX(values);
        for (const SOsziValue& v : values) {
            const double t = v.xValue;
            const std::optional<double> fitted = evaluation_.fittedVoltage(t);
            if (!fitted) continue;
            const double u = *fitted;
            const int xc = left + toUnits((t - start) * xDataZoom);
            const int yc = y0 - toUnits(u * yDataZoom);
            if (std::isfinite(u) && xc >= left && xc <= right && yc >= bottom && yc <= top)
                points.add(SPoint{xc, yc});
            else
                flush();
        }
        flush();
    }

    // Cursors: a dotted vertical line through the data area and a short mark at the sample.
    for (const auto& cursor : evaluation_.getCursors()) {
        if (!cursor) continue;
        const int xc = left + toUnits(cursor->t * xDataZoom);
        if (xc < left || xc > right) continue;
        device.setPen(cursorColor, 0, SDrawDevice::penDot);
        device.drawLine(xc, top, xc, bottom);
        const int yc = y0 - toUnits(cursor->u * yDataZoom);
        device.setPen(cursorColor, style.axisPenWidth, SDrawDevice::penSolid);
        device.drawLine(xc - style.tickLength, yc, xc + style.tickLength, yc);
    }

    // The read-outs and the result: at the top for a falling curve, else at the bottom, where
    // the curve is far from the box.
    const std::optional<TauResult>& result = evaluation_.getTauResult();
    const bool atTop = result && result->kind == HalfCycle::discharging;
    paintTextBox(device, evaluation_.getBoxLines(), atTop, y0);
}

void Painter_Oszi::paintTextBox(SDrawDevice& device, const std::vector<OsziEvaluation::BoxLine>& lines,
                                bool atTop, int y0) {
    if (lines.empty()) return;
    const int lineHeight = 45 * style.fontSize;
    const int charHeight = 130 * style.fontSize / 4;
    const int left = dataRect.x + style.tickLength;
    const int width = std::abs(dataRect.width) - style.tickLength - 100;
    // Below the y caption's line at the top; above the x caption at the bottom.
    const int firstTop =
        atTop ? dataRect.y - lineHeight
              : y0 + charHeight + style.tickLength + static_cast<int>(lines.size()) * lineHeight;
    device.setTextBackground(style.backColor);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        device.setTextColor(lines[i].result ? fitColor : cursorColor);
        device.drawTextUtf8(
            lines[i].text, SRect(left, firstTop - static_cast<int>(i) * lineHeight, width, -lineHeight, true),
            "rv");
    }
    device.setTextColor(style.axisColor);
}

void Painter_Oszi::onClick(int click) {
    (void)click;
    SDebug& debug = globalDebug();
    if (!debug.isOn()) return;
    for (const SString& line : getDumpLines()) debug.print(line);
}

SStringList Painter_Oszi::getDumpLines() const {
    SStringList lines;
    auto line = [&lines](const char* fmt, auto... args) { lines.add(SString::printf(fmt, args...)); };
    lines.add(SString("Painter_Oszi::onClick(..) TEST:"));
    line(" --- dataRect=%d,%d,%d,%d", dataRect.x, dataRect.y, dataRect.width, dataRect.height);
    line(" --- xRasterValue=%f", static_cast<double>(xRasterValue));
    line(" --- xDataZoom=%f", static_cast<double>(xDataZoom));
    line(" --- xMin=%f", static_cast<double>(xMin));
    line(" --- xMax=%f", static_cast<double>(xMax));
    line(" --- xValuesRelative=%f", static_cast<double>(xValuesRelative));
    line(" --- yRasterValue=%f", static_cast<double>(yRasterValue));
    line(" --- yDataZoom=%f", static_cast<double>(yDataZoom));
    line(" --- yMin=%f", static_cast<double>(yMin));
    line(" --- yMax=%f", static_cast<double>(yMax));
    if (channels.getSize() == 0) {
        lines.add(SString(" --- channels.getSize()=0"));
        return lines;
    }
    const SOsziValues& values = channels.getAt(0)->values;
    line(" --- channels[0].values.getSize()=%d", values.getSize());
    if (values.isEmpty()) return lines;

    lines.add(SString(" --- Nr. / x: input/wert/Koord  y: input/wert/Koord"));
    int inputMax = values[0].yInput;
    int inputMin = inputMax;
    double valueMax = -1.0e9;
    double valueMin = 1.0e9;
    for (int i = 0; i < values.getSize(); ++i) {
        const SOsziValue& v = values[i];
        line(" --- %04i: x=     %010d     %010f     %08d     y=     %010d     %010f     %08d", i, v.xInput,
             static_cast<double>(v.xValue), v.xCoord, v.yInput, static_cast<double>(v.yValue), v.yCoord);
        inputMax = std::max(inputMax, v.yInput);
        inputMin = std::min(inputMin, v.yInput);
        valueMax = std::max(valueMax, static_cast<double>(v.yValue));
        valueMin = std::min(valueMin, static_cast<double>(v.yValue));
    }
    line(" --- y-Input Max=%d     Min=%d", inputMax, inputMin);
    line(" --- y-Wert Max=%f     Min=%f", valueMax, valueMin);
    return lines;
}
