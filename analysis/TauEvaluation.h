// The time constant of one charging or discharging half cycle, three ways: the 63 % point, the
// straight line through the logarithm, and a least-squares fit of the exponential.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>

#include "analysis/Curve.h"
#include "foundation/SString.h"

// The result of one route: a time constant in seconds, or the reason why there is none.
struct TauRoute {
    bool ok = false;
    double tau = std::numeric_limits<double>::quiet_NaN();
    // The standard uncertainty of tau in seconds; only the fit has one.
    double uncertainty = std::numeric_limits<double>::quiet_NaN();
    // Why the route gave no value (a German message, Windows-1252); empty when ok.
    SString reason;
};

// Everything the evaluation of one half cycle found. The curve's own time origin t0 is the
// time of its first usable sample, where the switch-over happened.
struct TauResult {
    HalfCycle kind = HalfCycle::charging;
    TauRoute point63;  // time until 63.2 % of the step (36.8 % left while discharging)
    TauRoute lnLine;   // -1/slope of the line through ln of the remaining fraction
    TauRoute fit;      // U(t) = uEnd + (uStart - uEnd) e^(-(t - t0)/tau), least squares
    // Why no route gave a value; empty when at least one did.
    SString reason;

    double t0 = 0.0;
    double uStart = 0.0;  // the first usable sample
    double uEnd = 0.0;    // the end value estimated from the curve's shape (used by 63 % and ln)
    // The fitted curve's parameters (valid when fit.ok): U(t) = fitEnd + fitStep e^(-(t - t0)/fit.tau).
    double fitEnd = 0.0;
    double fitStep = 0.0;
    std::size_t samples = 0;  // samples used
    std::size_t skipped = 0;  // samples left out because a time or voltage was not a number

    // True when at least one route gave a time constant.
    bool any() const { return point63.ok || lnLine.ok || fit.ok; }
    // The fitted curve at time t, for drawing it over the measured one; NaN without a fit.
    double fittedVoltage(double t) const;
};

// Evaluates one half cycle. Samples must come in the order of time; samples with a value that
// is not a finite number are left out. Without a kind the curve's direction decides (rising:
// charging). Never throws; degenerate data (too few samples, a flat line, a jump without a
// curve, values stuck at the end of the ADC's range) give routes that are not ok, with reasons.
TauResult evaluateHalfCycle(const Curve& curve, std::optional<HalfCycle> kind = std::nullopt);
