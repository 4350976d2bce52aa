// The painter framework and the seven-segment and button painters on a recording device.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "OsziRecorder.h"
#include "ViewFixture.h"
#include "repo/ViewElementData.h"
#include "view/PainterRectStyle.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Button.h"

using viewtest::Project;
using viewtest::raw;

namespace {

// Base element 100 (button caption "Start"), 110 (U_C), 111 (two channel names), 112 (unknown
// channel); view elements: 2001 button, 205/206/207 displays, 208 of an unknown painter type.
const char* const repository =
    "[BaseElement_100]\nname=Start\n"
    "[Attribute_100]\nextData=s=U_C\n"
    "[BaseElement_110]\nname=U_C\n"
    "[Attribute_110]\nextData=s=U_C\n"
    "[BaseElement_111]\nname=both\n"
    "[Attribute_111]\nextData=s=U_C,I\n"
    "[BaseElement_112]\nname=nothing\n"
    "[Attribute_112]\nextData=s=Spannung\n"
    "[ViewElement_2001]\npainterType=5\nbaseObjNr=100\nclientRect=1000,-2000,3000,-1000\n"
    "[Attribute_2001]\nClickEvent=s=board-start\nButtonStyle_disabled=s=40|#CCCCCC|#999999\n"
    "[ViewElement_205]\npainterType=2\nbaseObjNr=110\nclientRect=0,0,4000,-3000\n"
    "[ViewElement_206]\npainterType=2\nbaseObjNr=110\nclientRect=0,0,4000,-3000\n"
    "[Attribute_206]\n7SegmentCorrectionFaktor=f=0.001\n7SegmentValueFormat=s=%.2f V\n7SegmentTitel=s=U_C\n"
    "7SegmentTitelFontSize=i=12\n"
    "[ViewElement_207]\npainterType=2\nbaseObjNr=111\nclientRect=0,0,4000,-3000\n"
    "[ViewElement_208]\npainterType=7\nbaseObjNr=112\nclientRect=500,-500,2000,-1500\n"
    "[ViewElement_209]\npainterType=2\nbaseObjNr=110\nclientRect=0,0,4000,-3000\n"
    "[Attribute_209]\n7SegmentValueFormat=s=%s%n\n";

class PainterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(project.open(repository)); }
    KeloPainter* make(int32_t objNr) {
        return project.data.getFactory().createPainter(project.data.getRepo().getViewList().find(objNr));
    }
    template <typename T>
    T* makeAs(int32_t objNr) {
        auto* painter = dynamic_cast<T*>(make(objNr));
        EXPECT_NE(painter, nullptr) << objNr;
        return painter;
    }
    static SGuiEvent mouse(int32_t message, int x, int y, uint32_t keys = 0) {
        return SGuiEvent(message, SPoint{x, y}, keys);
    }
    static SEvent application(int32_t code) {
        SEvent event;
        event.type = eventApplication;
        event.code = code;
        return event;
    }

    Project project;
};

// Records what reaches handleEvent.
class Probe : public ViewDiagrammControl {
public:
    bool handleEvent(SEvent& event) override {
        seen.push_back(event.type == eventApplication ? event.code : event.type * 1000 + event.code);
        return false;
    }
    int clicks() const { return static_cast<int>(std::count(seen.begin(), seen.end(), codeClick)); }
    std::vector<int> seen;
};

TEST(ViewDiagrammControlTest, AClickIsADownAndAnUpInsideTheRectangle) {
    struct Case {
        SPoint down, up;
        int clicks;
    };
    SRect area(100, -100, 200, -300, true);
    const Case cases[] = {
        {{150, -200}, {300, -400}, 1},  // bounds included
        {{150, -200}, {301, -200}, 0},  // up outside
        {{50, -200}, {150, -200}, 0},   // down outside
    };
    for (const Case& c : cases) {
        Probe probe;
        probe.setRect(&area);
        SGuiEvent down(SGuiEvent::leftButtonDown, c.down, 0);
        SGuiEvent up(SGuiEvent::leftButtonUp, c.up, 0);
        probe.onEvent(down);
        probe.onEvent(up);
        EXPECT_EQ(probe.clicks(), c.clicks) << c.up.x;
        EXPECT_EQ(probe.getFlags() & ViewDiagrammControl::flagPressed, 0) << "every button-up clears the bit";
        // The click comes before the button-up itself.
        if (c.clicks) {
            EXPECT_EQ(probe.seen, (std::vector<int>{3000 + 0x201, codeClick, 3000 + 0x202}));
        }
    }
}

