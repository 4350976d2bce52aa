// The character format of a serial line: baud rate, data bits, parity, stop bits.
#pragma once

#include <cstdint>

#include "foundation/SString.h"

struct LineSettings {
    int baud = 0;       // 0: unknown (a speed the table does not know)
    int dataBits = 8;   // 5..8
    char parity = 'N';  // 'N', 'O', 'E', 'M' (mark) or 'S' (space)
    int stopBits = 1;   // 1 or 2

    // Start bit, data bits, parity bit and stop bits.
    int bitsPerChar() const { return 1 + dataBits + (parity != 'N' ? 1 : 0) + stopBits; }
    // The time one character takes on the line, in nanoseconds; 0 for an unknown baud rate.
    int64_t charTimeNs() const {
        return baud > 0 ? static_cast<int64_t>(bitsPerChar()) * 1'000'000'000LL / baud : 0;
    }
    // "115200,N,8,1"
    SString toText() const { return SString::printf("%d,%c,%d,%d", baud, parity, dataBits, stopBits); }

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};
