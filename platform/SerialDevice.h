// A serial device (a USB serial bridge, a UART, a pseudo-terminal) opened for exclusive use.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct termios;

namespace platform {

// Line settings in the codes the serial port settings use.
struct SerialSettings {
    enum Parity { parityNone = 0, parityOdd = 1, parityEven = 2, parityMark = 3, paritySpace = 4 };
    enum StopBits { stopOne = 0, stopOneAndHalf = 1, stopTwo = 2 };

    int baud = 9600;
    int parity = parityNone;
    int dataBits = 8;
    int stopBits = stopOne;
};

// Opens the device for reading and writing with no controlling terminal and keeps others
// out (TIOCEXCL for the terminal, plus an exclusive flock that also holds against
// privileged processes, which TIOCEXCL lets through). The configuration found at open is
// written back at close. The descriptor is non-blocking: reads wait in poll with a timeout,
// writes wait in poll until everything is out or the time is up.
//
// One thread may sit in read() while another writes, purges or calls cancelRead(); open,
// apply and close belong to one thread while no read is running.
class SerialDevice {
public:
    // Outcome of read().
    enum class ReadStatus {
        data,         // at least one byte was read
        timeout,      // nothing arrived in time
        interrupted,  // cancelRead() woke the reader
        hangUp,       // the other side is gone (unplugged device, closed pseudo-terminal master)
        error,        // any other failure; see lastError()
    };

    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device and saves its configuration. False with lastError() set on failure
    // (EBUSY when somebody else holds it, EACCES when the user may not use it).
    bool open(const std::string& path);

    // The system call that opens a device, replaceable for tests: a device the user may not
    // open (EACCES) cannot be made with file modes where the tests run as root. nullptr
    // restores the system's open(2).
    using OpenFunction = int (*)(const char* path, int flags);
    static void setOpenFunction(OpenFunction function);
    // False when the system refuses this user the device (EACCES, EPERM: not in the group
    // "dialout"); a device that is busy, missing or fine gives true, its open() tells the rest.
    // The system is asked without opening the device, since opening a serial port raises its
    // modem lines and closing drops them, which resets some boards; an open function installed
    // for tests answers instead (a descriptor it gives is closed at once).
    static bool mayOpen(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    int descriptor() const { return fd_; }

    // Applies the line settings in raw mode: no echo, no line editing, no character
    // translation, no flow control (neither RTS/CTS nor XON/XOFF), receiver on, modem status
    // lines ignored (CLOCAL). Mark and space parity use CMSPAR. The system has no code for 1.5
    // stop bits: they are set as 2 (on a UART with 5 data bits that is 1.5 bit times). Any
    // standard baud rate from 50 to 4000000 works; other rates fail with EINVAL.
    bool apply(const SerialSettings& settings);
    // Raises DTR and RTS. A device without modem lines (a pseudo-terminal answers ENOTTY or
    // EINVAL) is no failure; hasModemLines() then tells false.
    bool raiseDtrRts();
    bool hasModemLines() const { return modemLines_; }
    // Discards the driver's input and output queues.
    bool purge();
    // Waits up to timeoutMs for data and reads up to size bytes of what is there.
    ReadStatus read(uint8_t* buffer, std::size_t size, int timeoutMs, std::size_t* received);
    // Wakes a read() waiting on another thread (it returns interrupted).
    void cancelRead();
    // Waits up to timeoutMs without reading, so that more bytes gather for the next read();
    // cancelRead() ends the wait at once (false) and still interrupts the next read().
    bool pauseReading(int timeoutMs);
    // Writes every byte, retrying after EINTR and waiting while the output queue is full;
    // fails with ETIMEDOUT when the queue does not drain within timeoutMs.
    bool writeAll(const uint8_t* data, std::size_t size, int timeoutMs);
    // Writes the configuration found at open back to the device.
    bool restoreSaved();
    // Restores nothing: releases the exclusive use and closes the descriptor.
    void close();

    // errno of the last failure and the system's text for it.
    int lastError() const { return error_.load(); }
    std::string lastErrorText() const;

    // The termios speed code of a baud rate; false for a rate the system has no code for.
    static bool speedCode(int baud, unsigned& code);
    // The baud rate of a termios speed code; 0 for a code the table does not know.
    static int baudOfCode(unsigned code);
    // Changes a configuration record as apply() does; false (EINVAL) for settings the system
    // cannot express. Pseudo-terminals keep only part of it (they force CS8 and clear PARENB).
    static bool configure(const SerialSettings& settings, termios& tio);

private:
    bool fail();

    int fd_ = -1;
    int wakeFd_ = -1;  // eventfd that cancelRead() signals
    std::string path_;
    bool modemLines_ = true;
    std::atomic<int> error_{0};  // set by the reading and the writing thread alike
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace platform
