// Time to load the MCU catalogue (decompress avr.cxf and parse it) and to query it.
#include <benchmark/benchmark.h>

#include "board/AvrMcuXml.h"

namespace {

const SString catalogue = SString(std::string(NUK_BINARY_DIR "/resources/avr.cxf"));

void BM_CatalogueInit(benchmark::State& state) {
    AvrMcuXml mcu;
    mcu.setCatalogueFile(catalogue);
    for (auto _ : state) {
        mcu.reset();
        if (!mcu.init()) state.SkipWithError("catalogue not found; build the resources first");
    }
}
BENCHMARK(BM_CatalogueInit)->Unit(benchmark::kMillisecond);

void BM_CatalogueLookupBySignature(benchmark::State& state) {
    AvrMcuXml mcu;
    mcu.setCatalogueFile(catalogue);
    if (!mcu.init()) state.SkipWithError("catalogue not found");
    for (auto _ : state) benchmark::DoNotOptimize(mcu.getPartName("0x1E9801"));
}
BENCHMARK(BM_CatalogueLookupBySignature)->Unit(benchmark::kMicrosecond);

}  // namespace
