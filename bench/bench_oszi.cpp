// The oscilloscopes of diagram 300 (physik.repo) at their sample limit: one full paint of both
// into an image of the pane's size, and the diagram's 200 ms poll with and without new data.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>

#include "gui/SQtDrawDevice.h"
#include "repo/ViewElementData.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "view/KeloProjectData.h"
#include "view/Painter_Oszi.h"

namespace {

// Text needs a GUI application; the benchmark runs headless.
void ensureApplication() {
    static int argc = 1;
    static char name[] = "bench_oszi";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() != nullptr) return;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

// The two oscilloscopes of the shipped repository, bound to their channels.
struct Diagram {
    ExtData_ReceiverBuffered charging;
    ExtData_ReceiverBuffered discharging;
    KeloProjectData project;
    Painter_Oszi scopes[2];

    Diagram() {
        for (ExtData_ReceiverBuffered* channel : {&charging, &discharging}) {
            channel->setType(ExtData::typeUInt16);
            channel->getRing().setCapacity(2000);
        }
        project.getExtDataManager().add("Aufladen", &charging);
        project.getExtDataManager().add("Entladen", &discharging);
        if (!project.getRepo().openProject(SString("ini:" NUK_SOURCE_DIR "/resources/physik.repo")))
            std::abort();
        scopes[0].init(project.getRepo().getViewList().find(203), &project, 3);
        scopes[1].init(project.getRepo().getViewList().find(204), &project, 3);
        // One and a half phases of an RC curve (tau = 4.7 s, 10 samples/s): beyond the limit.
        for (int k = 0; k < 450; ++k) {
            const double t = (k % 300) / 10.0;
            put(charging, static_cast<int>(1023.0 * (1.0 - std::exp(-t / 4.7))));
            put(discharging, static_cast<int>(1023.0 * std::exp(-t / 4.7)));
        }
        for (Painter_Oszi& scope : scopes) scope.update();
    }
    static void put(ExtData_ReceiverBuffered& channel, int value) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
        channel.getRing().put(bytes, 2);
    }
};

void BM_OsziPaintBoth(benchmark::State& state) {
    ensureApplication();
    Diagram diagram;
    // The "Durchführung" pane: 870 x 630 pixels.
    QImage image(870, 630, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        SQtDrawDevice device(painter);
        device.setDiagramMapping();
        for (Painter_Oszi& scope : diagram.scopes) scope.paint(device);
    }
    state.counters["samples"] = diagram.scopes[0].getChannels().getAt(0)->values.getSize() +
                                diagram.scopes[1].getChannels().getAt(0)->values.getSize();
}
BENCHMARK(BM_OsziPaintBoth)->Unit(benchmark::kMillisecond);

void BM_OsziPollNothingNew(benchmark::State& state) {
    Diagram diagram;
    for (auto _ : state) {
        bool changed = false;
        for (Painter_Oszi& scope : diagram.scopes) changed |= scope.update();
        benchmark::DoNotOptimize(changed);
    }
}
BENCHMARK(BM_OsziPollNothingNew)->Unit(benchmark::kMicrosecond);

// Two samples per channel and poll (10 samples/s, 200 ms): appended, the oldest dropped.
void BM_OsziPollTwoSamples(benchmark::State& state) {
    Diagram diagram;
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            Diagram::put(diagram.charging, 512);
            Diagram::put(diagram.discharging, 512);
        }
        bool changed = false;
        for (Painter_Oszi& scope : diagram.scopes) changed |= scope.update();
        benchmark::DoNotOptimize(changed);
    }
}
BENCHMARK(BM_OsziPollTwoSamples)->Unit(benchmark::kMicrosecond);

// The evaluation after a half cycle, on the GUI thread: both oscilloscopes' 300 samples split
// and fitted, the result boxes' texts made.
void BM_OsziEvaluateBoth(benchmark::State& state) {
    Diagram diagram;
    for (auto _ : state)
        for (Painter_Oszi& scope : diagram.scopes) scope.evaluate();
}
BENCHMARK(BM_OsziEvaluateBoth)->Unit(benchmark::kMillisecond);

// A full paint of both with what the evaluation adds: three kept runs behind the curve, the
// fitted curve, two cursors and the result box.
void BM_OsziPaintBothEvaluated(benchmark::State& state) {
    ensureApplication();
    Diagram diagram;
    SEvent clear;
    clear.type = eventApplication;
    clear.code = codeClear;
    for (int run = 0; run < 3; ++run) {
        for (Painter_Oszi& scope : diagram.scopes) scope.onEvent(clear);
        for (int k = 0; k < 300; ++k) {
            const double t = k / 10.0;
            const double tau = 3.0 + run;
            Diagram::put(diagram.charging, static_cast<int>(1023.0 * (1.0 - std::exp(-t / tau))));
            Diagram::put(diagram.discharging, static_cast<int>(1023.0 * std::exp(-t / tau)));
        }
        for (Painter_Oszi& scope : diagram.scopes) scope.update();
    }
    QImage image(870, 630, QImage::Format_ARGB32_Premultiplied);
    auto paint = [&] {
        QPainter painter(&image);
        SQtDrawDevice device(painter);
        device.setDiagramMapping();
        for (Painter_Oszi& scope : diagram.scopes) scope.paint(device);
    };
    paint();
    for (Painter_Oszi& scope : diagram.scopes) {
        scope.evaluate();
        const SOsziValues& values = scope.getChannels().getAt(0)->values;
        scope.setCursorAt(SPoint{values[10].xCoord, values[10].yCoord});
        scope.setCursorAt(SPoint{values[47].xCoord, values[47].yCoord});
    }
    for (auto _ : state) paint();
    state.counters["runs"] = static_cast<double>(diagram.scopes[0].getEvaluation().getRuns().size());
}
BENCHMARK(BM_OsziPaintBothEvaluated)->Unit(benchmark::kMillisecond);

}  // namespace
