// Burning and verifying an 8 KiB image at 19200 baud on the virtual board with the real part's
// timing: our AVR911 back-end (checksum verify) against avrdude -c avr911 (read-back verify) on
// the same board. The wire alone takes 8192 * 10 / 19200 = 4.27 s.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/AvrMcuXml.h"
#include "board/SAvrProg911.h"
#include "board/SHexFile.h"
#include "platform/Paths.h"
#include "sim/VirtualBoard.h"
#include "stream/SComPort.h"

namespace {

constexpr std::size_t imageSize = 8192;
double oursSeconds = 0.0;

SMem image() {
    SMem m(imageSize);
    for (std::size_t i = 0; i < imageSize; ++i) m.setByte(i, static_cast<uint8_t>(i * 7 + (i >> 8)));
    return m;
}

bool startBoard(VirtualBoard& board, benchmark::State& state) {
    VirtualBoard::Options o;
    o.adapter = true;
    o.realisticTiming = true;
    if (board.start(o)) return true;
    state.SkipWithError(board.getError().c_str());
    return false;
}

void BM_BurnOurs(benchmark::State& state) {
    globalAvrMcuXml().setCatalogueFile(SString(std::string(NUK_BINARY_DIR "/resources/avr.cxf")));
    VirtualBoard board;
    if (!startBoard(board, state)) return;
    SComPort port;
    port.getSettings().fromString(board.getDevicePath() + SString::raw(",19200,N,8,1"));
    port.open();
    SAvrBoardData data;
    data.comPort = &port;
    data.port = board.getDevicePath() + SString::raw(",19200");
    data.mcuXml = &globalAvrMcuXml();
    SAvrProg911 prog(&data);
    double total = 0.0;
    for (auto _ : state) {
        SMapStringToMem jobs;
        jobs.set(SString::raw("write-flash"), image());
        const auto begin = std::chrono::steady_clock::now();
        if (!prog.execute(jobs)) {
            state.SkipWithError(prog.getError().c_str());
            break;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.SetIterationTime(s);
        total += s;
    }
    oursSeconds = total / static_cast<double>(state.iterations());
    state.counters["seconds"] = oursSeconds;
    state.counters["wire_s"] = imageSize * 10.0 / 19200.0;
}

void BM_BurnAvrdude(benchmark::State& state) {
    if (std::system("avrdude -? > /dev/null 2>&1") != 0 &&
        std::system("command -v avrdude > /dev/null") != 0) {
        state.SkipWithError("avrdude is not installed");
        return;
    }
    VirtualBoard board;
    if (!startBoard(board, state)) return;
    const std::string hex = platform::tempDirectory() + "bench_burn.hex";
    SHexFile file;
    file.saveFile(SString(hex), image());
    const std::string command = "avrdude -q -q -c avr911 -p m8 -b 19200 -P " + board.getDevicePath().str() +
                                " -U flash:w:" + hex + ":i 2>&1";
    double total = 0.0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        const int rc = std::system(command.c_str());
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (rc != 0) {
            state.SkipWithError("avrdude failed");
            break;
        }
        state.SetIterationTime(s);
        total += s;
    }
    std::remove(hex.c_str());
    const double avrdude = total / static_cast<double>(state.iterations());
    state.counters["seconds"] = avrdude;
    if (oursSeconds > 0.0) state.counters["ours_to_avrdude"] = oursSeconds / avrdude;
}

BENCHMARK(BM_BurnOurs)->UseManualTime()->Iterations(benchsmoke::iterations(3))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BurnAvrdude)
    ->UseManualTime()
    ->Iterations(benchsmoke::iterations(3))
    ->Unit(benchmark::kMillisecond);

}  // namespace
