// Synthetic measurements for the evaluation tests: exponential half cycles sampled at 10 per
// second, with Gaussian noise and optional 10-bit quantisation, as the board delivers them.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>

#include "analysis/Curve.h"

namespace curves {

struct Shape {
    double tau = 4.7;
    double start = 0.0;   // U at t = 0
    double end = 5.0;     // the value approached
    double seconds = 30.0;
    double rate = 10.0;
    double noise = 0.0;   // standard deviation in volts
    bool counts = false;  // round to 10-bit ADC counts of 5 V (and clip to 0..1023)
    double t0 = 0.0;
};

inline double adc(double u) {
    double c = std::round(u / 5.0 * 1023.0);
    return std::clamp(c, 0.0, 1023.0) * 5.0 / 1023.0;
}

inline Curve make(const Shape& s, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Curve c;
    const int n = static_cast<int>(std::lround(s.seconds * s.rate));
    for (int i = 0; i < n; ++i) {
        double t = i / s.rate;
        double u = s.end + (s.start - s.end) * std::exp(-t / s.tau);
        if (s.noise > 0) u += s.noise * gauss(rng);
        if (s.counts) u = adc(u);
        c.push_back({s.t0 + t, u});
    }
    return c;
}

// Appends b's samples to a, continuing a's time axis.
inline void append(Curve& a, const Curve& b, double step = 0.1) {
    double t = a.empty() ? 0.0 : a.back().t + step;
    for (const CurvePoint& p : b) a.push_back({t + (p.t - b.front().t), p.u});
}

}  // namespace curves
