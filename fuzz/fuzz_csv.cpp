// Measurement CSV: any text must parse without crashing into a rectangular table, and every
// curve in it must split and evaluate without crashing or hanging, with finite results.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "analysis/HalfCycleSplitter.h"
#include "analysis/MeasurementCsvReader.h"
#include "analysis/TauEvaluation.h"
#include "analysis/TauFormat.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkRoute(const TauRoute& route) {
    check(route.ok == route.reason.isEmpty());
    if (route.ok) check(std::isfinite(route.tau));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The table holds up to 64 columns per row; long inputs only make rows, not new paths.
    if (size > 64 * 1024) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    MeasurementTable table;
    SString error;
    const bool ok = MeasurementCsvReader::parse(text, table, error);
    check(ok == error.isEmpty());
    if (!ok) return 0;
    check(table.columns.size() >= 2 && table.columns.size() <= MeasurementCsvReader::maxColumns);
    check(table.headers.size() == table.columns.size());
    for (const auto& column : table.columns) check(column.size() == table.rows());

    const XAxis axis = MeasurementCsvReader::detectXAxis(table.columns[0]);
    for (std::size_t c = 1; c < table.columns.size(); ++c) {
        const Curve curve = MeasurementCsvReader::curve(table, c, axis);
        for (const HalfCycleSegment& segment : splitHalfCycles(curve)) {
            check(segment.first <= segment.last && segment.last < curve.size());
            const TauResult r = evaluateHalfCycle(segmentCurve(curve, segment), segment.kind);
            checkRoute(r.point63);
            checkRoute(r.lnLine);
            checkRoute(r.fit);
            check(r.any() == r.reason.isEmpty());
            check(!tauformat::summary(r).empty());
        }
        const TauResult whole = evaluateHalfCycle(curve);
        check(whole.any() == whole.reason.isEmpty());
    }
    return 0;
}
