// The diagram: loading objects from the repository, polling, event routing, cursors, zoom keys,
// and the project's diagram windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "OsziRecorder.h"
#include "ViewFixture.h"
#include "repo/ViewElementData.h"
#include "view/KeloProject.h"
#include "view/Painter_Button.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Oszi.h"
#include "view/UniedViewWindow.h"

using viewtest::Project;
using viewtest::raw;

namespace {

// Diagram 300: a button 2001 at the left, a display 205, a button 2002 overlapping the display
// (painted over it), and 2003 without a view element (the object stays empty: there is no view
// element 101 either).
const char* const repository =
    "[BaseElement_100]\nname=Projekt\n"
    "[BaseElement_300]\nname=Diagramm\n"
    "[BaseElement_1001]\nname=Start\n"
    "[BaseElement_1002]\nname=Stop\n"
    "[BaseElement_1205]\nname=U_C\nshortName=anzeige\n"
    "[Attribute_1205]\nextData=s=U_C\n"
    "[ViewElement_2001]\npainterType=5\nbaseObjNr=1001\nclientRect=0,0,2000,-1000\n"
    "[Attribute_2001]\nClickEvent=s=board-start\n"
    "[ViewElement_205]\npainterType=2\nbaseObjNr=1205\nclientRect=3000,0,4000,-3000\n"
    "[ViewElement_2002]\npainterType=5\nbaseObjNr=1002\nclientRect=5000,-1000,3000,-1000\n"
    "[Attribute_2002]\nClickEvent=s=board-stop\n"
    "[ContainingList]\n300=2001,205,2002,2003\n";

// The toolkit side of a diagram window, recorded.
class FakeHost : public ViewHostWindow {
public:
    void invalidate(const SRect& area) override { invalidated.push_back(area); }
    void invalidateAll() override { ++invalidatedAll; }
    void setCursor(int cursorId) override { cursor = cursorId; }
    void setMapping(double z, double x, double y) override {
        zoom = z;
        originX = x;
        originY = y;
    }
    void setBackgroundColor(uint32_t color) override { background = color; }

    std::vector<SRect> invalidated;
    int invalidatedAll = 0;
    int cursor = 0;
    double zoom = 0.0, originX = 0.0, originY = 0.0;
    uint32_t background = 0;
};

struct Clicks : SEventHandler {
    int onEvent(SEvent& event) override {
        names.push_back(event.text.str());
        if (onClick) onClick();
        return 1;
    }
    std::vector<std::string> names;
    std::function<void()> onClick;
};

class DiagramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(project.open(repository));
        auto fake = std::make_unique<FakeHost>();
        host = fake.get();
        window.create(std::move(fake));
        ASSERT_TRUE(window.loadDiagramm(300, &project.data));
        project.data.getEventManager().addHandler(&clicks);
    }
    void TearDown() override { project.data.getEventManager().removeHandler(&clicks); }
    int mouse(int32_t message, int x, int y, uint32_t keys = 0) {
        SGuiEvent event(message, SPoint{x, y}, keys);
        return window.onMouse(event);
    }
    void click(int x, int y) {
        mouse(SGuiEvent::leftButtonDown, x, y);
        mouse(SGuiEvent::leftButtonUp, x, y);
    }
    std::vector<int32_t> objectNumbers() {
        std::vector<int32_t> numbers;
        for (ViewDiagrammObject* object : window.getDiagramm().getObjects())
            numbers.push_back(object->getElement() ? object->getElement()->getObjNr() : 0);
        return numbers;
    }

    Project project;
    UniedViewWindow window;
    FakeHost* host = nullptr;
    Clicks clicks;
};

