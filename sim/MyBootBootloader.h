// The "myBoot" bootloader of the Duvaro module, as the bootloader programmer back-end talks to it.
#pragma once

#include <string>
#include <vector>

#include "sim/SimBootloader.h"

// After a reset it greets with "Duvaro myBoot\r" and repeats the greeting every greetPeriod
// while it waits, so a program that opens the port a little later still hears it. "myBurn"
// starts a session, answered with the ten bytes "myBoot 1.0". Then:
//   'W' aH aL nH nL   answered " A%02X%02XS%02X%02X" (the four bytes echoed); then n data
//                     bytes, byte j XOR ((n - j) mod 256), answered "E1" ("E0" when refused)
//   'C' 0 0 sH sL     two hexadecimal digits: 0x24 XOR every flash byte (masked with 0xC6)
//                     of the first s bytes
//   'X'               "X", then the application starts
// The image bytes arrive masked (XOR 0xC6); the bootloader unmasks them into the flash.
class MyBootBootloader : public SimBootloader {
public:
    S_CLASSNAME(MyBootBootloader)

    static constexpr const char* greeting = "Duvaro myBoot\r";
    static constexpr const char* sessionAnswer = "myBoot 1.0";
    static constexpr SimTime greetPeriod = 500'000'000;
    static constexpr uint8_t mask = 0xC6;

    MyBootBootloader(const BootloaderOptions& options, AvrMemory& memory);

    void onByte(uint8_t byte, SimTime now) override;
    void poll(SimTime now) override;
    SimTime nextDue() const override;

private:
    enum State { waiting, session, data };

    void onEnter(SimTime now) override;
    void reply(const std::string& bytes, SimTime due);

    State state_ = waiting;
    SimTime nextGreeting_ = simNever;
    std::string heard_;             // what came while waiting, for "myBurn"
    std::vector<uint8_t> cmd_;
    uint32_t address_ = 0;
    uint32_t count_ = 0;
    std::vector<uint8_t> block_;
    bool erased_ = false;
    std::string reply_;
    SimTime replyDue_ = simNever;
    bool leaveAfterReply_ = false;
};
