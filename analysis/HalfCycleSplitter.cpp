#include "analysis/HalfCycleSplitter.h"

#include <algorithm>
#include <cmath>

#include "analysis/CurveStatistics.h"

std::vector<HalfCycleSegment> splitHalfCycles(const Curve& curve, std::size_t minSamples) {
    // Work on the finite samples; where[] maps back to the curve's indices.
    std::vector<std::size_t> where;
    std::vector<double> v;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        if (!std::isfinite(curve[i].t) || !std::isfinite(curve[i].u)) continue;
        where.push_back(i);
        v.push_back(curve[i].u);
    }
    std::vector<HalfCycleSegment> segments;
    if (v.size() < 2) return segments;

    const double band = curvestats::band(curvestats::noise(v), curvestats::resolution(v));
    const auto [low, high] = std::minmax_element(v.begin(), v.end());
    const double turn = std::max(0.05 * (*high - *low), 3.0 * band);
    if (!(turn > 0.0) || *high - *low <= turn) return segments;

    // The last sample from `from` to `to` that is still at the level of sample `from`.
    auto settledUntil = [&](std::size_t from, std::size_t to) {
        std::size_t last = from;
        for (std::size_t j = from; j <= to; ++j)
            if (std::fabs(v[j] - v[from]) <= band) last = j;
        return last;
    };
    auto add = [&](int trend, std::size_t first, std::size_t last) {
        if (last + 1 < first + minSamples) return;
        segments.push_back({trend > 0 ? HalfCycle::charging : HalfCycle::discharging, where[first], where[last]});
    };

    int trend = 0;
    std::size_t lowest = 0, highest = 0, extreme = 0, start = 0;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (trend == 0) {
            if (v[i] < v[lowest]) lowest = i;
            if (v[i] > v[highest]) highest = i;
            if (v[i] - v[lowest] > turn) {
                trend = 1;
                start = settledUntil(lowest, i);
                extreme = i;
            } else if (v[highest] - v[i] > turn) {
                trend = -1;
                start = settledUntil(highest, i);
                extreme = i;
            }
            continue;
        }
        const double along = trend * (v[i] - v[extreme]);
        if (along >= 0.0) {
            extreme = i;
        } else if (-along > turn) {
            const std::size_t boundary = settledUntil(extreme, i);
            add(trend, start, boundary);
            start = boundary;
            trend = -trend;
            extreme = boundary;
            for (std::size_t j = boundary; j <= i; ++j)
                if (trend * (v[j] - v[extreme]) > 0.0) extreme = j;
        }
    }
    if (trend != 0) add(trend, start, settledUntil(extreme, v.size() - 1));
    return segments;
}

Curve segmentCurve(const Curve& curve, const HalfCycleSegment& segment) {
    if (segment.first >= curve.size() || segment.last < segment.first) return {};
    const std::size_t last = std::min(segment.last, curve.size() - 1);
    return Curve(curve.begin() + static_cast<std::ptrdiff_t>(segment.first),
                 curve.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}
