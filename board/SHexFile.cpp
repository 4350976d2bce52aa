#include "board/SHexFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "foundation/SDebug.h"
#include "foundation/SFile.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

// Bytes past the highest address the image grows by, so that a file of ascending records
// does not resize the image for every record.
constexpr std::size_t growReserve = 1000;

constexpr std::array<int8_t, 256> makeHexTable() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) t[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) t[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - 'A' + 10);
    return t;
}
constexpr std::array<int8_t, 256> hexTable = makeHexTable();

// The field of count characters at pos, read like the number text "0x" + field: the value of
// its leading hexadecimal digits (either case). A field cut short by the end of the line gives
// the digits present, a missing one 0.
inline uint32_t field(std::string_view line, std::size_t pos, std::size_t count) {
    const std::size_t end = std::min(line.size(), pos + count);
    uint32_t value = 0;
    for (std::size_t i = pos; i < end; ++i) {
        const int d = hexTable[static_cast<unsigned char>(line[i])];
        if (d < 0) break;
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    return value;
}

// Two characters read like field(): a non-digit ends the value.
inline uint8_t twoDigits(const char* p) {
    const int hi = hexTable[static_cast<unsigned char>(p[0])];
    if (hi < 0) return 0;
    const int lo = hexTable[static_cast<unsigned char>(p[1])];
    if (lo < 0) return static_cast<uint8_t>(hi);
    return static_cast<uint8_t>(hi << 4 | lo);
}

// Removes the bytes 0x00 to 0x20 at both ends (CR, blanks, tabs, stray NULs).
inline std::string_view trimmed(std::string_view line) {
    std::size_t b = 0, e = line.size();
    while (b < e && static_cast<unsigned char>(line[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(line[e - 1]) <= 0x20) --e;
    return line.substr(b, e - b);
}

constexpr char hexDigits[] = "0123456789ABCDEF";

inline void putByte(std::string& out, unsigned value) {
    out += hexDigits[(value >> 4) & 0xF];
    out += hexDigits[value & 0xF];
}

}  // namespace

bool SHexFile::loadFile(const SString& name, SMem& image) {
    SString readError;
    const SString text = SFile::readFile(name, &readError);
    return getBinCodeFromString(text, image);
}

bool SHexFile::getBinCodeFromString(const SString& text, SMem& image) {
    error_.clear();
    errorLine_ = 0;
    image.setSize(0);
    SDebug& debug = globalDebug();
    const std::string_view all = text;
    uint64_t base = 0;
    uint64_t highest = 0;
    bool stored = false;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t nl = all.find('\n', start);
        const std::size_t end = nl == std::string_view::npos ? all.size() : nl;
        const std::string_view line = trimmed(all.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty()) continue;
        const bool tracing = debug.isOn();
        if (tracing)
            debug.print(SString(std::string("SHexFile::getBinCodeFromString(..) zeile=")) +
                        SString(std::string(line)));
        if (line[0] != ':') {
            errorLine_ = lineNumber;
            error_ = SString::printf(MSG("hexLineStart", "Zeile %d: Die Zeile beginnt nicht mit ':'."),
                                     lineNumber);
            return false;
        }
        const uint32_t lang = field(line, 1, 2);
        const uint32_t adr = field(line, 3, 4);
        const uint32_t typ = field(line, 7, 2);
        const uint32_t sum = field(line, line.size() >= 2 ? line.size() - 2 : 0, 2);
        if (tracing)
            debug.printf("SHexFile::getBinCodeFromString(..) lang=%d, adr=%d, typ=%d, sum=%d",
                         static_cast<int>(lang), static_cast<int>(adr), static_cast<int>(typ),
                         static_cast<int>(sum));
        if (typ == 0) {
            if (lang == 0) continue;
            const uint64_t first = base + adr;
            const uint64_t last = first + lang - 1;
            // Addresses from 2 GiB up (a linear base from 0x8000) count as beyond the limit,
            // not as negative addresses to drop: the data would be lost without a word.
            if (last >= maxImageSize) {
                errorLine_ = lineNumber;
                error_ = SString::printf(
                    MSG("hexAddressTooHigh",
                        "Zeile %d: Die Adresse 0x%llX liegt hinter der Grenze von 16 MiB f\xFC"
                        "r ein Speicherabbild."),
                    lineNumber, static_cast<unsigned long long>(last));
                return false;
            }
            if (last >= image.getSize())
                image.setSize(std::min<std::size_t>(
                    std::max<std::size_t>(first, image.getSize()) + 1 + growReserve, maxImageSize));
            highest = std::max(highest, last);
            stored = true;
            uint8_t* out = image.getData() + first;
            const std::size_t complete = line.size() >= 9 ? (line.size() - 9) / 2 : 0;
            if (complete >= lang) {
                // All data characters present: two digits each, a non-digit ends the value early.
                const char* p = line.data() + 9;
                for (uint32_t j = 0; j < lang; ++j, p += 2) out[j] = twoDigits(p);
            } else {
                for (uint32_t j = 0; j < lang; ++j) out[j] = static_cast<uint8_t>(field(line, 9 + 2 * j, 2));
            }
        } else if (typ == 2 || typ == 4) {
            if (lang != 2 || adr != 0) {
                errorLine_ = lineNumber;
                error_ = SString::printf(MSG("hexAddressRecord",
                                             "Zeile %d: Ein Adressdatensatz (Typ %u) muss die L\xE4"
                                             "nge 2 und die Adresse 0 haben."),
                                         lineNumber, typ);
                return false;
            }
            base = static_cast<uint64_t>(field(line, 9, 4)) << (typ == 2 ? 4 : 16);
        }
        // End of file (1), start addresses (3, 5) and unknown types carry nothing for the image;
        // the end record does not stop the parse.
    }
    image.setSize(stored ? static_cast<std::size_t>(highest) + 1 : 0);
    return true;
}

bool SHexFile::getHexCodeFromBin(const SMem& image, SString& text) {
    error_.clear();
    errorLine_ = 0;
    text.clear();
    const std::size_t size = image.getSize();
    if (size > maxImageSize) {
        error_ = SString::printf(MSG("hexImageTooLarge",
                                     "Das Speicherabbild ist mit %zu Bytes gr\xF6\xDF"
                                     "er als 16 MiB."),
                                 size);
        return false;
    }
    std::string& out = text.str();
    // 45 characters per full record, 17 per extended address record, 13 for the end record.
    out.reserve(size / 16 * 45 + 45 + (size >> 16) * 17 + 13);
    const uint8_t* data = image.getData();
    for (std::size_t p = 0; p < size; p += 16) {
        if (p >= 0x10000 && (p & 0xFFFF) == 0) {
            // Extended linear address: the upper 16 bits of the following records' addresses.
            const unsigned upper = static_cast<unsigned>(p >> 16);
            out += ":02000004";
            putByte(out, upper >> 8);
            putByte(out, upper & 0xFF);
            putByte(out, (0x100 - ((2 + 4 + (upper >> 8) + (upper & 0xFF)) & 0xFF)) & 0xFF);
            out += "\r\n";
        }
        const unsigned n = static_cast<unsigned>(std::min<std::size_t>(16, size - p));
        const unsigned hi = static_cast<unsigned>(p >> 8) & 0xFF;
        const unsigned lo = static_cast<unsigned>(p) & 0xFF;
        unsigned sum = n + hi + lo;
        out += ':';
        putByte(out, n);
        putByte(out, hi);
        putByte(out, lo);
        out += "00";
        for (unsigned j = 0; j < n; ++j) {
            putByte(out, data[p + j]);
            sum += data[p + j];
        }
        putByte(out, (0x100 - (sum & 0xFF)) & 0xFF);
        out += "\r\n";
    }
    out += ":00000001FF\r\n";
    return true;
}

bool SHexFile::saveFile(const SString& name, const SMem& image) {
    SString text;
    if (!getHexCodeFromBin(image, text)) return false;
    return SFile::writeFile(name, text, &error_);
}
