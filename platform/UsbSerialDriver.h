// The kernel's USB serial drivers (the CP210x bridge's driver "cp210x").
#pragma once

#include <functional>
#include <string>

namespace platform {

struct UsbSerialDriverState {
    // The kernel provides the driver (built in, or as a module it can load).
    bool installed = false;
    // The driver is loaded and registered with the USB serial core.
    bool active = false;
    // The module's own version when it declares one, else the kernel release's numbers
    // ("6.1.0" for "6.1.0-18-amd64"): the driver ships with the kernel.
    std::string version;
    // Why the driver counts as missing, for the trace.
    std::string error;
};

// Asks the system about a USB serial driver by its name. A virtual board registered as a CP210x
// port in the COM port map (a pseudo-terminal) needs no kernel driver: while one is present the
// "cp210x" driver counts as installed and active.
UsbSerialDriverState usbSerialDriver(const std::string& name);

// Replaces the system query (tests); an empty function restores it.
using UsbSerialDriverProbe = std::function<UsbSerialDriverState(const std::string& name)>;
void setUsbSerialDriverProbe(UsbSerialDriverProbe probe);

}  // namespace platform
