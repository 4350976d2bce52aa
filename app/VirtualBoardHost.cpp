#include "app/VirtualBoardHost.h"

std::optional<VirtualBoardHost::Mode> VirtualBoardHost::modeNamed(const std::string& kind) {
    if (kind == "core") return Mode::core;
    if (kind == "protokoll" || kind == "protocol") return Mode::protocol;
    if (kind == "myburn") return Mode::myBurn;
    if (kind == "myboot") return Mode::myBoot;
    return std::nullopt;
}

bool VirtualBoardHost::options(Mode mode, VirtualBoard::Options& out, std::string& error) {
    out = VirtualBoard::Options();
    // As the pupils' set-up: the board behind the Ravlink adapter, which burns the firmware
    // and passes the measurement through; bytes at the line rate; the experiment in real time.
    out.adapter = true;
    out.realisticTiming = true;
    out.timeScale = 1.0;
    out.registerPort = true;
    if (mode == Mode::myBurn || mode == Mode::myBoot) {
        // The Duvaro module on the board, without the adapter.
        out.adapter = false;
        out.bootloader.kind = mode == Mode::myBurn ? BootloaderOptions::myBurn : BootloaderOptions::myBoot;
    }
    // The simulated ATmega8 runs what is in the board's flash: the firmware answers once it is
    // burnt.
    if (mode == Mode::core) out.core = true;
    if (mode == Mode::off) {
        error = "experiment: kein virtuelles Board gewählt";
        return false;
    }
    return true;
}

bool VirtualBoardHost::start(Mode mode, std::string& error) {
    stop();
    VirtualBoard::Options o;
    if (!options(mode, o, error)) return false;
    auto board = std::make_unique<VirtualBoard>();
    if (!board->start(o)) {
        error = "experiment: Das virtuelle Board konnte nicht gestartet werden: " + board->getError().str();
        return false;
    }
    board_ = std::move(board);
    return true;
}

void VirtualBoardHost::stop() {
    if (board_) board_->stop();
    board_.reset();
}
