// The serial ports of this machine, with the CP210x USB-to-serial bridges marked.
#pragma once

#include "foundation/SMaps.h"

class Cp210x : public SObject {
public:
    S_CLASSNAME(Cp210x)

    // Fills the map port name ("COM3") -> description: "serial port" for every port present;
    // a CP210x port gets its device instead, or "offline - " + device when it is not connected
    // (left out with onlyConnected). True when the map is not empty.
    static bool getPortList(SMapStringToString& ports, bool onlyConnected);
};
