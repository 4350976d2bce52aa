#include "view/Painter_Oszi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "OsziRecorder.h"
#include "gui/SGuiEvent.h"
#include "repo/ViewElementData.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "support/TestSupport.h"
#include "view/KeloProjectData.h"

namespace {

using oszitest::Recorder;

// Counts the clicks that reach onClick instead of writing the dump.
class CountingOszi : public Painter_Oszi {
public:
    void onClick(int click) override {
        lastClick = click;
        ++clicks;
    }
    int clicks = 0;
    int lastClick = 0;
};

// A repository with one oscilloscope (view element 203 of base element 100) whose base element
// names the channels and whose view element carries the given attribute lines; the project
// knows the channels "Aufladen" and "Entladen".
class Painter_OsziTest : public testing::Test {
protected:
    Painter_OsziTest() {
        for (ExtData_ReceiverBuffered* channel : {&charging, &discharging}) {
            channel->getRing().setCapacity(4096);
            channel->setType(ExtData::typeUInt16);
        }
        project.getExtDataManager().add("Aufladen", &charging);
        project.getExtDataManager().add("Entladen", &discharging);
    }

    // Sets up the painter; returns what init answered.
    bool make(const std::string& extData, const std::string& attributes) {
        const std::string text = "[BaseElement_100]\r\nname=oszi\r\n"
                                 "[Attribute_100]\r\nextData=s=" + extData + "\r\n"
                                 "[ViewElement_203]\r\npainterType=3\r\nbaseObjNr=100\r\n"
                                 "clientRect=1000,-2000,10250,-4540\r\n"
                                 "[Attribute_203]\r\n" + attributes +
                                 "[ContainingList]\r\n300=203\r\n";
        dir.write("physik.repo", text);
        if (!project.getRepo().openProject(SString("ini:" + dir.file("physik.repo")))) {
            ADD_FAILURE() << "repository not opened";
            return false;
        }
        element = project.getRepo().getViewList().find(203);
        return oszi.init(element, &project, 3);
    }

    static void put(ExtData_ReceiverBuffered& channel, const std::vector<uint8_t>& bytes) {
        channel.getRing().put(bytes.data(), bytes.size());
    }
    const SOsziValues& values(int channel = 0) const { return oszi.getChannels().getAt(channel)->values; }

