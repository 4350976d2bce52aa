#include "gui/SQtString.h"

#include <QList>

namespace {

// Unicode code points of the bytes 0x80-0x9F.
constexpr char16_t table80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char fromCodePoint(uint c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (table80[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

QString toQString(const SString& text) {
    QString out;
    out.reserve(text.getLength());
    for (char b : text.str()) {
        auto u = static_cast<unsigned char>(b);
        out.append(QChar(u >= 0x80 && u < 0xA0 ? table80[u - 0x80] : static_cast<char16_t>(u)));
    }
    return out;
}

SString toSString(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (uint c : text.toUcs4()) out += fromCodePoint(c);
    return SString(std::move(out));
}
