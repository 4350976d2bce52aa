#include "platform/DriverServices.h"

#include <cerrno>

#include "platform/ParallelPort.h"
#include "platform/UsbSerialDriver.h"

namespace platform {

namespace {

enum class Kind { none, parallel, cp210x };

Kind kindOf(const std::string& name) {
    std::string n;
    for (char c : name) n += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (n == "giveio") return Kind::parallel;
    if (n == "silabser" || n == "slabser" || n == "silabenm" || n == "slabbus") return Kind::cp210x;
    return Kind::none;
}

bool fail(int* errorCode, int code) {
    if (errorCode) *errorCode = code;
    return false;
}

bool anyParallelPort(int* errorCode) {
    int first = 0;
    for (int i = 0; i < ParallelPort::portCount; ++i) {
        int code = 0;
        if (parallelPort().canOpen(i, &code)) return true;
        if (first == 0 || first == ENOENT) first = code;
    }
    return fail(errorCode, first != 0 ? first : ENODEV);
}

DriverServices systemServices;
DriverServices* installed = nullptr;

}  // namespace

bool DriverServices::isInstalled(const std::string& name, int* errorCode) {
    switch (kindOf(name)) {
        case Kind::parallel: return anyParallelPort(errorCode);
        case Kind::cp210x: {
            UsbSerialDriverState s = usbSerialDriver("cp210x");
            return s.installed || fail(errorCode, ENOENT);
        }
        case Kind::none: break;
    }
    return fail(errorCode, ENOENT);
}

bool DriverServices::isRunning(const std::string& name, int* errorCode) {
    switch (kindOf(name)) {
        case Kind::parallel: return anyParallelPort(errorCode);
        case Kind::cp210x: {
            UsbSerialDriverState s = usbSerialDriver("cp210x");
            return s.active || fail(errorCode, s.installed ? ESRCH : ENOENT);
        }
        case Kind::none: break;
    }
    return fail(errorCode, ENOENT);
}

bool DriverServices::start(const std::string& name, int* errorCode) {
    if (kindOf(name) == Kind::cp210x) return isRunning(name, errorCode);
    return isRunning(name, errorCode);
}

bool DriverServices::stop(const std::string& name, int* errorCode) {
    switch (kindOf(name)) {
        case Kind::parallel: return true;
        case Kind::cp210x: return fail(errorCode, EPERM);
        case Kind::none: break;
    }
    return fail(errorCode, ENOENT);
}

bool DriverServices::create(const std::string& name, const std::string&, int* errorCode) {
    switch (kindOf(name)) {
        case Kind::parallel: return anyParallelPort(errorCode);
        case Kind::cp210x: return fail(errorCode, EPERM);
        case Kind::none: break;
    }
    return fail(errorCode, EPERM);
}

bool DriverServices::remove(const std::string& name, int* errorCode) {
    switch (kindOf(name)) {
        case Kind::parallel: return true;
        case Kind::cp210x: return fail(errorCode, EPERM);
        case Kind::none: break;
    }
    return fail(errorCode, ENOENT);
}

std::vector<std::string> DriverServices::list() {
    std::vector<std::string> names;
    for (const char* n : {"giveio", "silabser", "silabenm"})
        if (isInstalled(n)) names.emplace_back(n);
    return names;
}

DriverServices& driverServices() {
    return installed ? *installed : systemServices;
}

void setDriverServices(DriverServices* services) {
    installed = services;
}

}  // namespace platform