    testsupport::TempDir dir;
    ExtData_ReceiverBuffered charging;
    ExtData_ReceiverBuffered discharging;
    KeloProjectData project;
    ViewElementData* element = nullptr;
    CountingOszi oszi;
};

TEST_F(Painter_OsziTest, BindsChannelsByNameWithTheirCorrections) {
    ASSERT_TRUE(make("Aufladen, Entladen", "OsziCorrectionFaktorY=s=2,3\r\nOsziCorrectionOffsetX=s=,7\r\n"));
    ASSERT_EQ(oszi.getChannels().getSize(), 2);
    ASSERT_EQ(oszi.getExtDataList().getSize(), 2);
    EXPECT_EQ(oszi.getExtDataList().getAt(0), &charging);
    EXPECT_EQ(oszi.getExtDataList().getAt(1), &discharging);
    const SOsziChannel& first = *oszi.getChannels().getAt(0);
    const SOsziChannel& second = *oszi.getChannels().getAt(1);
    EXPECT_FLOAT_EQ(first.yFactor, 2.0F);
    EXPECT_FLOAT_EQ(second.yFactor, 3.0F);
    EXPECT_FLOAT_EQ(first.yOffset, 0.0F);
    EXPECT_FLOAT_EQ(second.yOffset, 0.0F);
    EXPECT_FLOAT_EQ(first.xFactor, 1.0F);
    EXPECT_FLOAT_EQ(first.xOffset, 0.0F);
    EXPECT_FLOAT_EQ(second.xOffset, 7.0F);
    EXPECT_EQ(first.color, SOsziChannel::defaultColor);
}

// An unknown name uses up its correction entries, makes no channel and stops the set-up before
// the attributes: the painter keeps the channels found and its built-in settings.
TEST_F(Painter_OsziTest, UnknownChannelNameFailsTheSetUpAndKeepsBuiltInSettings) {
    EXPECT_FALSE(make("Aufladen,Nix,Entladen", "OsziCorrectionFaktorY=s=2,5,3\r\nOsziMaxValueY=f=5\r\n"));
    ASSERT_EQ(oszi.getChannels().getSize(), 2);
    EXPECT_FLOAT_EQ(oszi.getChannels().getAt(0)->yFactor, 2.0F);
    EXPECT_FLOAT_EQ(oszi.getChannels().getAt(1)->yFactor, 3.0F);
    EXPECT_TRUE(isOsziAuto(oszi.getYMaxSetting()));
    EXPECT_TRUE(isOsziAuto(oszi.getYMinSetting()));
    EXPECT_FLOAT_EQ(oszi.getXMax(), 100.0F);
    EXPECT_EQ(oszi.getMaxValuesShowCount(), 200);
}

TEST_F(Painter_OsziTest, ReadsTheExperimentsKeysAndDefaultsTheMissingOnes) {
    ASSERT_TRUE(make("Aufladen",
                     "OsziMinValueY=f=0\r\nOsziMaxValueY=f=5\r\nOsziRasterValueY=f=1\r\nOsziFormatValueY=s=%.1f\r\n"
                     "OsziMinValueX=f=0\r\nOsziMaxValueX=f=30\r\nOsziRasterValueX=f=5\r\nOsziFormatValueX=s=%.0f\r\n"
                     "OsziMaxValuesShowCountX=i=300\r\nOsziValueStepX=f=0.1\r\nOsziRelativeValueX=i=0\r\n"
                     "OsziCurveStyle=i=2\r\nOsziTextValueX=s=t in s\r\nOsziTextValueY=s=U_C (Laden) in V\r\n"));
    EXPECT_FLOAT_EQ(oszi.getYMinSetting(), 0.0F);
    EXPECT_FLOAT_EQ(oszi.getYMaxSetting(), 5.0F);
    EXPECT_FLOAT_EQ(oszi.getStyle().yRasterValue, 1.0F);
    EXPECT_EQ(oszi.getStyle().yFormat, "%.1f");
    EXPECT_FLOAT_EQ(oszi.getXMax(), 30.0F);
    EXPECT_FLOAT_EQ(oszi.getStyle().xRasterValue, 5.0F);
    EXPECT_EQ(oszi.getStyle().xFormat, "%.0f");
    EXPECT_EQ(oszi.getMaxValuesShowCount(), 300);
    EXPECT_FLOAT_EQ(oszi.getXStep(), 0.1F);
    EXPECT_EQ(oszi.getXValuesRelative(), 0);
    EXPECT_EQ(oszi.getStyle().curveStyle, 2);
    EXPECT_EQ(oszi.getXText(), "t in s");
    EXPECT_EQ(oszi.getYText(), "U_C (Laden) in V");

    Painter_Oszi bare;
    EXPECT_TRUE(bare.loadAttributes());  // no element: every default
    EXPECT_EQ(bare.getStyle().curveStyle, 1);
    EXPECT_FLOAT_EQ(bare.getYMinSetting(), 0.0F);
    EXPECT_FLOAT_EQ(bare.getYMaxSetting(), 100.0F);
    EXPECT_TRUE(isOsziAuto(bare.getStyle().yRasterValue));
    EXPECT_TRUE(isOsziAuto(bare.getStyle().xRasterValue));
    EXPECT_FLOAT_EQ(bare.getXMin(), 0.0F);
    EXPECT_FLOAT_EQ(bare.getXMax(), 100.0F);
    EXPECT_EQ(bare.getXValuesRelative(), 1);
    EXPECT_EQ(bare.getMaxValuesShowCount(), 200);
    EXPECT_FLOAT_EQ(bare.getXStep(), 1.0F);
    EXPECT_TRUE(bare.getXText().isEmpty());
}

struct Sample {
    int xInput, yInput;
    float xValue, yValue;
};

TEST_F(Painter_OsziTest, ConvertsChannelBytesBySampleType) {
    struct Case {
        const char* name;
        int32_t type;
        std::string attributes;
        std::vector<uint8_t> bytes;
        std::vector<Sample> samples;
        int left;  // bytes left in the ring
        double counter;
    };
    const std::vector<Case> cases = {
        {"bytes", ExtData::typeUInt8, "", {0, 7, 255}, {{0, 0, 0, 0}, {1, 7, 1, 7}, {2, 255, 2, 255}}, 0, 3.0},
        {"bytes scaled, half steps", ExtData::typeUInt8,
         "OsziCorrectionFaktorY=s=2\r\nOsziCorrectionOffsetY=s=1\r\nOsziValueStepX=f=0.5\r\n",
         {0, 7, 255},
         {{0, 0, 0.0F, 1}, {0, 7, 0.5F, 15}, {1, 255, 1.0F, 511}},
         0,
         1.5},
        // Words arrive low byte first; an odd byte waits for its partner.
        {"words", ExtData::typeUInt16, "", {0x34, 0x12, 0xFF, 0x03, 0x56}, {{0, 4660, 0, 4660}, {1, 1023, 1, 1023}}, 1,
         2.0},
        {"words in volts", ExtData::typeUInt16, "OsziCorrectionFaktorY=s=0.0048875855\r\n", {0xFF, 0x03},
         {{0, 1023, 0, 5.0F}}, 0, 1.0},
        // Pairs carry their own x and leave the counter alone.
        {"pairs", ExtData::typeUInt8Pair, "", {10, 20, 255, 0, 1}, {{10, 20, 10, 20}, {255, 0, 255, 0}}, 1, 0.0},
        {"pairs scaled", ExtData::typeUInt8Pair,
         "OsziCorrectionFaktorX=s=0.5\r\nOsziCorrectionOffsetX=s=1\r\nOsziCorrectionFaktorY=s=-1\r\n",
         {10, 20},
         {{10, 20, 6, -20}},
         0,
         0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingOszi painter;
        const std::string text = "[BaseElement_100]\r\n[Attribute_100]\r\nextData=s=Aufladen\r\n"
                                 "[ViewElement_203]\r\npainterType=3\r\nbaseObjNr=100\r\nclientRect=0,0,9000,-4000\r\n"
                                 "[Attribute_203]\r\n" + c.attributes;
        dir.write("case.repo", text);
        ASSERT_TRUE(project.getRepo().openProject(SString("ini:" + dir.file("case.repo"))));
        charging.getRing().clear();
        charging.setType(c.type);
        ASSERT_TRUE(painter.init(project.getRepo().getViewList().find(203), &project, 3));
        put(charging, c.bytes);

        painter.update();
        const SOsziValues& got = painter.getChannels().getAt(0)->values;
        ASSERT_EQ(got.getSize(), static_cast<int>(c.samples.size()));
        for (int i = 0; i < got.getSize(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(got[i].xInput, c.samples[i].xInput);
            EXPECT_EQ(got[i].yInput, c.samples[i].yInput);
            EXPECT_FLOAT_EQ(got[i].xValue, c.samples[i].xValue);
            EXPECT_NEAR(got[i].yValue, c.samples[i].yValue, 1e-5);
        }
        EXPECT_EQ(charging.getRing().count(), c.left);
        EXPECT_DOUBLE_EQ(painter.getXCounter(), c.counter);
    }
}

TEST_F(Painter_OsziTest, KeepsTheNewestSamplesUpToTheLimit) {
    charging.setType(ExtData::typeUInt8);
    ASSERT_TRUE(make("Aufladen", ""));
    std::vector<uint8_t> bytes(250);
    for (int i = 0; i < 250; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    put(charging, bytes);
    oszi.update();
    ASSERT_EQ(values().getSize(), 200);
    EXPECT_FLOAT_EQ(values()[0].xValue, 50.0F);
    EXPECT_EQ(values()[0].xInput, 50);
    EXPECT_EQ(values()[0].yInput, 50);
    EXPECT_FLOAT_EQ(values()[199].xValue, 249.0F);

    // The counter goes on with the next batch.
    put(charging, {1, 2});
    oszi.update();
    ASSERT_EQ(values().getSize(), 200);
    EXPECT_FLOAT_EQ(values()[199].xValue, 251.0F);
    EXPECT_FLOAT_EQ(values()[0].xValue, 52.0F);
}

// Steps of 0.1 over a whole run: the x values stay on the decimal grid (the CSV shows them).
TEST_F(Painter_OsziTest, TenthSecondStepsDoNotDriftOverALongRun) {
    charging.setType(ExtData::typeUInt8);
    ASSERT_TRUE(make("Aufladen", "OsziValueStepX=f=0.1\r\nOsziMaxValuesShowCountX=i=100000\r\n"));
    put(charging, std::vector<uint8_t>(3000, 1));
    oszi.update();
    put(charging, std::vector<uint8_t>(3000, 1));
    oszi.update();
    ASSERT_EQ(values().getSize(), 6000);
    EXPECT_FLOAT_EQ(values()[300].xValue, 30.0F);
    EXPECT_NEAR(values()[5999].xValue, 599.9F, 1e-3);
    EXPECT_EQ(values()[5999].xInput, 599);
}

TEST_F(Painter_OsziTest, UpdateAsksForARepaintOnlyForNewDataOrAClear) {
    ASSERT_TRUE(make("Aufladen", ""));
    EXPECT_TRUE(oszi.update());  // the first paint
    EXPECT_FALSE(oszi.update());
    put(charging, {1, 0});
    EXPECT_TRUE(oszi.update());
    // A poll without samples right after them is no end; the end of the run brings the
    // evaluation's result box, once.
    EXPECT_FALSE(oszi.update());
    SEvent ended;
    ended.type = eventApplication;
    ended.code = Painter_Oszi::codeRunEnded;
    EXPECT_EQ(oszi.onEvent(ended), 0);
    EXPECT_TRUE(oszi.update());
    EXPECT_FALSE(oszi.update());

    SEvent clear;
    clear.type = eventApplication;
    clear.code = codeClear;
    EXPECT_EQ(oszi.onEvent(clear), 0);
    EXPECT_EQ(values().getSize(), 0);
    EXPECT_EQ(oszi.getChannels().getSize(), 1);
    EXPECT_TRUE(oszi.update());
    // The counter is not reset by a clear.
    put(charging, {1, 0});
    oszi.update();
    EXPECT_FLOAT_EQ(values()[0].xValue, 1.0F);
}

TEST_F(Painter_OsziTest, UnknownDataTypeLeavesTheBytesAndEnds) {
    charging.setType(7);
    ASSERT_TRUE(make("Aufladen", ""));
    put(charging, {1, 2, 3});
    oszi.update();
    EXPECT_EQ(values().getSize(), 0);
    EXPECT_EQ(charging.getRing().count(), 3);
}

TEST_F(Painter_OsziTest, CtrlClickInsideTheElementWritesTheDump) {
    ASSERT_TRUE(make("Aufladen", ""));
    struct Case {
        int32_t message;
        uint32_t keys;
        SPoint point;  // relative to the element's top-left corner
        bool taken;
    };
    const Case cases[] = {
        {SGuiEvent::leftButtonDown, SGuiEvent::keyControl, {100, -100}, true},
        {SGuiEvent::leftButtonDown, SGuiEvent::keyControl | SGuiEvent::keyLeftButton, {0, 0}, true},
        {SGuiEvent::leftButtonDown, SGuiEvent::keyControl, {10250, -4540}, true},
        {SGuiEvent::leftButtonDown, 0, {100, -100}, false},
        {SGuiEvent::leftButtonDown, SGuiEvent::keyShift, {100, -100}, false},
        {SGuiEvent::leftButtonUp, SGuiEvent::keyControl, {100, -100}, false},
        {SGuiEvent::mouseMove, SGuiEvent::keyControl, {100, -100}, false},
        {SGuiEvent::leftButtonDown, SGuiEvent::keyControl, {10251, -100}, false},
        {SGuiEvent::leftButtonDown, SGuiEvent::keyControl, {100, 1}, false},
    };
    int expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.keys << " " << c.point.x << "," << c.point.y);
        SGuiEvent event(c.message, c.point, c.keys);
        EXPECT_EQ(oszi.handleEvent(event), c.taken);
        if (c.taken) ++expected;
        EXPECT_EQ(oszi.clicks, expected);
    }
}

TEST_F(Painter_OsziTest, DumpListsLayoutAndSamples) {
    ASSERT_TRUE(make("Aufladen", "OsziRasterValueX=f=5\r\nOsziMaxValueX=f=30\r\n"));
    put(charging, {10, 0, 30, 0, 20, 0});
    oszi.update();
    Recorder device;
    oszi.paint(device);
    const SStringList lines = oszi.getDumpLines();
    ASSERT_EQ(lines.getSize(), 11 + 1 + 1 + 3 + 2);
    EXPECT_EQ(lines.getAt(0), "Painter_Oszi::onClick(..) TEST:");
    EXPECT_EQ(lines.getAt(1), SString(" --- dataRect=") + SString::printf("%d,%d,%d,%d", oszi.getDataRect().x,
                                                                         oszi.getDataRect().y,
                                                                         oszi.getDataRect().width,
                                                                         oszi.getDataRect().height));
    EXPECT_EQ(lines.getAt(2), " --- xRasterValue=5.000000");
    EXPECT_EQ(lines.getAt(6), " --- xValuesRelative=1.000000");
    EXPECT_EQ(lines.getAt(11), " --- channels[0].values.getSize()=3");
    EXPECT_EQ(lines.getAt(12), " --- Nr. / x: input/wert/Koord  y: input/wert/Koord");
    const SOsziValue& v = values()[1];
    EXPECT_EQ(lines.getAt(14), SString::printf(" --- 0001: x=     %010d     %010f     %08d     y=     %010d     %010f     %08d",
                                               1, 1.0, v.xCoord, 30, 30.0, v.yCoord));
    EXPECT_EQ(lines.getAt(16), " --- y-Input Max=30     Min=10");
    EXPECT_EQ(lines.getAt(17), " --- y-Wert Max=30.000000     Min=10.000000");

    Painter_Oszi empty;
    const SStringList none = empty.getDumpLines();
    EXPECT_EQ(none.getAt(none.getSize() - 1), " --- channels.getSize()=0");
}

TEST_F(Painter_OsziTest, FirstPaintMakesTheLayoutOnceAtTheElementsRectangle) {
    // Both y limits automatic: the layout takes the range of the data of the first paint.
    ASSERT_TRUE(make("Aufladen", "OsziMinValueY=f=2147479278\r\nOsziMaxValueY=f=2147479278\r\n"));
    put(charging, {10, 0, 30, 0});
    oszi.update();
    EXPECT_TRUE(oszi.isRecalcDue());
    Recorder device;
    oszi.paint(device);
    EXPECT_FALSE(oszi.isRecalcDue());
    EXPECT_FLOAT_EQ(oszi.getYMin(), 10.0F);
    EXPECT_FLOAT_EQ(oszi.getYMax(), 30.0F);
    EXPECT_EQ(oszi.getDataRect().height, -4540 + 300);
    // The painter's area is filled at its corner.
    ASSERT_FALSE(device.of("fill").empty());
    EXPECT_EQ(device.of("fill")[0].rect, SRect(0, 0, 10250, -4540, true));
    EXPECT_DOUBLE_EQ(device.of("fill")[0].transform.dx, 1000.0);
    EXPECT_DOUBLE_EQ(device.of("fill")[0].transform.dy, -2000.0);

    put(charging, {50, 0});
    oszi.update();
    oszi.paint(device);
    EXPECT_FLOAT_EQ(oszi.getYMax(), 30.0F);
}

// Values from an edited repository that cannot be used: the oscilloscope still draws, with the
// default formats, and never hangs.
TEST_F(Painter_OsziTest, BadAttributeValuesFallBack) {
    struct Case {
        const char* attributes;
        const char* yFormat;
        const char* xFormat;
        float yRaster;
    };
    const Case cases[] = {
        {"OsziRasterValueY=f=0\r\nOsziRasterValueX=f=0\r\n", "%.1f", "%.1f", 1.0F},
        {"OsziRasterValueY=f=-1\r\nOsziRasterValueX=f=-5\r\n", "%.1f", "%.1f", -1.0F},
        {"OsziRasterValueY=f=1e-30\r\nOsziRasterValueX=f=nan\r\n", "%.1f", "%.1f", 1e-30F},
        {"OsziFormatValueY=s=%s\r\nOsziFormatValueX=s=%n%f\r\n", "%.1f", "%.1f", 12.5F},
        {"OsziFormatValueY=s=%f%f\r\nOsziFormatValueX=s=%*.*f\r\n", "%.1f", "%.1f", 12.5F},
        {"OsziFormatValueY=s=%5.2f V\r\nOsziFormatValueX=s=%.0f s\r\n", "%5.2f V", "%.0f s", 12.5F},
        {"OsziMaxValueX=f=0\r\nOsziRasterValueX=f=5\r\n", "%.1f", "%.1f", 12.5F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        CountingOszi painter;
        ASSERT_TRUE(make("Aufladen", c.attributes));
        ASSERT_TRUE(painter.init(element, &project, 3));
        put(charging, {1, 0, 2, 0});
        painter.update();
        Recorder device;
        painter.paint(device);
        EXPECT_EQ(painter.getYFormat(), c.yFormat);
        EXPECT_EQ(painter.getXFormat(), c.xFormat);
        EXPECT_FLOAT_EQ(painter.getYRasterValue(), c.yRaster);
        EXPECT_FALSE(device.texts("rv").empty());
        EXPECT_LE(static_cast<int>(device.texts("th").size()), SOszi::maxTicks);
    }
}

}  // namespace

// Evaluation around the live curves: the time constant after a half cycle, kept runs, a frozen
// display and cursors. The oscilloscope is set up as in the experiment: 0.1 s per sample, ADC
// counts turned into volts, 0..30 s by 0..5 V.
class OsziEvaluationTest : public Painter_OsziTest {
protected:
    static constexpr double volts = 5.0 / 1023.0;

    void makeExperimentOszi() {
        ASSERT_TRUE(make("Aufladen", "OsziValueStepX=f=0.1\r\nOsziCorrectionFaktorY=s=0.004887585532746823\r\n"
                                     "OsziMinValueY=f=0\r\nOsziMaxValueY=f=5\r\nOsziMinValueX=f=0\r\n"
                                     "OsziMaxValueX=f=30\r\nOsziRelativeValueX=i=1\r\n"
                                     "OsziMaxValuesShowCountX=i=300\r\n"));
        oszi.setClock([this] { return now; });
    }
    // A poll after the stream has been silent long enough to end the half cycle.
    void pause() {
        now += 2 * OsziEvaluation::minSilenceMs;
        oszi.update();
    }
    // count samples of a charging (or discharging) curve with time constant tau, as ADC words.
    static std::vector<uint8_t> halfCycle(double tau, int count, bool charging = true) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < count; ++i) {
            const double t = 0.1 * i;
            const double u = charging ? 5.0 * (1.0 - std::exp(-t / tau)) : 5.0 * std::exp(-t / tau);
            const int adc = static_cast<int>(std::lround(u / volts));
            bytes.push_back(static_cast<uint8_t>(adc & 0xFF));
            bytes.push_back(static_cast<uint8_t>(adc >> 8));
        }
        return bytes;
    }
    void send(int32_t code) {
        SEvent event;
        event.type = eventApplication;
        event.code = code;
        oszi.onEvent(event);
    }
    // Paints and returns the recording.
    Recorder painted() {
        Recorder device;
        oszi.paint(device);
        return device;
    }
    int64_t now = 0;

