#include "view/OsziEvaluation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/SLanguage.h"

namespace {

// The evaluation's texts come from tagged messages; a language file replaces them.
class OsziEvaluationTexts : public testing::Test {
protected:
    void SetUp() override { globalLanguage().clear(); }
    void TearDown() override { globalLanguage().clear(); }

    // A charging curve with tau 4.7 s, 10 samples per second.
    static void addCharging(SOsziChannels& channels) {
        auto* channel = new SOsziChannel;
        for (int i = 0; i < 300; ++i) {
            SOsziValue v;
            v.xValue = static_cast<float>(0.1 * i);
            v.yValue = static_cast<float>(5.0 * (1.0 - std::exp(-0.1 * i / 4.7)));
            channel->values.add(v);
        }
        channels.add(channel);
    }
    // Frozen, with both cursors and a result: every kind of line in the box.
    static std::vector<OsziEvaluation::BoxLine> fullBox() {
        SOsziChannels channels;
        addCharging(channels);
        OsziEvaluation evaluation;
        evaluation.afterPoll(300, channels, 0);
        EXPECT_TRUE(evaluation.runEnded(channels));
        evaluation.setFrozen(true, channels);
        evaluation.placeCursor({2.0, 1.5});
        evaluation.placeCursor({4.7, 3.16});
        return evaluation.getBoxLines();
    }
};

TEST_F(OsziEvaluationTexts, TheBoxIsMadeOfTaggedMessagesAndALanguageFileTranslatesThem) {
    struct Case {
        const char* what;
        const char* languageFile;  // Windows-1252, as language files are
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"German defaults",
         "",
         {"angehalten", "Cursor 1: t = 2,00 s  U = 1,50 V", "Cursor 2: t = 4,70 s  U = 3,16 V",
          "\xCE\x94t = 2,70 s  \xCE\x94U = 1,66 V"}},
        // Windows-1252 letters become UTF-8, the Delta passes through, and the places may change
        // their order.
        {"translated",
         "osziFrozen=arr\xEAt\xE9\xB3\xB3"
         "osziCursor=Curseur %1 : U = %3 V, t = %2 s\xB3\xB3"
         "osziCursorDelta=%1U = %3 V, %1t = %2 s\xB3\xB3",
         {"arr\xC3\xAAt\xC3\xA9", "Curseur 1 : U = 1,50 V, t = 2,00 s", "Curseur 2 : U = 3,16 V, t = 4,70 s",
          "\xCE\x94U = 1,66 V, \xCE\x94t = 2,70 s"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        globalLanguage().clear();
        ASSERT_TRUE(globalLanguage().load(c.languageFile));
        const std::vector<OsziEvaluation::BoxLine> box = fullBox();
        ASSERT_EQ(box.size(), c.lines.size() + 1);
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(box[i].text, c.lines[i]);
            EXPECT_FALSE(box[i].result);
        }
        // The result line comes last, in the fit's colour.
        EXPECT_TRUE(box.back().result);
        EXPECT_EQ(box.back().text.rfind("\xCF\x84 = 4,7", 0), 0u) << box.back().text;
    }
}

TEST_F(OsziEvaluationTexts, TheResultLineNamesItsRoutesInTheLanguageLoaded) {
    ASSERT_TRUE(
        globalLanguage().load("tauRouteFit=fit\xB3\xB3"
                              "tauRoute63=63 % point\xB3\xB3"
                              "tauRouteLn=log line\xB3\xB3"));
    const std::string text = fullBox().back().text;
    for (const char* part : {" s (fit) \xC2\xB7 ", " s (63 % point) \xC2\xB7 ", " s (log line)"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    EXPECT_EQ(text.find("(Fit)"), std::string::npos) << text;
}

// When a half cycle counts as over. The samples come as from the board, 10 per second, and the
// diagram polls every 200 ms; the clock is the test's.
class HalfCycleEnd : public testing::Test {
protected:
    HalfCycleEnd() { channels.add(new SOsziChannel); }

    // One poll at the time now: count samples of a charging curve with tau 4.7 s come in.
    bool poll(int count) {
        for (int i = 0; i < count; ++i, ++sample) {
            SOsziValue v;
            v.xValue = static_cast<float>(0.1 * sample);
            v.yValue = static_cast<float>(5.0 * (1.0 - std::exp(-0.1 * sample / 4.7)));
            channels.getAt(0)->values.add(v);
        }
        const bool changed = evaluation.afterPoll(count, channels, now);
        now += 200;
        return changed;
    }
    // Polls for a span of time with two samples each.
    void receive(int64_t ms) {
        for (int64_t end = now + ms; now < end;) poll(2);
    }
    bool evaluated() const { return evaluation.getTauResult().has_value(); }

    SOsziChannels channels;
    OsziEvaluation evaluation;
    int64_t now = 1000;
    int sample = 0;
};

TEST_F(HalfCycleEnd, ALatePollIsNoEndButSilenceIs) {
    receive(3000);
    EXPECT_TRUE(evaluation.isReceiving());
    // Polls that find nothing for up to the silence limit (the stream lagging behind a busy
    // window, or the serial line bunching frames) leave the curve growing.
    for (int64_t quiet = 200; quiet <= OsziEvaluation::minSilenceMs; quiet += 200) EXPECT_FALSE(poll(0)) << quiet;
    EXPECT_FALSE(evaluated());
    // Samples again: still the same half cycle.
    receive(1000);
    EXPECT_FALSE(evaluated());
    // A longer silence ends it.
    for (int64_t quiet = 200; quiet <= OsziEvaluation::minSilenceMs + 200 && !evaluated(); quiet += 200) poll(0);
    ASSERT_TRUE(evaluated());
    EXPECT_FALSE(evaluation.isReceiving());
    EXPECT_TRUE(evaluation.getTauResult()->fit.ok);
}

TEST_F(HalfCycleEnd, TheSilenceLimitGrowsWithASlowSampleInterval) {
    // One sample a second: a silence of two seconds is still a gap between samples.
    for (int i = 0; i < 20; ++i) {
        poll(1);
        now += 800;
    }
    EXPECT_NEAR(static_cast<double>(evaluation.silenceLimitMs()), 5000.0, 50.0);
    now += 2000;
    EXPECT_FALSE(poll(0));
    EXPECT_FALSE(evaluated());
    now += 3500;
    EXPECT_TRUE(poll(0));
}

TEST_F(HalfCycleEnd, TheOtherHalfCycleBeginningOrTheRunEndingEndsItAtOnce) {
    struct Case {
        const char* what;
        bool samplesAtTheLastPoll;
        bool runEnds;
    };
    for (const Case& c : {Case{"the other half began after a silent poll", false, false},
                          Case{"the other half began in the poll of the last samples", true, false},
                          Case{"the run ended", true, true}}) {
        SCOPED_TRACE(c.what);
        evaluation.startRun(channels);
        channels.getAt(0)->values.removeAll();
        receive(2000);
        if (!c.samplesAtTheLastPoll) poll(0);
        if (c.runEnds) {
            EXPECT_TRUE(evaluation.runEnded(channels));
        } else if (c.samplesAtTheLastPoll) {
            // Its last samples came with the other's first: it ends at its next silent poll.
            EXPECT_FALSE(evaluation.otherHalfBegan(channels));
            EXPECT_FALSE(evaluated());
            EXPECT_TRUE(poll(0));
        } else {
            EXPECT_TRUE(evaluation.otherHalfBegan(channels));
        }
        EXPECT_TRUE(evaluated());
        // Ended once; nothing more to evaluate.
        EXPECT_FALSE(evaluation.runEnded(channels));
        EXPECT_FALSE(evaluation.otherHalfBegan(channels));
    }
}

TEST_F(HalfCycleEnd, AGrowingCurveNeverShowsAFailedFit) {
    receive(400);  // a handful of samples
    EXPECT_FALSE(evaluation.evaluate(channels.getAt(0)->values, true));
    EXPECT_FALSE(evaluated());
    EXPECT_TRUE(evaluation.getBoxLines().empty());
    // Enough samples: "Auswerten" during the half cycle shows the fit so far.
    receive(8000);
    EXPECT_TRUE(evaluation.evaluate(channels.getAt(0)->values, true));
    EXPECT_TRUE(evaluation.getTauResult()->fit.ok);
    // A half cycle that really ended with few samples says why there is no fit.
    evaluation.startRun(channels);
    channels.getAt(0)->values.removeAll();
    receive(400);
    EXPECT_TRUE(evaluation.runEnded(channels));
    EXPECT_FALSE(evaluation.getTauResult()->fit.ok);
    EXPECT_NE(evaluation.getTauText().find("kein Fit m\xC3\xB6glich"), std::string::npos) << evaluation.getTauText();
}

TEST_F(HalfCycleEnd, TheNoticeHeadsTheBoxUntilTheFirstSample) {
    EXPECT_TRUE(evaluation.setNotice(OsziEvaluation::dischargingNotice("2,31 V")));
    EXPECT_FALSE(evaluation.setNotice(OsziEvaluation::dischargingNotice("2,31 V")));
    ASSERT_EQ(evaluation.getBoxLines().size(), 1u);
    EXPECT_EQ(evaluation.getBoxLines()[0].text, "Kondensator wird entladen \xE2\x80\xA6 2,31 V");
    EXPECT_TRUE(poll(1)) << "the first sample takes the notice away";
    EXPECT_TRUE(evaluation.getBoxLines().empty());
}

}  // namespace
