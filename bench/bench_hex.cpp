// Intel HEX throughput: parsing and writing images of 64 KiB and 1 MiB (bytes/s of HEX text).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>

#include "board/SHexFile.h"

namespace {

SMem randomImage(std::size_t size) {
    std::mt19937 gen(static_cast<unsigned>(size));
    SMem image(size);
    for (std::size_t i = 0; i < size; ++i) image.setByte(i, static_cast<uint8_t>(gen()));
    return image;
}

SString hexText(std::size_t size) {
    SHexFile hex;
    SString text;
    hex.getHexCodeFromBin(randomImage(size), text);
    return text;
}

void BM_HexParse(benchmark::State& state) {
    const SString text = hexText(static_cast<std::size_t>(state.range(0)));
    SHexFile hex;
    SMem image;
    for (auto _ : state) {
        bool ok = hex.getBinCodeFromString(text, image);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(image.getData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_HexParse)->Arg(64 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);

// Formatting only, without the file.
void BM_HexFormat(benchmark::State& state) {
    const SMem image = randomImage(static_cast<std::size_t>(state.range(0)));
    SHexFile hex;
    SString text;
    for (auto _ : state) {
        hex.getHexCodeFromBin(image, text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_HexFormat)->Arg(64 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);

// saveFile and loadFile with a file in the temporary directory.
void BM_HexSaveFile(benchmark::State& state) {
    const SMem image = randomImage(static_cast<std::size_t>(state.range(0)));
    const SString name(std::string("/tmp/bench_hex_") + std::to_string(getpid()) + ".hex");
    SHexFile hex;
    for (auto _ : state) benchmark::DoNotOptimize(hex.saveFile(name, image));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(hexText(image.getSize()).size()));
    std::remove(name.c_str());
}
BENCHMARK(BM_HexSaveFile)->Arg(64 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);

void BM_HexLoadFile(benchmark::State& state) {
    const SMem image = randomImage(static_cast<std::size_t>(state.range(0)));
    const SString name(std::string("/tmp/bench_hex_") + std::to_string(getpid()) + ".hex");
    SHexFile hex;
    hex.saveFile(name, image);
    SMem back;
    for (auto _ : state) benchmark::DoNotOptimize(hex.loadFile(name, back));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(hexText(image.getSize()).size()));
    std::remove(name.c_str());
}
BENCHMARK(BM_HexLoadFile)->Arg(64 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);

}  // namespace
