// The one conversion between Windows-1252 strings and Qt's UTF-16 strings.
#pragma once

#include <QString>

#include "foundation/SString.h"

// Windows-1252: bytes 0x80-0x9F through a table, every other byte is the Latin-1 code point.
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control of the same value, so every byte survives the round trip.
QString toQString(const SString& text);
// Characters outside the code page become '?'.
SString toSString(const QString& text);
