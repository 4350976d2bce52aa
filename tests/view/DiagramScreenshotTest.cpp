// Diagram 300 of the experiment's repository painted into an image of the pane's size, with
// the channels of extdata.ini filled as after a whole charging and discharging cycle.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>

#include <QImage>
#include <QPainter>

#include "ViewFixture.h"
#include "foundation/SFileIni.h"
#include "gui/SColorMap.h"
#include "gui/SQtDrawDevice.h"
#include "repo/ViewElementData.h"
#include "view/KeloProject.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Oszi.h"

using viewtest::raw;

namespace {

class ExperimentDiagram : public ::testing::Test {
protected:
    void SetUp() override {
        SFileIni ini;
        ASSERT_TRUE(ini.open(SString(testsupport::sourceDir() + "/resources/extdata.ini"), false, true));
        ExtDataSetup::Channels pointers{};
        for (std::size_t i = 0; i < channels.size(); ++i) pointers[i] = &channels[i];
        ExtDataSetup::setupChannels(
            ini, pointers, [](Receiver*, uint32_t) { return true; }, project.getProjectData().getExtDataManager());
        ASSERT_TRUE(project.openProject(SString("ini:") +
                                        SString(testsupport::sourceDir() + "/resources/physik.repo")));
        ASSERT_TRUE(project.createDiagrammWindow(300, 0, 0, -1, -40, true));
        window = project.getFirstViewWindow();
    }
    ExtData_ReceiverBuffered& channel(const char* name) {
        return *dynamic_cast<ExtData_ReceiverBuffered*>(project.getProjectData().getExtDataManager().get(raw(name)));
    }
    // One sample set of the RC circuit (R 10 kOhm, C 470 uF, 5 V) as the firmware sends it.
    void feedCycle(int samples) {
        const double tau = 4.7;
        for (int k = 0; k < samples; ++k) {
            const bool charging = k < 300;
            const double t = (charging ? k : k - 300) * 0.1;
            const double uc = charging ? 1023.0 * (1.0 - std::exp(-t / tau)) : 1023.0 * std::exp(-t / tau);
            const int counts = static_cast<int>(std::lround(uc));
            viewtest::Project::feed(channel(charging ? "Aufladen" : "Entladen"), counts);
            viewtest::Project::feed(channel("U_C"), counts);
            viewtest::Project::feed(channel("I"), charging ? 1023 - counts : counts);
        }
    }
    QImage render() {
        QImage image(870, 630, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        SQtDrawDevice device(painter, 96.0);
        device.setDiagramMapping(window->getZoom(), window->getOriginX(), window->getOriginY());
        window->paint(device);
        return image;
    }
    // Pixels of a colour in the area of an element.
    int count(const QImage& image, int32_t objNr, QRgb color) {
        const SRect r = project.getProjectData().getRepo().getViewList().find(objNr)->getClientRect();
        const double s = 96.0 / 2540.0;
        int n = 0;
        for (int y = static_cast<int>(-r.y * s); y < static_cast<int>(-(r.y + r.height) * s); ++y)
            for (int x = static_cast<int>(r.x * s); x < static_cast<int>((r.x + r.width) * s); ++x)
                if (image.pixel(x, y) == color) ++n;
        return n;
    }
    QRect pixels(int32_t objNr) {
        const SRect r = project.getProjectData().getRepo().getViewList().find(objNr)->getClientRect();
        const double s = 96.0 / 2540.0;
        return QRect(QPoint(static_cast<int>(r.x * s), static_cast<int>(-r.y * s)),
                     QPoint(static_cast<int>((r.x + r.width) * s) - 1, static_cast<int>(-(r.y + r.height) * s) - 1));
    }
    void save(const QImage& image, const char* name) {
        // NUK_SCREENSHOT_DIR keeps the pictures for a look.
        if (const char* dir = std::getenv("NUK_SCREENSHOT_DIR"))
            image.save(QString::fromLocal8Bit(dir) + "/" + name);
    }

    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> channels;
    KeloProject project;
    UniedViewWindow* window = nullptr;
};

TEST_F(ExperimentDiagram, HasTheButtonsOscilloscopesAndDisplaysBoundToTheChannels) {
    UniedViewWindow& w = *window;
    EXPECT_STREQ(project.findPainter(2001)->getClassName(), "Painter_Button");
    EXPECT_STREQ(project.findPainter(2002)->getClassName(), "Painter_Button");
    EXPECT_STREQ(project.findPainter(2003)->getClassName(), "Painter_Button");
    auto* charging = dynamic_cast<Painter_Oszi*>(project.findPainter(203));
    auto* discharging = dynamic_cast<Painter_Oszi*>(project.findPainter(204));
    ASSERT_TRUE(charging && discharging);
    ASSERT_EQ(charging->getExtDataList().getSize(), 1);
    EXPECT_EQ(charging->getExtDataList().getAt(0), &channel("Aufladen"));
    EXPECT_EQ(discharging->getExtDataList().getAt(0), &channel("Entladen"));
    EXPECT_GE(charging->getMaxValuesShowCount(), 300);
    ViewDiagrammObjectPointerList oszis;
    EXPECT_EQ(w.getDiagramm().findObjects(oszis, raw("oszi"), 0, 1), 2) << "the CSV export finds them by name";

    int displays = 0;
    for (ViewDiagrammObject* object : w.getDiagramm().getObjects()) {
        auto* display = dynamic_cast<Painter_7Segment*>(object->getPainter());
        if (!display) continue;
        ++displays;
        EXPECT_NE(display->getExtData(), nullptr) << display->getTitle().str();
    }
    EXPECT_EQ(displays, 2);
    // Full scale of the ADC: 5 V and 0.5 mA.
    auto* uc = dynamic_cast<Painter_7Segment*>(project.findPainter(205));
    auto* current = dynamic_cast<Painter_7Segment*>(project.findPainter(206));
    ASSERT_TRUE(uc && current);
    EXPECT_EQ(uc->formatValue(1023).str(), "5.00 V");
    EXPECT_EQ(current->formatValue(1023).str(), "0.500 mA");
}

TEST_F(ExperimentDiagram, FilledFromTheChannelsItShowsBothCurvesAndTheValues) {
    project.sendToObject(2002, codeDisable);
    const QImage before = render();
    feedCycle(420);
    window->poll();
    const QImage image = render();
    save(before, "diagram300-empty.png");
    save(image, "diagram300.png");

    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255)) << "no magenta: the whole pane is painted";
    EXPECT_EQ(image.pixel(869, 629), qRgb(255, 255, 255));
    // The curves: the channel colour (red 200, green 200, blue 255) in both oscilloscopes only
    // once there are samples.
    const QRgb curve = qRgb(200, 200, 255);
    EXPECT_EQ(count(before, 203, curve), 0);
    EXPECT_GT(count(image, 203, curve), 300);
    EXPECT_GT(count(image, 204, curve), 300);
    // The displays show the latest values (2.13 V and 0.283 mA after 420 samples).
    EXPECT_GT(count(image, 205, qRgb(0, 255, 0)), 500);
    EXPECT_NE(image.copy(pixels(205)), before.copy(pixels(205)));
    EXPECT_NE(image.copy(pixels(206)), before.copy(pixels(206)));
    EXPECT_EQ(dynamic_cast<Painter_7Segment*>(project.findPainter(205))->getLastValue(),
              static_cast<int32_t>(channel("U_C").getLatestValue()));
    // Start in its normal look, Stop grey.
    EXPECT_GT(count(image, 2001, qRgb(0xBB, 0xBB, 0xFF)), 1000);
    EXPECT_GT(count(image, 2002, qRgb(0x99, 0x99, 0x99)), 1000);
}

}  // namespace
