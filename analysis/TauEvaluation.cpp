#include "analysis/TauEvaluation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include "analysis/CurveStatistics.h"

namespace {

// 1 - 1/e: the fraction of the step covered after one time constant.
constexpr double stepAtTau = 0.63212055882855767;

// The curve in the form the routes work on: finite samples, time counted from the first one.
struct Samples {
    std::vector<double> t;
    std::vector<double> u;
    std::size_t size() const { return t.size(); }
};

// A route or the whole evaluation refused, with its reason.
TauRoute refused(const SString& reason) {
    TauRoute route;
    route.reason = reason;
    return route;
}

double mean(const std::vector<double>& v, std::size_t first, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = first; i < first + count; ++i) sum += v[i];
    return sum / static_cast<double>(count);
}

// The end value the curve approaches, from three equally spaced windows of equal length
// (start, middle, end): for a + b e^(-t/tau) their means A, B, C fall by the same ratio
// r = (C - B)/(B - A), so the end value is C + (C - B) r/(1 - r). A curve that has settled
// before the middle window (r <= 0 within the noise) ends at the mean of its last window.
// Returns false when the curve is too short for its end to show (r near 1: nearly a line).
bool estimateEnd(const Samples& s, double band, double& end) {
    const std::size_t n = s.size();
    const std::size_t w = std::max<std::size_t>(1, n / 10);
    const std::size_t k = (n - w) / 2;
    double a = mean(s.u, 0, w), b = mean(s.u, k, w), c = mean(s.u, 2 * k, w);
    double first = b - a, second = c - b;
    if (std::fabs(first) <= band / std::sqrt(static_cast<double>(w))) {
        end = c;
        return true;
    }
    double r = second / first;
    if (r <= 0.0) {
        end = c;
        return true;
    }
    if (r >= 0.95) return false;
    end = c + second * r / (1.0 - r);
    return true;
}

// The model a + b e^(-t/tau) with tau = e^s, so the fit cannot step to a negative or zero
// time constant; the uncertainty is converted back to tau at the end.
struct ExponentialModel : Eigen::DenseFunctor<double> {
    const Samples& s;
    explicit ExponentialModel(const Samples& samples)
        : Eigen::DenseFunctor<double>(3, static_cast<int>(samples.size())), s(samples) {}

    int operator()(const Eigen::VectorXd& p, Eigen::VectorXd& residual) const {
        const double tau = std::exp(p[2]);
        for (std::size_t i = 0; i < s.size(); ++i)
            residual[static_cast<Eigen::Index>(i)] = p[0] + p[1] * std::exp(-s.t[i] / tau) - s.u[i];
        return 0;
    }
    int df(const Eigen::VectorXd& p, Eigen::MatrixXd& jacobian) const {
        const double tau = std::exp(p[2]);
        for (std::size_t i = 0; i < s.size(); ++i) {
            const auto row = static_cast<Eigen::Index>(i);
            const double e = std::exp(-s.t[i] / tau);
            jacobian(row, 0) = 1.0;
            jacobian(row, 1) = e;
            jacobian(row, 2) = p[1] * e * s.t[i] / tau;  // d/ds with tau = e^s
        }
        return 0;
    }
};

TauRoute point63(const Samples& s, double start, double end) {
    const double level = start + stepAtTau * (end - start);
    const double direction = end > start ? 1.0 : -1.0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (direction * (s.u[i] - level) < 0.0) continue;
        const double du = s.u[i] - s.u[i - 1];
        const double part = du != 0.0 ? (level - s.u[i - 1]) / du : 1.0;
        TauRoute route;
        route.ok = true;
        route.tau = s.t[i - 1] + std::clamp(part, 0.0, 1.0) * (s.t[i] - s.t[i - 1]);
        return route;
    }
    return refused("\xB3\xB3" "tau63NotReached\xB3\xB3" "63-%-Punkt nicht erreicht");
}

