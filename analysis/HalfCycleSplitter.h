// Splitting a long record (several cycles, or an oscilloscope's column of charging curves one
// after the other) into its charging and discharging half cycles.
#pragma once

#include <cstddef>
#include <vector>

#include "analysis/Curve.h"

// A half cycle inside a curve: the indices of its first and last sample (inclusive). Two
// neighbouring half cycles share the sample at the switch-over.
struct HalfCycleSegment {
    HalfCycle kind = HalfCycle::charging;
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t count() const { return last - first + 1; }
};

// Finds the rising and falling stretches of the curve. A new half cycle begins where the
// voltage turns and moves back by more than 5 % of the record's range (and well beyond the
// noise); it begins at the last sample that still sits at the level of the turn, so a plateau
// stays with the curve that approached it. Stretches with fewer than minSamples samples (the
// jump between two curves of one direction) are left out, as are non-finite values.
std::vector<HalfCycleSegment> splitHalfCycles(const Curve& curve, std::size_t minSamples = 8);

// The samples of one segment.
Curve segmentCurve(const Curve& curve, const HalfCycleSegment& segment);
