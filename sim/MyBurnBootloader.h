// The "myBurn" bootloader of the Duvaro module, as the burn window talks to it.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "sim/SimBootloader.h"

// After a reset it waits for the handshake 0xAB "myBurn" 0xBB and answers with one line of
// fields separated by "\r" and ended by "\n": "myBurn", module type, MCU, version, page size,
// EEPROM size, block size, flash space, new baud rate. Then it takes commands of fixed length
// (lengths are binary, so "\n" cannot end them):
//   'B' 0 0 nL nH '\n'            flash of n bytes follows (versions up to 1.09)
//   'F' 0 0 0 n0 n1 n2 '\n'       flash of n bytes follows (newer versions)
//   'M' 0 0 0 n0 n1 n2 '\n'       EEPROM of n bytes follows
//   'b' n '\n' data | 'f' nL nH '\n' data | 'm' nL nH '\n' data   one block
//   "e\n"                         end of the memory: "e0" + decimal byte sum + "\n"
//   "X\n"                         "X\n", then the application starts
// Every command is answered with a line that begins with its letter; a refused one with "!".
class MyBurnBootloader : public SimBootloader {
public:
    S_CLASSNAME(MyBurnBootloader)

    static constexpr uint8_t handshake[8] = {0xAB, 'm', 'y', 'B', 'u', 'r', 'n', 0xBB};

    MyBurnBootloader(const BootloaderOptions& options, AvrMemory& memory);

    void onByte(uint8_t byte, SimTime now) override;
    void poll(SimTime now) override;
    SimTime nextDue() const override { return std::min(replyDue_, applicationDue()); }
    bool wantsReset(uint8_t byte) override;

    // The reply line the handshake gets.
    SString replyLine() const;
    // Protocol mode of the configured version: 2 above 1.09, else 1.
    int mode() const;

private:
    enum State { waiting, session };

    void onEnter(SimTime now) override;
    bool matchHandshake(std::vector<uint8_t>& window, uint8_t byte);
    void command(SimTime now);
    void reply(const std::string& line, SimTime due);
    void refuse(SimTime now, const char* why);

    State state_ = waiting;
    int attempts_ = 0;
    std::vector<uint8_t> window_;      // the last bytes, for the handshake
    std::vector<uint8_t> appWindow_;   // the same while the application runs
    std::vector<uint8_t> cmd_;         // the command being received
    std::size_t need_ = 0;             // its full length once known
    // The memory being written: 'F' flash, 'M' EEPROM, 0 none.
    char target_ = 0;
    uint32_t expected_ = 0;
    uint32_t address_ = 0;
    uint32_t sum_ = 0;
    bool changeBaud_ = false;
    std::string reply_;
    SimTime replyDue_ = simNever;
    bool leaveAfterReply_ = false;
};
