#include "app/VirtualBoardHost.h"

// The messages are for the terminal, so they are UTF-8.
namespace {

const std::string option = "--virtual-board";

}  // namespace

VirtualBoardHost::Choice VirtualBoardHost::choose(const std::vector<std::string>& arguments) {
    Choice choice;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == option) {
            choice.mode = Mode::protocol;
        } else if (a.rfind(option + "=", 0) == 0) {
            const std::string value = a.substr(option.size() + 1);
            if (value == "core") {
                choice.mode = Mode::core;
            } else if (value == "protokoll" || value == "protocol") {
                choice.mode = Mode::protocol;
            } else if (value == "myburn") {
                choice.mode = Mode::myBurn;
            } else if (value == "myboot") {
                choice.mode = Mode::myBoot;
            } else {
                choice.ok = false;
                choice.message = "experiment: unbekannte Art des virtuellen Boards '" + value +
                                 "'; mögliche Angaben: --virtual-board oder --virtual-board=core|myburn|myboot";
                return choice;
            }
        }
    }
    return choice;
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
