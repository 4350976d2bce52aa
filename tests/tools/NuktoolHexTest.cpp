#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

int tool(const std::string& arguments, std::string* out = nullptr) {
    return testsupport::runCommand("'" + testsupport::toolPath() + "' " + arguments, out);
}

TEST(NuktoolHex, Bin2HexThenHex2BinIsTheIdentity) {
    TempDir dir;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{20}, std::size_t{100 * 1024 + 5}}) {
        SCOPED_TRACE(size);
        const std::string bytes = randomBytes(size, static_cast<unsigned>(size));
        dir.write("in.bin", bytes);
        std::string out;
        ASSERT_EQ(tool("bin2hex '" + dir.file("in.bin") + "' '" + dir.file("x.hex") + "'", &out), 0) << out;
        ASSERT_EQ(tool("hex2bin '" + dir.file("x.hex") + "' '" + dir.file("out.bin") + "'", &out), 0) << out;
        EXPECT_EQ(dir.read("out.bin"), bytes);
    }
}

// The tool's output above 64 KiB (extended linear address records) reads back in objcopy,
// and the tool reads objcopy's HEX (extended segment address records) to the same bytes.
TEST(NuktoolHex, AgreesWithObjcopyAbove64K) {
    if (!testsupport::haveObjcopy()) GTEST_SKIP() << "objcopy not installed";
    TempDir dir;
    const std::string bytes = randomBytes(100 * 1024, 11);
    dir.write("in.bin", bytes);
    std::string out;
    ASSERT_EQ(tool("bin2hex '" + dir.file("in.bin") + "' '" + dir.file("our.hex") + "'", &out), 0) << out;
    ASSERT_EQ(testsupport::runCommand(
                  "cd '" + dir.path() + "' && objcopy -I ihex -O binary our.hex our.bin", &out),
              0)
        << out;
    EXPECT_EQ(dir.read("our.bin"), bytes);

    ASSERT_EQ(testsupport::runCommand(
                  "cd '" + dir.path() + "' && objcopy -I binary -O ihex in.bin ref.hex", &out),
              0)
        << out;
    ASSERT_EQ(tool("hex2bin '" + dir.file("ref.hex") + "' '" + dir.file("ref.bin") + "'", &out), 0) << out;
    EXPECT_EQ(dir.read("ref.bin"), bytes);
}

TEST(NuktoolHex, BadUsageExitsWithTwo) {
    for (const char* args :
         {"hex2bin", "hex2bin a.hex", "hex2bin a.hex b.bin c", "bin2hex", "bin2hex a.bin"}) {
        std::string out;
        EXPECT_EQ(tool(args, &out), 2) << args;
        EXPECT_NE(out.find("erwartet wird"), std::string::npos) << out;
    }
}

TEST(NuktoolHex, FailuresExitWithOneAndWriteNothing) {
    TempDir dir;
    dir.write("bad.hex", ":0100000055AA\r\nthis is no record\r\n");
    dir.write("badtype.hex", ":0100000401FA\r\n");
    dir.write("huge.hex", ":02000004FFFFFC\r\n:0100000099\r\n");
    std::filesystem::create_directory(dir.file("adir"));
    struct Case {
        std::string command;
        std::string message;
    };
    const Case cases[] = {
        {"hex2bin '" + dir.file("missing.hex") + "' '" + dir.file("out.bin") + "'", "no such file"},
        {"hex2bin '" + dir.file("adir") + "' '" + dir.file("out.bin") + "'", "directory"},
        {"hex2bin '" + dir.file("bad.hex") + "' '" + dir.file("out.bin") + "'", "Zeile 2"},
        {"hex2bin '" + dir.file("badtype.hex") + "' '" + dir.file("out.bin") + "'", "Zeile 1"},
        {"hex2bin '" + dir.file("huge.hex") + "' '" + dir.file("out.bin") + "'", "16 MiB"},
        {"bin2hex '" + dir.file("missing.bin") + "' '" + dir.file("out.bin") + "'", "no such file"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(tool(c.command, &out), 1) << c.command;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.bin"))) << c.command;
    }
    dir.write("in.bin", "abc");
    std::string out;
    EXPECT_EQ(tool("bin2hex '" + dir.file("in.bin") + "' '" + dir.file("no/dir/out.hex") + "'", &out), 1);
    EXPECT_NE(out.find("no/dir/out.hex"), std::string::npos) << out;
}

}  // namespace
