// The virtual board inside the program, for a user without the hardware.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sim/VirtualBoard.h"

// "experiment --virtual-board" runs the board on its own thread behind the Ravlink adapter with
// its programmer, so the whole experiment works: burning the firmware, start, stop. Its
// pseudo-terminal is registered in the COM port map as a CP210x port while the program runs
// and removed when it ends (also after a termination signal, which ends the event loop).
// "--virtual-board=core" lets the simulated controller run what is burnt into its flash.
// "--virtual-board=myburn" (or "=myboot") is the board with the Duvaro module instead, plugged in
// directly: its controller starts in the module's bootloader, which the burn command
// "cmd:burnHex:Duvaro:..." talks to.
class VirtualBoardHost {
public:
    enum class Mode { off, protocol, core, myBurn, myBoot };

    // The mode of "--virtual-board=KIND": core, myburn, myboot, protokoll or protocol (the
    // board behind the adapter, as "--virtual-board" alone); nothing for any other kind.
    static std::optional<Mode> modeNamed(const std::string& kind);
    // The board's options for a mode: behind the adapter, at the line rate, in real time,
    // registered as a CP210x port in the default port map.
    static bool options(Mode mode, VirtualBoard::Options& out, std::string& error);

    VirtualBoardHost() = default;
    ~VirtualBoardHost() { stop(); }
    VirtualBoardHost(const VirtualBoardHost&) = delete;
    VirtualBoardHost& operator=(const VirtualBoardHost&) = delete;

    // Starts the board; error says why not.
    bool start(Mode mode, std::string& error);
    // Stops it and removes its registration; nothing happens when it does not run.
    void stop();
    bool isRunning() const { return board_ && board_->isRunning(); }
    // Present after a successful start.
    VirtualBoard* getBoard() const { return board_.get(); }

private:
    std::unique_ptr<VirtualBoard> board_;
};