// Least-squares line through ln((end - U)/(end - start)) over the samples still far enough
// from the end value for the ADC to resolve the remaining distance: at least 3 % of the step
// and ten readings' width. The line stops at the first sample closer than that, so noise near
// the end cannot bring later samples back in.
TauRoute lnLine(const Samples& s, double start, double end, double noise, double resolution,
                double& intercept) {
    const double step = end - start;
    const double least = std::max(0.03 * std::fabs(step), 10.0 * std::max(noise, resolution));
    double st = 0, sy = 0, stt = 0, sty = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double remaining = (end - s.u[i]) / step;  // 1 at the start, 0 at the end
        if (remaining * std::fabs(step) < least) break;
        const double y = std::log(remaining);
        st += s.t[i];
        sy += y;
        stt += s.t[i] * s.t[i];
        sty += s.t[i] * y;
        ++n;
    }
    if (n < 3) return refused("\xB3\xB3" "tauLnFew\xB3\xB3" "zu wenige Punkte f\xFC" "r die ln-Gerade");
    const double count = static_cast<double>(n);
    const double denominator = count * stt - st * st;
    const double slope = denominator != 0.0 ? (count * sty - st * sy) / denominator : 0.0;
    if (!(slope < 0.0)) return refused("\xB3\xB3" "tauLnSlope\xB3\xB3" "ln-Gerade f\xE4llt nicht");
    intercept = (sy - slope * st) / count;
    TauRoute route;
    route.ok = true;
    route.tau = -1.0 / slope;
    return route;
}

TauRoute fitExponential(const Samples& s, double end, double step, double tauSeed, double& fitEnd,
                        double& fitStep) {
    const SString failed("\xB3\xB3" "tauFitFailed\xB3\xB3" "Fit konvergiert nicht");
    ExponentialModel model(s);
    Eigen::LevenbergMarquardt<ExponentialModel> lm(model);
    lm.setMaxfev(200);
    Eigen::VectorXd p(3);
    p << end, step, std::log(tauSeed);
    const auto status = lm.minimize(p);
    using namespace Eigen::LevenbergMarquardtSpace;
    if (status == ImproperInputParameters || status == TooManyFunctionEvaluation || status == UserAsked ||
        !p.allFinite())
        return refused(failed);

    // Standard uncertainty from the covariance s^2 (J^T J)^-1 in the parameters a, b, tau,
    // with s^2 the residual variance of the n - 3 degrees of freedom.
    const double tau = std::exp(p[2]);
    const auto n = static_cast<Eigen::Index>(s.size());
    Eigen::MatrixXd jacobian(n, 3);
    double rss = 0.0;
    for (Eigen::Index i = 0; i < n; ++i) {
        const double t = s.t[static_cast<std::size_t>(i)];
        const double e = std::exp(-t / tau);
        jacobian(i, 0) = 1.0;
        jacobian(i, 1) = e;
        jacobian(i, 2) = p[1] * e * t / (tau * tau);
        const double r = p[0] + p[1] * e - s.u[static_cast<std::size_t>(i)];
        rss += r * r;
    }
    const Eigen::Matrix3d normal = jacobian.transpose() * jacobian;
    Eigen::FullPivLU<Eigen::Matrix3d> lu(normal);
    if (!lu.isInvertible()) return refused(failed);
    const double variance = rss / static_cast<double>(n - 3) * lu.inverse()(2, 2);
    if (!std::isfinite(variance) || variance < 0.0 || !std::isfinite(tau)) return refused(failed);

    TauRoute route;
    route.ok = true;
    route.tau = tau;
    route.uncertainty = std::sqrt(variance);
    fitEnd = p[0];
    fitStep = p[1];
    return route;
}

}  // namespace

double TauResult::fittedVoltage(double t) const {
    if (!fit.ok) return std::numeric_limits<double>::quiet_NaN();
    return fitEnd + fitStep * std::exp(-(t - t0) / fit.tau);
}