    std::vector<std::string> utf8Texts(const Recorder& device) const {
        std::vector<std::string> out;
        for (const auto& c : device.of("utf8text")) out.push_back(c.text);
        return out;
    }
};

TEST_F(OsziEvaluationTest, AHalfCycleEndingBringsTheResultBoxAndTheFittedCurve) {
    makeExperimentOszi();
    put(charging, halfCycle(4.7, 300));
    oszi.update();
    EXPECT_FALSE(oszi.getEvaluation().getTauResult().has_value());  // still receiving
    pause();  // the stream paused
    ASSERT_TRUE(oszi.getEvaluation().getTauResult().has_value());
    const TauResult& result = *oszi.getEvaluation().getTauResult();
    EXPECT_EQ(result.kind, HalfCycle::charging);
    for (const TauRoute* route : {&result.fit, &result.point63, &result.lnLine}) {
        ASSERT_TRUE(route->ok);
        EXPECT_NEAR(route->tau, 4.7, 0.02 * 4.7);
    }
    const std::string text = oszi.getEvaluation().getTauText();
    EXPECT_EQ(text.rfind("\xCF\x84 = 4,", 0), 0u) << text;
    EXPECT_NE(text.find("(Fit) \xC2\xB7 "), std::string::npos) << text;
    EXPECT_NE(text.find("(63 %)"), std::string::npos) << text;
    EXPECT_NE(text.find("(ln)"), std::string::npos) << text;

    const Recorder device = painted();
    // The box goes through the UTF-8 path, so the tau survives.
    const std::vector<std::string> texts = utf8Texts(device);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), text);
    // The fitted curve lies over the measured one, a few hundredths of a millimetre away at most.
    std::vector<oszitest::Call> fitted;
    std::vector<oszitest::Call> measured;
    for (const auto& c : device.of("polyline"))
        (c.color == Painter_Oszi::fitColor ? fitted : measured).push_back(c);
    ASSERT_EQ(fitted.size(), 1u);
    ASSERT_EQ(measured.size(), 1u);
    ASSERT_EQ(fitted[0].points.size(), measured[0].points.size());
    for (std::size_t i = 0; i < fitted[0].points.size(); i += 10) {
        EXPECT_EQ(fitted[0].points[i].x, measured[0].points[i].x);
        EXPECT_NEAR(fitted[0].points[i].y, measured[0].points[i].y, 30) << i;
    }
}