TEST_F(DiagramTest, ObjectsFollowTheRelationAndPaintInThatOrder) {
    EXPECT_EQ(objectNumbers(), (std::vector<int32_t>{2001, 205, 2002, 0}));
    EXPECT_EQ(host->background, 0x00FFFFFFu);
    oszitest::Recorder device;
    window.paint(device);
    // Background, then each object's own drawing: the stop button's face comes after the display.
    const auto fills = device.of("fill");
    ASSERT_GE(fills.size(), 3u);
    EXPECT_EQ(fills[0].color, 0x00FFFFFFu);
    EXPECT_EQ(fills.back().rect.x, 5000 + 3000 - 50) << "the stop button's right edge is drawn last";
}

TEST_F(DiagramTest, APollRepaintsOnlyTheObjectsThatChanged) {
    window.poll();  // every painter asks for its first paint
    EXPECT_EQ(host->invalidated.size(), 3u);
    host->invalidated.clear();
    window.poll();
    EXPECT_TRUE(host->invalidated.empty());

    Project::feed(project.channels[0], 812);
    window.poll();
    ASSERT_EQ(host->invalidated.size(), 1u);
    EXPECT_EQ(host->invalidated[0], SRect(3000, 0, 4000, -3000, true));
}

TEST_F(DiagramTest, AClickOnAButtonSendsItsEventTheTopmostObjectFirst) {
    click(500, -500);
    EXPECT_EQ(clicks.names, std::vector<std::string>{"board-start"});
    // 2002 lies over the display; both see the click, only the button sends.
    click(5500, -1500);
    EXPECT_EQ(clicks.names, (std::vector<std::string>{"board-start", "board-stop"}));
    // Down on one button, up on the other: nothing.
    mouse(SGuiEvent::leftButtonDown, 500, -500);
    mouse(SGuiEvent::leftButtonUp, 5500, -1500);
    EXPECT_EQ(clicks.names.size(), 2u);
    // Clicks on a disabled button do nothing until it is enabled again.
    SEvent disable;
    disable.type = eventApplication;
    disable.code = codeDisable;
    window.getDiagramm().findObject(2001)->getPainter()->onEvent(disable);
    click(500, -500);
    EXPECT_EQ(clicks.names.size(), 2u);
}

TEST_F(DiagramTest, TheCursorShowsWhatAClickWouldDo) {
    mouse(SGuiEvent::mouseMove, 500, -500);
    EXPECT_EQ(host->cursor, 32649);
    mouse(SGuiEvent::mouseMove, 4000, -2000);  // the display
    EXPECT_EQ(host->cursor, 32512);
    SEvent disable;
    disable.type = eventApplication;
    disable.code = codeDisable;
    window.getDiagramm().findObject(2001)->getPainter()->onEvent(disable);
    mouse(SGuiEvent::mouseMove, 500, -500);
    EXPECT_EQ(host->cursor, 32648);
}

TEST_F(DiagramTest, ZoomAndScrollKeys) {
    const uint32_t ctrl = SGuiEvent::keyControl;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(window.onKeyDown(UniedViewWindow::keyAdd, ctrl), 1);
    EXPECT_NEAR(window.getZoom(), 1.331, 1e-9);
    EXPECT_EQ(window.onKeyDown(UniedViewWindow::keyUp, ctrl), 1);
    EXPECT_EQ(window.onKeyDown(UniedViewWindow::keyLeft, ctrl), 1);
    EXPECT_EQ(window.getOriginY(), -100.0);
    EXPECT_EQ(window.getOriginX(), 100.0);
    EXPECT_NEAR(host->zoom, 1.331, 1e-9);
    EXPECT_EQ(host->originX, 100.0);
    EXPECT_EQ(window.onKeyDown(UniedViewWindow::keyRight, ctrl | SGuiEvent::keyShift), 0);
    EXPECT_EQ(window.onKeyDown(UniedViewWindow::keyRight, 0), 0);
    EXPECT_EQ(window.onKeyDown('A', ctrl), 0);
    EXPECT_EQ(window.getOriginX(), 100.0);
    EXPECT_EQ(window.onKeyDown(UniedViewWindow::keyMultiply, ctrl), 1);
    EXPECT_EQ(window.getZoom(), 1.0);
    EXPECT_EQ(window.getOriginX(), 0.0);
    EXPECT_EQ(window.getOriginY(), 0.0);
    EXPECT_EQ(host->zoom, 1.0);
    // Held down, the zoom keys stop at a sane scale.
    for (int i = 0; i < 1000; ++i) window.onKeyDown(UniedViewWindow::keySubtract, ctrl);
    EXPECT_GT(window.getZoom(), 0.0);
    EXPECT_GE(window.getZoom(), UniedViewWindow::minZoom);
}

