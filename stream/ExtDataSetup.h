// Sets the data channels up from their definition file "extdata.ini".
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "foundation/SFileIni.h"
#include "stream/ExtDataManager.h"
#include "stream/ExtData_ReceiverBuffered.h"

class SStreamSplitter;

// Section "extData", keys "extData1" ... "extData6", each value
//   name|receiver id|record length|buffer size in records|user value|type
// "extData1" is read with "|||||||||" appended, so its missing trailing fields read as empty
// (0 as numbers) and its type is field 5 when that is not empty, else the record length. The
// other keys are split as they stand and their type is always the record length; a field they
// lack is an out-of-range list access, which shows the list error and reads as empty.
class ExtDataSetup : public SObject {
public:
    S_CLASSNAME(ExtDataSetup)

    static constexpr int channelCount = 6;
    using Channels = std::array<ExtData_ReceiverBuffered*, channelCount>;
    // Connects a receiver to the data connection's splitter with a user value.
    using ConnectFunction = std::function<bool(Receiver* receiver, uint32_t userValue)>;

    // For each non-empty key N (1 to 6, in order) sets up channel N (a null channel is skipped),
    // connects it and registers it in the manager under its name. Writes the debug line
    // "onExtDataInit: " first; returns true.
    static bool setupChannels(const SFileIni& ini, const Channels& channels, const ConnectFunction& connect,
                              ExtDataManager& manager);
    // The same, connecting straight to a splitter.
    static bool setupChannels(const SFileIni& ini, const Channels& channels, SStreamSplitter& splitter,
                              ExtDataManager& manager);
    // One channel from one definition value: receiver (id, record length, fixed length), type,
    // buffer size, connection, registration. number is 1 to 6.
    static void setupChannel(int number, const SString& value, ExtData_ReceiverBuffered& channel,
                             const ConnectFunction& connect, ExtDataManager& manager);
};
