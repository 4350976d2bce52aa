// The Ravlink adapter's own AVR910/AVR911 programmer: the AVR109 command set with block mode,
// the flash checksum extension and the fuse and lock-bit commands, working on the board
// controller's memories.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/AvrMemory.h"
#include "sim/LineSettings.h"
#include "sim/SimPeer.h"

// Bytes from the program reach it at the line rate of the program's settings (with realistic
// timing; it understands only 19200 baud then, like the adapter's UART) and its answers leave
// through the bridge. With realistic timing the memories take the real part's time: a flash
// page 4.5 ms (written while the next page's bytes arrive, as the adapter buffers them), an
// EEPROM byte 8.5 ms, a chip erase 9 ms.
class Avr911Programmer : public SimPeer {
public:
    S_CLASSNAME(Avr911Programmer)

    static constexpr int baud = 19200;
    static constexpr SimTime pageWriteNs = 4'500'000;
    static constexpr SimTime eepromWriteNs = 8'500'000;
    static constexpr SimTime chipEraseNs = 9'000'000;
    // The ATmega8's calibration bytes (1, 2, 4 and 8 MHz).
    static constexpr uint8_t calibration[4] = {0xA9, 0xA6, 0xA4, 0xA1};
    // The AVR910 device code it reports for the ATmega8.
    static constexpr uint8_t deviceCode = 0x76;

    struct Options {
        // The answer to 'V': two digits, major and minor. From "23" on it answers checksums.
        std::string softwareVersion = "23";
        std::string hardwareVersion = "21";
        // Block mode and its block size (the answer to 'b'); without it 'b' gets '?'.
        bool blockMode = true;
        uint16_t blockSize = 256;
        // Faults for tests: how many 'P' go unanswered first (a programmer that wakes late).
        int ignoredEnterCount = 0;
        // Command bytes that get no answer at all (a command the programmer fails on).
        std::string silentCommands;
        // A flash address whose cell keeps its erased value (a worn part), or -1.
        int brokenFlashAddress = -1;
        // The signature it answers to 's', in the part's order (a programmer without a part
        // attached reads 00 00 00 or FF FF FF).
        std::array<uint8_t, 3> signature = AvrMemory::signature;
        // Word mode as on a part written page by page (an AVR109 bootloader or an AVR910
        // programmer on an ATmega8, pages of 64 bytes): with a page size in bytes, 'c' and 'C'
        // only fill the page buffer at the address, and 'm' writes the buffer into the page of
        // the address set last. With 0 every 'C' programs its word at once.
        uint32_t pageBufferSize = 0;
    };

    Avr911Programmer(AvrMemory& memory, const Options& options);

    // Realistic timing and the program's line settings (the rate its bytes arrive at).
    void setRealistic(bool realistic) { realistic_ = realistic; }
    void setHostSettings(const LineSettings& settings) { host_ = settings; }

    void onByte(uint8_t byte, SimTime now) override;
    void poll(SimTime now) override;
    SimTime nextDue() const override;
    void reset() override;

    bool isProgMode() const { return progMode_; }
    int64_t getCommandCount() const { return commands_; }
    // How often a command byte arrived since start (safe from any thread).
    int64_t getCommandCount(uint8_t command) const { return counts_[command].load(); }

private:
    struct Incoming {
        uint8_t byte;
        SimTime arrival;
    };
    struct Outgoing {
        SimTime due;
        std::vector<uint8_t> bytes;
    };

    // The number of bytes a command takes after its command byte; -1 for a block command, whose
    // length follows from its header.
    static int argumentCount(uint8_t command);
    void take(uint8_t byte, SimTime t);
    void execute(SimTime t);
    void blockData(uint8_t byte, SimTime t);
    void finishBlock(SimTime t);
    void program(uint32_t address, uint8_t value);
    void answer(SimTime due, std::initializer_list<uint8_t> bytes);
    void answer(SimTime due, const std::vector<uint8_t>& bytes);
    SimTime cost(SimTime ns) const { return realistic_ ? ns : 0; }

    AvrMemory& memory_;
    Options options_;
    bool realistic_ = false;
    LineSettings host_{baud, 8, 'N', 1};
    std::deque<Incoming> in_;
    SimTime lastArrival_ = 0;
    std::deque<Outgoing> out_;
    // Nothing more is taken from the line before this time (an operation runs).
    SimTime busyUntil_ = 0;
    // The flash page being written finishes at this time.
    SimTime pageBusy_ = 0;

    std::vector<uint8_t> command_;
    // Block write: the memory ('F' or 'E'), the bytes left, the bytes of the current page.
    bool inBlock_ = false;
    uint8_t blockMemory_ = 0;
    uint32_t blockLeft_ = 0;
    uint32_t pageFill_ = 0;

    bool progMode_ = false;
    int enterCount_ = 0;
    uint32_t address_ = 0;  // word address for the flash, byte address for the EEPROM
    uint8_t lowByte_ = 0xFF;
    // The page buffer of word mode with pageBufferSize (0xFF where nothing was loaded).
    std::vector<uint8_t> pageBuffer_;
    int64_t commands_ = 0;
    std::array<std::atomic<int64_t>, 256> counts_{};
};
