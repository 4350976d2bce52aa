// LZSS codec: arbitrary bytes must decode without crashing, as a plain ring-buffer decoder reads
// them and within the format's largest expansion; any bytes must survive compress and decompress.
// The first input byte chooses the check (even: decode, odd: round trip); the environment
// variable FUZZ_LZSS_MODE=decode or =roundtrip fixes it and passes the whole input on.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/SKompress.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

SMem mem(const uint8_t* data, std::size_t size) {
    SMem m;
    m.append(data, size);
    return m;
}

// The stream format read the simplest way: a 4096-byte ring, spaces before position 4078.
std::string ringDecode(const uint8_t* s, std::size_t size) {
    uint8_t ring[4096];
    std::memset(ring, ' ', 4078);
    std::memset(ring + 4078, 0, 18);
    std::size_t r = 4078, i = 3;
    std::string out;
    auto put = [&](uint8_t c) {
        out += static_cast<char>(c);
        ring[r] = c;
        r = (r + 1) & 4095;
    };
    while (i < size) {
        unsigned flags = s[i++];
        for (int item = 0; item < 8 && i < size; ++item, flags >>= 1) {
            if (flags & 1) {
                put(s[i++]);
                continue;
            }
            if (i + 1 >= size) return out;
            unsigned pos = s[i] | ((s[i + 1] & 0xF0) << 4), len = (s[i + 1] & 0x0F) + 3;
            i += 2;
            for (unsigned k = 0; k < len; ++k) put(ring[(pos + k) & 4095]);
        }
    }
    return out;
}

bool sameBytes(const SMem& m, const std::string& s) {
    return m.getSize() == s.size() && (s.empty() || std::memcmp(m.getData(), s.data(), s.size()) == 0);
}

void decodeStream(const uint8_t* data, std::size_t size) {
    SKompress k;
    SMem out;
    const bool valid = size >= 3 && data[0] == 't' && data[1] == 'r' && data[2] == 0x0C;
    check(k.decompress(mem(data, size), out) == valid);
    check(k.getError().isEmpty() == valid);
    if (!valid) {
        check(out.getSize() == 0);
        return;
    }
    check(k.getProgress() == 100);
    // At most 18 bytes for every two input bytes.
    check(out.getSize() <= 9 * (size - 3));
    check(sameBytes(out, ringDecode(data, size)));
}

void decode(const uint8_t* data, std::size_t size) {
    decodeStream(data, size);
    // Most inputs lack the magic; behind one they reach the decoder itself.
    std::string stream("tr\x0C", 3);
    stream.append(reinterpret_cast<const char*>(data), size);
    decodeStream(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
}

void roundTrip(const uint8_t* data, std::size_t size) {
    SKompress k;
    SMem packed = k.compress(mem(data, size));
    check(k.getError().isEmpty());
    check(packed.getSize() <= 3 + size + (size + 7) / 8);
    const std::string original(reinterpret_cast<const char*>(data), size);
    check(ringDecode(packed.getData(), packed.getSize()) == original);
    SMem plain;
    check(k.decompress(packed, plain));
    check(sameBytes(plain, original));
}

enum class Mode { byFirstByte, decode, roundTrip };

Mode modeFromEnvironment() {
    const char* m = std::getenv("FUZZ_LZSS_MODE");
    if (m && std::strcmp(m, "decode") == 0) return Mode::decode;
    if (m && std::strcmp(m, "roundtrip") == 0) return Mode::roundTrip;
    return Mode::byFirstByte;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Mode mode = modeFromEnvironment();
    switch (mode) {
        case Mode::decode:
            decode(data, size);
            break;
        case Mode::roundTrip:
            roundTrip(data, size);
            break;
        case Mode::byFirstByte:
            if (size == 0) {
                decode(data, size);
                roundTrip(data, size);
            } else if (data[0] % 2 == 0) {
                decode(data + 1, size - 1);
            } else {
                roundTrip(data + 1, size - 1);
            }
            break;
    }
    return 0;
}
