#include "board/SGiveio.h"

#include <cerrno>

#include "board/SServiceManager.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "platform/DriverServices.h"
#include "platform/ParallelPort.h"

SGiveio::SGiveio() {
    SServiceManager services;
    if (!services.isInstalled(SString::raw(serviceName))) return;
    // A driver that runs already must make the object ready too, else the port operations of a
    // fresh object would do nothing.
    if (services.isRunning(SString::raw(serviceName)))
        isRunning();
    else
        start();
}

int SGiveio::portIndex(const SString& portName) {
    SString n = portName.lowered();
    if (n == "lpt1") return 0;
    if (n == "lpt2") return 1;
    if (n == "lpt3") return 2;
    return -1;
}

int SGiveio::portAddress(const SString& portName) {
    static const int addresses[] = {0x378, 0x278, 0x3BC};
    int i = portIndex(portName);
    return i < 0 ? 0 : addresses[i];
}

bool SGiveio::isInstalled() {
    bool ok = SServiceManager().isInstalled(SString::raw(serviceName));
    if (!ok) ready_ = false;
    return ok;
}

bool SGiveio::install(const SString&) {
    if (isInstalled()) return true;
    int code = 0;
    if (platform::driverServices().create(serviceName, std::string(), &code)) return true;
    // Most computers have no parallel port at all: that is no lasting problem worth the error
    // log shown at exit, only a search path that ends here. A port that exists but may not be
    // opened (no rights) is one.
    if (code == ENOENT || code == ENODEV || code == ENXIO) {
        globalDebug().print(SString::raw("SGiveio::install(): kein Parallelport vorhanden"));
        return false;
    }
    globalError().add(SString("\xB3\xB3giveIoNotRegistered\xB3\xB3SGiveio::install()\r\nDer Treiber kann nicht angemeldet werden."),
                      code);
    return false;
}

bool SGiveio::isRunning() {
    ready_ = SServiceManager().isRunning(SString::raw(serviceName)) && deviceAccess();
    return ready_;
}

bool SGiveio::start() {
    SServiceManager services;
    bool ok = services.isRunning(SString::raw(serviceName)) ||
              (services.isInstalled(SString::raw(serviceName)) && services.start(SString::raw(serviceName)));
    ready_ = ok && deviceAccess();
    return ready_;
}

bool SGiveio::stop() {
    SServiceManager services;
    if (services.isRunning(SString::raw(serviceName)) && !services.stop(SString::raw(serviceName)))
        return false;
    ready_ = false;
    return true;
}

bool SGiveio::remove() {
    ready_ = false;
    return SServiceManager().deleteService(SString::raw(serviceName));
}

bool SGiveio::deviceAccess() {
    for (int i = 0; i < platform::ParallelPort::portCount; ++i)
        if (platform::parallelPort().canOpen(i)) return true;
    ready_ = false;
    return false;
}

uint8_t SGiveio::readPort(const SString& portName) {
    int i = portIndex(portName);
    uint8_t value = 0;
    if (!ready_ || i < 0 || !platform::parallelPort().readData(i, value)) return 0;
    return value;
}

bool SGiveio::writePort(const SString& portName, uint8_t value) {
    int i = portIndex(portName);
    if (!ready_ || i < 0) return false;
    int code = 0;
    if (platform::parallelPort().writeData(i, value, &code)) return true;
    globalDebug().print(SString::printf("SGiveio::writePort(..) 0x%X: ", portAddress(portName)) +
                        SError::systemErrorText(code));
    return false;
}