// Stop, or the board's end of the run: the samples still waiting in the ring belong to the
// half cycle, which is evaluated at once. A poll that finds nothing new is no end.
TEST_F(OsziEvaluationTest, TheRunsEndEvaluatesWithTheSamplesStillWaiting) {
    makeExperimentOszi();
    const std::vector<uint8_t> bytes = halfCycle(4.7, 300);
    put(charging, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2 * 250));
    oszi.update();
    now += 400;
    oszi.update();
    EXPECT_FALSE(oszi.getEvaluation().getTauResult().has_value()) << "a late poll";
    put(charging, std::vector<uint8_t>(bytes.begin() + 2 * 250, bytes.end()));
    send(Painter_Oszi::codeRunEnded);
    EXPECT_EQ(values().getSize(), 300);
    ASSERT_TRUE(oszi.getEvaluation().getTauResult().has_value());
    EXPECT_TRUE(oszi.getEvaluation().getTauResult()->fit.ok);
    EXPECT_TRUE(oszi.update()) << "the result is painted";
}

TEST_F(OsziEvaluationTest, OnlyTheLastHalfCycleOnScreenCountsAndFlatDataGiveNoFit) {
    makeExperimentOszi();
    // The end of an earlier run's curve with tau 2 s, then a new one with tau 4.7 s.
    const std::vector<uint8_t> bytes = halfCycle(2.0, 300);
    const std::vector<uint8_t> second = halfCycle(4.7, 250);
    std::vector<uint8_t> both(bytes.end() - 2 * 50, bytes.end());
    both.insert(both.end(), second.begin(), second.end());
    put(charging, both);
    oszi.update();
    send(Painter_Oszi::codeEvaluate);
    ASSERT_TRUE(oszi.getEvaluation().getTauResult().has_value());
    ASSERT_TRUE(oszi.getEvaluation().getTauResult()->fit.ok);
    EXPECT_NEAR(oszi.getEvaluation().getTauResult()->fit.tau, 4.7, 0.1);

    send(codeClear);
    put(charging, std::vector<uint8_t>(2 * 50, 0));
    oszi.update();
    pause();
    ASSERT_TRUE(oszi.getEvaluation().getTauResult().has_value());
    EXPECT_FALSE(oszi.getEvaluation().getTauResult()->any());
    EXPECT_EQ(oszi.getEvaluation().getTauText().rfind("kein Fit m\xC3\xB6glich", 0), 0u)
        << oszi.getEvaluation().getTauText();
    // No fitted curve without a fit; the box says why.
    const Recorder device = painted();
    for (const auto& c : device.of("polyline")) EXPECT_NE(c.color, Painter_Oszi::fitColor);
    EXPECT_EQ(utf8Texts(device).back(), oszi.getEvaluation().getTauText());
}