TEST_F(DiagramTest, LoadingAgainRecyclesEveryPainterFirst) {
    const PainterList& painters = project.data.getFactory().getPainters();
    EXPECT_EQ(painters.getSize(), 3);
    ASSERT_TRUE(window.getDiagramm().reload());
    EXPECT_EQ(painters.getSize(), 3) << "the first load's painters went back to the factory";
    // An unknown diagram falls back to base element 100, which has no children.
    EXPECT_TRUE(window.loadDiagramm(999999, &project.data));
    EXPECT_EQ(window.getDiagramm().getObjects().getSize(), 0);
    EXPECT_EQ(painters.getSize(), 0);
}

TEST_F(DiagramTest, AButtonThatReloadsTheDiagramDoesNotPullTheObjectsAwayUnderItself) {
    clicks.onClick = [this] { window.getDiagramm().reload(); };
    click(500, -500);
    EXPECT_EQ(clicks.names, std::vector<std::string>{"board-start"});
    EXPECT_EQ(objectNumbers(), (std::vector<int32_t>{2001, 205, 2002, 0}));
    EXPECT_EQ(project.data.getFactory().getPainters().getSize(), 3);
}

TEST_F(DiagramTest, FindObjectsByNameOrPattern) {
    ViewDiagrammObjectPointerList found;
    EXPECT_EQ(window.getDiagramm().findObjects(found, raw("anzeige"), 0, 1), 1);
    EXPECT_EQ(window.getDiagramm().findObjects(found, raw("Stop"), 0, 1), 1);
    EXPECT_EQ(window.getDiagramm().findObjects(found, raw("/^St/"), 1, 1), 2);
    EXPECT_EQ(window.getDiagramm().findObjects(found, raw("Stop"), 0, 0), 0);
    ASSERT_EQ(found.getSize(), 4);
    // Last to first.
    EXPECT_EQ(found.getAt(2)->getElement()->getObjNr(), 2002);
    EXPECT_EQ(found.getAt(3)->getElement()->getObjNr(), 2001);
}

// A project that makes its diagram windows on a fake host and counts its hooks.
class TestProject : public KeloProject {
public:
    int opened = 0, closed = 0;
    FakeHost* host = nullptr;

protected:
    bool onProjectOpen() override {
        ++opened;
        return true;
    }
    bool onProjectClose() override {
        ++closed;
        return true;
    }
    std::unique_ptr<ViewHostWindow> onCreateViewHost(UniedViewWindow&, int, int, int, int, bool) override {
        auto fake = std::make_unique<FakeHost>();
        host = fake.get();
        return fake;
    }
};

