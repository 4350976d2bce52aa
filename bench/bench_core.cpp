// The simulated ATmega8 with the shipped firmware and the RC circuit: how many controller
// seconds it runs per wall second, and how evenly the firmware spaces its samples.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "board/SHexFile.h"
#include "sim/SimAvrCore.h"

namespace {

constexpr SimTime ms = 1'000'000;
constexpr SimTime second = 1'000 * ms;

std::vector<uint8_t> shippedFirmware() {
    SHexFile hex;
    SMem image;
    hex.loadFile(SString(std::string(NUK_SOURCE_DIR) + "/resources/firmware.hex"), image);
    return std::vector<uint8_t>(image.getData(), image.getData() + image.getSize());
}

class Discard : public SimSink {
public:
    void send(const uint8_t*, std::size_t, int) override {}
};

double wallSeconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The processor time of this thread, which the machine's other load does not inflate.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A powered controller with the image in its flash that has received "start" at 10 ms.
struct Running {
    explicit Running(const std::vector<uint8_t>& image) {
        memory.setFlash(image);
        core = std::make_unique<SimAvrCore>(circuit, memory);
        core->setSink(&sink);
        core->poll(0);
        core->runUntil(10 * ms);
        for (char c : std::string("start\n")) core->onByte(static_cast<uint8_t>(c), 10 * ms);
    }
    AvrMemory memory;
    RcCircuit circuit;
    Discard sink;
    std::unique_ptr<SimAvrCore> core;
};

// One 60 s measurement cycle (600 samples, 5400 frame bytes) as fast as the machine runs it.
void BM_CoreMeasurementCycle(benchmark::State& state) {
    std::vector<uint8_t> image = shippedFirmware();
    double simulated = 0.0;
    double wall = 0.0;
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        Running board(image);
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        double c0 = cpuSeconds();
        board.core->runUntil(10 * ms + 60 * second);
        cpu += cpuSeconds() - c0;
        wall += wallSeconds(t0);
        simulated += 60.0;
        if (board.core->getSampleCount() < 590) state.SkipWithError("the firmware did not stream");
    }
    state.counters["sim_s_per_wall_s"] = simulated / wall;
    state.counters["sim_s_per_cpu_s"] = simulated / cpu;
}
BENCHMARK(BM_CoreMeasurementCycle)->Unit(benchmark::kMillisecond);

// An image that never sleeps (an endless "inc r16; rjmp .-4"): the instruction rate, the
// floor for any firmware. Above 16 simulated MHz the core keeps real time whatever it runs.
void BM_CoreBusyLoop(benchmark::State& state) {
    std::vector<uint8_t> image = {0x03, 0x95, 0xFE, 0xCF};
    double simulated = 0.0;
    double wall = 0.0;
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        AvrMemory memory;
        memory.setFlash(image);
        RcCircuit circuit;
        SimAvrCore core(circuit, memory);
        core.poll(0);
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        double c0 = cpuSeconds();
        core.runUntil(second);
        cpu += cpuSeconds() - c0;
        wall += wallSeconds(t0);
        simulated += 1.0;
    }
    state.counters["sim_s_per_wall_s"] = simulated / wall;
    state.counters["sim_MHz_per_cpu_s"] = simulated / cpu * SimAvrCore::clockHz / 1e6;
}
BENCHMARK(BM_CoreBusyLoop)->Unit(benchmark::kMillisecond);

// The spacing of the samples on the controller's own clock: the cycle at which the first byte
// of each set of frames leaves the UART, over a 60 s cycle (after the "OK start" line, the
// stream is sets of 9 bytes).
void BM_CoreSampleSpacing(benchmark::State& state) {
    std::vector<uint8_t> image = shippedFirmware();
    double minMs = 0, maxMs = 0, meanMs = 0;
    for (auto _ : state) {
        Running board(image);
        std::vector<uint64_t> cycles;
        board.core->setOutputTap([&cycles](uint64_t cycle, uint8_t) { cycles.push_back(cycle); });
        board.core->runUntil(10 * ms + 60 * second);
        std::vector<double> spacing;
        const std::size_t answer = 9;  // "OK start\n"
        for (std::size_t i = answer + 9; i < cycles.size(); i += 9)
            spacing.push_back(static_cast<double>(cycles[i] - cycles[i - 9]) * 1e3 / SimAvrCore::clockHz);
        if (spacing.empty()) {
            state.SkipWithError("no samples");
            return;
        }
        minMs = *std::min_element(spacing.begin(), spacing.end());
        maxMs = *std::max_element(spacing.begin(), spacing.end());
        std::size_t last = answer + 9 * spacing.size();
        meanMs = static_cast<double>(cycles[last] - cycles[answer]) * 1e3 / SimAvrCore::clockHz /
                 static_cast<double>(spacing.size());
    }
    state.counters["spacing_min_ms"] = minMs;
    state.counters["spacing_max_ms"] = maxMs;
    state.counters["spacing_mean_ms"] = meanMs;
    state.counters["worst_deviation_pct"] = std::max(maxMs - 100.0, 100.0 - minMs);
}
BENCHMARK(BM_CoreSampleSpacing)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
