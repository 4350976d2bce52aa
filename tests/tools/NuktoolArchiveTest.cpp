#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/SResourceArchive.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

int tool(const std::string& arguments, std::string* out = nullptr) {
    return testsupport::runCommand("'" + testsupport::toolPath() + "' " + arguments, out);
}

std::string resprobe() {
    return testsupport::programsDir() + "/resprobe";
}

// Runs a program copy with its temporary directories and application directory in dir.
int runProbe(const TempDir& dir, const std::string& program, const std::string& arguments, std::string* out) {
    fs::create_directories(dir.file("tmp"));
    fs::create_directories(dir.file("app"));
    return testsupport::runCommand(
        "TMPDIR='" + dir.file("tmp") + "' '" + program + "' --appdir '" + dir.file("app") + "' " + arguments,
        out);
}

// The value of the first output line "<key> <value>".
std::string lineValue(const std::string& out, const std::string& key) {
    std::size_t at = out.find(key + " ");
    if (at != 0) at = out.find("\n" + key + " ");
    if (at == std::string::npos) return "<missing>";
    if (out[at] == '\n') ++at;
    at += key.size() + 1;
    return out.substr(at, out.find('\n', at) - at);
}

// Files of the experiment, with mixed-case names, an empty one and every byte value.
void writeInputs(const TempDir& dir) {
    fs::create_directories(dir.file("in"));
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    dir.write("in/WndEinleitung.HTM", "<html>Einleitung</html>");
    dir.write("in/leer.txt", "");
    dir.write("in/alle.bin", all);
    dir.write("in/resource.ini", "[StandardResourcePath]\r\n");
    dir.write("in/controlpos.ini", "[Control-Styles]\r\nSButton-form=5,5\r\n");
}

TEST(NuktoolArchive, PackListExtractRoundTrip) {
    TempDir dir;
    writeInputs(dir);
    dir.write("extra.txt", "extra");
    std::string out;
    ASSERT_EQ(
        tool("pack '" + dir.file("a.nukres") + "' '" + dir.file("in") + "' '" + dir.file("extra.txt") + "'",
             &out),
        0)
        << out;
    ASSERT_EQ(tool("list '" + dir.file("a.nukres") + "'", &out), 0) << out;
    // A directory adds its files in byte order of their names.
    EXPECT_EQ(out,
              "        23  WndEinleitung.HTM\n"
              "       256  alle.bin\n"
              "        36  controlpos.ini\n"
              "         0  leer.txt\n"
              "        24  resource.ini\n"
              "         5  extra.txt\n");
    ASSERT_EQ(tool("extract '" + dir.file("a.nukres") + "' '" + dir.file("out/sub") + "'", &out), 0) << out;
    for (const char* name : {"WndEinleitung.HTM", "leer.txt", "alle.bin", "resource.ini", "controlpos.ini"})
        EXPECT_EQ(dir.read(std::string("out/sub/") + name), dir.read(std::string("in/") + name)) << name;
    EXPECT_EQ(dir.read("out/sub/extra.txt"), "extra");
}

TEST(NuktoolArchive, AppendedArchiveIsServedByTheProgram) {
    TempDir dir;
    writeInputs(dir);
    std::string out;
    ASSERT_EQ(
        tool("pack --append-to '" + resprobe() + "' '" + dir.file("probe") + "' '" + dir.file("in") + "'",
             &out),
        0)
        << out;
    ASSERT_EQ(runProbe(dir, dir.file("probe"),
                       "wndeinleitung.htm LEER.TXT Alle.Bin fehlt.htm --style SButton-form", &out),
              0)
        << out;
    EXPECT_EQ(out.find("Fehler"), std::string::npos) << out;
    EXPECT_EQ(lineValue(out, "extracted"), "1");
    const std::string tmp = lineValue(out, "tempdir");
    EXPECT_EQ(fs::path(tmp).parent_path(), fs::path(dir.file("tmp")));
    EXPECT_EQ(lineValue(out, "content wndeinleitung.htm"), "[<html>Einleitung</html>]");
    EXPECT_EQ(lineValue(out, "content LEER.TXT"), "[]");
    EXPECT_EQ(lineValue(out, "file fehlt.htm"), "");
    EXPECT_NE(out.find("content Alle.Bin [" + dir.read("in/alle.bin") + "]"), std::string::npos);
    EXPECT_EQ(lineValue(out, "style SButton-form"), "5,5");
    // The unpacked files went away with the program.
    EXPECT_FALSE(fs::exists(tmp));
    EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
    EXPECT_EQ(fs::status(dir.file("probe")).permissions(), fs::status(resprobe()).permissions());
}

TEST(NuktoolArchive, ProgramWarnsAboutBytesBehindTheArchive) {
    TempDir dir;
    writeInputs(dir);
    std::string out;
    ASSERT_EQ(
        tool("pack --append-to '" + resprobe() + "' '" + dir.file("probe") + "' '" + dir.file("in") + "'",
             &out),
        0);
    ASSERT_EQ(testsupport::runCommand("head -c 1234 /dev/zero >> '" + dir.file("probe") + "'"), 0);
    ASSERT_EQ(runProbe(dir, dir.file("probe"), "leer.txt", &out), 0);
    EXPECT_NE(out.find("Fehler beim Lesen der Resourcen.\nDie Datei ist um 1234 Byte zu gro\xDF"
                       ", Ursache kann ein Virenbefall sein."),
              std::string::npos)
        << out;
    EXPECT_EQ(lineValue(out, "extracted"), "1");
    EXPECT_EQ(lineValue(out, "content leer.txt"), "[]");
    // nuktool reads it too and says so.
    ASSERT_EQ(tool("list '" + dir.file("probe") + "'", &out), 0);
    EXPECT_NE(out.find("1234 bytes follow the archive's end"), std::string::npos) << out;
}