TEST(KeloProjectTest, OpensCreatesWindowsSendsToObjectsAndReloads) {
    testsupport::TempDir dir;
    dir.write("p.repo", repository);
    const SString spec = SString("ini:") + SString(dir.file("p.repo"));
    TestProject project;
    ASSERT_TRUE(project.openProject(spec));
    EXPECT_EQ(project.opened, 1);
    ASSERT_TRUE(project.createDiagrammWindow(300, 0, 0, -1, -40, true));
    ASSERT_NE(project.host, nullptr);
    EXPECT_EQ(project.host->background, 0x00FFFFFFu);

    EXPECT_TRUE(project.sendToObject(2002, codeDisable));
    EXPECT_FALSE(project.sendToObject(4711, codeDisable));
    auto* stop = dynamic_cast<Painter_Button*>(project.findPainter(2002));
    ASSERT_NE(stop, nullptr);
    EXPECT_TRUE(stop->getButton().isDisabled());

    ASSERT_TRUE(project.reloadProject(spec));
    EXPECT_EQ(project.getFirstViewWindow()->getDiagramm().getObjects().getSize(), 4);
    EXPECT_EQ(project.getProjectData().getFactory().getPainters().getSize(), 3);

    project.closeProject();
    EXPECT_EQ(project.closed, 1);
    EXPECT_EQ(project.getFirstViewWindow(), nullptr);
    EXPECT_FALSE(project.openProject(SString("ini:") + SString(dir.file("missing.repo"))));
    EXPECT_EQ(project.closed, 2) << "a failed open closes the project again";
}

}  // namespace

namespace {

// Two oscilloscopes that take turns, as charging and discharging do.
const char* const twoOscilloscopes =
    "[BaseElement_300]\nname=Diagramm\n"
    "[BaseElement_1203]\nname=Laden\n[Attribute_1203]\nextData=s=U_C\n"
    "[BaseElement_1204]\nname=Entladen\n[Attribute_1204]\nextData=s=I\n"
    "[ViewElement_203]\npainterType=3\nbaseObjNr=1203\nclientRect=0,0,10000,-5000\n"
    "[Attribute_203]\nOsziValueStepX=f=0.1\nOsziMaxValuesShowCountX=i=300\n"
    "[ViewElement_204]\npainterType=3\nbaseObjNr=1204\nclientRect=0,-5000,10000,-5000\n"
    "[Attribute_204]\nOsziValueStepX=f=0.1\nOsziMaxValuesShowCountX=i=300\n"
    "[ContainingList]\n300=203,204\n";

}  // namespace

// The other half cycle beginning ends the first one at once: its result is painted in the
// same poll, without waiting for the silence.
TEST(DiagramHalfCycles, AnOscilloscopeThatBeginsEndsTheHalfCycleOfTheOther) {
    Project project;
    ASSERT_TRUE(project.open(twoOscilloscopes));
    auto fake = std::make_unique<FakeHost>();
    FakeHost* host = fake.get();
    UniedViewWindow window;
    window.create(std::move(fake));
    ASSERT_TRUE(window.loadDiagramm(300, &project.data));
    auto* charging = dynamic_cast<Painter_Oszi*>(window.getDiagramm().findObject(203)->getPainter());
    auto* discharging = dynamic_cast<Painter_Oszi*>(window.getDiagramm().findObject(204)->getPainter());
    ASSERT_TRUE(charging && discharging);

    for (int i = 0; i < 150; ++i)
        Project::feed(project.channels[0], static_cast<int>(std::lround(1000.0 * (1.0 - std::exp(-0.1 * i / 4.7)))));
    window.poll();
    window.poll();  // a poll without samples right after them is no end
    EXPECT_TRUE(charging->getEvaluation().isReceiving());
    EXPECT_FALSE(charging->getEvaluation().getTauResult().has_value());

    host->invalidated.clear();
    for (int i = 0; i < 3; ++i) Project::feed(project.channels[1], 1000);
    window.poll();
    ASSERT_TRUE(charging->getEvaluation().getTauResult().has_value());
    EXPECT_TRUE(charging->getEvaluation().getTauResult()->fit.ok);
    EXPECT_NEAR(charging->getEvaluation().getTauResult()->fit.tau, 4.7, 0.1);
    EXPECT_TRUE(discharging->getEvaluation().isReceiving());
    EXPECT_NE(std::find(host->invalidated.begin(), host->invalidated.end(), SRect(0, 0, 10000, -5000, true)),
              host->invalidated.end())
        << "the charging oscilloscope is repainted with its result";
}
