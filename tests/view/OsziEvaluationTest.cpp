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
        evaluation.afterPoll(true, channels);
        EXPECT_TRUE(evaluation.afterPoll(false, channels));  // the stream paused
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

}  // namespace
