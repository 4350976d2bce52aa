#include "session/ChannelModel.h"

#include <array>
#include <cmath>

#include "foundation/SFileIni.h"
#include "repo/RepoProject.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtDataManager.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "view/KeloPainter.h"
#include "view/PainterFactory.h"

namespace {

// The first entry of an oscilloscope's correction list ("f1,f2,..." for its channels in
// order): the experiment's oscilloscopes show one channel each.
SString firstEntry(const SString& list) {
    SString rest = list;
    SString entry = rest.cutFront(SString(std::string(",")));
    entry.trim();
    return entry;
}

// The one channel name of an element's base element ("extData"); empty without one.
SString channelNameOf(const ViewElementData& element) {
    const BaseElementData* base = element.getBaseElement();
    if (!base) return {};
    return firstEntry(base->getAttributeString("extData"));
}

}  // namespace

ChannelModel ChannelModel::build(const ExtDataManager& manager, const RepoProject& repo) {
    ChannelModel model;
    const ExtDataList& list = manager.getList();
    for (int i = 0; i < list.getCount(); ++i) {
        const auto* receiver = dynamic_cast<const ExtData_ReceiverBuffered*>(list.getPointerAt(i));
        if (!receiver) continue;
        model.channels_.push_back(
            {list.getNameAt(i), receiver->getId(), receiver->getRecordLength(), receiver->getType()});
    }
    const ViewElementList& views = repo.getViewList();
    for (int v = 0; v < views.getSize(); ++v) {
        const ViewElementData* element = views.getAt(v);
        const Channel* channel = model.channel(channelNameOf(*element));
        if (!channel) continue;
        if (element->getPainterType() == PainterFactory::typeOszi) {
            const std::optional<HalfCycle> phase = phaseOf(channel->name);
            if (!phase) continue;
            Curve curve;
            curve.phase = *phase;
            curve.objNr = element->getObjNr();
            curve.channel = *channel;
            // The oscilloscope's own reading of its attributes: an empty factor is 1.
            const SString factor = firstEntry(element->getAttributeString("OsziCorrectionFaktorY"));
            curve.factor = factor.isEmpty() ? 1.0F : static_cast<float>(factor.toDouble());
            curve.offset = static_cast<float>(firstEntry(element->getAttributeString("OsziCorrectionOffsetY")).toDouble());
            curve.step = element->getAttributeDouble("OsziValueStepX", 1.0);
            curve.xCaption = KeloPainter::userText(element->getAttributeString("OsziTextValueX"));
            curve.yCaption = KeloPainter::userText(element->getAttributeString("OsziTextValueY"));
            model.curves_.push_back(std::move(curve));
        } else if (element->getPainterType() == PainterFactory::type7Segment) {
            Display display;
            display.objNr = element->getObjNr();
            display.channel = *channel;
            display.factor = element->getAttributeDouble("7SegmentCorrectionFaktor", 1.0);
            display.offset = element->getAttributeDouble("7SegmentCorrectionOffset", 0.0);
            model.displays_.push_back(std::move(display));
        }
    }
    return model;
}

ChannelModel ChannelModel::fromFiles(const SString& extDataIni, const SString& repository) {
    SFileIni ini;
    if (!ini.open(extDataIni, false, true)) return {};
    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> receivers;
    ExtDataSetup::Channels channels{};
    for (std::size_t i = 0; i < receivers.size(); ++i) channels[i] = &receivers[i];
    ExtDataManager manager;
    ExtDataSetup::setupChannels(ini, channels, ExtDataSetup::ConnectFunction{}, manager);
    RepoProject repo;
    if (!repo.openProject(SString("ini:") + repository)) return {};
    return build(manager, repo);
}

const ChannelModel::Channel* ChannelModel::channel(const SString& name) const {
    for (const Channel& c : channels_)
        if (c.name == name) return &c;
    return nullptr;
}

const ChannelModel::Curve* ChannelModel::curve(HalfCycle phase) const {
    for (const Curve& c : curves_)
        if (c.phase == phase) return &c;
    return nullptr;
}

const ChannelModel::Display* ChannelModel::displayOf(const char* name) const {
    for (const Display& d : displays_)
        if (d.channel.name == name) return &d;
    return nullptr;
}

double ChannelModel::sampleStep() const {
    // An x axis in whole steps counts samples rather than seconds: the board's own interval
    // holds then.
    const Curve* charging = curve(HalfCycle::charging);
    if (!charging || !(charging->step > 0.0) || charging->step == std::floor(charging->step)) return defaultSampleStep;
    return charging->step;
}

bool ChannelModel::isComplete() const {
    return curve(HalfCycle::charging) && curve(HalfCycle::discharging) && voltageDisplay() && currentDisplay();
}

std::optional<HalfCycle> ChannelModel::phaseOf(const SString& channelName) {
    if (channelName == chargingName) return HalfCycle::charging;
    if (channelName == dischargingName) return HalfCycle::discharging;
    return std::nullopt;
}
