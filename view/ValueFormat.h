// Number formats from the repository, applied to one double.
#pragma once

#include "foundation/SString.h"

// A repository is a file anyone can edit, and its formats go to printf with one double
// argument. Only a format that asks for exactly that is used: literal text ("%%" included) and
// exactly one floating-point conversion (f, F, e, E, g, G, a, A) with optional flags
// ("-+ #0"), width and precision of at most two digits each. Anything else (no conversion, two
// of them, another conversion such as "%s" or "%n", "*", a length modifier) is refused.
namespace ValueFormat {

// Whether printf may apply the format to one double.
bool isValid(const SString& format);

// The value in the format, or in the fallback format when the format is refused. The number
// gets the decimal separator of the program's language (a comma in German), whatever locale
// the GUI set; the format's literal text is not translated.
SString format(const SString& format, double value, const char* fallback);

}  // namespace ValueFormat
