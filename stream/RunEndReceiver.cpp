#include "stream/RunEndReceiver.h"

#include <cstring>

RunEndReceiver::RunEndReceiver() {
    setup(lineId, static_cast<int32_t>(std::strlen(lineRest)), lengthFixed);
}

bool RunEndReceiver::receive(const SMem& frame, int32_t length, uint32_t id, uint32_t) {
    const std::size_t size = std::strlen(lineRest);
    if (id != lineId || length != static_cast<int32_t>(size) || frame.getSize() < size) return false;
    if (std::memcmp(frame.getData(), lineRest, size) != 0) return false;
    ended_ = true;
    return true;
}
