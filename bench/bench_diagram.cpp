// The live diagram 300 of the experiment: one full paint in the pane's size with both
// oscilloscopes at their sample limit, one poll with nothing new, and one second of a running
// measurement (10 samples/s: five polls, each repainting the changed objects) as a share of
// one core of the GUI thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include "foundation/SFileIni.h"
#include "foundation/SMem.h"
#include "gui/SQtDrawDevice.h"
#include "stream/ExtDataSetup.h"
#include "view/KeloProject.h"
#include "view/Painter_Oszi.h"

namespace {

constexpr int paneWidth = 870;
constexpr int paneHeight = 630;
constexpr double dpi = 96.0;

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Text needs a GUI application; the benchmark runs headless. The application is a static made
// in place: its destructor then runs at exit before those of the Qt statics its constructor
// set up (a static pointer made earlier would delete it after them, and crash).
void ensureApplication() {
    if (QGuiApplication::instance() != nullptr) return;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "bench_diagram";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// Collects the areas a poll asks to repaint, as window pixels.
class Host : public ViewHostWindow {
public:
    void invalidate(const SRect& r) override {
        const double s = dpi / 2540.0;
        region += QRect(
            QPoint(static_cast<int>(std::floor(r.x * s)) - 1, static_cast<int>(std::floor(-r.y * s)) - 1),
            QPoint(static_cast<int>(std::ceil((r.x + r.width) * s)) + 1,
                   static_cast<int>(std::ceil(-(r.y + r.height) * s)) + 1));
    }
    void invalidateAll() override { region = QRegion(0, 0, paneWidth, paneHeight); }
    void setCursor(int) override {}
    void setMapping(double, double, double) override {}
    void setBackgroundColor(uint32_t) override {}
    QRegion region;
};

struct Diagram {
    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> channels;
    KeloProject project;
    Host* host = nullptr;
    QImage image{paneWidth, paneHeight, QImage::Format_RGB32};
    int sample = 0;

    bool open() {
        ensureApplication();
        SFileIni ini;
        if (!ini.open(SString(std::string(NUK_SOURCE_DIR "/resources/extdata.ini")), false, true))
            return false;
        ExtDataSetup::Channels pointers{};
        for (std::size_t i = 0; i < channels.size(); ++i) pointers[i] = &channels[i];
        ExtDataSetup::setupChannels(
            ini, pointers, [](Receiver*, uint32_t) { return true; },
            project.getProjectData().getExtDataManager());
        if (!project.openProject(SString(std::string("ini:" NUK_SOURCE_DIR "/resources/physik.repo"))))
            return false;
        if (!project.createDiagrammWindow(300, 0, 0, -1, -40, true)) return false;
        auto owned = std::make_unique<Host>();
        host = owned.get();
        project.getFirstViewWindow()->create(std::move(owned));
        // The oscilloscopes are what the benchmarks feed; the displays and buttons beside them
        // are painted too, however many the diagram has.
        return oszi(203) != nullptr && oszi(204) != nullptr;
    }
    Painter_Oszi* oszi(int32_t objNr) { return dynamic_cast<Painter_Oszi*>(project.findPainter(objNr)); }
    ExtData_ReceiverBuffered& channel(const char* name) {
        return *dynamic_cast<ExtData_ReceiverBuffered*>(
            project.getProjectData().getExtDataManager().get(SString(std::string(name))));
    }
    static void feed(ExtData_ReceiverBuffered& c, int value) {
        SMem frame(2);
        frame.setByte(0, static_cast<uint8_t>(value & 0xFF));
        frame.setByte(1, static_cast<uint8_t>(value >> 8));
        c.receive(frame, 2, 0, 0);
    }
    // The next sample set of the 60 s cycle, as the firmware sends it.
    void feedSample() {
        const int k = sample++ % 600;
        const bool charging = k < 300;
        const double t = (charging ? k : k - 300) * 0.1;
        const int uc = static_cast<int>(
            std::lround(charging ? 1023.0 * (1.0 - std::exp(-t / 4.7)) : 1023.0 * std::exp(-t / 4.7)));
        feed(channel(charging ? "Aufladen" : "Entladen"), uc);
        feed(channel("U_C"), uc);
        feed(channel("I"), charging ? 1023 - uc : uc);
    }
    void paint(const QRegion& clip) {
        QPainter painter(&image);
        if (!clip.isEmpty()) painter.setClipRegion(clip);
        const QRect area = clip.isEmpty() ? QRect(0, 0, paneWidth, paneHeight) : clip.boundingRect();
        SQtDrawDevice device(painter, dpi, area);
        device.setDiagramMapping();
        project.getFirstViewWindow()->paint(device);
    }
    // One poll and the repaint it asks for.
    void pollAndRepaint() {
        host->region = QRegion();
        project.getFirstViewWindow()->poll();
        if (!host->region.isEmpty()) paint(host->region);
    }
};

// Both oscilloscopes full (a whole cycle and the first half of the next), displays, buttons;
// nullptr, with the benchmark skipped, when the diagram is not as expected.
std::unique_ptr<Diagram> fullDiagram(benchmark::State& state) {
    auto d = std::make_unique<Diagram>();
    if (!d->open()) {
        state.SkipWithError(
            "physik.repo or extdata.ini did not give diagram 300 with oscilloscopes 203 and 204");
        return nullptr;
    }
    for (int i = 0; i < 900; ++i) d->feedSample();
    d->pollAndRepaint();
    d->paint(QRegion());
    for (int32_t objNr : {203, 204}) {
        Painter_Oszi* oszi = d->oszi(objNr);
        if (oszi->getChannels().getSize() != 1 || oszi->getChannels().getAt(0)->values.getSize() != 300) {
            state.SkipWithError("an oscilloscope is not at its sample limit of 300");
            return nullptr;
        }
    }
    return d;
}

void BM_DiagramFullPaint(benchmark::State& state) {
    auto d = fullDiagram(state);
    if (!d) return;
    for (auto _ : state) d->paint(QRegion());
    state.SetLabel("870 x 630, 2 x 300 samples");
}
BENCHMARK(BM_DiagramFullPaint)->Unit(benchmark::kMillisecond);

void BM_DiagramPollNothingNew(benchmark::State& state) {
    auto d = fullDiagram(state);
    if (!d) return;
    d->pollAndRepaint();
    int repaints = 0;
    for (auto _ : state) {
        d->host->region = QRegion();
        d->project.getFirstViewWindow()->poll();
        repaints += d->host->region.isEmpty() ? 0 : 1;
    }
    state.counters["repaints"] = repaints;
}
BENCHMARK(BM_DiagramPollNothingNew)->Unit(benchmark::kMicrosecond);

// One second of a measurement: 10 sample sets arrive, the 200 ms timer polls five times and
// each poll repaints what changed. cpu_percent is the share of one core this takes.
void BM_DiagramMeasurementSecond(benchmark::State& state) {
    auto d = fullDiagram(state);
    if (!d) return;
    double seconds = 0.0;
    for (auto _ : state) {
        const double start = threadSeconds();
        for (int poll = 0; poll < 5; ++poll) {
            d->feedSample();
            d->feedSample();
            d->pollAndRepaint();
        }
        seconds += threadSeconds() - start;
    }
    // CPU time of this thread per second of measurement, in percent of one core.
    state.counters["cpu_percent"] =
        100.0 * seconds / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
BENCHMARK(BM_DiagramMeasurementSecond)->Unit(benchmark::kMillisecond);

}  // namespace
