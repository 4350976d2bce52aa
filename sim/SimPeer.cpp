#include "sim/SimPeer.h"

#include <cstring>

void SimPeer::send(const char* text) {
    send(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}
