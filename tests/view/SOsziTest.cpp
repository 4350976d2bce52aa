#include "view/SOszi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "OsziRecorder.h"
#include "support/TestSupport.h"

namespace {

using oszitest::Recorder;

// An oscilloscope with direct access to its settings and channels.
class TestOszi : public SOszi {
public:
    SOsziChannel& addChannel(const std::vector<float>& yValues, float firstX = 0.0F) {
        auto* channel = new SOsziChannel;
        float x = firstX;
        for (float y : yValues) {
            SOsziValue v;
            v.yValue = y;
            v.xValue = x;
            x += 1.0F;
            channel->values.add(v);
        }
        channels.add(channel);
        return *channel;
    }
};

constexpr float autoValue = static_cast<float>(OSZI_AUTO);

TEST(SOsziTest, AutoMarkerIsTheFloatOfItsIntegerAndDefaultsAreTheExperimentLook) {
    EXPECT_EQ(static_cast<float>(OSZI_AUTO), 2147479296.0F);
    EXPECT_TRUE(isOsziAuto(static_cast<float>(static_cast<double>(OSZI_AUTO))));
    EXPECT_FALSE(isOsziAuto(2147479000.0F - 1000.0F));

    SOszi oszi;
    EXPECT_TRUE(isOsziAuto(oszi.getYMinSetting()));
    EXPECT_TRUE(isOsziAuto(oszi.getYMaxSetting()));
    EXPECT_TRUE(isOsziAuto(oszi.getStyle().xRasterValue));
    EXPECT_EQ(oszi.getStyle().axisColor, 0x0000FF00u);
    EXPECT_EQ(oszi.getStyle().fontName, "Courier New");
    EXPECT_EQ(SOsziChannel().color, 0x00FFC8C8u);
    EXPECT_STREQ(SOsziValues().getClassName(), "SOsziValues");
    EXPECT_STREQ(SOsziChannels().getClassName(), "SOsziChannels");
}

// The layout for a paint area of 10250 x -5000 (8-point labels: character cell 200).
struct RecalcCase {
    const char* name;
    float yMinSetting;
    float yMaxSetting;
    std::vector<float> firstChannel;  // empty: no channel at all
    float yRaster;                    // style value
    int paintHeight;
    float yMin, yMax;
    int top, height;  // dataRect y and height
    int yLabelLength;
    float yRaster_;  // effective
};

TEST(SOsziTest, RecalcComputesRangesMarginsRasterAndDataRect) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<RecalcCase> cases = {
        // Zero at the bottom: margin 390 below (200 + 110 + 160/2), 150 above; label "100.0".
        {"fixed 0..100", 0.0F, 100.0F, {}, autoValue, -5000, 0.0F, 100.0F, -150, -4460, 5, 12.5F},
        {"auto without data", autoValue, autoValue, {}, autoValue, -5000, 0.0F, 1.0F, -150, -4460, 3, 0.125F},
        // Limits from the first channel only; yMin 2 is not zero, so both margins are 150.
        {"auto from data", autoValue, autoValue, {2.0F, 7.0F, 3.0F}, autoValue, -5000, 2.0F, 7.0F, -150, -4700, 3,
         5.0F / 9.0F},
        {"auto max only", -5.0F, autoValue, {2.0F, 7.0F}, autoValue, -5000, -5.0F, 7.0F, -150, -4700, 4, 12.0F / 9.0F},
        {"equal limits", 5.0F, 5.0F, {}, autoValue, -5000, 5.0F, 6.0F, -150, -4700, 3, 1.0F / 9.0F},
        {"configured raster", 0.0F, 100.0F, {}, 25.0F, -5000, 0.0F, 100.0F, -150, -4460, 5, 25.0F},
        {"zero raster becomes one", 0.0F, 100.0F, {}, 0.0F, -5000, 0.0F, 100.0F, -150, -4460, 5, 1.0F},
        {"negative raster kept", 0.0F, 100.0F, {}, -2.0F, -5000, 0.0F, 100.0F, -150, -4460, 5, -2.0F},
        // No label line fits: the raster is unbounded.
        {"too low for a raster", 0.0F, 100.0F, {}, autoValue, -900, 0.0F, 100.0F, -150, -360, 5, inf},
    };
    for (const RecalcCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestOszi oszi;
        oszi.setYRange(c.yMinSetting, c.yMaxSetting);
        oszi.setXRange(0.0F, 30.0F, 1);
        oszi.getStyle().yRasterValue = c.yRaster;
        if (!c.firstChannel.empty()) {
            oszi.addChannel(c.firstChannel);
            oszi.addChannel({-100.0F, 100.0F});
        }
        Recorder device;
        oszi.recalc(device, 10250, c.paintHeight);

        EXPECT_EQ(device.fontName, "Courier New");
        EXPECT_EQ(device.fontSize, 8);
        EXPECT_FLOAT_EQ(oszi.getYMin(), c.yMin);
        EXPECT_FLOAT_EQ(oszi.getYMax(), c.yMax);
        EXPECT_EQ(oszi.getDataRect().y, c.top);
        EXPECT_EQ(oszi.getDataRect().height, c.height);
        EXPECT_FLOAT_EQ(oszi.getYDataZoom(), static_cast<float>(c.height / (c.yMax - c.yMin)));
        EXPECT_EQ(oszi.getYLabelLength(), c.yLabelLength);
        EXPECT_EQ(oszi.getYFormat(), "%.1f");
        if (std::isinf(c.yRaster_))
            EXPECT_TRUE(std::isinf(oszi.getYRasterValue()));
        else
            EXPECT_FLOAT_EQ(oszi.getYRasterValue(), c.yRaster_);
        // Left margin: one character cell per label character plus 150; 100 on the right.
        EXPECT_EQ(oszi.getDataRect().x, 200 * c.yLabelLength + 150);
        EXPECT_EQ(oszi.getDataRect().width, 10250 - oszi.getDataRect().x - 100);
        EXPECT_FLOAT_EQ(oszi.getXDataZoom(), oszi.getDataRect().width / 30.0F);
        EXPECT_EQ(oszi.getXLabelLength(), 4);  // "30.0"
        EXPECT_TRUE(isOsziAuto(oszi.getXRasterValue()));
    }
}

