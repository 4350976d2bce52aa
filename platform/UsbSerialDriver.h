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

// The root of the kernel's sysfs the USB queries read: the directory NUK_SYSFS names (tests build
// fake trees there), else "/sys".
std::string sysfsRoot();

// Asks the system about a USB serial driver by its name. A virtual board registered as a CP210x
// port in the COM port map (a pseudo-terminal) needs no kernel driver: while one is present the
// "cp210x" driver counts as installed and active.
UsbSerialDriverState usbSerialDriver(const std::string& name);

// Replaces the system query (tests); an empty function restores it.
using UsbSerialDriverProbe = std::function<UsbSerialDriverState(const std::string& name)>;
void setUsbSerialDriverProbe(UsbSerialDriverProbe probe);

// How far a USB serial bridge has come on this machine.
enum class UsbBridgePresence {
    noDevice,             // no USB device with the bridge's vendor and product id is plugged in
    deviceWithoutDriver,  // such a device is there, but the driver took none of them
    ready,                // the driver took one: it has (or is making) a serial port for it
};

// Looks through the USB devices in sysfs (bus/usb/devices/*/idVendor, idProduct) for the
// bridge's ids. The driver has taken a device when one of its interfaces ("1-2:1.0") is bound
// to the driver (its "driver" link names it) or holds the serial port the driver made
// ("ttyUSB0"); a device bound to another driver, or to none, waits for it. As for
// usbSerialDriver(), a virtual board registered as a CP210x port in the COM port map counts as
// a ready "cp210x" bridge.
UsbBridgePresence usbSerialBridgePresence(int vendor, int product, const std::string& driver);

}  // namespace platform
