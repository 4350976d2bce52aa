// Noise and resolution of measured values, estimated from the values themselves, so that
// thresholds follow what the data can show (10-bit ADC counts, or exact synthetic values).
#pragma once

#include <vector>

namespace curvestats {

// Standard deviation of the noise: the median absolute second difference, scaled for white
// noise. Second differences remove the smooth curve; the median ignores jumps between cycles.
double noise(const std::vector<double>& u);
// The smallest step between two neighbouring values that differ: one ADC count for measured
// data, at most a twentieth of the range. 0 when all values are equal or there are fewer than two.
double resolution(const std::vector<double>& u);
// Values that differ by less than this are the same reading: the larger of four noise widths
// and two resolution steps.
double band(double noise, double resolution);

}  // namespace curvestats