TEST(SOsziTest, LabelFormatsAreCheckedAndMeasured) {
    struct Case {
        const char* format;
        float minimum, maximum;
        const char* effective;
        int length;
    };
    const Case cases[] = {
        {"", 0.0F, 100.0F, "%.1f", 5},
        {"%.3f", -1.0F, 2.0F, "%.3f", 6},
        {"%6.2f V", 0.0F, 5.0F, "%6.2f V", 8},
        {"%%%.0f", 0.0F, 50.0F, "%%%.0f", 3},
        {"%+e", 0.0F, 1.0F, "%+e", 13},
        // Refused: no conversion, two, other types, a star, a length modifier.
        {"Volt", 0.0F, 100.0F, "%.1f", 5},
        {"%f%f", 0.0F, 100.0F, "%.1f", 5},
        {"%s", 0.0F, 100.0F, "%.1f", 5},
        {"%n", 0.0F, 100.0F, "%.1f", 5},
        {"%d", 0.0F, 100.0F, "%.1f", 5},
        {"%*.1f", 0.0F, 100.0F, "%.1f", 5},
        {"%Lf", 0.0F, 100.0F, "%.1f", 5},
        {"%.1f%", 0.0F, 100.0F, "%.1f", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        SOszi oszi;
        SString format(std::string(c.format));
        EXPECT_EQ(oszi.getLabelLength(format, c.minimum, c.maximum), c.length);
        EXPECT_EQ(format, c.effective);
    }
}

// Laid out in a 10250 x -4540 rectangle at (1000, -2000): data area x 1150..10150 (9000 wide,
// zoom 300 per second over 0..30 s), y -150..-4150, zero line at -4150, 40 units per volt.
class SOsziPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        oszi.setYRange(0.0F, 100.0F);
        oszi.setXRange(0.0F, 30.0F, 1);
        oszi.getStyle().xRasterValue = 5.0F;
        oszi.setTexts("t in s", "U in V");
    }
    void layoutAndPaint() {
        oszi.recalc(device, rect.width, rect.height);
        device.calls.clear();
        oszi.paint(device, rect);
    }
    TestOszi oszi;
    Recorder device;
    SRect rect{1000, -2000, 10250, -4540, true};
};

