// The time constants as text, with the language's decimal separator, in UTF-8 (the Greek tau has no
// Windows-1252 code): for the terminal, and for Qt through QString::fromUtf8.
#pragma once

#include <string>

#include "analysis/TauEvaluation.h"

namespace tauformat {

// A number with fixed decimals and the decimal separator of the program's language ("4,71" in
// German, "4.71" in English), whatever the process locale.
std::string number(double value, int decimals = 2);
// The standard uncertainty rounded up to two decimals, at least 0,01 ("0,02").
std::string uncertainty(double value);

// One route's line: "τ = 4,71 s ± 0,02 s (Fit)", "τ = 4,68 s (63 %)", "τ = 4,73 s (ln)", or
// for a route without a value "kein Fit möglich (ln): <reason>".
std::string fitLine(const TauResult& result);
std::string point63Line(const TauResult& result);
std::string lnLine(const TauResult& result);

// The result box: "τ = 4,71 s ± 0,02 s (Fit) · 4,68 s (63 %) · 4,73 s (ln)". Routes without
// a value are left out ("kein Fit möglich" is added when the fit has none); without any value
// "kein Fit möglich: <reason>".
std::string summary(const TauResult& result);

// Windows-1252 text (the library's messages) as UTF-8.
std::string utf8(const SString& text);

}  // namespace tauformat
