// From the Start key (F5) to the first sample in the oscilloscope "Aufladen", in the real main
// window (offscreen) against the virtual board at its line rate and in real time: the firmware
// dialogue, the board's own pause before the first sample, the channel and the diagram's poll.
// range(0): 0 the board attached directly, 1 behind the Ravlink adapter (the direct "ver" gets
// no answer first, then the adapter is found and switched to pass-through).
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <QApplication>
#include <QTest>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/StartupEnvironment.h"
#include "browser/SIEControl.h"
#include "compat/QtWidgets.h"
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

// The folder the program runs from, with a resource.ini that leads to the experiment's files;
// main prepares it before the QApplication exists.
const std::string& programFolder() {
    static const std::string dir = platform::tempDirectory() + "bench_start_key";
    return dir;
}

bool prepareFolder() {
    const std::string& dir = programFolder();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::create_directories(dir + "/NUK-Resourcen", ignored);
    setenv("NUK_COMPORTS", (dir + "/comports.ini").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    // A program file without archive: the resources come from the folders.
    if (FILE* program = std::fopen((dir + "/experiment").c_str(), "wb")) std::fclose(program);
    FILE* ini = std::fopen((dir + "/NUK-Resourcen/resource.ini").c_str(), "wb");
    if (!ini) return false;
    std::fprintf(ini, "[StandardResourcePath]\r\nquellen=%s/resources\r\nbuild=%s/resources\r\n",
                 NUK_SOURCE_DIR, NUK_BINARY_DIR);
    std::fclose(ini);
    return true;
}

bool prepared = false;

// The program as its entry function starts it, once, with the QApplication main made.
bool startProgram() {
    static int started = 0;
    if (started != 0) return started > 0;
    started = -1;
    if (!prepared) return false;
    SStringList arguments;
    arguments.add(SString(programFolder() + "/experiment"));
    if (!globalApplication().init(arguments)) return false;
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
    qtcompat::activateWindow(fenster.getWidget());
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
BENCHMARK(BM_StartKeyToFirstSample)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(benchsmoke::iterations(8))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Its own entry function, as the program has one: the QApplication lives on main's stack, so
// the windows (with their browsers) and then the application end before the exit handlers
// destroy Qt's and the browser engine's statics. An application kept in a static would outlive
// them and crash at exit.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    prepared = StartupEnvironment::apply({"bench_start_key"}) && prepareFolder();
    SIEControl::prepareEngine();
    QApplication qt(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    globalApplication().shutdown();
    benchmark::Shutdown();
    return 0;
}