TEST_F(OsziEvaluationTest, TheLastThreeRunsAreKeptFainterBehindTheCurrentOne) {
    makeExperimentOszi();
    // Run k has k + 1 samples, so the runs can be told apart.
    for (int k = 0; k < 4; ++k) {
        put(charging, halfCycle(4.7, k + 10));
        oszi.update();
        send(codeClear);
    }
    put(charging, halfCycle(4.7, 20));
    oszi.update();
    const auto& runs = oszi.getEvaluation().getRuns();
    ASSERT_EQ(runs.size(), 3u);
    // Newest first; the first run (10 samples) was dropped.
    EXPECT_EQ(runs[0][0].getSize(), 13);
    EXPECT_EQ(runs[1][0].getSize(), 12);
    EXPECT_EQ(runs[2][0].getSize(), 11);
    // The current run is still all there (the CSV takes it).
    EXPECT_EQ(values().getSize(), 20);

    Recorder device = painted();
    std::vector<oszitest::Call> curves = device.of("polyline");
    ASSERT_EQ(curves.size(), 4u);
    // Oldest first and faintest, the current one last in its own colour.
    EXPECT_EQ(curves[0].points.size(), 11u);
    EXPECT_EQ(curves[3].points.size(), 20u);
    EXPECT_EQ(curves[3].color, SOsziChannel::defaultColor);
    auto green = [](uint32_t color) { return (color >> 8) & 0xFF; };
    EXPECT_LT(green(curves[0].color), green(curves[1].color));
    EXPECT_LT(green(curves[1].color), green(curves[2].color));
    EXPECT_LT(green(curves[2].color), green(curves[3].color));

    // A clear of nothing keeps no empty run; forgetting the runs leaves the current curve.
    send(codeClear);
    send(codeClear);
    EXPECT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0][0].getSize(), 20);
    send(Painter_Oszi::codeClearRuns);
    EXPECT_TRUE(runs.empty());
    device = painted();
    EXPECT_TRUE(device.of("polyline").empty());
}

