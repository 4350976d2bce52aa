// The experiment's circuit: a capacitor charged and discharged through a resistor, read by a
// 10-bit ADC.
#pragma once

#include <cstdint>

#include "foundation/SObject.h"

// Values of the circuit and of the measurement cycle.
struct RcParameters {
    double resistance = 10e3;     // R in ohm
    double capacitance = 470e-6;  // C in farad
    double supply = 5.0;          // U0 in volt, the voltage the pin switches to while charging
    double reference = 0.0;       // ADC reference (AVCC) in volt; 0: the supply
    double sampleRate = 10.0;     // samples per second
    double halfCycle = 30.0;      // seconds of charging, then as many of discharging
    int noise = 1;                // noise amplitude in counts (uniform in -noise..+noise)
};

// The capacitor voltage as an exact function of the time since "start". The run begins with
// an empty capacitor (the firmware discharges it fully before it measures), charges for one
// half cycle, discharges for one, and repeats. Every value is computed from the closed-form
// solution, so it does not drift however long a run lasts, and tests can compare it with
// U0 (1 - e^(-t/tau)).
class RcCircuit : public SObject {
public:
    S_CLASSNAME(RcCircuit)

    enum Phase { charging = 0, discharging = 1 };
    static constexpr int adcMax = 1023;

    // One reading of both ADC inputs, as the firmware takes it at a sample instant.
    struct Sample {
        int64_t index = 0;
        double time = 0.0;  // seconds since the start of the run
        Phase phase = charging;
        int capacitorCounts = 0;  // ADC0: U_C
        int resistorCounts = 0;   // ADC1: U_R = |U_pin - U_C|
    };

    explicit RcCircuit(const RcParameters& parameters = RcParameters(), uint64_t seed = 1);

    const RcParameters& getParameters() const { return p_; }
    double getTau() const { return p_.resistance * p_.capacitance; }
    double getReference() const { return p_.reference > 0.0 ? p_.reference : p_.supply; }
    uint64_t getSeed() const { return seed_; }

    Phase phaseAt(double t) const;
    // U_C at the time t (seconds since the start); t < 0 gives 0.
    double capacitorVoltage(double t) const;
    // U_R: U0 - U_C while charging, U_C while discharging.
    double resistorVoltage(double t) const;
    // The ADC result of a voltage without noise: rounded, limited to 0..1023.
    int toCounts(double volts) const;
    // The time of sample k (k / sample rate).
    double sampleTime(int64_t k) const { return static_cast<double>(k) / p_.sampleRate; }
    // Sample k with noise; the same seed and index always give the same sample.
    Sample sample(int64_t k) const;
    // The noise of sample k on an ADC input (0 or 1): an integer in -noise..+noise.
    int noiseAt(int64_t k, int input) const;

private:
    // Half-cycle number and the time inside that half cycle.
    void split(double t, int64_t& half, double& inside) const;
    // U_C at the start of the charging half of cycle c.
    double cycleLow(int64_t c) const;

    RcParameters p_;
    uint64_t seed_;
    double decay_ = 0.0;  // e^(-halfCycle/tau)
};
