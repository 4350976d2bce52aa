// Soak: a long measurement through the whole chain the program uses: the experiment's firmware on
// the simulated ATmega8 of the virtual board, the pseudo-terminal, the serial port and its
// splitter, the data channels of extdata.ini, diagram 300 with its oscilloscopes (polled and
// painted as the diagram window does, so every half cycle is evaluated) and displays.
//
// Every measured minute it logs the resident memory and the frame counts; at the end it judges:
// the memory after the warm-up stays within 2 MB, every frame the board sent arrived, and none
// out of order (per sample: the curve's frame 1 or 2, then 3, then 4).
//
//   soak_measurement [--minutes M] [--time-scale F] [--warm-up M]
//     M: measured minutes (default 60); F: the board's time scale (default 4: an hour in 15
//     minutes); warm-up: minutes not judged for memory (default 5). Each run lasts a minute; the
//     next Start follows its end. The firmware's pause between the start answer and its first
//     reading (100 ms) shrinks with the time scale: at 20x the program is still reading the
//     answer when the first frames come, which the soak would count as lost.
// Exit code 0 when everything held, 1 otherwise.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "board/SHexFile.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"
#include "gui/SQtDrawDevice.h"
#include "platform/Paths.h"
#include "sim/VirtualBoard.h"
#include "stream/ExtDataSetup.h"
#include "stream/Receiver.h"
#include "stream/RunEndReceiver.h"
#include "stream/SComPortSplitter.h"
#include "view/KeloProject.h"
#include "view/UniedViewWindow.h"

