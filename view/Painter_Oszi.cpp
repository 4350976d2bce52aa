#include "view/Painter_Oszi.h"

#include <algorithm>
#include <cmath>

#include "foundation/SDebug.h"
#include "gui/SGuiEvent.h"
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
            debug.print(SString("FEHLER: onConnectExtData('") + names + "'): Unbekannte ExtData-Verbindung: " + name);
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
    loadFromExtData();
    return KeloPainter::update();
}

void Painter_Oszi::loadFromExtData() {
    const int count = std::min(extDataList.getSize(), channels.getSize());
    for (int c = 0; c < count; ++c) {
        ExtData* extData = extDataList.getAt(c);
        SOsziChannel* channel = channels.getAt(c);
        if (extData != nullptr && channel != nullptr) loadChannel(*extData, *channel);
    }
}

bool Painter_Oszi::loadChannel(ExtData& extData, SOsziChannel& channel) {
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
            globalDebug().printf("FEHLER: Painter_Oszi::loadFromExtData(..): Daten f\xFCr unbekannten PainterTyp =%d",
                                 type);
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
        if (values.getSize() > limit) values.removeFirst(values.getSize() - limit);
        changedValues = true;
    }
    if (changedValues) setChanged();
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
        if (gui.code != SGuiEvent::leftButtonDown || (gui.keyState & SGuiEvent::keyControl) == 0) return false;
        // The diagram object passes points relative to the element's top-left corner.
        const SRect rect = getElementRect();
        if (!contains(SRect(0, 0, rect.width, rect.height, true), gui.point)) return false;
        onClick(gui.code);
        return true;
    }
    if (event.type == eventApplication && event.code == codeClear) {
        clear();
        setChanged();
    }
    return false;
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
