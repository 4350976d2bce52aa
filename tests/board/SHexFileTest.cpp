#include "board/SHexFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

std::string bytesOf(const SMem& m) {
    return std::string(reinterpret_cast<const char*>(m.getData()), m.getSize());
}

SMem memOf(const std::string& bytes) {
    SMem m;
    m.append(bytes.data(), bytes.size());
    return m;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

struct ParseCase {
    const char* name;
    std::string text;
    bool ok;
    std::size_t size;                        // checked when ok
    std::map<std::size_t, uint8_t> nonZero;  // every other byte below size must be 0x00
};

// The case's name stands for it in test listings (the bytes of the struct would change with
// every build).
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class HexParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(HexParse, GivesImage) {
    const ParseCase& c = GetParam();
    SHexFile hex;
    SMem image;
    // A leftover image must not leak into the result.
    image.setSize(50);
    image.setByte(7, 0xEE);
    ASSERT_EQ(hex.getBinCodeFromString(SString(c.text), image), c.ok);
    if (c.ok) {
        EXPECT_EQ(image.getSize(), c.size);
    }
    for (std::size_t a = 0; a < image.getSize(); ++a) {
        auto it = c.nonZero.find(a);
        EXPECT_EQ(image.getByte(a), it == c.nonZero.end() ? 0 : it->second) << "address 0x" << std::hex << a;
    }
    for (const auto& [a, v] : c.nonZero)
        EXPECT_LT(a, image.getSize()) << "missing address 0x" << std::hex << a;
}

const std::string sixteenAt100 = ":10010000000102030405060708090A0B0C0D0E0F77\r\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Records, HexParse,
    ::testing::Values(
        ParseCase{"EmptyText", "", true, 0, {}},
        ParseCase{"OnlyEndRecord", ":00000001FF\r\n", true, 0, {}},
        ParseCase{"BlankAndSpaceLines", "\r\n   \r\n\t\n:0100000055AA\n  \n", true, 1, {{0, 0x55}}},
        ParseCase{"SixteenBytesAt0100",
                  sixteenAt100,
                  true,
                  0x110,
                  {{0x101, 1}, {0x102, 2}, {0x103, 3}, {0x104, 4}, {0x105, 5}, {0x106, 6}, {0x107, 7},
                   {0x108, 8}, {0x109, 9}, {0x10A, 10}, {0x10B, 11}, {0x10C, 12}, {0x10D, 13}, {0x10E, 14},
                   {0x10F, 15}}},
        ParseCase{"WrongChecksumAccepted", ":020000001234FF\r\n", true, 2, {{0, 0x12}, {1, 0x34}}},
        ParseCase{"DataBehindEndRecord", ":00000001FF\r\n:01000400AB50\r\n", true, 5, {{4, 0xAB}}},
        ParseCase{"LinearBase", ":020000040001F9\r\n:02000000CAFE36\r\n", true, 0x10002,
                  {{0x10000, 0xCA}, {0x10001, 0xFE}}},
        ParseCase{"SegmentBase", ":020000021000EC\r\n:010003007785\r\n", true, 0x10004, {{0x10003, 0x77}}},
        ParseCase{"LinearBaseBackToZero", ":020000040001F9\n:0100000011EE\n:020000040000FA\n:0100010022DC\n",
                  true, 0x10001, {{1, 0x22}, {0x10000, 0x11}}},
        ParseCase{"RecordRunsPast64KLinearly", ":02FFFF00AABB9B\r\n", true, 0x10001,
                  {{0xFFFF, 0xAA}, {0x10000, 0xBB}}},
        ParseCase{"OutOfOrderAndOverlapping", ":0100200011CE\n:020000002233A9\n:0100010044BA\n", true, 0x21,
                  {{0, 0x22}, {1, 0x44}, {0x20, 0x11}}},
        ParseCase{"LowerCaseDigits", ":02000000abcd86\n", true, 2, {{0, 0xAB}, {1, 0xCD}}},
        // A short line: the field cut off gives the digit present, the missing one 0.
        ParseCase{"ShortLineDigitsPresent", ":03000000A\n", true, 3, {{0, 0x0A}}},
        // A non-digit ends a field's value: "1G" reads as 1, "G1" as 0.
        ParseCase{"NonDigitEndsField", ":030000001GG134\n", true, 3, {{0, 0x01}, {2, 0x34}}},
        ParseCase{"UnknownTypesIgnored", ":0400000300001234B3\n:04000005000000FFF8\n:0100000077\n:02000009AABB00\n",
                  true, 1, {{0, 0x77}}},
        // NULs around a line are trimmed like blanks.
        ParseCase{"NulsTrimmed", std::string("\0\0:0100000055AA\0\r\n", 18), true, 1, {{0, 0x55}}},
        ParseCase{"LineWithoutColon", "0100000055AA\n", false, 0, {}},
        // Bytes from 0x80 up are not blanks: the line does not begin with a colon.
        ParseCase{"NonBreakingSpaceIsNotTrimmed", "\xA0:0100000055AA\n", false, 0, {}},
        ParseCase{"LinearRecordLengthOne", ":0100000401FA\n", false, 0, {}},
        ParseCase{"SegmentRecordWithAddress", ":020010021000DC\n", false, 0, {}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(SHexFile, LineEndingsGiveTheSameImage) {
    const std::string crlf =
        ":10000000000102030405060708090A0B0C0D0E0F78\r\n:0400100010111213A6\r\n:00000001FF\r\n";
    std::string lf = crlf;
    for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.replace(p, 2, "\n");
    SHexFile hex;
    SMem a, b;
    ASSERT_TRUE(hex.getBinCodeFromString(SString(crlf), a));
    ASSERT_TRUE(hex.getBinCodeFromString(SString(lf), b));
    EXPECT_EQ(a.getSize(), 20u);
    EXPECT_TRUE(a == b);
}

TEST(SHexFile, FailureStopsAtTheLineAndKeepsEarlierData) {
    SHexFile hex;
    SMem image;
    EXPECT_FALSE(hex.getBinCodeFromString(
        SString(std::string(":0100000055AA\r\n\r\ngarbage\r\n:0100010066FF\r\n")), image));
    EXPECT_EQ(hex.getErrorLine(), 3);
    EXPECT_FALSE(hex.getError().isEmpty());
    EXPECT_EQ(image.getByte(0), 0x55);
    // Lines behind the failing one are not read.
    EXPECT_EQ(image.getByte(1), 0x00);
    // A later successful parse clears the error.
    EXPECT_TRUE(hex.getBinCodeFromString(SString(std::string(":0100000055AA\n")), image));
    EXPECT_EQ(hex.getErrorLine(), 0);
    EXPECT_TRUE(hex.getError().isEmpty());
}

TEST(SHexFile, ImageLimit) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        // Last byte of the largest image.
        {":0200000400FFFB\n:01FFFF0099\n", true},
        // One past it, at the start of a record and inside one.
        {":020000040100F9\n:0100000099\n", false},
        {":0200000400FFFB\n:02FFFF009999\n", false},
        // Bases that would mean gigabytes, or negative addresses as signed numbers.
        {":020000047FFF7C\n:0100000099\n", false},
        {":0200000480007A\n:0100000099\n", false},
        {":02000004FFFFFC\n:10FFF000000102030405060708090A0B0C0D0E0F00\n", false},
    };
    for (const Case& c : cases) {
        SHexFile hex;
        SMem image;
        EXPECT_EQ(hex.getBinCodeFromString(SString(std::string(c.text)), image), c.ok) << c.text;
        EXPECT_LE(image.getSize(), SHexFile::maxImageSize) << c.text;
        if (c.ok) {
            EXPECT_EQ(image.getSize(), SHexFile::maxImageSize);
            EXPECT_EQ(image.getByte(SHexFile::maxImageSize - 1), 0x99);
        } else {
            EXPECT_EQ(hex.getErrorLine(), 2) << c.text;
        }
    }
    // An address record alone allocates nothing.
    SHexFile hex;
    SMem image;
    EXPECT_TRUE(hex.getBinCodeFromString(SString(std::string(":02000004FFFFFC\n:00000001FF\n")), image));
    EXPECT_EQ(image.getSize(), 0u);
}

TEST(SHexFile, WritesRecordsOfSixteenBytes) {
    std::string bytes;
    for (int i = 0; i < 20; ++i) bytes += static_cast<char>(i);
    SHexFile hex;
    SString text;
    ASSERT_TRUE(hex.getHexCodeFromBin(memOf(bytes), text));
    EXPECT_EQ(text.str(),
              ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
              ":0400100010111213A6\r\n"
              ":00000001FF\r\n");
    ASSERT_TRUE(hex.getHexCodeFromBin(SMem(), text));
    EXPECT_EQ(text.str(), ":00000001FF\r\n");
}

TEST(SHexFile, ExtendedAddressRecordsOnlyAbove64K) {
    struct Case {
        std::size_t size;
        int linearRecords;
    };
    const Case cases[] = {{0xFFFF, 0}, {0x10000, 0}, {0x10001, 1}, {0x20010, 2}, {100 * 1024 + 3, 1}};
    for (const Case& c : cases) {
        const std::string bytes = randomBytes(c.size, static_cast<unsigned>(c.size));
        SHexFile hex;
        SString text;
        ASSERT_TRUE(hex.getHexCodeFromBin(memOf(bytes), text));
        int count = 0;
        for (int p = 0; (p = text.find(SString(std::string(":02000004")), p)) >= 0; ++p) ++count;
        EXPECT_EQ(count, c.linearRecords) << c.size;
        if (c.linearRecords > 0) {
            // The first record behind the boundary starts again at address field 0000.
            const SString boundary(std::string("\r\n:020000040001F9\r\n:"));
            const int at = text.find(boundary);
            ASSERT_GE(at, 0) << c.size;
            EXPECT_EQ(text.mid(at + boundary.getLength() + 2, 6).str(), "000000") << c.size;
        }
        SMem back;
        ASSERT_TRUE(hex.getBinCodeFromString(text, back));
        EXPECT_EQ(bytesOf(back), bytes) << c.size;
    }
}

TEST(SHexFile, RefusesToWriteImagesOverTheLimit) {
    TempDir dir;
    SMem image(SHexFile::maxImageSize + 1);
    SHexFile hex;
    SString text;
    EXPECT_FALSE(hex.getHexCodeFromBin(image, text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_FALSE(hex.getError().isEmpty());
    EXPECT_FALSE(hex.saveFile(SString(dir.file("big.hex")), image));
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.hex")));
}

TEST(SHexFile, FilesQuietly) {
    testsupport::MessageCapture boxes;
    TempDir dir;
    SHexFile hex;
    const std::string bytes = randomBytes(300, 7);
    ASSERT_TRUE(hex.saveFile(SString(dir.file("a.hex")), memOf(bytes)));
    SMem back;
    ASSERT_TRUE(hex.loadFile(SString(dir.file("a.hex")), back));
    EXPECT_EQ(bytesOf(back), bytes);
    // A missing file reads as an empty text: success with an empty image.
    EXPECT_TRUE(hex.loadFile(SString(dir.file("missing.hex")), back));
    EXPECT_EQ(back.getSize(), 0u);
    EXPECT_FALSE(hex.saveFile(SString(dir.file("no/such/dir/a.hex")), memOf(bytes)));
    EXPECT_FALSE(hex.getError().isEmpty());
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();
}

// The GNU tools as the reference: what objcopy writes we read to the bytes it reads back,
// and what we write it reads to the original bytes, above 64 KiB too.
TEST(SHexFile, AgreesWithObjcopy) {
    if (!testsupport::haveObjcopy()) GTEST_SKIP() << "objcopy not installed";
    TempDir dir;
    for (std::size_t size : {std::size_t{1024}, std::size_t{70001}, std::size_t{100 * 1024}}) {
        SCOPED_TRACE(size);
        const std::string bytes = randomBytes(size, static_cast<unsigned>(size) + 1);
        dir.write("in.bin", bytes);
        ASSERT_EQ(testsupport::runCommand("cd '" + dir.path() +
                                          "' && objcopy -I binary -O ihex in.bin ref.hex"),
                  0);
        ASSERT_EQ(testsupport::runCommand("cd '" + dir.path() +
                                          "' && objcopy -I ihex -O binary ref.hex ref.bin"),
                  0);
        SHexFile hex;
        SMem image;
        ASSERT_TRUE(hex.loadFile(SString(dir.file("ref.hex")), image));
        EXPECT_EQ(bytesOf(image), dir.read("ref.bin"));
        EXPECT_EQ(bytesOf(image), bytes);

        ASSERT_TRUE(hex.saveFile(SString(dir.file("our.hex")), memOf(bytes)));
        if (size <= 0x10000) {
            EXPECT_EQ(dir.read("our.hex"), dir.read("ref.hex"));
        }
        std::string out;
        ASSERT_EQ(testsupport::runCommand(
                      "cd '" + dir.path() + "' && objcopy -I ihex -O binary our.hex our.bin", &out),
                  0)
            << out;
        EXPECT_EQ(dir.read("our.bin"), bytes);
    }
}

}  // namespace
