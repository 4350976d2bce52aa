// A fake sysfs tree for the USB queries of the platform layer: NUK_SYSFS names it while it
// lives. It is laid out as the kernel does: devices under devices/, linked from
// bus/usb/devices/ together with their interfaces, drivers under bus/usb/drivers/.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TestSupport.h"

namespace testsupport {

class FakeSysfs {
public:
    explicit FakeSysfs(const std::string& root) : root_(root), env_("NUK_SYSFS", root.c_str()) { clear(); }

    const std::string& root() const { return root_; }

    // Unplugs everything: an empty USB bus.
    void clear() {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ + "/bus/usb/devices");
    }

    // Plugs in a USB device ("1-2") with its ids as sysfs writes them ("10c4"); its interface
    // "1-2:1.0" is bound to the driver named (none when empty) and holds "ttyUSB0" when tty.
    void plug(const std::string& name, const std::string& vendor, const std::string& product,
              const std::string& driver, bool tty) {
        namespace fs = std::filesystem;
        const std::string device = root_ + "/devices/pci0000:00/0000:00:14.0/usb1/" + name;
        const std::string interface = device + "/" + name + ":1.0";
        fs::create_directories(interface);
        std::ofstream(device + "/idVendor") << vendor << "\n";
        std::ofstream(device + "/idProduct") << product << "\n";
        const std::string links = root_ + "/bus/usb/devices/";
        fs::create_directory_symlink(fs::relative(device, links), links + name);
        fs::create_directory_symlink(fs::relative(interface, links), links + name + ":1.0");
        if (!driver.empty()) {
            const std::string dir = root_ + "/bus/usb/drivers/" + driver;
            fs::create_directories(dir);
            fs::create_directory_symlink(fs::relative(dir, interface), interface + "/driver");
        }
        if (tty) fs::create_directories(interface + "/ttyUSB0/tty/ttyUSB0");
    }

    // The board's CP210x bridge, taken by its driver (with its port) or by none.
    void plugCp210x(const std::string& name, bool withDriver) {
        plug(name, "10c4", "ea60", withDriver ? "cp210x" : "", withDriver);
    }

private:
    std::string root_;
    ScopedEnv env_;
};

}  // namespace testsupport
