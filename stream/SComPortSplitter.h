// A serial port whose received bytes feed its own stream splitter on the reader thread.
#pragma once

#include <string>

#include "stream/SComPort.h"
#include "stream/SStreamSplitter.h"

// The board's data connection: the firmware's measurement frames reach the data channels
// connected to the splitter as they arrive. getError() is the port's error text; the
// splitter's framing error is getSplitterError().
class SComPortSplitter : public SComPort, public SStreamSplitter {
public:
    S_CLASSNAME(SComPortSplitter)

    SComPortSplitter() = default;
    // Closes the port, so the reader thread has stopped calling onByte before the splitter
    // part is destroyed.
    ~SComPortSplitter() override;

    void onByte(uint8_t byte) override { onStreamData(byte); }
    // A board pulled out in the middle of a frame left that frame half read: a new connection
    // starts at a frame's beginning, or its first value would be made of old and new bytes.
    void onOpening() override { resetFrame(); }

    // A command's dialogue with the firmware while frames may be coming: suspend empties the
    // port's ring (its bytes have reached the splitter already) and stops the splitter, so the
    // answer line reaches only the ring; resume first puts every byte the answer's read left in
    // the ring through the splitter (the frames that came right behind the answer), then lets
    // the splitter take the line again. Nothing is lost and nothing comes twice, however the
    // bytes fell between the reader and the command.
    void suspendForCommand();
    // framesAhead: bytes to put through the splitter before the ring's (takeFramesAhead).
    void resumeAfterCommand(const std::string& framesAhead = std::string());
    // The board may send a frame between a command and its answer line; the read of the answer
    // then holds it ahead of the line. The firmware's answers begin with "OK", which no frame
    // holds (ids 1 to 4, values up to 1023, so a high byte is at most 3): whatever comes before
    // the answer's "OK" is taken off the answer and returned, for resumeAfterCommand.
    static std::string takeFramesAhead(SString& answer);

    using SComPort::getError;
    SString getSplitterError() const { return SStreamSplitter::getError(); }
};
