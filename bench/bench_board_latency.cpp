// The delay from a byte the virtual board writes to its pseudo-terminal to that byte in a data
// channel's ring: pseudo-terminal, the serial port's reader thread and the stream splitter.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/SApplicationBasic.h"
#include "sim/VirtualBoard.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "stream/SComPortSplitter.h"

namespace {

constexpr std::size_t maxSamples = 4096;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Times the board's writes of frame sets and the arrival of the U_C frame of each set.
struct Timeline {
    std::array<std::atomic<int64_t>, maxSamples> written{};
    std::array<std::atomic<int64_t>, maxSamples> arrived{};
    std::atomic<std::size_t> writes{0};
    std::atomic<std::size_t> arrivals{0};
};

// The U_C channel, noting when each frame has landed in its ring.
class TimedChannel : public ExtData_ReceiverBuffered {
public:
    explicit TimedChannel(Timeline& t) : t_(t) {}
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override {
        bool ok = ExtData_ReceiverBuffered::receive(frame, length, id, userValue);
        int64_t now = nowNs();
        std::size_t i = t_.arrivals.fetch_add(1);
        if (i < maxSamples) t_.arrived[i] = now;
        return ok;
    }

private:
    Timeline& t_;
};

// range(0): 1 with realistic timing (the bytes of a frame set follow each other at 115200
// baud), 0 without.
void BM_BoardToChannelRing(benchmark::State& state) {
    const bool realistic = state.range(0) != 0;
    Timeline timeline;
    VirtualBoard::Options options;
    options.seed = 1;
    options.timeScale = 20.0;  // 200 frame sets a second
    options.realisticTiming = realistic;
    // Follows the written stream: the answer line of "start", then frames of 3 bytes; notes the
    // write that carried the last byte of each U_C frame (id 3).
    bool inAnswer = true;
    int position = 0;
    uint8_t id = 0;
    options.onWrite = [&](SimTime when, const uint8_t* bytes, int count) {
        for (int i = 0; i < count; ++i) {
            if (inAnswer) {
                inAnswer = bytes[i] != '\n';
                continue;
            }
            if (position == 0) id = bytes[i];
            if (++position < 3) continue;
            position = 0;
            if (id != 3) continue;
            std::size_t n = timeline.writes.fetch_add(1);
            if (n < maxSamples) timeline.written[n] = when;
        }
    };
    VirtualBoard board;
    if (!board.start(options)) {
        state.SkipWithError(board.getError().c_str());
        return;
    }
    // All four channels of the experiment, so that the splitter knows every id; only U_C is timed.
    SComPortSplitter port;
    TimedChannel channel(timeline);
    std::array<ExtData_ReceiverBuffered, 3> others;
    channel.setup(3, 2);
    channel.setBufferSize(1000);
    port.connect(&channel, 0);
    const uint32_t otherIds[] = {1, 2, 4};
    for (std::size_t i = 0; i < others.size(); ++i) {
        others[i].setup(otherIds[i], 2);
        others[i].setBufferSize(1000);
        port.connect(&others[i], 0);
    }
    port.getSettings().fromString(board.getDevicePath() + SString(std::string(",115200,N,8,1")));
    if (!port.open()) {
        state.SkipWithError("the port does not open");
        return;
    }
    port.purge();
    port.setSuspended(1);
    port.writeText(SString(std::string("start\n")));
    SString answer;
    port.readUntil(answer, 500, SString(std::string("\n")));
    port.setSuspended(0);

    std::vector<double> latencies;
    std::size_t next = 0;
    for (auto _ : state) {
        while (timeline.arrivals.load() <= next || timeline.writes.load() <= next)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        double seconds = static_cast<double>(timeline.arrived[next] - timeline.written[next]) * 1e-9;
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1e6);
        if (++next == maxSamples) break;
    }
    port.setSuspended(1);
    port.writeText(SString(std::string("stop\n")));
    port.close();
    board.stop();

    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double q) { return latencies[static_cast<std::size_t>(q * (latencies.size() - 1))]; };
    state.counters["p50_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = latencies.back();
}

BENCHMARK(BM_BoardToChannelRing)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(benchsmoke::iterations(1000))
    ->Unit(benchmark::kMicrosecond);

}  // namespace
