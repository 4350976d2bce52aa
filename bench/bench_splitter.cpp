// Stream splitter throughput on the experiment's measurement stream, against the line rate.
// At 115200 baud (8N1, ten bits per byte) the board can deliver at most 11520 bytes/s; the
// counter line_rate_factor says how many times faster the splitter and its channels take them.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <vector>

#include "stream/ExtDataSetup.h"
#include "stream/SStreamSplitter.h"

namespace {

constexpr double lineBytesPerSecond = 115200.0 / 10.0;

// One 60 s cycle at 10 samples/s: 30 s charging (ids 1, 3, 4), 30 s discharging (ids 2, 3, 4);
// every frame is one id byte and a 16-bit ADC value.
std::vector<uint8_t> experimentCycle() {
    std::vector<uint8_t> bytes;
    for (int k = 0; k < 600; ++k) {
        const bool charging = k < 300;
        const int uc = charging ? 1023 * k / 300 : 1023 - 1023 * (k - 300) / 300;
        const int ur = charging ? 1023 - uc : uc;
        for (auto [id, value] : {std::pair{charging ? 1 : 2, uc}, std::pair{3, uc}, std::pair{4, ur}}) {
            bytes.push_back(static_cast<uint8_t>(id));
            bytes.push_back(static_cast<uint8_t>(value & 0xFF));
            bytes.push_back(static_cast<uint8_t>(value >> 8));
        }
    }
    return bytes;
}

// The splitter with the four channels of the shipped extdata.ini, as the program sets it up.
struct Experiment {
    std::array<ExtData_ReceiverBuffered, 6> channel;
    ExtDataManager manager;
    SStreamSplitter splitter;
    Experiment() {
        SFileIni ini;
        ini.open(SString(std::string(NUK_SOURCE_DIR "/resources/extdata.ini")), false, true);
        ExtDataSetup::setupChannels(
            ini, {&channel[0], &channel[1], &channel[2], &channel[3], &channel[4], &channel[5]}, splitter,
            manager);
    }
};

void run(benchmark::State& state, SStreamSplitter& splitter, const std::vector<uint8_t>& stream) {
    for (auto _ : state)
        for (uint8_t b : stream) splitter.onStreamData(b);
    const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(stream.size());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["line_rate_factor"] =
        benchmark::Counter(bytes / lineBytesPerSecond, benchmark::Counter::kIsRate);
}

void BM_SplitterExperiment(benchmark::State& state) {
    Experiment e;
    if (e.manager.getList().getCount() != 4) state.SkipWithError("extdata.ini did not give four channels");
    run(state, e.splitter, experimentCycle());
    if (!e.splitter.getError().isEmpty()) state.SkipWithError("framing error");
}
BENCHMARK(BM_SplitterExperiment)->Unit(benchmark::kMicrosecond);

// The same with a receiver on id 0 that taps every byte into a ring (three connector passes).
void BM_SplitterExperimentWithRawTap(benchmark::State& state) {
    Experiment e;
    ReceiverBuffered tap;
    tap.setup(0, 1);
    tap.setBufferSize(4096);
    e.splitter.connect(&tap, 0);
    run(state, e.splitter, experimentCycle());
}
BENCHMARK(BM_SplitterExperimentWithRawTap)->Unit(benchmark::kMicrosecond);

// Large frames behind a 16-bit length: the per-byte cost without the per-frame work.
void BM_SplitterLengthPrefixed(benchmark::State& state) {
    ReceiverBuffered r;
    r.setup(9, 1, Receiver::lengthPrefix16);
    r.setBufferSize(64 * 1024);
    SStreamSplitter splitter;
    splitter.connect(&r, 0);
    std::vector<uint8_t> stream;
    for (int f = 0; f < 16; ++f) {
        stream.insert(stream.end(), {9, 0x00, 0x04});  // 1024 bytes
        for (int i = 0; i < 1024; ++i) stream.push_back(static_cast<uint8_t>(i));
    }
    run(state, splitter, stream);
}
BENCHMARK(BM_SplitterLengthPrefixed)->Unit(benchmark::kMicrosecond);

}  // namespace
