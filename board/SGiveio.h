// Access to the data registers of the parallel ports lpt1 to lpt3 (the "sp12" programmer's
// port, whose data lines also switch the board's supply).
#pragma once

#include <cstdint>

#include "foundation/SString.h"

// The driver that grants the access is the kernel's ppdev ("giveio" in the service names of
// SServiceManager): installed and running when a port device can be opened. There is no driver
// file to copy and no service to register: install and start only check that the device is
// usable, stop and remove have nothing to undo.
class SGiveio : public SObject {
public:
    S_CLASSNAME(SGiveio)

    static constexpr const char* serviceName = "giveio";

    // Starts the driver when it is installed but not running, and is ready when the ports can
    // be used.
    SGiveio();

    bool isInstalled();
    bool install(const SString& driverFile = SString());
    // The service runs and the device can be opened; sets the ready flag to the result.
    bool isRunning();
    bool start();
    bool stop();
    bool remove();
    // The device can be opened; without it the flag becomes false.
    bool deviceAccess();
    bool isReady() const { return ready_; }

    // The data register of a port ("lpt1".."lpt3", any case); nothing without ready or for
    // another name.
    uint8_t readPort(const SString& portName);
    bool writePort(const SString& portName, uint8_t value);

    // The I/O address a port name stands for (0x378, 0x278, 0x3BC), 0 for any other name.
    static int portAddress(const SString& portName);
    // The port index 0..2 of a port name, -1 for any other name.
    static int portIndex(const SString& portName);

private:
    bool ready_ = false;
};