TEST_F(SOsziPaintTest, AxesTicksLabelsAndCaptions) {
    device.world.m11 = 2.0;
    device.world.m22 = 3.0;
    device.world.dx = 7.0;
    layoutAndPaint();
    ASSERT_EQ(oszi.getDataRect(), SRect(1150, -150, 9000, -4000, true));

    // Everything is drawn relative to the rectangle's corner (offsets scaled by the transform),
    // and the transform is put back afterwards.
    ASSERT_FALSE(device.calls.empty());
    EXPECT_DOUBLE_EQ(device.calls.front().transform.dx, 7.0 + 2000.0);
    EXPECT_DOUBLE_EQ(device.calls.front().transform.dy, -6000.0);
    EXPECT_DOUBLE_EQ(device.world.dx, 7.0);
    EXPECT_DOUBLE_EQ(device.world.dy, 0.0);

    const auto fills = device.of("fill");
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].rect, SRect(0, 0, 10250, -4540, true));
    EXPECT_EQ(fills[0].color, 0x00000000u);

    const auto lines = device.of("line");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].points, (std::vector<SPoint>{{1150, -4150}, {10150, -4150}}));  // zero line
    EXPECT_EQ(lines[1].points, (std::vector<SPoint>{{1150, -150}, {1150, -4150}}));    // y axis

    EXPECT_EQ(device.texts("lt"), std::vector<std::string>{"U in V"});
    EXPECT_EQ(device.texts("rb"), std::vector<std::string>{"t in s"});
    // y: from 0 up to 100 in steps of 12.5 (eight label lines fit); the top tick meets the top.
    EXPECT_EQ(device.texts("rv"), (std::vector<std::string>{"0,0", "12,5", "25,0", "37,5", "50,0", "62,5", "75,0",
                                                            "87,5", "100,0"}));
    EXPECT_EQ(lines[2].points, (std::vector<SPoint>{{1070, -4150}, {1230, -4150}}));
    EXPECT_EQ(lines[10].points, (std::vector<SPoint>{{1070, -150}, {1230, -150}}));
    // x: every 5 s up to the right end, which gets none.
    EXPECT_EQ(device.texts("th"), (std::vector<std::string>{"5,0", "10,0", "15,0", "20,0", "25,0"}));
    EXPECT_EQ(lines[11].points, (std::vector<SPoint>{{2650, -4230}, {2650, -4070}}));
    const auto labels = device.of("text");
    const oszitest::Call& firstX = *std::find_if(labels.begin(), labels.end(), [](const auto& c) { return c.align == "th"; });
    EXPECT_EQ(firstX.rect, SRect(2650 - 425, -4240, 850, -310, true));
    EXPECT_EQ(device.textColor, 0x0000FF00u);
    EXPECT_EQ(device.textBackground, 0x00000000u);
}

TEST_F(SOsziPaintTest, AutomaticXRasterDrawsNoXTicksAndNegativeValuesGetTicksBelowZero) {
    oszi.getStyle().xRasterValue = autoValue;
    oszi.setYRange(-2.0F, 2.0F);
    oszi.getStyle().yRasterValue = 1.0F;
    layoutAndPaint();
    EXPECT_TRUE(device.texts("th").empty());
    EXPECT_EQ(device.texts("rv"), (std::vector<std::string>{"0,0", "1,0", "2,0", "-1,0", "-2,0"}));
}

TEST_F(SOsziPaintTest, ZeroXRasterSwitchOffAndUnboundedYRasterLeaveOnlyTheZeroTick) {
    oszi.getStyle().showXRaster = 0;
    layoutAndPaint();
    EXPECT_TRUE(device.texts("th").empty());

    Recorder low;
    oszi.recalc(low, 10250, -900);
    oszi.paint(low, SRect(0, 0, 10250, -900, true));
    EXPECT_EQ(low.texts("rv"), std::vector<std::string>{"0,0"});
}

