// One sample of the live measurement as the network sees it.
#pragma once

#include <cmath>
#include <cstdint>

#include "analysis/Curve.h"

// A step of the measurement with a point on one of the two curves: the curve's voltage (the
// channel "Aufladen" while charging, "Entladen" while discharging) and the two displays, U_C in
// volts and I in milliamperes. seq numbers every sample the program ever shared, from 1 on,
// without gaps; t is the time since the run's first sample.
struct LiveSample {
    uint64_t seq = 0;
    int run = 0;
    double t = 0.0;
    HalfCycle phase = HalfCycle::charging;
    double u = NAN;
    double uc = NAN;
    double i = NAN;
};
