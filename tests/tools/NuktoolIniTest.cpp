// nuktool ini: reading and editing INI files from the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/SFileIni.h"
#include "support/TestSupport.h"

namespace {

std::string quoted(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs nuktool with the arguments; out gets standard output and error together.
int nuktool(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::string command = quoted(testsupport::toolPath());
    for (const std::string& a : args) command += " " + quoted(a);
    return testsupport::runCommand(command, out);
}

TEST(NuktoolIniTest, HelpAndBadArguments) {
    std::string out;
    EXPECT_EQ(nuktool({"--help"}, &out), 0);
    EXPECT_NE(out.find("nuktool ini get FILE SECTION KEY"), std::string::npos) << out;
    EXPECT_EQ(nuktool({}, &out), 2);
    EXPECT_NE(out.find("Usage:"), std::string::npos) << out;
    EXPECT_EQ(nuktool({"ini", "--help"}, &out), 0);
    EXPECT_NE(out.find("nuktool ini sections FILE [PATTERN]"), std::string::npos) << out;

    testsupport::TempDir dir;
    dir.write("a.ini", "[s]\r\nk=v\r\n");
    const std::string file = dir.file("a.ini");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"gibtsnicht"}, "unbekannter Befehl 'gibtsnicht'"},
        {{"ini"}, "ini: Unterbefehl fehlt"},
        {{"ini", "put", file}, "ini: unbekannter Unterbefehl 'put'"},
        {{"ini", "get", file, "s"}, "ini get: erwartet wird FILE SECTION KEY"},
        {{"ini", "set", file, "s", "k"}, "ini set: erwartet wird FILE SECTION KEY VALUE"},
        {{"ini", "sections"}, "ini sections: erwartet wird FILE [PATTERN]"},
        {{"ini", "set", file, "a]b", "k", "v"}, "ein Abschnittsname darf weder"},
        {{"ini", "set", file, "", "k", "v"}, "ein Abschnittsname darf weder"},
        {{"ini", "set", file, "s", "k=x", "v"}, "ein Schl\xC3\xBCssel darf weder"},
        {{"ini", "set", file, "s", "[k", "v"}, "ein Schl\xC3\xBCssel darf weder"},
        {{"ini", "set", file, "s", "", "v"}, "ein Schl\xC3\xBCssel darf weder"},
        {{"ini", "set", file, "s", "k", "a\r\nb"}, "ein Wert darf keinen"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nuktool(c.args, &out), 2) << c.message;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    EXPECT_EQ(dir.read("a.ini"), "[s]\r\nk=v\r\n") << "refused edits change nothing";
}

TEST(NuktoolIniTest, GetSetAndSections) {
    testsupport::TempDir dir;
    const std::string text =
        "; Kan\xE4le\r\n[extData]\r\nextData1=U|1|V\r\nextData2=\r\n\r\n[ViewElement_12]\r\nx=1\r\n[BaseElement_1]\r\n";
    dir.write("e.ini", text);
    const std::string file = dir.file("e.ini");
    std::string out;

    EXPECT_EQ(nuktool({"ini", "get", file, "extData", "extData1"}, &out), 0);
    EXPECT_EQ(out, "U|1|V\n");
    EXPECT_EQ(nuktool({"ini", "get", file, "extData", "extData2"}, &out), 0);
    EXPECT_EQ(out, "\n") << "an empty value is a value";
    EXPECT_EQ(nuktool({"ini", "get", file, "extData", "extData3"}, &out), 1);
    EXPECT_NE(out.find("'extData3' not found in section [extData]"), std::string::npos) << out;
    EXPECT_EQ(nuktool({"ini", "sections", file}, &out), 0);
    EXPECT_EQ(out, "extData\nViewElement_12\nBaseElement_1\n");
    EXPECT_EQ(nuktool({"ini", "sections", file, "*Element_*|extData"}, &out), 0);
    EXPECT_EQ(out, "extData\n");
    EXPECT_EQ(nuktool({"ini", "sections", file, "ViewElement_*|*_1"}, &out), 0);
    EXPECT_EQ(out, "ViewElement_12\nBaseElement_1\n");

    // Values that look like switches reach the command.
    EXPECT_EQ(nuktool({"ini", "set", file, "extData", "extData1", "--debugger"}), 0);
    EXPECT_EQ(nuktool({"ini", "get", file, "extData", "extData1"}, &out), 0);
    EXPECT_EQ(out, "--debugger\n");
    EXPECT_EQ(nuktool({"ini", "set", file, "extData", "extData1", ""}), 0);
    EXPECT_EQ(nuktool({"ini", "set", file, "neu", "k", "a b=c"}), 0);
    EXPECT_EQ(dir.read("e.ini"),
              "; Kan\xE4le\r\n[extData]\r\nextData2=\r\n\r\n[ViewElement_12]\r\nx=1\r\n[BaseElement_1]\r\n\r\n[neu]\r\n"
              "k=a b=c\r\n");

    // Files that cannot be read.
    EXPECT_EQ(nuktool({"ini", "get", dir.file("fehlt.ini"), "s", "k"}, &out), 1);
    EXPECT_NE(out.find("cannot open '" + dir.file("fehlt.ini") + "': no such file"), std::string::npos) << out;
    EXPECT_EQ(nuktool({"ini", "set", dir.file("fehlt.ini"), "s", "k", "v"}, &out), 1);
    EXPECT_FALSE(testsupport::runCommand("test -e " + quoted(dir.file("fehlt.ini"))) == 0) << "set creates nothing";
    EXPECT_EQ(nuktool({"ini", "sections", dir.path()}, &out), 1);
    EXPECT_NE(out.find("it is a directory"), std::string::npos) << out;
}

TEST(NuktoolIniTest, MaskedFilesStayMaskedAndChangeOnlyWhereEdited) {
    testsupport::TempDir dir;
    const std::string plain = "[nuk]\r\nversion=1.3\r\npfad=C:\\Programme\r\n[z]\r\nk=\xE4\r\n";
    const std::string stored = testsupport::maskedIni(157, plain);
    dir.write("m.ini", stored);
    const std::string file = dir.file("m.ini");
    std::string out;
    EXPECT_EQ(nuktool({"ini", "get", file, "nuk", "pfad"}, &out), 0);
    EXPECT_EQ(out, "C:\\Programme\n");
    EXPECT_EQ(nuktool({"ini", "sections", file, "nuk|z"}, &out), 0);
    EXPECT_EQ(out, "nuk\nz\n");
    EXPECT_EQ(dir.read("m.ini"), stored) << "reading writes nothing";

    EXPECT_EQ(nuktool({"ini", "set", file, "nuk", "version", "1.4"}, &out), 0) << out;
    const std::string after = dir.read("m.ini");
    EXPECT_EQ(after.substr(0, 21), "[nukContentMask+157]\r");
    std::string expected = testsupport::unmaskedIni(stored);
    expected.replace(expected.find("1.3"), 3, "1.4");
    EXPECT_EQ(testsupport::unmaskedIni(after), expected);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < after.size(); ++i) differing += after[i] != stored[i];
    EXPECT_EQ(differing, 1u) << "only the edited byte changes on disk";
    EXPECT_EQ(nuktool({"ini", "get", file, "nuk", "version"}, &out), 0);
    EXPECT_EQ(out, "1.4\n");
}

}  // namespace
