// The virtual board streaming through the serial port and the splitter into the channels of
// extdata.ini: diagram 300 shows both curves growing and the displays changing.
#include <gtest/gtest.h>

#include <array>

#include <QImage>
#include <QPainter>

#include "ViewFixture.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"
#include "gui/SQtDrawDevice.h"
#include "sim/VirtualBoard.h"
#include "stream/SComPortSplitter.h"
#include "view/KeloProject.h"
#include "view/Painter_7Segment.h"
#include "support/ExperimentChannels.h"
#include "view/Painter_Oszi.h"

using viewtest::raw;

namespace {

class LiveDiagramTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.seed = 3;
        options.registerPort = true;
        options.comName = "com7";
        options.comPortsFile = SString(comPorts);
        options.timeScale = 25.0;  // a 60 s cycle in 2.4 s

        ASSERT_TRUE(
            testsupport::setupExperimentChannels(channels, port, project.getProjectData().getExtDataManager()));
        ASSERT_TRUE(project.openProject(SString("ini:") +
                                        SString(testsupport::sourceDir() + "/resources/physik.repo")));
        ASSERT_TRUE(project.createDiagrammWindow(300, 0, 0, -1, -40, true));
    }
    void TearDown() override {
        port.close();
        board.stop();
    }
    // A firmware command with the splitter suspended, as the program sends it.
    bool command(const char* text, const char* until = "\n") {
        SString answer;
        port.setSuspended(1);
        const bool ok = port.writeText(raw(text) + raw("\n")) && port.readUntil(answer, 1000, raw(until));
        port.setSuspended(0);
        return ok;
    }
    int samples(int32_t objNr) {
        auto* oszi = dynamic_cast<Painter_Oszi*>(project.findPainter(objNr));
        return oszi && oszi->getChannels().getSize() > 0 ? oszi->getChannels().getAt(0)->values.getSize() : -1;
    }
    // Polls as the diagram window's timer does, then paints as the window would.
    void pollAndPaint() {
        project.getFirstViewWindow()->poll();
        QImage image(870, 630, QImage::Format_RGB32);
        QPainter painter(&image);
        SQtDrawDevice device(painter, 96.0);
        device.setDiagramMapping();
        project.getFirstViewWindow()->paint(device);
    }
    bool waitForSamples(int32_t objNr, int count) {
        for (int i = 0; i < 400; ++i) {
            pollAndPaint();
            if (samples(objNr) >= count) return true;
            SApplicationBasic::wait(10);
        }
        return false;
    }

    testsupport::TempDir dir;
    std::string comPorts = dir.file("comports.ini");
    testsupport::ScopedEnv comPortsEnv{"NUK_COMPORTS", comPorts.c_str()};
    VirtualBoard::Options options;
    VirtualBoard board;
    SComPortSplitter port;
    testsupport::ExperimentChannels channels;
    KeloProject project;
};

TEST_F(LiveDiagramTest, BothCurvesGrowAndTheDisplaysFollowTheBoard) {
    ASSERT_TRUE(board.start(options)) << board.getError().str();
    port.getSettings().fromString(board.getComName() + raw(",115200,N,8,1"));
    ASSERT_TRUE(port.open()) << port.getError().str();
    port.purge();
    ASSERT_TRUE(command("ver"));
    ASSERT_TRUE(command("start"));

    auto* uc = dynamic_cast<Painter_7Segment*>(project.findPainter(205));
    auto* current = dynamic_cast<Painter_7Segment*>(project.findPainter(206));
    ASSERT_TRUE(uc && current);

    // Charging: the first curve grows, the voltage rises and the current falls.
    ASSERT_TRUE(waitForSamples(203, 20));
    const int early = samples(203);
    const int32_t ucEarly = uc->getLastValue();
    const int32_t currentEarly = current->getLastValue();
    ASSERT_TRUE(waitForSamples(203, early + 40));
    EXPECT_GT(uc->getLastValue(), ucEarly);
    EXPECT_LT(current->getLastValue(), currentEarly);
    EXPECT_EQ(samples(204), 0) << "no discharging yet";

    // Discharging after 30 s of model time: the second curve grows.
    ASSERT_TRUE(waitForSamples(204, 30));
    EXPECT_EQ(samples(203), 300) << "the whole charging curve stays";
    const int32_t ucDischarging = uc->getLastValue();
    ASSERT_TRUE(waitForSamples(204, samples(204) + 20));
    EXPECT_LT(uc->getLastValue(), ucDischarging);
    ASSERT_TRUE(command("stop", "OK stop\n"));
    EXPECT_EQ(port.getSplitterError().str(), "");
}

}  // namespace
