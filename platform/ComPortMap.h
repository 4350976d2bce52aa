// Windows-style serial port names ("com3") for the serial devices of this machine.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// One serial port known to the map.
struct ComPortEntry {
    std::string name;         // "com3", lower case
    std::string device;       // "/dev/ttyUSB0", "/dev/pts/4"
    bool cp210x = false;      // a CP210x USB-to-serial bridge (USB 0x10C4:0xEA60), or marked as one
    bool present = false;     // the device exists now
    std::string description;  // e.g. the USB product text, or "virtual"
};

// A serial device as enumeration reports it.
struct SerialDeviceInfo {
    std::string device;  // "/dev/ttyUSB0"
    int usbVendor = -1;  // -1 for a device that is not on USB
    int usbProduct = -1;
    std::string description;  // the USB product text or the driver's name
};

// Every serial device found gets a persistent COM number, stored in one INI file shared by all
// our programs: section "ComPorts", key "comN" = device path, optionally followed by
// ";cp210x" to mark the device as a CP210x bridge. Entries naming a device that enumeration
// does not find (a virtual board's pseudo-terminal, say) are kept and listed too. The file is
// "comports.ini" in the per-user configuration folder, or the file NUK_COMPORTS names.
// Several processes may use the file at once: every change locks it and replaces it atomically.
//
// An entry for a pseudo-terminal also records the registering process (";pid=N"): pty numbers
// are reused by the system, and once that process has ended the entry is listed as not present,
// so nothing is sent to a stranger's terminal that got the same number.
class ComPortMap {
public:
    using Enumerator = std::function<std::vector<SerialDeviceInfo>()>;

    static constexpr int cp210xVendor = 0x10C4;
    static constexpr int cp210xProduct = 0xEA60;

    // $NUK_COMPORTS, else userConfigDirectory()/comports.ini.
    static std::string defaultFile();

    explicit ComPortMap(std::string file = defaultFile());

    // Enumerates the serial devices, gives new ones the next free numbers (saved), and returns
    // all entries ordered by number.
    std::vector<ComPortEntry> list();
    // The device path of a COM name (any letter case); empty when unknown.
    std::string deviceFor(const std::string& comName);
    // Registers a device under a wanted name (or the next free "comN" when empty); an existing
    // entry for the device is reused. Returns the name, empty on failure.
    std::string registerDevice(const std::string& device, bool cp210x, const std::string& wantedName = "");
    // Removes an entry; false when there is none.
    bool unregister(const std::string& comName);
    // The listing the board code reads as the system's serial-port list: value name and port
    // name ("COM3"); CP210x devices are listed under a value name containing "Silabser".
    std::vector<std::pair<std::string, std::string>> serialCommListing();

    const std::string& file() const { return file_; }

    // The serial devices of this machine (libserialport when built with it, else the USB
    // serial and ACM devices in /dev).
    static std::vector<SerialDeviceInfo> enumerateSystem();
    // Replaces the enumeration of this map (tests; an empty function restores the default).
    void setEnumerator(Enumerator enumerator) { enumerator_ = std::move(enumerator); }
    // Replaces the enumeration of every map of this process that has no enumerator of its own,
    // also of the maps the board connection and the serial port make for each query (tests;
    // an empty function restores enumerateSystem).
    static void setProcessEnumerator(Enumerator enumerator);

private:
    std::vector<SerialDeviceInfo> enumerate() const;

    std::string file_;
    Enumerator enumerator_;
};

}  // namespace platform
