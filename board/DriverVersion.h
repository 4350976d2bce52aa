// Comparison of driver version texts.
#pragma once

#include "foundation/SString.h"

// Compares two version texts such as "4.38" and "10.1" as numbers, part by part between the
// dots: -1 when a is older, 0 when equal, 1 when newer. Missing parts count as 0 ("4.38" equals
// "4.38.0"); a part's leading digits are its number ("6.1.0-18-amd64" is 6.1.0).
int compareVersions(const SString& a, const SString& b);
