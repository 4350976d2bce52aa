#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CurveFactory.h"
#include "analysis/HalfCycleSplitter.h"
#include "analysis/TauEvaluation.h"

namespace {

using curves::Shape;

// A run as the board measures it: charging and discharging for 30 s each, every half cycle
// starting where the previous one stopped.
Curve boardRun(int halfCycles, double tau, unsigned seed = 5) {
    Curve run;
    double u = 0.0;
    for (int h = 0; h < halfCycles; ++h) {
        const double target = h % 2 == 0 ? 5.0 : 0.0;
        Shape shape{tau, u, target, 30, 10, 0.004, true};
        Curve half = curves::make(shape, seed + h);
        curves::append(run, half);
        u = target + (u - target) * std::exp(-30.0 / tau);
    }
    return run;
}

TEST(HalfCycleSplitter, FindsTheHalfCyclesOfARun) {
    for (double tau : {4.7, 22.0, 0.47}) {
        SCOPED_TRACE(tau);
        const Curve run = boardRun(5, tau);
        const auto segments = splitHalfCycles(run);
        ASSERT_EQ(segments.size(), 5u);
        for (std::size_t k = 0; k < segments.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(segments[k].kind, k % 2 == 0 ? HalfCycle::charging : HalfCycle::discharging);
            // Each half cycle begins at its switch-over sample; where the curve is still moving
            // slowly when it turns, the noise may move the boundary by a sample or two.
            EXPECT_NEAR(static_cast<double>(segments[k].first), 300.0 * k, tau > 10 ? 2.0 : 1.0);
            const TauResult r = evaluateHalfCycle(segmentCurve(run, segments[k]), segments[k].kind);
            ASSERT_TRUE(r.fit.ok) << r.fit.reason.str();
            EXPECT_NEAR(r.fit.tau, tau, 0.02 * tau);
            EXPECT_NEAR(r.point63.tau, tau, 0.02 * tau);
            EXPECT_NEAR(r.lnLine.tau, tau, 0.02 * tau);
        }
        EXPECT_EQ(segments.back().last, run.size() - 1);
    }
}

TEST(HalfCycleSplitter, AColumnOfChargingCurvesGivesOnlyChargingSegments) {
    // The charging oscilloscope's column: one charge after the other, each from near 0 V.
    Curve column;
    for (int k = 0; k < 3; ++k) curves::append(column, curves::make({4.7, 0.01, 5.0, 30, 10, 0.004, true}, 9 + k));
    const auto segments = splitHalfCycles(column);
    ASSERT_EQ(segments.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(segments[k].kind, HalfCycle::charging);
        EXPECT_EQ(segments[k].first, 300 * k);
        EXPECT_NEAR(evaluateHalfCycle(segmentCurve(column, segments[k])).fit.tau, 4.7, 0.1);
    }
}

TEST(HalfCycleSplitter, LeavesOutLeadInsShortTailsAndBadValues) {
    // 5 s at 0 V before the charge, a discharge stopped after 0.5 s, and a few NaN values.
    Curve run = curves::make({4.7, 0.0, 0.0, 5, 10, 0.004, true});
    curves::append(run, curves::make({4.7, 0.0, 5.0, 30, 10, 0.004, true}));
    curves::append(run, curves::make({4.7, 4.99, 0.0, 0.5, 10, 0.004, true}));
    run[120].u = std::numeric_limits<double>::quiet_NaN();
    const auto segments = splitHalfCycles(run);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].kind, HalfCycle::charging);
    EXPECT_NEAR(static_cast<double>(segments[0].first), 50.0, 1.0);
    EXPECT_LE(segments[0].last, 350u);
    EXPECT_GE(segments[0].last, 345u);
    EXPECT_NEAR(evaluateHalfCycle(segmentCurve(run, segments[0])).fit.tau, 4.7, 0.1);
}

TEST(HalfCycleSplitter, NothingToSplit) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(splitHalfCycles({}).empty());
    EXPECT_TRUE(splitHalfCycles({{0, 1}}).empty());
    EXPECT_TRUE(splitHalfCycles(curves::make({4.7, 2.0, 2.0, 30, 10, 0.004, true})).empty());
    EXPECT_TRUE(splitHalfCycles(Curve(20, CurvePoint{nan, nan})).empty());
    EXPECT_TRUE(segmentCurve({}, HalfCycleSegment{HalfCycle::charging, 3, 9}).empty());
}

}  // namespace
