#include "stream/Receiver.h"

bool Receiver::getFrameInfo(uint32_t id, int32_t& length, int32_t& lengthMode) const {
    if (id != id_) return false;
    length = recordLength_;
    lengthMode = lengthMode_;
    return true;
}

bool Receiver::receive(const SMem&, int32_t, uint32_t, uint32_t) {
    return false;
}

void Receiver::setup(uint32_t id, int32_t recordLength, int32_t lengthMode) {
    id_ = id;
    recordLength_ = recordLength;
    lengthMode_ = lengthMode;
}
