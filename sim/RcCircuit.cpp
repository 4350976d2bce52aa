#include "sim/RcCircuit.h"

#include <algorithm>
#include <cmath>

namespace {

// splitmix64: a well-mixed 64-bit value from a counter, enough for reproducible noise.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

RcCircuit::RcCircuit(const RcParameters& parameters, uint64_t seed) : p_(parameters), seed_(seed) {
    decay_ = std::exp(-p_.halfCycle / getTau());
}

void RcCircuit::split(double t, int64_t& half, double& inside) const {
    // The small tolerance keeps a sample that falls exactly on a boundary (k / rate == n * H,
    // computed with rounding) in the half cycle that begins there.
    half = static_cast<int64_t>(std::floor(t / p_.halfCycle + 1e-9));
    inside = std::max(0.0, t - static_cast<double>(half) * p_.halfCycle);
}

RcCircuit::Phase RcCircuit::phaseAt(double t) const {
    if (t < 0.0) return charging;
    int64_t half;
    double inside;
    split(t, half, inside);
    return half % 2 == 0 ? charging : discharging;
}

double RcCircuit::cycleLow(int64_t c) const {
    // Each cycle starts from what the previous discharge left: L(c+1) = a (U0 - (U0 - L(c)) a)
    // with a = e^(-H/tau) and L(0) = 0, whose solution is L(c) = U0 a / (1 + a) (1 - a^(2c)).
    double a = decay_;
    return p_.supply * a / (1.0 + a) * (1.0 - std::pow(a, 2.0 * static_cast<double>(c)));
}

double RcCircuit::capacitorVoltage(double t) const {
    if (t <= 0.0) return 0.0;
    int64_t half;
    double inside;
    split(t, half, inside);
    double u0 = p_.supply;
    double low = cycleLow(half / 2);
    double fall = std::exp(-inside / getTau());
    if (half % 2 == 0) return u0 - (u0 - low) * fall;
    double high = u0 - (u0 - low) * decay_;
    return high * fall;
}

double RcCircuit::resistorVoltage(double t) const {
    double uc = capacitorVoltage(t);
    return phaseAt(t) == charging ? std::fabs(p_.supply - uc) : uc;
}

int RcCircuit::toCounts(double volts) const {
    double counts = std::round(volts / getReference() * adcMax);
    return static_cast<int>(std::clamp(counts, 0.0, static_cast<double>(adcMax)));
}

int RcCircuit::noiseAt(int64_t k, int input) const {
    if (p_.noise <= 0) return 0;
    uint64_t h = mix(seed_ ^ mix(static_cast<uint64_t>(k) * 2 + static_cast<uint64_t>(input & 1)));
    uint64_t span = static_cast<uint64_t>(p_.noise) * 2 + 1;
    return static_cast<int>(h % span) - p_.noise;
}

RcCircuit::Sample RcCircuit::sample(int64_t k) const {
    Sample s;
    s.index = k;
    s.time = sampleTime(k);
    s.phase = phaseAt(s.time);
    // The noise is added to the converted value, as the ADC's own uncertainty of about one count.
    auto noisy = [this, k](double volts, int input) {
        return std::clamp(toCounts(volts) + noiseAt(k, input), 0, static_cast<int>(adcMax));
    };
    s.capacitorCounts = noisy(capacitorVoltage(s.time), 0);
    s.resistorCounts = noisy(resistorVoltage(s.time), 1);
    return s;
}
