#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

int tool(const std::string& arguments, std::string* out = nullptr) {
    return testsupport::runCommand("'" + testsupport::toolPath() + "' " + arguments, out);
}

// A diagram with a button and an oscilloscope, written with Linux line ends and an umlaut in
// Windows-1252.
const std::string repository =
    "[BaseElement_100]\n"
    "name=Start\n"
    "shortName=St\n"
    "description=Startet die Messung\n"
    "[BaseElement_101]\n"
    "name=Spannung \xFC" "ber C\n"
    "[ViewElement_2001]\n"
    "painterType=5\n"
    "baseObjNr=100\n"
    "clientRect=1000,-2000,3000,-1000\n"
    "[ViewElement_203]\n"
    "painterType=3\n"
    "baseObjNr=101\n"
    "clientRect=0,0,8000\n"
    "[Attribute_2001]\n"
    "ClickEvent=s=board-start\n"
    "[Attribute_203]\n"
    "OsziMaxValueY=f=5.5\n"
    "7SegmentTextColor=i=#FF0000\n"
    "[ContainingList]\n"
    "300=2001,203,42\n"
    "400=0\n";

const std::string listing =
    "{FILE}: 2 base elements, 2 view elements, 2 containment lists\n"
    "\n"
    "base elements\n"
    "  100    name \"Start\"  shortName \"St\"  painterType 1\n"
    "        description \"Startet die Messung\"\n"
    "  101    name \"Spannung \xC3\xBC" "ber C\"  shortName \"\"  painterType 1\n"
    "\n"
    "view elements\n"
    "  2001   painterType 5 (button)  base 100 \"Start\"  clientRect 1000,-2000,3000,-1000\n"
    "        ClickEvent                   string \"board-start\"\n"
    "  203    painterType 3 (oscilloscope)  base 101 \"Spannung \xC3\xBC" "ber C\"  clientRect 0,0,8000,0\n"
    "        OsziMaxValueY                double 5.5\n"
    "        7SegmentTextColor            int    255\n"
    "\n"
    "containment\n"
    "  300: 2001 203 (42 ignored)\n"
    "  400: (none)\n";

TEST(NuktoolRepo, ListsElementsAttributesAndContainment) {
    TempDir dir;
    dir.write("physik.repo", repository);
    std::string out;
    EXPECT_EQ(tool("repo '" + dir.file("physik.repo") + "'", &out), 0) << out;
    std::string expected = listing;
    expected.replace(expected.find("{FILE}"), 6, dir.file("physik.repo"));
    EXPECT_EQ(out, expected);
}

TEST(NuktoolRepo, WarnsAboutWhatTheProgramWouldIgnoreOrReplace) {
    TempDir dir;
    dir.write("physik.repo",
              "[BaseElement_100]\r\nname=Ersatz\r\n"
              "[ViewElement_2001]\r\nbaseObjNr=555\r\n"
              "[Attribute_2001]\r\nFarbe=colour=#FF0000\r\n"
              "[Attribute_777]\r\nx=s=y\r\n"
              "[BaseElement_0150]\r\n[Attribute_150]\r\ny=s=z\r\n"
              "[ContainingList]\r\n300=2001,2002\r\n; Kommentar\r\n301=2001\r\n");
    std::string out;
    EXPECT_EQ(tool("repo '" + dir.file("physik.repo") + "'", &out), 0) << out;
    const char* warnings[] = {
        "warning: view element 2001: base element 555 does not exist; base element 100 stands in",
        "warning: element 2001: attribute \"Farbe\" has no type s, i or f",
        "warning: [Attribute_777] belongs to no element and is not read",
        // Element 0150 reads [Attribute_0150].
        "warning: [Attribute_150] belongs to no element and is not read",
        "warning: [ContainingList] 300: 2002 is no view element",
        "warning: [ContainingList]: the line \"; Kommentar\" has no parent number of 100 or above",
    };
    for (const char* w : warnings) EXPECT_NE(out.find(w), std::string::npos) << w << "\nin:\n" << out;
    EXPECT_NE(out.find("base 555 \"Ersatz\""), std::string::npos) << out;
}

TEST(NuktoolRepo, MissingOrBrokenFilesExitWithOne) {
    TempDir dir;
    dir.write("low.repo", "[BaseElement_100]\r\n[BaseElement_42]\r\n");
    dir.write("nobase.repo", "[BaseElement_100]\r\n[ViewElement_2001]\r\npainterType=5\r\n");
    const char binary[] = "\0\x01[\xFF]\n[BaseElement_\x80]\n=\n";
    dir.write("binary.repo", std::string(binary, sizeof binary - 1));
    const std::pair<std::string, std::string> cases[] = {
        {"missing.repo", "no such file"},
        {".", "it is a directory"},
        {"low.repo", "Die Objektnummer 42 im Abschnitt [BaseElement_42] ist kleiner als 100."},
        {"nobase.repo", "Die baseObjNr im Abschnitt [ViewElement_2001] fehlt"},
        {"binary.repo", "Die Objektnummer 0 im Abschnitt [BaseElement_\xE2\x82\xAC]"},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        std::string out;
        EXPECT_EQ(tool("repo '" + dir.file(name) + "'", &out), 1) << out;
        EXPECT_NE(out.find(message), std::string::npos) << out;
    }
    // A file without elements loads (as an empty repository), with a warning.
    std::string out;
    dir.write("empty.repo", "[Settings]\r\na=b\r\n");
    EXPECT_EQ(tool("repo '" + dir.file("empty.repo") + "'", &out), 0);
    EXPECT_NE(out.find("warning: there are no elements"), std::string::npos) << out;
    EXPECT_EQ(tool("repo", &out), 2);
    EXPECT_EQ(tool("repo a b", &out), 2);
}

}  // namespace
