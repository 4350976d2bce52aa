// A measured curve: voltages over time, as the oscilloscopes and the CSV files hold them.
#pragma once

#include <vector>

// One measured value: time in seconds, voltage in volts.
struct CurvePoint {
    double t = 0.0;
    double u = 0.0;
};

using Curve = std::vector<CurvePoint>;

// Which half of the measurement cycle a curve belongs to.
enum class HalfCycle {
    charging,     // U_C rises towards the supply
    discharging,  // U_C falls towards ground
};