TauResult evaluateHalfCycle(const Curve& curve, std::optional<HalfCycle> kind) {
    TauResult result;
    if (kind) result.kind = *kind;
    auto refuse = [&result](const SString& reason) {
        result.reason = reason;
        result.point63 = result.lnLine = result.fit = refused(reason);
        return result;
    };

    Samples s;
    s.t.reserve(curve.size());
    s.u.reserve(curve.size());
    for (const CurvePoint& p : curve) {
        if (!std::isfinite(p.t) || !std::isfinite(p.u)) {
            ++result.skipped;
            continue;
        }
        if (!s.t.empty() && !(p.t > s.t.back()))
            return refuse("\xB3\xB3" "tauTimeOrder\xB3\xB3" "Zeitwerte nicht aufsteigend");
        s.t.push_back(p.t);
        s.u.push_back(p.u);
    }
    result.samples = s.size();
    if (s.size() < 5) return refuse("\xB3\xB3" "tauTooFew\xB3\xB3" "zu wenige Messwerte");
    result.t0 = s.t.front();
    for (double& t : s.t) t -= result.t0;

    const double noise = curvestats::noise(s.u);
    const double resolution = curvestats::resolution(s.u);
    const double band = curvestats::band(noise, resolution);
    const auto [low, high] = std::minmax_element(s.u.begin(), s.u.end());
    const double scale = std::max(std::fabs(*low), std::fabs(*high));
    if (*high - *low <= std::max(2.0 * band, 1e-9 * scale))
        return refuse("\xB3\xB3" "tauFlat\xB3\xB3" "Spannung konstant");

    const double start = s.u.front();
    double end = 0.0;
    if (!estimateEnd(s, band, end))
        return refuse("\xB3\xB3" "tauTooShort\xB3\xB3" "Kurve zu kurz, der Endwert ist nicht bestimmbar");
    result.uStart = start;
    result.uEnd = end;
    const double step = end - start;
    if (std::fabs(step) <= 2.0 * band)
        return refuse("\xB3\xB3" "tauFlat\xB3\xB3" "Spannung konstant");
    const HalfCycle found = step > 0 ? HalfCycle::charging : HalfCycle::discharging;
    if (kind && *kind != found)
        return refuse(found == HalfCycle::charging
                          ? SString("\xB3\xB3" "tauRising\xB3\xB3" "Spannung steigt: keine Entladekurve")
                          : SString("\xB3\xB3" "tauFalling\xB3\xB3" "Spannung f\xE4llt: keine Ladekurve"));
    result.kind = found;

    // A curve needs samples on its way: with fewer than three between 5 % and 95 % of the
    // step the voltage jumped (no capacitor, or a time constant below the sampling interval).
    std::size_t between = 0;
    for (double u : s.u) {
        const double part = (u - start) / step;
        if (part > 0.05 && part < 0.95) ++between;
    }
    if (between < 3)
        return refuse("\xB3\xB3" "tauJump\xB3\xB3" "Spannung springt ohne Kurve (Zeitkonstante k\xFC"
                      "rzer als der Messabstand)");

    // Values clipped at the end of the ADC's range: the curve runs into one value while still
    // moving by more than a reading per sample and then stays there exactly. The exponential no
    // longer describes it. A curve that settles on one reading arrives there slowly.
    const double direction = step > 0 ? 1.0 : -1.0;
    const double extreme = direction > 0 ? *high : *low;
    for (std::size_t i = 1; i + 2 < s.size(); ++i) {
        if (s.u[i] != extreme || s.u[i + 1] != extreme || s.u[i + 2] != extreme) continue;
        const std::size_t back = std::min<std::size_t>(5, i);
        if (direction * (s.u[i] - s.u[i - back]) / static_cast<double>(back) > band)
            return refuse("\xB3\xB3" "tauClipped\xB3\xB3" "Messwerte am Ende des Messbereichs (\xFC" "bersteuert)");
        break;
    }

    result.point63 = point63(s, start, end);
    double intercept = 0.0;
    result.lnLine = lnLine(s, start, end, noise, resolution, intercept);

    double seed = result.lnLine.ok ? result.lnLine.tau : result.point63.ok ? result.point63.tau : s.t.back() / 3.0;
    double seedStep = result.lnLine.ok ? (start - end) * std::exp(intercept) : start - end;
    result.fit = fitExponential(s, end, seedStep, seed, result.fitEnd, result.fitStep);
    if (!result.any()) result.reason = "\xB3\xB3" "tauNoFit\xB3\xB3" "kein Fit m\xF6glich";
    return result;
}
