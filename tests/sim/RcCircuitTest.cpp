#include "sim/RcCircuit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

RcParameters quiet() {
    RcParameters p;
    p.noise = 0;
    return p;
}

TEST(RcCircuitTest, ChargesAndDischargesLikeTheExponentialSolution) {
    RcCircuit rc(quiet());
    const double u0 = 5.0, tau = 4.7, h = 30.0;
    EXPECT_DOUBLE_EQ(rc.getTau(), tau);
    EXPECT_DOUBLE_EQ(rc.capacitorVoltage(0.0), 0.0);
    // Charging: 63 % at tau, half at T1/2 = tau ln 2.
    EXPECT_NEAR(rc.capacitorVoltage(tau) / u0, 1.0 - std::exp(-1.0), 1e-12);
    EXPECT_NEAR(rc.capacitorVoltage(tau * std::log(2.0)), u0 / 2, 1e-12);
    for (double t : {0.1, 1.0, 7.3, 23.5, 29.9})
        EXPECT_NEAR(rc.capacitorVoltage(t), u0 * (1 - std::exp(-t / tau)), 1e-12) << t;
    // Discharging starts where charging ended (not quite U0 after 30 s) and is at 37 % of
    // that after tau.
    double top = u0 * (1 - std::exp(-h / tau));
    EXPECT_NEAR(rc.capacitorVoltage(h), top, 1e-12);
    EXPECT_NEAR(rc.capacitorVoltage(h + tau) / top, std::exp(-1.0), 1e-12);
    EXPECT_EQ(rc.phaseAt(h - 0.05), RcCircuit::charging);
    EXPECT_EQ(rc.phaseAt(h), RcCircuit::discharging);
    EXPECT_EQ(rc.phaseAt(2 * h), RcCircuit::charging);
    // U_R: U0 - U_C while charging, U_C while discharging.
    EXPECT_NEAR(rc.resistorVoltage(tau), u0 * std::exp(-1.0), 1e-12);
    EXPECT_NEAR(rc.resistorVoltage(h + tau), rc.capacitorVoltage(h + tau), 1e-12);
}

TEST(RcCircuitTest, LaterCyclesStartFromWhatTheDischargeLeft) {
    // With a short half cycle the capacitor is far from empty when charging starts again.
    RcParameters p = quiet();
    p.halfCycle = 2.0;
    RcCircuit rc(p);
    const double tau = rc.getTau(), u0 = p.supply, h = p.halfCycle;
    double low = 0.0;
    for (int cycle = 0; cycle < 6; ++cycle) {
        double start = 2 * h * cycle;
        double high = u0 - (u0 - low) * std::exp(-h / tau);
        EXPECT_NEAR(rc.capacitorVoltage(start + 1.0), u0 - (u0 - low) * std::exp(-1.0 / tau), 1e-9) << cycle;
        EXPECT_NEAR(rc.capacitorVoltage(start + h + 1.0), high * std::exp(-1.0 / tau), 1e-9) << cycle;
        low = high * std::exp(-h / tau);
    }
    // The curve is continuous at every boundary.
    for (int n = 1; n < 12; ++n)
        EXPECT_NEAR(rc.capacitorVoltage(n * h - 1e-7), rc.capacitorVoltage(n * h), 1e-6) << n;
}

TEST(RcCircuitTest, CountsAreRoundedAndLimitedToTheAdcRange) {
    RcCircuit rc(quiet());
    EXPECT_EQ(rc.toCounts(0.0), 0);
    EXPECT_EQ(rc.toCounts(5.0), 1023);
    EXPECT_EQ(rc.toCounts(2.5), 512);  // 511.5 rounds up
    EXPECT_EQ(rc.toCounts(-1.0), 0);
    EXPECT_EQ(rc.toCounts(6.0), 1023);
    // A reference above the supply: full charge no longer reaches 1023.
    RcParameters p = quiet();
    p.reference = 10.0;
    EXPECT_EQ(RcCircuit(p).toCounts(5.0), 512);
}

TEST(RcCircuitTest, SamplesFollowTheRateAndTheNoiseStaysWithinItsAmplitude) {
    RcParameters p;  // noise 1
    RcCircuit rc(p, 42);
    std::set<int> seen;
    for (int64_t k = 0; k < 1200; ++k) {
        RcCircuit::Sample s = rc.sample(k);
        ASSERT_DOUBLE_EQ(s.time, k * 0.1);
        ASSERT_EQ(s.phase, (k / 300) % 2 == 0 ? RcCircuit::charging : RcCircuit::discharging) << k;
        int exact = rc.toCounts(rc.capacitorVoltage(s.time));
        ASSERT_LE(std::abs(s.capacitorCounts - exact), 1) << k;
        ASSERT_LE(std::abs(s.resistorCounts - rc.toCounts(rc.resistorVoltage(s.time))), 1) << k;
        if (exact > 5 && exact < 1000) seen.insert(s.capacitorCounts - exact);
    }
    EXPECT_EQ(seen, (std::set<int>{-1, 0, 1})) << "the noise takes every value of its range";
    // Reproducible with the same seed, different with another.
    RcCircuit same(p, 42), other(p, 43);
    int differences = 0;
    for (int64_t k = 0; k < 100; ++k) {
        EXPECT_EQ(same.sample(k).capacitorCounts, rc.sample(k).capacitorCounts);
        differences += other.sample(k).capacitorCounts != rc.sample(k).capacitorCounts;
    }
    EXPECT_GT(differences, 10);
}

}  // namespace
