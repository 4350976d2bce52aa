// Notices the firmware's line at the end of a run ("OK Ende"), which comes in the frame stream
// after the last sample's frames.
#pragma once

#include <atomic>

#include "stream/Receiver.h"

// The splitter reads the line as a frame: the id byte 'O' and the seven bytes "K Ende\n". No
// measurement frame has that id (they are 1 to 4), and the line is the only text the firmware
// sends without being asked.
class RunEndReceiver : public Receiver {
public:
    S_CLASSNAME(RunEndReceiver)

    static constexpr uint32_t lineId = 'O';
    static constexpr const char* lineRest = "K Ende\n";

    RunEndReceiver();
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override;

    // True once after the line arrived (on the reader thread); clears the mark.
    bool takeEnded() { return ended_.exchange(false); }
    void clear() { ended_ = false; }

private:
    std::atomic<bool> ended_{false};
};
