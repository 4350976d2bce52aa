// Evaluation of one half cycle (300 samples: 63 % point, ln line and the exponential fit) as it
// runs after each half cycle on the GUI thread, and a whole four-half-cycle record split first.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "analysis/HalfCycleSplitter.h"
#include "analysis/TauEvaluation.h"

namespace {

// The board's values: 10 per second, 10-bit ADC of 5 V, about one count of noise.
Curve halfCycle(bool charging, double start, unsigned seed, double t0 = 0.0) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-1, 1);
    const double end = charging ? 5.0 : 0.0;
    Curve c;
    for (int i = 0; i < 300; ++i) {
        const double t = i / 10.0;
        const double u = end + (start - end) * std::exp(-t / 4.7);
        const double counts = std::clamp(std::round(u / 5.0 * 1023.0) + noise(rng), 0.0, 1023.0);
        c.push_back({t0 + t, counts * 5.0 / 1023.0});
    }
    return c;
}

void BM_TauHalfCycle(benchmark::State& state) {
    const Curve curve = halfCycle(state.range(0) != 0, state.range(0) != 0 ? 0.0 : 4.99, 3);
    for (auto _ : state) {
        TauResult r = evaluateHalfCycle(curve);
        if (!r.fit.ok) state.SkipWithError("no fit");
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_TauHalfCycle)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_TauRecord(benchmark::State& state) {
    Curve record;
    for (int h = 0; h < 4; ++h) {
        const Curve part = halfCycle(h % 2 == 0, h % 2 == 0 ? 0.0 : 4.99, 10 + h, 30.0 * h);
        record.insert(record.end(), part.begin(), part.end());
    }
    for (auto _ : state) {
        int found = 0;
        for (const HalfCycleSegment& s : splitHalfCycles(record))
            found += evaluateHalfCycle(segmentCurve(record, s), s.kind).fit.ok ? 1 : 0;
        if (found != 4) state.SkipWithError("not four fits");
    }
}
BENCHMARK(BM_TauRecord)->Unit(benchmark::kMicrosecond);

}  // namespace
