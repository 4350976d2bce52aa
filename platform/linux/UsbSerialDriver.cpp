#include "platform/UsbSerialDriver.h"

#include <fstream>
#include <sys/utsname.h>

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
    const std::string module = "/sys/module/" + name;
    state.active = pathExists("/sys/bus/usb-serial/drivers/" + name);
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

}  // namespace

UsbSerialDriverState usbSerialDriver(const std::string& name) {
    if (probeOverride()) return probeOverride()(name);
    return querySystem(name);
}

void setUsbSerialDriverProbe(UsbSerialDriverProbe probe) {
    probeOverride() = std::move(probe);
}

}  // namespace platform
