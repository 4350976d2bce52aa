// The parallel ports lpt1 to lpt3: their data registers through the kernel's ppdev devices.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Port index 0..2 stands for lpt1..lpt3, device /dev/parport0../dev/parport2.
class ParallelPort {
public:
    static constexpr int portCount = 3;

    virtual ~ParallelPort() = default;
    // The device of a port index; empty outside 0..2.
    static std::string devicePath(int index);
    // The device can be opened for reading and writing (the driver is there and we may use it).
    virtual bool canOpen(int index, int* errorCode = nullptr) = 0;
    // Writes or reads the data register (the eight data lines).
    virtual bool writeData(int index, uint8_t value, int* errorCode = nullptr) = 0;
    virtual bool readData(int index, uint8_t& value, int* errorCode = nullptr) = 0;
};

// The ports of this machine (ppdev), unless tests installed a fake.
ParallelPort& parallelPort();
// Installs a replacement (the caller keeps ownership); nullptr restores the system's ports.
void setParallelPort(ParallelPort* port);

}  // namespace platform
