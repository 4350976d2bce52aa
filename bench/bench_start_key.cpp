// From the Start key (F5) to the first sample in the oscilloscope "Aufladen", in the real main
// window (offscreen) against the virtual board at its line rate and in real time: the firmware
// dialogue, the board's own pause before the first sample, the channel and the diagram's poll.
// range(0): 0 the board attached directly, 1 behind the Ravlink adapter (the direct "ver" gets
// no answer first, then the adapter is found and switched to pass-through).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QTest>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/StartupEnvironment.h"
#include "browser/SIEControl.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "gui/SApplication.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "sim/VirtualBoard.h"
#include "view/Painter_Oszi.h"

namespace {

bool waitFor(const std::function<bool()>& condition, int ms) {
    const int64_t deadline = platform::monotonicMs() + ms;
    while (!condition()) {
        if (platform::monotonicMs() > deadline) return false;
        SApplicationBasic::wait(1);
    }
    return true;
}

int samples() {
    auto* oszi = dynamic_cast<Painter_Oszi*>(globalFenster().findPainter(203));
    return oszi && oszi->getChannels().getSize() > 0 ? oszi->getChannels().getAt(0)->values.getSize() : 0;
}

// The program as its entry function starts it, once, in a folder of its own whose resource.ini
// leads to the experiment's files.
bool startProgram() {
    static int started = 0;
    static std::unique_ptr<QApplication> qt;
    if (started != 0) return started > 0;
    started = -1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!StartupEnvironment::apply({"bench_start_key"})) return false;
    const std::string dir = platform::tempDirectory() + "bench_start_key";
    const std::string comPorts = dir + "/comports.ini";
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/NUK-Resourcen'").c_str());
    setenv("NUK_COMPORTS", comPorts.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    // A program file without archive: the resources come from the folders.
    if (FILE* program = std::fopen((dir + "/experiment").c_str(), "wb")) std::fclose(program);
    FILE* ini = std::fopen((dir + "/NUK-Resourcen/resource.ini").c_str(), "wb");
    if (!ini) return false;
    std::fprintf(ini, "[StandardResourcePath]\r\nquellen=%s/resources\r\nbuild=%s/resources\r\n", NUK_SOURCE_DIR,
                 NUK_BINARY_DIR);
    std::fclose(ini);
    SIEControl::prepareEngine();
    static int argc = 1;
    static char name[] = "bench_start_key";
    static char* argv[] = {name, nullptr};
    qt = std::make_unique<QApplication>(argc, argv);
    SStringList arguments;
    arguments.add(SString(dir + "/experiment"));
    if (!globalApplication().init(arguments)) return false;
    // The browsers go before the QApplication, as in the program's entry function.
    static struct Shutdown {
        ~Shutdown() { globalApplication().shutdown(); }
    } shutdown;
    globalError().setMessageSink([](const SString& text, const SString&, unsigned) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return 1;
    });
    if (!waitFor([] { return globalFenster().findPainter(203) != nullptr; }, 10000)) return false;
    started = 1;
    return true;
}

void BM_StartKeyToFirstSample(benchmark::State& state) {
    if (!startProgram()) {
        state.SkipWithError("the program did not start");
        return;
    }
    Fenster& fenster = globalFenster();
    VirtualBoard board;
    VirtualBoard::Options options;
    options.seed = 3;
    options.registerPort = true;
    options.realisticTiming = true;
    options.adapter = state.range(0) != 0;
    if (!board.start(options)) {
        state.SkipWithError(board.getError().c_str());
        return;
    }
    fenster.showPage("Durchf\xFChrung");
    QApplication::setActiveWindow(fenster.getWidget());
    double fastest = 1e9, slowest = 0.0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        QTest::keyClick(fenster.getWidget(), Qt::Key_F5);
        const bool arrived = waitFor([] { return samples() > 0; }, 5000);
        const auto end = std::chrono::steady_clock::now();
        if (!arrived) {
            state.SkipWithError("no sample within 5 s");
            break;
        }
        const double seconds = std::chrono::duration<double>(end - begin).count();
        state.SetIterationTime(seconds);
        fastest = std::min(fastest, seconds * 1000.0);
        slowest = std::max(slowest, seconds * 1000.0);
        QTest::keyClick(fenster.getWidget(), Qt::Key_F6);
        SApplicationBasic::wait(300);
    }
    board.stop();
    state.counters["min_ms"] = fastest;
    state.counters["max_ms"] = slowest;
}
BENCHMARK(BM_StartKeyToFirstSample)->Arg(0)->Arg(1)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
