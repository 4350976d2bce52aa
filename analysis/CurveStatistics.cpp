#include "analysis/CurveStatistics.h"

#include <algorithm>
#include <cmath>

namespace curvestats {

double noise(const std::vector<double>& u) {
    if (u.size() < 3) return 0.0;
    std::vector<double> second;
    second.reserve(u.size() - 2);
    for (std::size_t i = 2; i < u.size(); ++i) second.push_back(std::fabs(u[i] - 2.0 * u[i - 1] + u[i - 2]));
    auto mid = second.begin() + static_cast<std::ptrdiff_t>(second.size() / 2);
    std::nth_element(second.begin(), mid, second.end());
    // For white noise of deviation s the second difference has deviation s * sqrt(6); the
    // median of its absolute value is 0.6745 of that.
    return *mid / (0.6745 * std::sqrt(6.0));
}

double resolution(const std::vector<double>& u) {
    double best = 0.0;
    for (std::size_t i = 1; i < u.size(); ++i) {
        double d = std::fabs(u[i] - u[i - 1]);
        if (d > 0.0 && (best == 0.0 || d < best)) best = d;
    }
    // A few distinct values (a jump between two levels) say nothing about the resolution: no
    // reading that shows a curve is coarser than a twentieth of its range.
    const auto [low, high] = std::minmax_element(u.begin(), u.end());
    if (!u.empty()) best = std::min(best, (*high - *low) / 20.0);
    return best;
}

double band(double noise, double resolution) { return std::max(4.0 * noise, 2.0 * resolution); }

}  // namespace curvestats
