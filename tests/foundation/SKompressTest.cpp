#include "foundation/SKompress.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>
#include <string>

namespace {

const std::string magic("tr\x0C", 3);
const std::string badMagicText = "Ung\xFCltige komprimierte Daten bzw. fehlerhafte Kennung.";

SMem mem(const std::string& bytes) {
    SMem m;
    m.append(bytes.data(), bytes.size());
    return m;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string str(const SMem& m) {
    return std::string(reinterpret_cast<const char*>(m.getData()), m.getSize());
}

// A decoder written straight from the stream format with a real ring buffer: an independent
// check of the compressor's output and of the codec's own decoder.
std::string ringDecode(const std::string& s) {
    unsigned char ring[4096];
    std::memset(ring, ' ', 4078);
    std::memset(ring + 4078, 0, 18);
    std::size_t r = 4078, i = 3;
    std::string out;
    auto put = [&](unsigned char c) {
        out += static_cast<char>(c);
        ring[r] = c;
        r = (r + 1) & 4095;
    };
    while (i < s.size()) {
        unsigned flags = static_cast<unsigned char>(s[i++]);
        for (int item = 0; item < 8 && i < s.size(); ++item, flags >>= 1) {
            if (flags & 1) {
                put(static_cast<unsigned char>(s[i++]));
                continue;
            }
            if (i + 1 >= s.size()) return out;
            unsigned b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]);
            i += 2;
            unsigned pos = b0 | ((b1 & 0xF0) << 4), len = (b1 & 0x0F) + 3;
            for (unsigned k = 0; k < len; ++k) put(ring[(pos + k) & 4095]);
        }
    }
    return out;
}

// XML text like the compressed catalogue: repeated tags with varying names and numbers.
std::string xmlText(std::size_t size, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::string s = "<?xml version=\"1.0\"?>\r\n<parts>\r\n";
    while (s.size() < size) {
        s += "  <part id=\"ATmega" + std::to_string(rng() % 1000) + "\" flash=\"" +
             std::to_string(rng() % 65536) + "\">\r\n    <memory type=\"eeprom\" size=\"" +
             std::to_string(rng() % 4096) + "\"/>\r\n  </part>\r\n";
    }
    s.resize(size);
    return s;
}

