#include "analysis/TauFormat.h"

#include <charconv>
#include <cmath>

#include "foundation/SLanguage.h"

namespace tauformat {
namespace {

const char* const tau = "\xCF\x84";          // τ
const char* const plusMinus = " \xC2\xB1 ";  // ±
const char* const dot = " \xC2\xB7 ";        // ·

std::string noFit() {
    return utf8(
        SString("\xB3\xB3"
                "tauNoFit\xB3\xB3"
                "kein Fit m\xF6glich"));
}

// The routes' names behind their values: "(Fit)", "(63 %)", "(ln)".
std::string fitName() {
    return utf8(
        SString("\xB3\xB3"
                "tauRouteFit\xB3\xB3"
                "Fit"));
}
std::string point63Name() {
    return utf8(
        SString("\xB3\xB3"
                "tauRoute63\xB3\xB3"
                "63 %"));
}
std::string lnName() {
    return utf8(
        SString("\xB3\xB3"
                "tauRouteLn\xB3\xB3"
                "ln"));
}

std::string routeLine(const TauRoute& route, const std::string& name, bool withUncertainty) {
    if (!route.ok) return noFit() + " (" + name + "): " + utf8(route.reason);
    std::string line = std::string(tau) + " = " + number(route.tau) + " s";
    if (withUncertainty) line += plusMinus + uncertainty(route.uncertainty) + " s";
    return line + " (" + name + ")";
}

}  // namespace

std::string number(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    char buffer[64];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return "-";
    std::string text(buffer, end);
    if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-')
        text.erase(0, 1);  // no "-0.00"
    const char separator = globalLanguage().getDecimalSeparator();
    for (char& c : text)
        if (c == '.') c = separator;
    return text;
}

std::string uncertainty(double value) {
    if (!std::isfinite(value)) return "-";
    // Rounded up, so the stated uncertainty is never smaller than the computed one.
    double hundredths = std::max(1.0, std::ceil(value * 100.0 - 1e-9));
    return number(hundredths / 100.0);
}

std::string fitLine(const TauResult& result) {
    return routeLine(result.fit, fitName(), true);
}
std::string point63Line(const TauResult& result) {
    return routeLine(result.point63, point63Name(), false);
}
std::string lnLine(const TauResult& result) {
    return routeLine(result.lnLine, lnName(), false);
}

std::string summary(const TauResult& result) {
    if (!result.any()) {
        SString reason = result.reason;
        std::string text = noFit();
        if (!reason.isEmpty() && utf8(reason) != text) text += ": " + utf8(reason);
        return text;
    }
    std::string text;
    auto add = [&text](const std::string& part) {
        text += text.empty() ? std::string(tau) + " = " + part : dot + part;
    };
    if (result.fit.ok)
        add(number(result.fit.tau) + " s" + plusMinus + uncertainty(result.fit.uncertainty) + " s (" +
            fitName() + ")");
    if (result.point63.ok) add(number(result.point63.tau) + " s (" + point63Name() + ")");
    if (result.lnLine.ok) add(number(result.lnLine.tau) + " s (" + lnName() + ")");
    if (!result.fit.ok) text += dot + noFit();
    return text;
}

std::string utf8(const SString& text) {
    return text.toUtf8();
}

}  // namespace tauformat