TEST_F(OsziEvaluationTest, AFrozenDisplayKeepsItsPictureAndLosesNoSample) {
    makeExperimentOszi();
    const std::vector<uint8_t> bytes = halfCycle(4.7, 120);
    put(charging, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2 * 40));
    oszi.update();
    painted();
    send(Painter_Oszi::codeToggleFreeze);
    ASSERT_TRUE(oszi.getEvaluation().isFrozen());
    EXPECT_TRUE(oszi.update());  // the "angehalten" mark
    put(charging, std::vector<uint8_t>(bytes.begin() + 2 * 40, bytes.end()));
    // Samples keep coming in but ask for no repaint: the picture stays.
    EXPECT_FALSE(oszi.update());
    EXPECT_EQ(values().getSize(), 120);
    // The measured curve (the pause before the freeze also brought a fitted one).
    auto curve = [](const Recorder& device) {
        std::vector<oszitest::Call> out;
        for (const auto& c : device.of("polyline"))
            if (c.color == SOsziChannel::defaultColor) out.push_back(c);
        return out;
    };
    Recorder device = painted();
    ASSERT_EQ(curve(device).size(), 1u);
    EXPECT_EQ(curve(device)[0].points.size(), 40u);
    EXPECT_EQ(utf8Texts(device).front(), "angehalten");

    send(Painter_Oszi::codeToggleFreeze);
    EXPECT_FALSE(oszi.getEvaluation().isFrozen());
    device = painted();
    ASSERT_EQ(curve(device).size(), 1u);
    EXPECT_EQ(curve(device)[0].points.size(), 120u);
    // Every sample in order, none twice: the x values go up by one step each.
    for (int i = 0; i < 120; ++i) EXPECT_NEAR(values()[i].xValue, 0.1 * i, 1e-4) << i;
}