TEST(PainterRectStyleTest, ShortAndFullStyleStrings) {
    struct Case {
        const char* style;
        int width;
        uint32_t top, right, bottom, left, fill;
    };
    const Case cases[] = {
        {"50|#DDDDFF|#3333FF", 50, 0xFFDDDD, 0xFFDDDD, 0xFFDDDD, 0xFFDDDD, 0xFF3333},
        {"50|#DDDDFF|#3333FF|#BBBBFF", 50, 0xFFDDDD, 0xFF3333, 0xFF3333, 0xFFDDDD, 0xFFBBBB},
        {"30|#000001|#000002|#000003|#000004|#000005", 30, 0x010000, 0x020000, 0x030000, 0x040000, 0x050000},
        // Empty: the three-value form of the current colours (top 0, right 0).
        {"", 50, 0, 0, 0, 0, 0},
        {"|#FF0000||#00FF00", 50, 0x0000FF, 0, 0, 0x0000FF, 0x00FF00},
    };
    for (const Case& c : cases) {
        PainterRectStyle style;
        style.loadStyle(raw(c.style));
        EXPECT_EQ(style.borderWidth, c.width) << c.style;
        EXPECT_EQ(std::vector<uint32_t>({style.top, style.right, style.bottom, style.left, style.fill}),
                  std::vector<uint32_t>({c.top, c.right, c.bottom, c.left, c.fill}))
            << c.style;
    }
}

TEST(PainterRectStyleTest, DrawsTheFaceThenTheEdgesAndCentresTheText) {
    PainterRectStyle style;
    style.loadStyle(raw("50|#000001|#000002|#000003|#000004|#000005"));
    oszitest::Recorder device;
    style.draw(device, SRect(1000, -2000, 3000, -1000, true), raw("Start"));
    const auto fills = device.of("fill");
    ASSERT_EQ(fills.size(), 5u);
    EXPECT_EQ(fills[0].rect, SRect(1050, -2050, 2900, -900, true));  // the face
    EXPECT_EQ(fills[0].color, 0x050000u);
    EXPECT_EQ(fills[1].rect, SRect(1000, -2000, 3000, -50, true));  // top
    EXPECT_EQ(fills[2].rect, SRect(1000, -2950, 3000, -50, true));  // bottom
    EXPECT_EQ(fills[3].rect, SRect(1000, -2000, 50, -1000, true));  // left, full height
    EXPECT_EQ(fills[4].rect, SRect(3950, -2000, 50, -1000, true));  // right, full height
    const auto texts = device.of("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Start");
    EXPECT_EQ(texts[0].rect, fills[0].rect);
    EXPECT_EQ(texts[0].align, "hv");
}

TEST_F(PainterTest, TheFactoryMakesThePainterOfTheTypeAndTakesEachBackOnce) {
    EXPECT_STREQ(make(2001)->getClassName(), "Painter_Button");
    EXPECT_STREQ(make(205)->getClassName(), "Painter_7Segment");
    KeloPainter* dummy = make(208);
    EXPECT_STREQ(dummy->getClassName(), "Painter_Dummy");
    oszitest::Recorder device;
    dummy->paint(device);
    ASSERT_EQ(device.of("fill").size(), 1u);
    EXPECT_EQ(device.of("fill")[0].rect, SRect(500, -500, 2000, -1500, true));
    EXPECT_EQ(device.of("fill")[0].color, 0x00F0F0F0u);

    PainterFactory& factory = project.data.getFactory();
    EXPECT_EQ(factory.getPainters().getSize(), 3);
    EXPECT_TRUE(factory.recyclePainter(dummy));
    EXPECT_FALSE(factory.recyclePainter(dummy));
    EXPECT_EQ(factory.getPainters().getSize(), 2);
    EXPECT_EQ(factory.createPainter(nullptr), nullptr);
}

TEST_F(PainterTest, APainterWithoutChannelsAcceptsAnExtDataAttribute) {
    // Base element 100 names a channel; a button binds none and still reads its settings.
    auto* button = makeAs<Painter_Button>(2001);
    EXPECT_EQ(button->getText().str(), "Start");
    EXPECT_EQ(button->getButton().clickEvent.text.str(), "board-start");
    EXPECT_EQ(button->getButton().disabledStyle.borderWidth, 40);
    EXPECT_EQ(button->getButton().disabledStyle.fill, 0x999999u);
    EXPECT_EQ(button->getButton().disabledStyle.font.color, 0xCCCCCCu);
    EXPECT_EQ(button->getButton().rect, SRect(0, 0, 3000, -1000, true));
}

