// The serial bootloaders of the virtual board's controller module: what the controller runs
// after a reset until the bootloader hands over to the application (the firmware).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/SString.h"
#include "sim/AvrMemory.h"
#include "sim/LineSettings.h"
#include "sim/SimPeer.h"

// Which bootloader the module carries, and the misbehaviours tests ask for.
struct BootloaderOptions {
    enum Kind { none, myBurn, myBoot };
    Kind kind = none;

    // The rate the bootloader listens at after a reset.
    int baud = 19200;
    // myBurn: the handshake it answers first (1: the first; 20: only the twentieth); 0: never.
    int answerOnHandshake = 1;
    // myBurn: the fields of the handshake reply (9 in a complete reply; fewer for a broken one).
    int replyFields = 9;
    // myBurn reply fields: module type, bootloader version, block size, flash space for the
    // application and the rate to switch to after the reply (0: keep the current one).
    SString moduleType = SString(std::string("PelmoStamp"));
    SString version = SString(std::string("V1.10"));
    int blockSize = 128;
    int flashSpace = AvrMemory::flashSize - 1024;
    int newBaud = 57600;
    // myBurn: the reply as it stands, replacing the fields above (tests of unparsable replies).
    SString rawReply;
    // A stand-in for the user who presses the reset button when the burn program asks for it:
    // the program switching its port to the bootloader's rate, or (myBurn) sending the
    // handshake, while the application runs resets the controller into the bootloader.
    bool autoReset = true;
    // Byte time of the controller itself (flash programming), per byte, in nanoseconds; 0:
    // none. The line's character time comes on top when the board runs with realistic timing.
    int64_t programNsPerByte = 0;
    // Without a handshake for this long after a reset the bootloader starts the application,
    // when the flash holds one (an erased flash keeps it waiting); 0: it waits for ever.
    int startApplicationMs = 3000;

    // "myburn" or "myboot" (any case), "" or "none"; false for any other name.
    static bool parseKind(const SString& name, Kind& kind);
};

// Base of the two bootloaders. The board gives every byte from the line to the bootloader
// while it is active; a bootloader leaves (the application starts) on its end command.
class SimBootloader : public SimPeer {
public:
    S_CLASSNAME(SimBootloader)

    // Called when the bootloader changes the controller's line settings.
    using SettingsHook = std::function<void(const LineSettings& settings)>;

    SimBootloader(const BootloaderOptions& options, AvrMemory& memory)
        : options_(options), memory_(memory) {}

    static std::unique_ptr<SimBootloader> create(const BootloaderOptions& options, AvrMemory& memory);

    void setSettingsHook(SettingsHook hook) { settingsHook_ = std::move(hook); }

    // Reset: the controller starts in the bootloader.
    void enter(SimTime now);
    // The controller runs the bootloader (not the application).
    bool isActive() const { return active_.load(); }
    // A byte the program sent while the application runs; true when the stand-in user takes it
    // as the request to press reset (the byte itself is lost in the reset).
    virtual bool wantsReset(uint8_t /*byte*/) { return false; }
    // Completed programming sessions (end command received) since construction.
    int64_t getSessions() const { return sessions_.load(); }
    int64_t getHandshakes() const { return handshakes_.load(); }
    const BootloaderOptions& getOptions() const { return options_; }
    // The controller's line settings while the bootloader runs.
    LineSettings lineSettings() const { return LineSettings{baud_, 8, 'N', 1}; }

protected:
    virtual void onEnter(SimTime now) = 0;
    // The bootloader starts the application.
    void leave();
    void setBaud(int baud);
    // While waiting: the time to give up and start the application (simNever: never).
    SimTime applicationDue() const { return applicationDue_; }
    // Starts the application when the wait is over; true when it did.
    bool waitedOut(SimTime now);
    void stopWaiting() { applicationDue_ = simNever; }
    // Starts the wait again (a session that has gone quiet).
    void waitAgain(SimTime now) {
        if (options_.startApplicationMs > 0) applicationDue_ = now + options_.startApplicationMs * 1'000'000LL;
    }

    BootloaderOptions options_;
    AvrMemory& memory_;
    std::atomic<int64_t> handshakes_{0};
    std::atomic<int64_t> sessions_{0};

private:
    std::atomic<bool> active_{false};
    int baud_ = 19200;
    SimTime applicationDue_ = simNever;
    SettingsHook settingsHook_;
};