// Rasters from an edited repository: no hang, and never more ticks than the bound.
TEST_F(SOsziPaintTest, BadRastersEndTheTickLoops) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float raster : {-1.0F, -inf, inf, nan, 1.0e-30F, 1.0e30F}) {
        SCOPED_TRACE(raster);
        oszi.getStyle().yRasterValue = raster;
        oszi.getStyle().xRasterValue = raster;
        Recorder d;
        oszi.recalc(d, rect.width, rect.height);
        oszi.paint(d, rect);
        const auto y = d.texts("rv");
        const auto x = d.texts("th");
        EXPECT_GE(y.size(), 1u);
        EXPECT_EQ(y.front(), "0,0");
        EXPECT_LE(static_cast<int>(y.size()), 2 * SOszi::maxTicks + 1);
        EXPECT_LE(static_cast<int>(x.size()), SOszi::maxTicks);
        if (!(raster > 0.0F) || std::isinf(raster)) {
            EXPECT_EQ(y.size(), 1u);
            EXPECT_TRUE(x.empty());
        }
    }
}

TEST_F(SOsziPaintTest, CurveSegmentsLeavingTheDataAreaAreLeftOutAndCoordinatesStored) {
    oszi.setXRange(0.0F, 30.0F, 1);
    // Relative x: the first sample (x = 10) sits on the y axis.
    SOsziChannel& channel = oszi.addChannel({10.0F, 50.0F, 150.0F, 60.0F, 70.0F}, 10.0F);
    channel.color = 0x000000FF;
    layoutAndPaint();

    const auto runs = device.of("polyline");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].color, 0x000000FFu);
    EXPECT_EQ(device.penWidth, 50);
    // y0 - trunc(y x -40), x = 1150 + trunc((x - 10) x 300)
    EXPECT_EQ(runs[0].points, (std::vector<SPoint>{{1150, -3750}, {1450, -2150}}));
    EXPECT_EQ(runs[1].points, (std::vector<SPoint>{{2050, -1750}, {2350, -1350}}));
    const SOsziValue& above = channel.values.getAt(2);
    EXPECT_EQ(above.xCoord, 1750);
    EXPECT_EQ(above.yCoord, -4150 + 6000);

    // Absolute x: measured from x = 0, not from xMin.
    oszi.setXRange(5.0F, 35.0F, 0);
    layoutAndPaint();
    EXPECT_EQ(channel.values.getAt(0).xCoord, 1150 + 3000);
}

TEST_F(SOsziPaintTest, SquaresAreDrawnForEverySampleEvenOutsideTheArea) {
    oszi.getStyle().curveStyle = 2;
    oszi.addChannel({10.0F, 150.0F});
    layoutAndPaint();
    auto fills = device.of("fill");
    ASSERT_EQ(fills.size(), 3u);  // background, two squares
    EXPECT_EQ(fills[1].rect, SRect(1120, -3750 + 30, 60, -60, true));
    EXPECT_EQ(fills[2].rect, SRect(1420, 1850 + 30, 60, -60, true));
    EXPECT_EQ(fills[2].color, SOsziChannel::defaultColor);
    EXPECT_TRUE(device.of("polyline").empty());
}

TEST_F(SOsziPaintTest, ClearEmptiesEveryChannelAndKeepsThem) {
    oszi.addChannel({1.0F, 2.0F});
    oszi.addChannel({3.0F});
    oszi.clear();
    ASSERT_EQ(oszi.getChannels().getSize(), 2);
    EXPECT_EQ(oszi.getChannels().getAt(0)->values.getSize(), 0);
    EXPECT_EQ(oszi.getChannels().getAt(1)->values.getSize(), 0);
}

TEST(SOsziValuesTest, RemoveFirstDropsTheOldestAndBadIndexesChangeNothing) {
    SOsziValues values;
    for (int i = 0; i < 5; ++i) {
        SOsziValue v;
        v.yInput = i;
        values.add(v);
    }
    values.removeFirst(2);
    ASSERT_EQ(values.getSize(), 3);
    EXPECT_EQ(values.getAt(0).yInput, 2);
    values.removeFirst(10);
    EXPECT_EQ(values.getSize(), 0);

    testsupport::MessageCapture boxes;
    values.add(SOsziValue{});
    EXPECT_FALSE(values.removeAt(3));
    EXPECT_EQ(values.getSize(), 1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
}

}  // namespace