TEST_F(PainterTest, SevenSegmentShowsTheLatestValueOfItsChannel) {
    auto* plain = makeAs<Painter_7Segment>(205);
    auto* scaled = makeAs<Painter_7Segment>(206);
    auto* both = makeAs<Painter_7Segment>(207);
    auto* badFormat = makeAs<Painter_7Segment>(209);
    EXPECT_EQ(plain->getExtData(), &project.channels[0]);
    EXPECT_EQ(both->getExtData(), nullptr) << "\"U_C,I\" is one unknown name";
    EXPECT_EQ(plain->formatValue(1234).str(), "1234,00");
    EXPECT_EQ(scaled->formatValue(1234).str(), "1,23 V");
    EXPECT_EQ(badFormat->formatValue(1234).str(), "1234,00");

    Project::feed(project.channels[0], 3000);
    oszitest::Recorder device;
    scaled->paint(device);
    EXPECT_EQ(scaled->getLastValue(), 3000);
    const auto texts = device.of("text");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "U_C");
    EXPECT_EQ(texts[0].rect, SRect(200, -200, 3600, -680, true));  // 40 x 12 + 200 high
    EXPECT_EQ(texts[1].text, "3,00 V");
    EXPECT_EQ(texts[1].rect, SRect(200, -880, 3600, -1920, true));
    EXPECT_EQ(texts[1].color, 0x0000FF00u);

    // Without a channel only the background and its outline.
    oszitest::Recorder empty;
    both->paint(empty);
    EXPECT_EQ(empty.of("fill").size(), 1u);
    EXPECT_EQ(empty.of("rect").size(), 1u);
    EXPECT_TRUE(empty.of("text").empty());
}

TEST_F(PainterTest, SevenSegmentAsksForARepaintOnlyWhenItsValueChanged) {
    auto* display = makeAs<Painter_7Segment>(205);
    EXPECT_TRUE(display->update()) << "the first update asks for the first paint";
    EXPECT_FALSE(display->update());
    Project::feed(project.channels[0], 500);
    EXPECT_TRUE(display->update());
    oszitest::Recorder device;
    display->paint(device);
    EXPECT_FALSE(display->update());
    Project::feed(project.channels[0], 500);
    EXPECT_FALSE(display->update()) << "the same value again";
}

TEST_F(PainterTest, ButtonClicksStatesAndCursors) {
    // Remembers the events the project's manager delivers.
    struct Receiver : SEventHandler {
        int onEvent(SEvent& event) override {
            names.push_back(event.text.str());
            return 1;
        }
        std::vector<std::string> names;
    } receiver;
    project.data.getEventManager().addHandler(&receiver);
    auto* button = makeAs<Painter_Button>(2001);

    SEvent click = application(codeClick);
    SEvent disable = application(codeDisable);
    SEvent enable = application(codeEnable);
    button->onEvent(disable);
    button->onEvent(click);
    EXPECT_TRUE(receiver.names.empty()) << "a disabled button sends nothing";
    button->onEvent(enable);
    button->onEvent(click);
    EXPECT_EQ(receiver.names, std::vector<std::string>{"board-start"});

    // Points relative to the element's top-left corner.
    SGuiEvent move = mouse(SGuiEvent::mouseMove, 100, -100);
    EXPECT_FALSE(button->onEvent(move));
    EXPECT_EQ(move.cursorId, 32649);
    SGuiEvent outside = mouse(SGuiEvent::mouseMove, 3100, -100);
    button->onEvent(outside);
    EXPECT_EQ(outside.cursorId, 0);

    button->update();
    SGuiEvent down = mouse(SGuiEvent::leftButtonDown, 100, -100);
    button->onEvent(down);
    EXPECT_TRUE(button->getButton().isPressed());
    EXPECT_EQ(down.target, button);
    EXPECT_TRUE(button->update());
    SGuiEvent upOutside = mouse(SGuiEvent::leftButtonUp, 5000, -100);
    button->onEvent(upOutside);
    EXPECT_TRUE(button->getButton().isPressed()) << "an up outside the button is ignored";
    oszitest::Recorder pressed;
    button->paint(pressed);
    EXPECT_EQ(pressed.of("fill")[0].color, 0xFFBBBBu);
    EXPECT_EQ(pressed.of("fill")[1].color, 0xFF3333u) << "the pressed look: dark top edge";
    SGuiEvent up = mouse(SGuiEvent::leftButtonUp, 100, -100);
    button->onEvent(up);
    EXPECT_FALSE(button->getButton().isPressed());

    button->onEvent(disable);
    SGuiEvent moveDisabled = mouse(SGuiEvent::mouseMove, 100, -100);
    button->onEvent(moveDisabled);
    EXPECT_EQ(moveDisabled.cursorId, 32648);
    oszitest::Recorder grey;
    button->paint(grey);
    EXPECT_EQ(grey.of("fill")[0].color, 0x999999u);
    EXPECT_EQ(grey.of("text")[0].color, 0xCCCCCCu);
    project.data.getEventManager().removeHandler(&receiver);
}

}  // namespace