std::string randomBytes(std::size_t size, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

struct Case {
    const char* name;
    std::string data;
};

TEST(SKompress, RoundTripsKeepEveryByte) {
    std::string mixed =
        xmlText(700000, 3) + randomBytes(300000, 4) + std::string(100000, '\0') + xmlText(50000, 3);
    const Case cases[] = {
        {"empty", ""},
        {"one byte", "x"},
        {"one zero byte", std::string(1, '\0')},
        {"three bytes", "abc"},
        {"all the same", std::string(100000, 'A')},
        {"spaces", std::string(5000, ' ')},
        {"text", xmlText(200000)},
        {"random", randomBytes(50000)},
        {"text 4077", xmlText(4077)},
        {"text 4078", xmlText(4078)},
        {"text 4079", xmlText(4079)},
        {"text 4096", xmlText(4096)},
        {"text 4097", xmlText(4097)},
        {"text 4114", xmlText(4114)},
        {"random 4078", randomBytes(4078)},
        {"random 4096", randomBytes(4096)},
        {"random 4115", randomBytes(4115)},
        {"text 8192", xmlText(8192)},
        {"over 1 MiB", mixed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SKompress k;
        SMem packed = k.compress(mem(c.data));
        EXPECT_TRUE(k.getError().isEmpty());
        EXPECT_EQ(k.getProgress(), 100);
        const std::string stream = str(packed);
        ASSERT_EQ(stream.substr(0, 3), magic);
        // Never worse than every byte as a literal plus its flag bit.
        EXPECT_LE(stream.size(), 3 + c.data.size() + (c.data.size() + 7) / 8);

        SMem plain;
        ASSERT_TRUE(k.decompress(packed, plain)) << k.getError().str();
        EXPECT_TRUE(k.getError().isEmpty());
        EXPECT_EQ(k.getProgress(), 100);
        EXPECT_TRUE(str(plain) == c.data);
        EXPECT_TRUE(ringDecode(stream) == c.data);
    }
}

TEST(SKompress, CompressesRepetitionsAndUsesTheInitialSpaces) {
    SKompress k;
    // Eighteen spaces are one reference into the ring's initial spaces: flag byte and two bytes.
    EXPECT_EQ(k.compress(mem(std::string(18, ' '))).getSize(), 3u + 1 + 2);
    // Far enough from the start that only the initial spaces hold a match: 26 literals and one
    // reference behind four flag bytes.
    EXPECT_EQ(k.compress(mem("abcdefghijklmnopqrstuvwxyz" + std::string(18, ' '))).getSize(),
              3u + 4 + 26 + 2);
    // A run costs 17 bits per 18 bytes.
    EXPECT_LE(k.compress(mem(std::string(100000, 'A'))).getSize(), 100000u / 18 * 17 / 8 + 16);
    // This text packs to 18.9 %; the classic greedy encoder with binary trees reaches 19.4 %.
    const std::string text = xmlText(200000);
    EXPECT_LT(k.compress(mem(text)).getSize(), text.size() * 195 / 1000);
}

TEST(SKompress, RejectsShortInputAndWrongMagic) {
    const std::string inputs[] = {
        "", "t", "tr", bytes({'t', 'r', 0x0D}), bytes({'x', 'r', 0x0C, 0x01, 'a'}), bytes({'T', 'R', 0x0C})};
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        SKompress k;
        SMem plain = mem("old");
        EXPECT_FALSE(k.decompress(mem(input), plain));
        EXPECT_EQ(plain.getSize(), 0u);
        EXPECT_EQ(k.getError().str(), badMagicText);
        EXPECT_EQ(k.decompress(mem(input)).getSize(), 0u);
    }
    // The next good stream clears the error.
    SKompress k;
    k.decompress(mem("xx"));
    EXPECT_EQ(str(k.decompress(mem(magic + bytes({0x01, 'a'})))), "a");
    EXPECT_TRUE(k.getError().isEmpty());
}

TEST(SKompress, DecodesHandMadeStreams) {
    const std::string abc = "ABCDEFGHIJKLMNOPQRST";
    struct Stream {
        const char* name;
        std::string items;  // behind the magic
        std::string expected;
    };
    const Stream cases[] = {
        // Nothing after the magic is an empty result, not an error.
        {"magic only", "", ""},
        {"flag byte only", bytes({0x01}), ""},
        // Literal 'a', then 10 bytes from ring position 4078, where the 'a' went: a run.
        {"overlapping run", bytes({0x01, 'a', 0xEE, 0xF7}), std::string(11, 'a')},
        // Two literals repeated with period two.
        {"period two", bytes({0x03, 'a', 'b', 0xEE, 0xF3}), "abababab"},
        // The first item reads 18 of the ring's initial spaces.
        {"reference into the spaces", bytes({0x02, 0x00, 0x0F, 'x'}), std::string(18, ' ') + "x"},
        // Two initial spaces, then the bytes just written, then the first byte of this copy.
        {"spaces then output", bytes({0x03, 'a', 'b', 0xEC, 0xF2}), "ab  ab "},
        // Twenty literals wrap the write position past 4095; the copy reads across the wrap.
        {"across the ring end",
         bytes({0xFF}) + abc.substr(0, 8) + bytes({0xFF}) + abc.substr(8, 8) + bytes({0x0F}) +
             abc.substr(16, 4) + bytes({0xFE, 0xF1}),
         abc + "QRST"},
        // Ring positions behind the first write position hold zero bytes until written.
        {"unwritten ring end", bytes({0x00, 0xFA, 0xF0}), std::string(3, '\0')},
        // A reference cut off after its first byte ends the stream.
        {"truncated reference", bytes({0x01, 'x', 0x12}), "x"},
    };
    for (const Stream& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stream = magic + c.items;
        ASSERT_EQ(ringDecode(stream), c.expected);
        SKompress k;
        SMem plain = mem("old");
        EXPECT_TRUE(k.decompress(mem(stream), plain));
        EXPECT_EQ(str(plain), c.expected);
        EXPECT_TRUE(k.getError().isEmpty());
    }
}

// Arbitrary bytes behind the magic, and streams of mostly references, decode as the ring
// decoder reads them; the output stays within 18 bytes per two input bytes.
TEST(SKompress, DecodesArbitraryStreamsLikeTheRing) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        std::string stream = magic;
        if (seed % 2) {
            stream += randomBytes(1000 + seed * 97, seed);
        } else {
            std::mt19937 rng(seed);
            for (int group = 0; group < 200; ++group) {
                unsigned flags = rng() & 0x11;
                stream += static_cast<char>(flags);
                for (int item = 0; item < 8; ++item, flags >>= 1) {
                    stream += static_cast<char>(rng());
                    if (!(flags & 1)) stream += static_cast<char>(rng());
                }
            }
        }
        SKompress k;
        SMem plain;
        ASSERT_TRUE(k.decompress(mem(stream), plain));
        EXPECT_LE(plain.getSize(), 9 * (stream.size() - 3));
        EXPECT_TRUE(str(plain) == ringDecode(stream));
    }
}

TEST(SKompress, GrowsTheOutputForStreamsOfLongReferences) {
    // Groups of eight 18-byte references: the largest output per input byte the format allows.
    std::string stream = magic + bytes({0x01, 'z'});
    for (int item = 1; item < 8; ++item) stream += bytes({0xEE, 0xFF});
    for (int group = 0; group < 6000; ++group) {
        stream += '\0';
        for (int item = 0; item < 8; ++item) stream += bytes({0xEE, 0xFF});
    }
    SKompress k;
    SMem plain;
    ASSERT_TRUE(k.decompress(mem(stream), plain));
    EXPECT_EQ(plain.getSize(), 1u + 7 * 18 + 6000 * 8 * 18);
    EXPECT_TRUE(str(plain) == ringDecode(stream));
}

}  // namespace
