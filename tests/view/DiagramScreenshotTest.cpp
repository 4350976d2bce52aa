// Diagram 300 of the experiment's repository painted into an image of the pane's size, with
// the channels of extdata.ini filled as after a whole charging and discharging cycle.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include <QImage>
#include <QPainter>

#include "ViewFixture.h"
#include "foundation/SFileIni.h"
#include "foundation/SLanguage.h"
#include "gui/SColorMap.h"
#include "gui/SQtDrawDevice.h"
#include "repo/ViewElementData.h"
#include "support/ExperimentChannels.h"
#include "view/KeloProject.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Button.h"
#include "view/Painter_Oszi.h"

using viewtest::raw;

namespace {

class ExperimentDiagram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::setupExperimentChannels(
            channels, [](Receiver*, uint32_t) { return true; }, project.getProjectData().getExtDataManager()));
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

    testsupport::ExperimentChannels channels;
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
    EXPECT_EQ(uc->formatValue(1023).str(), "5,00 V");
    EXPECT_EQ(current->formatValue(1023).str(), "0,500 mA");
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
    // The displays show the latest values (2,13 V and 0,283 mA after 420 samples).
    EXPECT_GT(count(image, 205, qRgb(0, 255, 0)), 500);
    EXPECT_NE(image.copy(pixels(205)), before.copy(pixels(205)));
    EXPECT_NE(image.copy(pixels(206)), before.copy(pixels(206)));
    EXPECT_EQ(dynamic_cast<Painter_7Segment*>(project.findPainter(205))->getLastValue(),
              static_cast<int32_t>(channel("U_C").getLatestValue()));
    // Start in its normal look, Stop grey.
    EXPECT_GT(count(image, 2001, qRgb(0xBB, 0xBB, 0xFF)), 1000);
    EXPECT_GT(count(image, 2002, qRgb(0x99, 0x99, 0x99)), 1000);
}

// After a full cycle both oscilloscopes carry the fitted curve and their result box; the
// evaluation's buttons sit in the pane beside the others without overlapping them.
TEST_F(ExperimentDiagram, EvaluatedCycleAndTheEvaluationButtonsFitThePane) {
    feedCycle(600);
    window->poll();
    window->sendToAll(Painter_Oszi::codeRunEnded);  // both half cycles are evaluated
    auto* charging = dynamic_cast<Painter_Oszi*>(project.findPainter(203));
    auto* discharging = dynamic_cast<Painter_Oszi*>(project.findPainter(204));
    ASSERT_TRUE(charging && discharging);
    ASSERT_TRUE(charging->getEvaluation().getTauResult() && discharging->getEvaluation().getTauResult());
    render();  // places the samples
    // Cursors on the charging curve at 0 s and at its 63 % point.
    const SOsziValue& first = charging->getChannels().getAt(0)->values[0];
    charging->setCursorAt(SPoint{first.xCoord, first.yCoord});
    const SOsziValue& at63 = charging->getChannels().getAt(0)->values[47];
    charging->setCursorAt(SPoint{at63.xCoord, at63.yCoord});
    const QImage image = render();
    save(image, "diagram300-evaluated.png");
    // The fitted curve and the result box in yellow (the thin line is smoothed: near yellow).
    auto yellowish = [&](int32_t nr) {
        const QRect area = pixels(nr);
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 180 && c.green() > 180 && c.blue() < 100) ++n;
            }
        return n;
    };
    EXPECT_GT(yellowish(203), 500);
    EXPECT_GT(yellowish(204), 500);
    EXPECT_EQ(charging->getEvaluation().getCursorLines().back().rfind("\xCE\x94t = 4,70 s", 0), 0u)
        << charging->getEvaluation().getCursorLines().back();

    const SRect pane(0, 0, static_cast<int>(870 * 2540 / 96), -static_cast<int>(630 * 2540 / 96), true);
    std::vector<SRect> rects;
    for (int32_t nr : {203, 204, 205, 206, 2001, 2002, 2003, 2004, 2005, 2006, 2007}) {
        KeloPainter* painter = project.findPainter(nr);
        ASSERT_NE(painter, nullptr) << nr;
        const SRect r = painter->getElementRect();
        EXPECT_TRUE(r.x >= pane.x && r.x + r.width <= pane.width && r.y <= 0 && r.y + r.height >= pane.height) << nr;
        for (const SRect& other : rects) {
            const bool apart = r.x + r.width <= other.x || other.x + other.width <= r.x ||
                               r.y + r.height >= other.y || other.y + other.height >= r.y;
            EXPECT_TRUE(apart) << nr;
        }
        rects.push_back(r);
    }
    for (int32_t nr : {2004, 2005, 2006, 2007})
        EXPECT_STREQ(project.findPainter(nr)->getClassName(), "Painter_Button") << nr;

    // Space freezes both oscilloscopes and resumes them; Delete forgets the kept runs.
    ASSERT_EQ(window->onKeyDown(UniedViewWindow::keySpace, 0), 1);
    EXPECT_TRUE(charging->getEvaluation().isFrozen() && discharging->getEvaluation().isFrozen());
    ASSERT_EQ(window->onKeyDown(UniedViewWindow::keySpace, 0), 1);
    EXPECT_FALSE(charging->getEvaluation().isFrozen() || discharging->getEvaluation().isFrozen());
    EXPECT_EQ(window->onKeyDown(UniedViewWindow::keySpace, SGuiEvent::keyShift), 0);
    project.sendToObject(203, codeClear);
    EXPECT_EQ(charging->getEvaluation().getRuns().size(), 1u);
    ASSERT_EQ(window->onKeyDown(UniedViewWindow::keyDelete, 0), 1);
    EXPECT_TRUE(charging->getEvaluation().getRuns().empty());
}

}  // namespace