namespace {

// Counts the measurement frames and checks their order: each sample is the curve's frame
// (1 while charging, 2 while discharging) or none, then 3, then 4.
class FrameCounter : public Receiver {
public:
    bool hasId(uint32_t id) const override { return id >= 1 && id <= 4; }
    bool getFrameInfo(uint32_t id, int32_t& length, int32_t& lengthMode) const override {
        if (!hasId(id)) return false;
        length = 2;
        lengthMode = lengthFixed;
        return true;
    }
    bool receive(const SMem&, int32_t, uint32_t id, uint32_t) override {
        ++counts[id];
        ++total;
        const bool inOrder = (id == 3 && (last == 1 || last == 2 || last == 4 || last == 0)) ||
                             (id == 4 && last == 3) || ((id == 1 || id == 2) && (last == 4 || last == 0));
        if (!inOrder) ++outOfOrder;
        last = id;
        return true;
    }
    std::atomic<int64_t> counts[5] = {};
    std::atomic<int64_t> total{0};
    std::atomic<int64_t> outOfOrder{0};

private:
    uint32_t last = 0;
};

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

bool command(SComPortSplitter& port, const char* text) {
    SString answer;
    // As the program does it: the frames right behind the answer are not lost.
    port.suspendForCommand();
    const bool ok = port.writeText(SString(std::string(text) + "\n")) && port.readUntil(answer, 2000, SString("\n"));
    port.resumeAfterCommand(SComPortSplitter::takeFramesAhead(answer));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 60.0, timeScale = 4.0, warmUp = 5.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--minutes") == 0) minutes = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--time-scale") == 0) timeScale = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--warm-up") == 0) warmUp = std::atof(argv[i + 1]);
    }
    if (!(minutes > 0) || !(timeScale > 0)) {
        std::fprintf(stderr, "usage: soak_measurement [--minutes M] [--time-scale F] [--warm-up M]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);

    // A port map of its own, so no user's map is touched.
    const std::string dir = platform::tempDirectory() + "nuk-soak-" + std::to_string(getpid());
    platform::createDirectories(dir, 0700);
    const std::string comPorts = dir + "/comports.ini";
    setenv("NUK_COMPORTS", comPorts.c_str(), 1);

    VirtualBoard board;
    VirtualBoard::Options options;
    options.core = true;
    options.timeScale = timeScale;
    options.registerPort = true;
    options.comName = "com7";
    options.comPortsFile = SString(comPorts);
    options.seed = 7;
    SHexFile hex;
    SMem image;
    if (!hex.loadFile(SString(NUK_SOURCE_DIR "/resources/firmware.hex"), image)) {
        std::fprintf(stderr, "soak: firmware.hex cannot be read\n");
        return 1;
    }
    board.getMemory().setFlash(std::vector<uint8_t>(image.getData(), image.getData() + image.getSize()));

    SComPortSplitter port;
    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> channels;
    KeloProject project;
    SFileIni ini;
    if (!ini.open(SString(NUK_SOURCE_DIR "/resources/extdata.ini"), false, true)) return 1;
    ExtDataSetup::Channels pointers{};
    for (std::size_t i = 0; i < channels.size(); ++i) pointers[i] = &channels[i];
    ExtDataSetup::setupChannels(ini, pointers, port, project.getProjectData().getExtDataManager());
    if (!project.openProject(SString("ini:" NUK_SOURCE_DIR "/resources/physik.repo")) ||
        !project.createDiagrammWindow(300, 0, 0, -1, -40, true)) {
        std::fprintf(stderr, "soak: diagram 300 cannot be made\n");
        return 1;
    }
    FrameCounter counter;
    port.connect(&counter, 0);
    RunEndReceiver runEnd;
    port.connect(&runEnd, 0);

    if (!board.start(options)) {
        std::fprintf(stderr, "soak: %s\n", board.getError().c_str());
        return 1;
    }
    port.getSettings().fromString(board.getComName() + SString(",115200,N,8,1"));
    if (!port.open() || (port.purge(), !command(port, "ver")) || !command(port, "start")) {
        std::fprintf(stderr, "soak: the board does not answer: %s\n", port.getError().c_str());
        return 1;
    }

    // The program polls every 200 ms of real time; at the board's time scale that is 200 ms / F.
    const auto pollEvery = std::chrono::microseconds(static_cast<int64_t>(200000 / timeScale));
    const auto minuteEvery = std::chrono::microseconds(static_cast<int64_t>(60e6 / timeScale));
    QImage picture(870, 630, QImage::Format_RGB32);
    UniedViewWindow* window = project.getFirstViewWindow();
    const auto start = std::chrono::steady_clock::now();
    int runs = 1;
    auto nextMinute = start + minuteEvery;
    long warmRss = 0, maxRss = 0;
    // At a high time scale the firmware's pause after "start" shrinks, so its first readings can
    // arrive while the start answer is still being read; those of the first start are counted at
    // the first minute. Later starts may lose as many; more than that is a fault.
    int64_t lostAtFirstMinute = -1;
    int64_t paints = 0;
    std::printf("minute  real_s  rss_kB  frames_sent  frames_received  lost  out_of_order  paints\n");
    for (int minute = 1; minute <= static_cast<int>(minutes + 0.5);) {
        window->poll();
        {
            QPainter painter(&picture);
            SQtDrawDevice device(painter, 96.0);
            device.setDiagramMapping();
            window->paint(device);
        }
        ++paints;
        SApplicationBasic::wait(0);
        // One Start is one run of a minute: the next Start follows the end of the last, as a
        // class repeating the experiment would.
        if (runEnd.takeEnded()) {
            if (!command(port, "start")) {
                std::fprintf(stderr, "soak: the board does not answer a new start\n");
                return 1;
            }
            ++runs;
        }
        std::this_thread::sleep_for(pollEvery);
        if (std::chrono::steady_clock::now() < nextMinute) continue;
        nextMinute += minuteEvery;
        const long rss = residentKb();
        if (minute == static_cast<int>(warmUp + 0.5)) warmRss = rss;
        if (minute > warmUp) maxRss = std::max(maxRss, rss);
        const int64_t sent = board.getFramesSent(), received = counter.total.load();
        if (lostAtFirstMinute < 0) lostAtFirstMinute = sent - received;
        const double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%6d  %6.1f  %6ld  %11lld  %15lld  %4lld  %12lld  %6lld\n", minute, real, rss,
                    static_cast<long long>(sent), static_cast<long long>(received),
                    static_cast<long long>(sent - received), static_cast<long long>(counter.outOfOrder.load()),
                    static_cast<long long>(paints));
        std::fflush(stdout);
        ++minute;
    }
    command(port, "stop");
    SApplicationBasic::wait(300);
    port.close();
    board.stop();
    const int64_t sent = board.getFramesSent(), received = counter.total.load();
    const double sampleSeconds = static_cast<double>(counter.counts[3].load()) / 10.0;
    std::printf("runs: %d\n", runs);
    std::printf("end: %lld frames sent, %lld received (1: %lld, 2: %lld, 3: %lld, 4: %lld), %lld out of order, "
                "splitter: '%s', %.0f s of samples\n",
                static_cast<long long>(sent), static_cast<long long>(received),
                static_cast<long long>(counter.counts[1].load()), static_cast<long long>(counter.counts[2].load()),
                static_cast<long long>(counter.counts[3].load()), static_cast<long long>(counter.counts[4].load()),
                static_cast<long long>(counter.outOfOrder.load()), port.getSplitterError().c_str(), sampleSeconds);
    const long growth = maxRss - warmRss;
    std::printf("memory after warm-up: %ld kB at minute %.0f, at most %ld kB later (%+ld kB)\n", warmRss, warmUp,
                maxRss, growth);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    const int64_t lostLater = (sent - received) - std::max<int64_t>(lostAtFirstMinute, 0);
    std::printf("frames lost: %lld while the first start answer was read, %lld after the first minute\n",
                static_cast<long long>(std::max<int64_t>(lostAtFirstMinute, 0)),
                static_cast<long long>(std::max<int64_t>(lostLater, 0)));
    const bool ok = lostLater <= std::max<int64_t>(lostAtFirstMinute, 0) * (runs - 1) &&
                    counter.outOfOrder.load() == 0 && (warmRss == 0 || growth <= 2048);
    std::printf("%s\n", ok ? "soak: OK" : "soak: FAILED");
    return ok ? 0 : 1;
}
