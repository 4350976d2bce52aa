// Burn time of an 8 KiB image through each bootloader of the virtual board at its baud rate,
// with the line's byte timing and the flash's programming time, against the wire limit
// (bytes * 10 / baud). The time runs from the first block to the last acknowledgement.
#include <benchmark/benchmark.h>

#include <chrono>

#include "board/SAvrProgControl.h"
#include "board/SDuvaroBurner.h"
#include "sim/VirtualBoard.h"
#include "stream/SComPort.h"

namespace {

constexpr int imageSize = 8192;
// The ATmega8 writes a 64-byte page in about 4.5 ms.
constexpr int64_t programNsPerByte = 4'500'000 / 64;

double nowS() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

SMem image() {
    SMem m(imageSize);
    for (int i = 0; i < imageSize; ++i) m.setByte(static_cast<std::size_t>(i), static_cast<uint8_t>(i * 7 + (i >> 8)));
    return m;
}

bool startBoard(VirtualBoard& board, BootloaderOptions::Kind kind, int newBaud) {
    VirtualBoard::Options o;
    o.realisticTiming = true;
    o.bootloader.kind = kind;
    o.bootloader.flashSpace = AvrMemory::flashSize;
    o.bootloader.newBaud = newBaud;
    o.bootloader.programNsPerByte = programNsPerByte;
    return board.start(o);
}

void report(benchmark::State& state, double seconds, int baud) {
    const double wire = imageSize * 10.0 / baud;
    state.SetIterationTime(seconds);
    state.counters["burn_s"] = seconds;
    state.counters["wire_s"] = wire;
    state.counters["ratio"] = seconds / wire;
}

struct Timing : SDuvaroBurner::Display {
    double first = 0, last = 0;
    void showStatus(const SString&, int) override {}
    void showPicture(const SString&) override {}
    void showProgress(int position, int maximum) override {
        if (position == 0 && first == 0) first = nowS();
        if (position == maximum) last = nowS();
    }
};

// myBurn at 19200 baud, or switched to a faster rate after the handshake.
void BM_MyBurn(benchmark::State& state) {
    const int newBaud = static_cast<int>(state.range(0));
    SMem flash = image();
    for (auto _ : state) {
        VirtualBoard board;
        if (!startBoard(board, BootloaderOptions::myBurn, newBaud)) {
            state.SkipWithError("board");
            return;
        }
        SDuvaroBurner burner;
        Timing timing;
        burner.setDisplay(&timing);
        burner.setPort(board.getDevicePath());
        if (!burner.burn(&flash, nullptr)) {
            state.SkipWithError(burner.getError().c_str());
            return;
        }
        report(state, timing.last - timing.first, newBaud != 0 ? newBaud : 19200);
    }
}
BENCHMARK(BM_MyBurn)->Arg(0)->Arg(57600)->Arg(115200)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// myBoot, always at 19200 baud.
void BM_MyBoot(benchmark::State& state) {
    SMem flash = image();
    for (auto _ : state) {
        VirtualBoard board;
        if (!startBoard(board, BootloaderOptions::myBoot, 0)) {
            state.SkipWithError("board");
            return;
        }
        SComPort port;
        port.getSettings().fromString(board.getDevicePath() + SString(std::string(",19200")));
        SAvrBoardData data;
        data.comPort = &port;
        SAvrProgControl prog(&data);
        struct Times {
            double first = 0, last = 0;
        } times;
        prog.setProgress(
            [](void* context, int done, int total) {
                auto* t = static_cast<Times*>(context);
                if (done == 0) t->first = nowS();
                if (done == total) t->last = nowS();
            },
            &times);
        if (!prog.writeData(flash)) {
            state.SkipWithError(prog.getError().c_str());
            return;
        }
        port.close();
        report(state, times.last - times.first, 19200);
    }
}
BENCHMARK(BM_MyBoot)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