namespace {

// The same diagram with the English language file loaded before the repository is read.
class ExperimentDiagramInEnglish : public ExperimentDiagram {
protected:
    void SetUp() override {
        std::ifstream in(testsupport::sourceDir() + "/resources/kondensator_en.lng", std::ios::binary);
        const std::string texts((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(texts.empty());
        globalLanguage().clear();
        ASSERT_TRUE(globalLanguage().load(texts));
        globalLanguage().setLanguage("en");
        ExperimentDiagram::SetUp();
    }
    void TearDown() override { globalLanguage().clear(); }
};

}  // namespace

// The repository's captions, titles and button texts come in the program's language, the
// numbers with a decimal point.
TEST_F(ExperimentDiagramInEnglish, CaptionsButtonsAndNumbersAreEnglish) {
    auto* charging = dynamic_cast<Painter_Oszi*>(project.findPainter(203));
    auto* discharging = dynamic_cast<Painter_Oszi*>(project.findPainter(204));
    auto* voltage = dynamic_cast<Painter_7Segment*>(project.findPainter(205));
    auto* current = dynamic_cast<Painter_7Segment*>(project.findPainter(206));
    ASSERT_TRUE(charging && discharging && voltage && current);
    EXPECT_EQ(charging->getYText().str(), "U_C (charging) in V");
    EXPECT_EQ(discharging->getYText().str(), "U_C (discharging) in V");
    EXPECT_EQ(charging->getXText().str(), "t in s");
    EXPECT_EQ(voltage->getTitle().str(), "Voltage U_C");
    EXPECT_EQ(current->getTitle().str(), "Current I");
    EXPECT_EQ(voltage->formatValue(1023).str(), "5.00 V");
    const std::pair<int32_t, const char*> buttons[] = {{2001, "Start"}, {2002, "Stop"},     {2003, "Save"},
                                                       {2004, "Pause"}, {2005, "Evaluate"}, {2006, "Clear runs"},
                                                       {2007, "Save picture"}};
    for (const auto& [nr, text] : buttons) {
        auto* button = dynamic_cast<Painter_Button*>(project.findPainter(nr));
        ASSERT_NE(button, nullptr) << nr;
        EXPECT_EQ(button->getText().str(), text) << nr;
    }
    feedCycle(600);
    window->poll();
    window->sendToAll(Painter_Oszi::codeRunEnded);
    const std::string result = charging->getEvaluation().getTauText();
    EXPECT_EQ(result.rfind("\xCF\x84 = 4.", 0), 0u) << result;
    save(render(), "diagram-en.png");
}
