#include "stream/ExtDataSetup.h"

#include <string>

#include "foundation/SDebug.h"
#include "foundation/SLists.h"
#include "stream/SStreamSplitter.h"

namespace {

// A missing field reports the list error and reads as empty.
SString field(const SStringList& fields, int index) {
    if (index < fields.getSize()) return fields.getAt(index);
    showListRangeError(fields.getClassName(), "getAt", index, fields.getSize());
    return SString();
}

}  // namespace

void ExtDataSetup::setupChannel(int number, const SString& value, ExtData_ReceiverBuffered& channel,
                                const ConnectFunction& connect, ExtDataManager& manager) {
    const bool first = number == 1;
    const SStringList fields = SStringList::split(first ? value + SString(std::string("|||||||||")) : value,
                                                  SString(std::string("|")));

    const int32_t recordLength = field(fields, 2).toInt();
    channel.setup(static_cast<uint32_t>(field(fields, 1).toInt()), recordLength, Receiver::lengthFixed);
    const SString type = first ? field(fields, 5) : SString();
    channel.setType(type.isEmpty() ? recordLength : type.toInt());
    channel.setBufferSize(field(fields, 3).toInt());
    const uint32_t userValue = static_cast<uint32_t>(field(fields, 4).toInt());
    if (connect) connect(&channel, userValue);
    manager.add(field(fields, 0), &channel);
}

bool ExtDataSetup::setupChannels(const SFileIni& ini, const Channels& channels,
                                 const ConnectFunction& connect, ExtDataManager& manager) {
    globalDebug().print(SString(std::string("onExtDataInit: ")));
    for (int n = 1; n <= channelCount; ++n) {
        const SString value = ini.getValue(SString(std::string("extData")),
                                           SString(std::string("extData") + std::to_string(n)));
        ExtData_ReceiverBuffered* channel = channels[static_cast<std::size_t>(n - 1)];
        if (value.isEmpty() || !channel) continue;
        setupChannel(n, value, *channel, connect, manager);
    }
    return true;
}

bool ExtDataSetup::setupChannels(const SFileIni& ini, const Channels& channels, SStreamSplitter& splitter,
                                 ExtDataManager& manager) {
    return setupChannels(
        ini, channels,
        [&splitter](Receiver* receiver, uint32_t userValue) { return splitter.connect(receiver, userValue); },
        manager);
}
