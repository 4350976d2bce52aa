// The experiment's data channels of resources/extdata.ini, set up as the program does it, for
// the tests that link the stream library.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "foundation/SFileIni.h"
#include "stream/ExtDataSetup.h"
#include "support/TestSupport.h"

namespace testsupport {

using ExperimentChannels = std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount>;

// Reads the sources' extdata.ini and registers the channels with the manager, connected through
// target (a splitter or a connect function). False when the file cannot be read; whether each
// channel was accepted is the business of the channel set-up's own tests.
template <typename Target>
bool setupExperimentChannels(ExperimentChannels& channels, Target&& target, ExtDataManager& manager) {
    SFileIni ini;
    if (!ini.open(SString(sourceDir() + "/resources/extdata.ini"), false, true)) return false;
    ExtDataSetup::Channels pointers{};
    for (std::size_t i = 0; i < channels.size(); ++i) pointers[i] = &channels[i];
    ExtDataSetup::setupChannels(ini, pointers, std::forward<Target>(target), manager);
    return true;
}

}  // namespace testsupport
