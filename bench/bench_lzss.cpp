// LZSS codec throughput: compress and decompress of XML text like the MCU catalogue and of random
// bytes (bytes/s of uncompressed data); the counter "ratio" is compressed size / original size.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "foundation/SKompress.h"

namespace {

// A catalogue of parts in XML: repeated tags and attribute names, varying names and numbers.
std::string xmlText(std::size_t size) {
    std::mt19937 rng(1);
    auto pick = [&](std::initializer_list<const char*> words) { return words.begin()[rng() % words.size()]; };
    auto hex = [&](int digits) {
        static const char d[] = "0123456789ABCDEF";
        std::string s = "0x";
        for (int i = 0; i < digits; ++i) s += d[rng() % 16];
        return s;
    };
    std::string s = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<avrparts>\r\n";
    while (s.size() < size) {
        const std::string name =
            std::string(pick({"ATmega", "ATtiny", "AT90S", "ATxmega"})) + std::to_string(rng() % 2560);
        s += "  <part id=\"" + name + "\" desc=\"" + name + "\" signature=\"" + hex(6) + "\" flash=\"" +
             std::to_string(1024u << (rng() % 8)) + "\" eeprom=\"" + std::to_string(64u << (rng() % 6)) +
             "\">\r\n";
        s += "    <!-- " +
             std::string(pick({"Standard-Teil", "mit Bootloader", "ohne EEPROM-Seiten", "Auslaufmodell"})) +
             " -->\r\n";
        for (int m = 2 + static_cast<int>(rng() % 4); m > 0; --m) {
            s += "    <memory type=\"" +
                 std::string(pick(
                     {"flash", "eeprom", "lfuse", "hfuse", "efuse", "lock", "signature", "calibration"})) +
                 "\" size=\"" + std::to_string(rng() % 65536) + "\" page_size=\"" +
                 std::to_string(1u << (rng() % 9)) + "\" min_write_delay=\"" +
                 std::to_string(3000 + rng() % 10000) + "\" readback=\"" + hex(2) + " " + hex(2) + "\">\r\n";
            s += "      <read>0 0 1 1  0 0 0 0  0 0 0 x  x x x x  a7 a6 a5 a4  a3 a2 a1 a0  o o o o  o o o "
                 "o</read>\r\n";
            s += "      <write>" +
                 std::string(pick({"1 1 0 0  0 0 0 0", "0 1 0 0  1 1 0 0", "1 0 1 0  1 1 0 0"})) +
                 "  x x x x  x x x x  i i i i  i i i i</write>\r\n";
            s += "    </memory>\r\n";
        }
        s += "  </part>\r\n";
    }
    s += "</avrparts>\r\n";
    return s;
}

SMem sample(int kind) {
    constexpr std::size_t size = 400 * 1024;
    SMem m;
    if (kind == 0) {
        const std::string text = xmlText(size);
        m.append(text.data(), text.size());
    } else {
        std::mt19937 rng(2);
        for (std::size_t i = 0; i < size; ++i) m.appendByte(static_cast<uint8_t>(rng()));
    }
    return m;
}

void setLabels(benchmark::State& state, const SMem& plain, const SMem& packed) {
    state.SetLabel(state.range(0) == 0 ? "xml" : "random");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(plain.getSize()));
    state.counters["ratio"] = static_cast<double>(packed.getSize()) / static_cast<double>(plain.getSize());
}

void BM_LzssCompress(benchmark::State& state) {
    const SMem plain = sample(static_cast<int>(state.range(0)));
    SKompress k;
    SMem packed;
    for (auto _ : state) {
        packed = k.compress(plain);
        benchmark::DoNotOptimize(packed.getData());
    }
    setLabels(state, plain, packed);
}
BENCHMARK(BM_LzssCompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LzssDecompress(benchmark::State& state) {
    const SMem plain = sample(static_cast<int>(state.range(0)));
    SKompress k;
    const SMem packed = k.compress(plain);
    SMem out;
    for (auto _ : state) {
        bool ok = k.decompress(packed, out);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.getData());
    }
    if (!(out == plain)) state.SkipWithError("decompressed bytes differ");
    setLabels(state, plain, packed);
}
BENCHMARK(BM_LzssDecompress)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
