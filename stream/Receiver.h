// A receiver of frames cut from a byte stream by SStreamSplitter.
#pragma once

#include <cstdint>

#include "foundation/SMem.h"

// Describes the frames it wants (id, record length, length mode) and gets them through receive.
// Receivers registered under id 0 also get every single byte of the stream.
class Receiver : public SObject {
public:
    S_CLASSNAME(Receiver)

    // Fixed length: the payload is recordLength bytes.
    static constexpr int32_t lengthFixed = 0;
    // The payload is preceded by a 16-bit little-endian byte count.
    static constexpr int32_t lengthPrefix16 = -2;
    // The payload is preceded by a 32-bit little-endian byte count.
    static constexpr int32_t lengthPrefix32 = -4;

    Receiver() = default;
    ~Receiver() override = default;

    // For our own id: gives the record length and the length mode and returns true.
    virtual bool getFrameInfo(uint32_t id, int32_t& length, int32_t& lengthMode) const;
    virtual bool hasId(uint32_t id) const { return id == id_; }
    // One complete frame (its first length bytes count), or one raw byte for id-0 receivers.
    // Runs on the serial reader thread. The base does nothing.
    virtual bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue);

    void setup(uint32_t id, int32_t recordLength = 1, int32_t lengthMode = lengthFixed);
    uint32_t getId() const { return id_; }
    int32_t getRecordLength() const { return recordLength_; }
    int32_t getLengthMode() const { return lengthMode_; }

protected:
    int32_t recordLength_ = 1;
    uint32_t id_ = 0;
    int32_t lengthMode_ = lengthFixed;
};
