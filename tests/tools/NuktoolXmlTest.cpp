#include <gtest/gtest.h>

#include <string>

#include "foundation/SKompress.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

int tool(const std::string& arguments, std::string* out = nullptr) {
    return testsupport::runCommand("'" + testsupport::toolPath() + "' " + arguments, out);
}

const std::string document =
    "<?xml version=\"1.0\"?>\n<AVR>\n  <!-- parts -->\n  <PART mcu=\"ATmega8\" sig='9307'>\n"
    "    <FLASH>8192</FLASH>\n    <NOTE>line one\nsays \"hi\" &amp; more</NOTE>\n  </PART>\n"
    "  <PART mcu='ATtiny13'/>\n</AVR>\n";

const std::string tree =
    "<?xml version=\"1.0\"?>\n"
    "AVR\n"
    "  !--\n"
    "  PART mcu=\"ATmega8\" sig=\"9307\"\n"
    "    FLASH: \"8192\"\n"
    "    NOTE: \"line one\\nsays \\\"hi\\\" & more\"\n"
    "  PART mcu=\"ATtiny13\"\n";

TEST(NuktoolXml, PrintsTheTreeOfTextAndCompressedFiles) {
    TempDir dir;
    dir.write("a.xml", document);
    SMem plain;
    plain.fromString(SString(document));
    dir.write("a.cxf", SKompress().compress(plain).toString().str());
    for (const char* name : {"a.xml", "a.cxf"}) {
        SCOPED_TRACE(name);
        std::string out;
        EXPECT_EQ(tool("xml '" + dir.file(name) + "'", &out), 0) << out;
        EXPECT_EQ(out, tree);
    }
}

TEST(NuktoolXml, LoadErrorsExitWithOne) {
    TempDir dir;
    dir.write("empty.xml", "");
    dir.write("bad.cxf", "<AVR/>");
    const std::pair<std::string, std::string> cases[] = {
        {"missing.xml", "Fehler: Datei nicht gefunden: "},
        {"empty.xml", "Fehler: beim Auslesen der Datei "},
        {"bad.cxf", "Fehler: beim Dekomprimieren der Datei "},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        std::string out;
        EXPECT_EQ(tool("xml '" + dir.file(name) + "'", &out), 1);
        EXPECT_NE(out.find(message + dir.file(name)), std::string::npos) << out;
    }
}

TEST(NuktoolXml, MissingRootEndTagPrintsWhatWasReadAndFails) {
    TempDir dir;
    dir.write("open.xml", "<r a='1'><c/>");
    std::string out;
    EXPECT_EQ(tool("xml '" + dir.file("open.xml") + "'", &out), 1);
    EXPECT_EQ(out.rfind("r a=\"1\"\n", 0), 0u) << out;
    EXPECT_NE(out.find("end tag of the root element <r> is missing"), std::string::npos) << out;
}

TEST(NuktoolXml, BadUsageExitsWithTwo) {
    for (const char* args : {"xml", "xml a.xml b.xml"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(tool(args), 2);
    }
}

}  // namespace
