// Kernel drivers by the service names of the programs' set-up: "giveio" (parallel-port access)
// and the CP210x bridge's services.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Drivers here are parts of the kernel, not services a program installs, so the operations
// mean:
// - "giveio": installed and running when a parallel port device (/dev/parport0..2, ppdev) can
//   be opened; starting checks that again (there is nothing to load); stopping and removing
//   have nothing to undo and succeed; creating succeeds when the device is there.
// - "silabser", "slabser", "silabenm", "slabbus": the kernel's usb-serial driver "cp210x"
//   (installed: the kernel provides it; running: it is loaded). They cannot be started,
//   stopped, created or removed from here.
// - every other name: not installed (ENOENT).
// Failures give false with an errno value in errorCode.
class DriverServices {
public:
    virtual ~DriverServices() = default;
    virtual bool isInstalled(const std::string& name, int* errorCode = nullptr);
    virtual bool isRunning(const std::string& name, int* errorCode = nullptr);
    virtual bool start(const std::string& name, int* errorCode = nullptr);
    virtual bool stop(const std::string& name, int* errorCode = nullptr);
    virtual bool create(const std::string& name, const std::string& imagePath, int* errorCode = nullptr);
    virtual bool remove(const std::string& name, int* errorCode = nullptr);
    // The installed ones among the names above.
    virtual std::vector<std::string> list();
};

DriverServices& driverServices();
// Installs a replacement (tests; the caller keeps ownership); nullptr restores the system's.
void setDriverServices(DriverServices* services);

}  // namespace platform
