#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

int tool(const std::string& arguments, std::string* out = nullptr) {
    return testsupport::runCommand("'" + testsupport::toolPath() + "' " + arguments, out);
}

std::string quoted(const TempDir& dir, const std::string& name) {
    return "'" + dir.file(name) + "'";
}

TEST(NuktoolLzss, CompressThenDecompressGivesTheFileBack) {
    std::mt19937 rng(3);
    std::string text;
    while (text.size() < 300000)
        text += "<memory type=\"flash\" size=\"" + std::to_string(rng() % 65536) + "\" paged=\"yes\"/>\r\n";
    std::string random(70000, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {{"empty", ""}, {"one byte", "x"}, {"text", text}, {"random", random}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("in", c.bytes);
        std::string out;
        ASSERT_EQ(tool("compress " + quoted(dir, "in") + " " + quoted(dir, "packed.cxf"), &out), 0) << out;
        const std::string packed = dir.read("packed.cxf");
        EXPECT_EQ(packed.substr(0, 3), std::string("tr\x0C", 3));
        ASSERT_EQ(tool("decompress " + quoted(dir, "packed.cxf") + " " + quoted(dir, "out"), &out), 0) << out;
        EXPECT_TRUE(dir.read("out") == c.bytes);
    }
    dir.write("in", text);
    tool("compress " + quoted(dir, "in") + " " + quoted(dir, "packed.cxf"));
    EXPECT_LT(dir.read("packed.cxf").size(), text.size() / 3);
}

TEST(NuktoolLzss, DecompressesAStreamWrittenByHand) {
    TempDir dir;
    // A literal 'a', then a reference of ten bytes to the position where the 'a' went.
    dir.write("run.cxf", std::string("tr\x0C\x01"
                                     "a\xEE\xF7"));
    std::string out;
    ASSERT_EQ(tool("decompress " + quoted(dir, "run.cxf") + " " + quoted(dir, "run"), &out), 0) << out;
    EXPECT_EQ(dir.read("run"), std::string(11, 'a'));
}

TEST(NuktoolLzss, BadUsageExitsWithTwo) {
    for (const char* args : {"compress", "compress a", "compress a b c", "decompress", "decompress a"}) {
        std::string out;
        EXPECT_EQ(tool(args, &out), 2) << args;
        EXPECT_NE(out.find("erwartet wird IN OUT"), std::string::npos) << out;
    }
}

TEST(NuktoolLzss, FailuresExitWithOne) {
    TempDir dir;
    dir.write("plain.txt", "no compressed data");
    dir.write("short", "tr");
    dir.write("ok", "some bytes");
    std::filesystem::create_directory(dir.file("adir"));
    struct Case {
        std::string command;
        std::string message;
    };
    const Case cases[] = {
        {"decompress " + quoted(dir, "plain.txt") + " " + quoted(dir, "out"), "fehlerhafte Kennung"},
        {"decompress " + quoted(dir, "short") + " " + quoted(dir, "out"), "fehlerhafte Kennung"},
        {"compress " + quoted(dir, "missing") + " " + quoted(dir, "out"), "no such file"},
        {"decompress " + quoted(dir, "adir") + " " + quoted(dir, "out"), "is a directory"},
        {"compress " + quoted(dir, "ok") + " " + quoted(dir, "adir"), "is a directory"},
        {"compress " + quoted(dir, "ok") + " " + quoted(dir, "nodir/out"), "nodir"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::string out;
        EXPECT_EQ(tool(c.command, &out), 1) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        // Nothing is written for input that cannot be read or unpacked.
        EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
    }
}

TEST(NuktoolLzss, HelpNamesBothCommands) {
    std::string out;
    EXPECT_EQ(tool("--help", &out), 0);
    EXPECT_NE(out.find("nuktool compress IN OUT"), std::string::npos) << out;
    EXPECT_NE(out.find("nuktool decompress IN OUT"), std::string::npos) << out;
    EXPECT_EQ(tool("decompress --help", &out), 0);
    EXPECT_NE(out.find("nuktool decompress IN OUT"), std::string::npos) << out;
}

}  // namespace