TEST_F(OsziEvaluationTest, TwoClicksGiveTheCursorsAndTheirDifferences) {
    makeExperimentOszi();
    // Two runs: tau 2 s (kept) and tau 4.7 s (current). The samples at 2.0 s and 4.7 s are their
    // 63 % points.
    put(charging, halfCycle(2.0, 300));
    oszi.update();
    send(codeClear);
    put(charging, halfCycle(4.7, 300));
    oszi.update();
    painted();
    auto click = [this](const SOsziValue& v, uint32_t keys = 0) {
        SGuiEvent event(SGuiEvent::leftButtonDown, SPoint{v.xCoord + 20, v.yCoord - 20}, keys);
        return oszi.handleEvent(event);
    };
    // While samples come in the display is live: no cursor.
    EXPECT_FALSE(click(values()[47]));
    pause();  // the stream paused
    painted();
    ASSERT_TRUE(click(oszi.getEvaluation().getRuns()[0][0][20]));
    ASSERT_TRUE(click(values()[47]));
    const auto& cursors = oszi.getEvaluation().getCursors();
    ASSERT_TRUE(cursors[0] && cursors[1]);
    EXPECT_NEAR(cursors[0]->t, 2.0, 1e-4);
    EXPECT_NEAR(cursors[1]->t, 4.7, 1e-4);
    EXPECT_NEAR(cursors[0]->u, 5.0 * (1 - std::exp(-1.0)), 0.01);
    const std::vector<std::string> lines = oszi.getEvaluation().getCursorLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Cursor 1: t = 2,00 s  U = 3,16 V");
    EXPECT_EQ(lines[1], "Cursor 2: t = 4,70 s  U = 3,16 V");
    EXPECT_EQ(lines[2], "\xCE\x94t = 2,70 s  \xCE\x94U = 0,00 V");
    // Drawn: two dotted vertical lines, the read-outs over the result box.
    const Recorder device = painted();
    int verticals = 0;
    for (const auto& c : device.of("line"))
        if (c.color == Painter_Oszi::cursorColor && c.points[0].x == c.points[1].x) ++verticals;
    EXPECT_EQ(verticals, 2);
    const std::vector<std::string> texts = utf8Texts(device);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[2], lines[2]);
    // A third click starts again with cursor 1.
    ASSERT_TRUE(click(values()[100]));
    ASSERT_TRUE(cursors[0] && !cursors[1]);
    EXPECT_NEAR(cursors[0]->t, 10.0, 1e-4);
    // Ctrl + click is still the dump.
    EXPECT_TRUE(click(values()[10], SGuiEvent::keyControl));
    EXPECT_EQ(oszi.clicks, 1);
    EXPECT_NEAR(cursors[0]->t, 10.0, 1e-4);
}
