#include "platform/UsbSerialDriver.h"

#include <cstdlib>
#include <fstream>
#include <sys/utsname.h>
#include <unistd.h>

#include "platform/ComPortMap.h"
#include "platform/FileOps.h"

namespace platform {

namespace {

UsbSerialDriverProbe& probeOverride() {
    static UsbSerialDriverProbe probe;
    return probe;
}

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// "6.1.0" of "6.1.0-18-amd64": the leading digits and dots.
std::string kernelVersion() {
    utsname u{};
    if (::uname(&u) != 0) return {};
    std::string release = u.release;
    std::size_t end = 0;
    while (end < release.size() && ((release[end] >= '0' && release[end] <= '9') || release[end] == '.'))
        ++end;
    while (end > 0 && release[end - 1] == '.') --end;
    return release.substr(0, end);
}

bool listedIn(const std::string& file, const std::string& needle) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.find(needle) != std::string::npos) return true;
    return false;
}

// A CP210x-marked pseudo-terminal in the COM port map: a virtual board.
bool virtualBridgePresent() {
    for (const ComPortEntry& e : ComPortMap().list())
        if (e.cp210x && e.present && e.device.rfind("/dev/pts/", 0) == 0) return true;
    return false;
}

UsbSerialDriverState querySystem(const std::string& name) {
    UsbSerialDriverState state;
    const std::string sys = sysfsRoot();
    const std::string module = sys + "/module/" + name;
    state.active = pathExists(sys + "/bus/usb-serial/drivers/" + name);
    state.installed = state.active || pathExists(module);
    if (!state.installed) {
        utsname u{};
        if (::uname(&u) == 0) {
            const std::string dir = std::string("/lib/modules/") + u.release;
            state.installed = listedIn(dir + "/modules.builtin", "/" + name + ".ko") ||
                              listedIn(dir + "/modules.dep", "/" + name + ".ko");
        }
    }
    if (name == "cp210x" && !state.active && virtualBridgePresent()) state.installed = state.active = true;
    if (!state.installed)
        state.error = "Der Kernel hat keinen Treiber " + name + ".";
    else if (!state.active)
        state.error = "Der Treiber " + name + " ist nicht geladen.";
    if (state.installed) {
        state.version = firstLine(module + "/version");
        if (state.version.empty()) state.version = kernelVersion();
    }
    return state;
}

// The number in a sysfs id file ("10c4\n"); -1 when there is none.
int hexId(const std::string& path) {
    const std::string text = firstLine(path);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 16);
    return end != text.c_str() && value >= 0 && value <= 0xFFFF ? static_cast<int>(value) : -1;
}

// The last part of a symbolic link's target ("cp210x" of "../../../bus/usb/drivers/cp210x").
std::string linkTargetName(const std::string& link) {
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string target(buf, static_cast<std::size_t>(n));
    while (!target.empty() && target.back() == '/') target.pop_back();
    return target.substr(target.find_last_of('/') + 1);
}

// An interface of a USB device the driver has taken: bound to it, or holding a serial port.
bool interfaceTaken(const std::string& dir, const std::string& driver) {
    if (linkTargetName(dir + "/driver") == driver) return true;
    return !listDirectory(dir, "ttyUSB*").empty();
}

}  // namespace

std::string sysfsRoot() {
    const char* env = std::getenv("NUK_SYSFS");
    return env && *env ? std::string(env) : std::string("/sys");
}

UsbBridgePresence usbSerialBridgePresence(int vendor, int product, const std::string& driver) {
    if (driver == "cp210x" && virtualBridgePresent()) return UsbBridgePresence::ready;
    const std::string devices = sysfsRoot() + "/bus/usb/devices";
    UsbBridgePresence presence = UsbBridgePresence::noDevice;
    for (const DirEntry& device : listDirectory(devices, "*")) {
        // Interfaces ("1-2:1.0") are listed beside the devices ("1-2", "usb1"); "." and ".." too.
        if (device.name.empty() || device.name[0] == '.' || device.name.find(':') != std::string::npos)
            continue;
        const std::string dir = devices + "/" + device.name;
        if (hexId(dir + "/idVendor") != vendor || hexId(dir + "/idProduct") != product) continue;
        presence = UsbBridgePresence::deviceWithoutDriver;
        for (const DirEntry& interface : listDirectory(dir, device.name + ":*"))
            if (interfaceTaken(dir + "/" + interface.name, driver)) return UsbBridgePresence::ready;
    }
    return presence;
}

UsbSerialDriverState usbSerialDriver(const std::string& name) {
    if (probeOverride()) return probeOverride()(name);
    return querySystem(name);
}

void setUsbSerialDriverProbe(UsbSerialDriverProbe probe) {
    probeOverride() = std::move(probe);
}

}  // namespace platform
