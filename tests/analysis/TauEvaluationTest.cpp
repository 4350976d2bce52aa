#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "CurveFactory.h"
#include "analysis/TauEvaluation.h"
#include "analysis/TauFormat.h"
#include "foundation/SLanguage.h"

namespace {

using curves::Shape;

TEST(TauEvaluation, RecoversTheTimeConstantByAllThreeRoutes) {
    struct Case {
        const char* name;
        Shape shape;
        HalfCycle kind;
    };
    // One ADC count is 4.9 mV; the board's noise is about one count.
    const Case cases[] = {
        {"charging, board values", {4.7, 0.0, 5.0, 30, 10, 0.004, true}, HalfCycle::charging},
        {"discharging, board values", {4.7, 4.99, 0.0, 30, 10, 0.004, true}, HalfCycle::discharging},
        {"charging from a partly charged capacitor", {4.7, 1.2, 5.0, 30, 10, 0.004, true}, HalfCycle::charging},
        {"larger R and C: the half cycle ends before the capacitor is full", {22, 0.0, 5.0, 30, 10, 0.004, true},
         HalfCycle::charging},
        {"larger R and C, discharging from where that charge stopped", {22, 3.72, 0.0, 30, 10, 0.004, true},
         HalfCycle::discharging},
        {"short time constant", {0.47, 0.0, 5.0, 30, 10, 0.004, true}, HalfCycle::charging},
        {"a later half cycle of a long record", {4.7, 5.0, 0.0, 30, 10, 0.004, true, 127.3},
         HalfCycle::discharging},
        {"exact values", {4.7, 0.0, 5.0, 30, 10, 0.0, false}, HalfCycle::charging},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TauResult r = evaluateHalfCycle(curves::make(c.shape, 7));
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_TRUE(r.reason.isEmpty()) << r.reason.str();
        ASSERT_TRUE(r.point63.ok) << r.point63.reason.str();
        ASSERT_TRUE(r.lnLine.ok) << r.lnLine.reason.str();
        ASSERT_TRUE(r.fit.ok) << r.fit.reason.str();
        const double tau = c.shape.tau;
        EXPECT_NEAR(r.point63.tau, tau, 0.02 * tau);
        EXPECT_NEAR(r.lnLine.tau, tau, 0.02 * tau);
        EXPECT_NEAR(r.fit.tau, tau, 0.01 * tau);
        // The stated uncertainty covers the error (3 standard uncertainties, plus a rounding
        // floor for exact values).
        EXPECT_LE(std::fabs(r.fit.tau - tau), 3.0 * r.fit.uncertainty + 1e-6);
        EXPECT_DOUBLE_EQ(r.t0, c.shape.t0);
        EXPECT_NEAR(r.fittedVoltage(c.shape.t0 + tau), c.shape.end + (c.shape.start - c.shape.end) / M_E, 0.01);
    }
}

TEST(TauEvaluation, StatedUncertaintyMatchesTheScatterOfRepeatedMeasurements) {
    // The same curve with fresh noise forty times: the fits scatter as their uncertainty says.
    const int runs = 40;
    double sum = 0, sumSquares = 0, stated = 0;
    int outside = 0;
    for (int k = 0; k < runs; ++k) {
        const TauResult r = evaluateHalfCycle(curves::make({4.7, 5.0, 0.0, 30, 10, 0.02, false}, 100 + k));
        ASSERT_TRUE(r.fit.ok);
        sum += r.fit.tau;
        sumSquares += r.fit.tau * r.fit.tau;
        stated += r.fit.uncertainty;
        if (std::fabs(r.fit.tau - 4.7) > 2.0 * r.fit.uncertainty) ++outside;
    }
    const double mean = sum / runs;
    const double scatter = std::sqrt((sumSquares - runs * mean * mean) / (runs - 1));
    stated /= runs;
    EXPECT_NEAR(mean, 4.7, 3.0 * stated / std::sqrt(runs));
    EXPECT_GT(scatter / stated, 0.65);
    EXPECT_LT(scatter / stated, 1.5);
    EXPECT_LE(outside, 6);  // about 5 % expected outside two standard uncertainties
}

TEST(TauEvaluation, DegenerateDataGiveNoFitAndAReason) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Curve clipped = curves::make({4.7, 0.0, 8.0, 30, 10, 0.004, true});  // heads for 8 V, the ADC stops at 5 V
    Curve jump = {{0, 0}, {0.1, 5}, {0.2, 5}, {0.3, 5}, {0.4, 5}, {0.5, 5}, {0.6, 5}, {0.7, 5}};
    Curve allNan(50, CurvePoint{nan, nan});
    Curve backwards = curves::make({4.7, 0.0, 5.0, 30, 10, 0, false});
    backwards[100].t = backwards[99].t;
    struct Case {
        const char* name;
        Curve curve;
        const char* reason;  // part of the reason (Windows-1252)
    };
    const Case cases[] = {
        {"no samples", {}, "zu wenige"},
        {"two points", {{0, 0}, {0.1, 1}}, "zu wenige"},
        {"flat", curves::make({4.7, 2.5, 2.5, 30, 10, 0, false}), "konstant"},
        {"flat at 5 V with noise", curves::make({4.7, 5.0, 5.0, 30, 10, 0.004, true}), "konstant"},
        {"stuck at the top of the ADC", curves::make({4.7, 6.0, 6.0, 30, 10, 0.004, true}), "konstant"},
        {"not a number", allNan, "zu wenige"},
        {"clipped at 5 V", clipped, "bersteuert"},
        {"a jump without a curve", jump, "springt"},
        {"a small part of a slow curve", curves::make({1000, 0.0, 5.0, 30, 10, 0.004, true}), "zu kurz"},
        {"time going backwards", backwards, "aufsteigend"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TauResult r = evaluateHalfCycle(c.curve);
        EXPECT_FALSE(r.any());
        EXPECT_FALSE(r.fit.ok);
        EXPECT_NE(r.reason.str().find(c.reason), std::string::npos) << r.reason.str();
        EXPECT_EQ(tauformat::summary(r).rfind("kein Fit m\xC3\xB6glich: ", 0), 0u) << tauformat::summary(r);
        EXPECT_TRUE(std::isnan(r.fittedVoltage(1.0)));
    }
}

TEST(TauEvaluation, LeavesOutSamplesThatAreNotNumbers) {
    Curve c = curves::make({4.7, 0.0, 5.0, 30, 10, 0.004, true});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    c[40].u = nan;
    c[41].t = nan;
    c[200].u = std::numeric_limits<double>::infinity();
    const TauResult r = evaluateHalfCycle(c);
    EXPECT_EQ(r.skipped, 3u);
    EXPECT_EQ(r.samples, c.size() - 3);
    ASSERT_TRUE(r.fit.ok);
    EXPECT_NEAR(r.fit.tau, 4.7, 0.05);
}

TEST(TauEvaluation, AGivenDirectionMustMatchTheCurve) {
    const Curve rising = curves::make({4.7, 0.0, 5.0, 30, 10, 0.004, true});
    const TauResult wrong = evaluateHalfCycle(rising, HalfCycle::discharging);
    EXPECT_FALSE(wrong.any());
    EXPECT_NE(wrong.reason.str().find("steigt"), std::string::npos);
    EXPECT_TRUE(evaluateHalfCycle(rising, HalfCycle::charging).fit.ok);
}

TEST(TauEvaluation, A63PointThatIsNotReachedLeavesTheOtherRoutes) {
    // Stopped after 3 s: the curve has not reached 63 % yet, but its bend shows the end value.
    const TauResult r = evaluateHalfCycle(curves::make({4.7, 0.0, 5.0, 3.0, 10, 0.0, false}));
    EXPECT_FALSE(r.point63.ok);
    EXPECT_NE(r.point63.reason.str().find("nicht erreicht"), std::string::npos);
    ASSERT_TRUE(r.fit.ok);
    EXPECT_NEAR(r.fit.tau, 4.7, 0.01);
    EXPECT_TRUE(r.reason.isEmpty());
}

TEST(TauFormat, NumbersInTheLanguageAndTheResultBox) {
    struct Number {
        double value;
        const char* text;
    };
    for (const Number& n : {Number{4.714, "4,71"}, Number{22.0, "22,00"}, Number{1234.5, "1234,50"},
                            Number{-0.001, "0,00"}, Number{-1.5, "-1,50"},
                            Number{std::numeric_limits<double>::quiet_NaN(), "-"}})
        EXPECT_EQ(tauformat::number(n.value), n.text) << n.value;
    // The separator follows the program's language.
    globalLanguage().setLanguage("en");
    EXPECT_EQ(tauformat::number(4.714), "4.71");
    EXPECT_EQ(tauformat::number(-0.001), "0.00");
    globalLanguage().setLanguage("de");
    for (const Number& n : {Number{0.0149, "0,02"}, Number{0.02, "0,02"}, Number{0.001, "0,01"}, Number{0.0, "0,01"},
                            Number{1.371, "1,38"}})
        EXPECT_EQ(tauformat::uncertainty(n.value), n.text) << n.value;

    TauResult r;
    r.fit = {true, 4.7098, 0.0153, {}};
    r.point63 = {true, 4.681, std::numeric_limits<double>::quiet_NaN(), {}};
    r.lnLine = {true, 4.7312, std::numeric_limits<double>::quiet_NaN(), {}};
    EXPECT_EQ(tauformat::summary(r),
              "\xCF\x84 = 4,71 s \xC2\xB1 0,02 s (Fit) \xC2\xB7 4,68 s (63 %) \xC2\xB7 4,73 s (ln)");
    EXPECT_EQ(tauformat::fitLine(r), "\xCF\x84 = 4,71 s \xC2\xB1 0,02 s (Fit)");
    EXPECT_EQ(tauformat::point63Line(r), "\xCF\x84 = 4,68 s (63 %)");
    r.fit = {false, 0, 0, "Fit konvergiert nicht"};
    EXPECT_EQ(tauformat::summary(r), "\xCF\x84 = 4,68 s (63 %) \xC2\xB7 4,73 s (ln) \xC2\xB7 kein Fit m\xC3\xB6glich");
    EXPECT_EQ(tauformat::fitLine(r), "kein Fit m\xC3\xB6glich (Fit): Fit konvergiert nicht");
}

}  // namespace
