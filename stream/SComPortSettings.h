// The line settings of a serial port and their text form "COM3,19200,N,8,1".
#pragma once

#include <cstdint>

#include "foundation/SString.h"

class SFileIni;

// Port name, baud rate, parity, data bits and stop bits. Parity and stop bits use the codes
// of the serial driver: parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one,
// 1 one and a half, 2 two.
//
// Port names are Windows names ("com3"). A device path ("/dev/pts/5") is accepted as a port
// name as well: it keeps its letter case in both directions, since device paths are
// case-sensitive.
class SComPortSettings : public SObject {
public:
    S_CLASSNAME(SComPortSettings)

    static constexpr const char* defaultPort = "com1";

    SComPortSettings() { setDefaults(); }

    // com1, 9600 baud, no parity, 8 data bits, one stop bit; the defaults flag is set.
    void setDefaults();
    // Reads up to five comma-separated fields (port, baud, parity letter, data bits, stop
    // bits) over the defaults: a missing or unusable field keeps its default. A port is taken
    // only when it starts with "com" (or is a device path).
    void fromString(const SString& text);
    // "COM3,19200,N,8,1": the port name, baud rate, parity letter, data bits and stop bits
    // ("1", "1.5" or "2"), upper-cased.
    SString toString() const;

    // Reads the section "ComPort" + suffix of the user configuration file. An empty "Port"
    // means no saved settings: everything goes back to the defaults.
    bool load(const SString& suffix);
    // Writes the six keys to the same section and saves the file.
    bool save(const SString& suffix) const;
    // The same with a given settings file.
    void load(const SString& suffix, const SFileIni& ini);
    bool save(const SString& suffix, SFileIni& ini) const;

    // True when the name is a device path rather than a Windows port name.
    static bool isDevicePath(const SString& name) { return name.startsWith(SString(std::string("/"))); }

    SString port;
    int32_t baud = 9600;
    int32_t parity = 0;
    int32_t dataBits = 8;
    int32_t stopBits = 0;
    // Set by setDefaults, cleared when a settings string or the configuration file was read.
    bool isDefault = true;
    // Key "SendSmartCmd": the port sits behind the USB programmer adapter's command interpreter.
    bool sendSmartCmd = false;
};