TEST(NuktoolArchive, PackingAgainReplacesTheProgramsArchive) {
    TempDir dir;
    writeInputs(dir);
    dir.write("neu.txt", "neu");
    std::string out;
    ASSERT_EQ(
        tool("pack --append-to '" + resprobe() + "' '" + dir.file("probe1") + "' '" + dir.file("in") + "'",
             &out),
        0);
    ASSERT_EQ(tool("pack --append-to '" + dir.file("probe1") + "' '" + dir.file("probe2") + "' '" +
                       dir.file("neu.txt") + "'",
                   &out),
              0)
        << out;
    ASSERT_EQ(tool("list '" + dir.file("probe2") + "'", &out), 0);
    EXPECT_EQ(out, "         3  neu.txt\n");
    ASSERT_EQ(tool("pack '" + dir.file("neu.nukres") + "' '" + dir.file("neu.txt") + "'", &out), 0);
    EXPECT_EQ(fs::file_size(dir.file("probe2")),
              fs::file_size(resprobe()) + fs::file_size(dir.file("neu.nukres")));
}

TEST(NuktoolArchive, PatchedMarkerSwitchesTheArchiveOff) {
    TempDir dir;
    writeInputs(dir);
    std::string out;
    ASSERT_EQ(
        tool("pack --append-to '" + resprobe() + "' '" + dir.file("probe") + "' '" + dir.file("in") + "'",
             &out),
        0);
    std::string bytes = dir.read("probe");
    const std::string marker = SResourceArchive::programMarker();
    ASSERT_EQ(marker.back(), '1');
    std::size_t at = bytes.find(marker);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.find(marker, at + 1), std::string::npos) << "a packer must find one marker";
    bytes[at + 10] = '0';
    dir.write("probe", bytes);
    fs::permissions(dir.file("probe"), fs::perms::owner_all);
    ASSERT_EQ(runProbe(dir, dir.file("probe"), "leer.txt", &out), 0) << out;
    EXPECT_EQ(lineValue(out, "extracted"), "0");
    EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
    // Without the archive the program falls back to its development folders.
    EXPECT_TRUE(fs::exists(dir.file("app/NUK-Resourcen/resource.ini")));
}

TEST(NuktoolArchive, ExtractRefusesEntriesLeavingTheDirectory) {
    TempDir dir;
    // The writer refuses such names, so the archive is put together by hand.
    auto entry = [](const std::string& name, const std::string& data) {
        std::string e(1, '\0');
        SResourceArchiveWriter::appendWord(e, static_cast<uint32_t>(name.size()));
        e += name;
        SResourceArchiveWriter::appendWord(e, static_cast<uint32_t>(data.size()));
        for (char c : data) e += static_cast<char>(c ^ SResourceArchive::scrambleKey);
        return e;
    };
    std::string a = SResourceArchive::magic();
    for (uint32_t w : {12u, 1u, 0u}) SResourceArchiveWriter::appendWord(a, w);
    a += entry("gut.txt", "gut") + entry("../x", "boese") + "s" + SResourceArchive::endMarker();
    SResourceArchiveWriter::appendWord(a, 0);
    dir.write("boese.nukres", a);
    std::string out;
    EXPECT_EQ(tool("extract '" + dir.file("boese.nukres") + "' '" + dir.file("out") + "'", &out), 1);
    EXPECT_NE(out.find("../x"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dir.file("x")));
    EXPECT_TRUE(fs::is_empty(dir.file("out"))) << "nothing half-unpacked stays";
    EXPECT_EQ(tool("list '" + dir.file("boese.nukres") + "'", &out), 1);
    EXPECT_NE(out.find("gut.txt"), std::string::npos);
}

TEST(NuktoolArchive, FailuresAndBadUsage) {
    TempDir dir;
    fs::create_directories(dir.file("d1"));
    fs::create_directories(dir.file("d2"));
    dir.write("d1/Seite.htm", "1");
    dir.write("d2/seite.HTM", "2");
    dir.write("plain.txt", "no archive here");
    dir.write("tiny", "#!");
    const std::string d = "'" + dir.path() + "/";
    struct Case {
        std::string arguments;
        int exitCode;
        const char* says;
    } cases[] = {
        {"pack " + d + "a' " + d + "d1' " + d + "d2'", 1, "schon vergeben"},
        {"pack " + d + "a' " + d + "fehlt.txt'", 1, "no such file"},
        {"pack --append-to " + d + "tiny' " + d + "b' " + d + "plain.txt'", 1, "too small"},
        {"pack --append-to " + d + "plain.txt' " + d + "plain.txt' " + d + "d1'", 2,
         "darf nicht EXE selbst sein"},
        {"list " + d + "plain.txt'", 1, "carries no resource archive"},
        {"list " + d + "fehlt'", 1, "no such file"},
        {"extract " + d + "plain.txt' " + d + "out'", 1, "carries no resource archive"},
        {"pack", 2, "erwartet wird OUT"},
        {"pack " + d + "a'", 2, "erwartet wird OUT"},
        // An option pack does not know is no file name.
        {"pack --force " + d + "a' " + d + "plain.txt'", 2, "pack: unbekannte Option '--force'"},
        {"pack --append-to", 2, "erwartet wird EXE"},
        {"list", 2, "erwartet wird FILE"},
        {"extract " + d + "plain.txt'", 2, "erwartet wird FILE DIR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string out;
        EXPECT_EQ(tool(c.arguments, &out), c.exitCode) << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
    }
    EXPECT_FALSE(fs::exists(dir.file("a")));
    EXPECT_FALSE(fs::exists(dir.file("b")));
}

}  // namespace
