// Shared by the painter and diagram tests: a repository from text, data channels to feed.
#pragma once

#include <array>
#include <string>

#include <gtest/gtest.h>

#include "foundation/SMem.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "support/TestSupport.h"
#include "view/KeloProjectData.h"

namespace viewtest {

inline SString raw(const char* text) {
    return SString(std::string(text));
}

// A project whose repository is read from a text, with the channels "U_C" and "I" (16-bit values,
// ring of 1000) registered.
class Project {
public:
    Project() {
        const auto connect = [](Receiver*, uint32_t) { return true; };
        ExtDataSetup::setupChannel(1, raw("U_C|3|2|1000|0|2"), channels[0], connect, data.getExtDataManager());
        ExtDataSetup::setupChannel(2, raw("I|4|2|1000|0"), channels[1], connect, data.getExtDataManager());
    }
    bool open(const std::string& repository) {
        dir.write("test.repo", repository);
        return data.getRepo().openProject(SString("ini:") + SString(dir.file("test.repo")));
    }
    // One 16-bit frame into a channel (its ring and latest value).
    static void feed(ExtData_ReceiverBuffered& channel, int value) {
        SMem frame(2);
        frame.setByte(0, static_cast<uint8_t>(value & 0xFF));
        frame.setByte(1, static_cast<uint8_t>(value >> 8));
        channel.receive(frame, 2, 0, 0);
    }

    testsupport::TempDir dir;
    std::array<ExtData_ReceiverBuffered, 2> channels;
    KeloProjectData data;
};

}  // namespace viewtest
