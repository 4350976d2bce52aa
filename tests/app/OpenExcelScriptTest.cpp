// resources/openexcel.sh: which program it starts, and with which import options.
#include <gtest/gtest.h>

#include "AppTest.h"
#include "support/TestSupport.h"

namespace {

class OpenExcelScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::runCommand("mkdir -p '" + dir.file("bin") + "' && ln -s \"$(command -v nohup)\" '" +
                                dir.file("bin/nohup") + "'");
        dir.write("Messung 1.csv", "t;U\r\n");
    }
    // A stand-in program that writes its arguments, one per line, to "<name>.args" (in one step,
    // so the test never reads half of them).
    void fakeProgram(const std::string& name) {
        const std::string args = dir.file(name + ".args");
        dir.write("bin/" + name, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + args + ".neu'\n/bin/mv '" +
                                     args + ".neu' '" + args + "'\n");
        testsupport::runCommand("chmod +x '" + dir.file("bin/" + name) + "'");
    }
    // Runs the script with only the stand-ins on the PATH.
    int run(const std::string& arguments) {
        return testsupport::runCommand("PATH='" + dir.file("bin") + "' /bin/sh '" + testsupport::sourceDir() +
                                       "/resources/openexcel.sh' " + arguments + " 2>/dev/null");
    }
    std::string argumentsOf(const std::string& name) {
        apptest::waitFor([&] { return !dir.read(name + ".args").empty(); }, 3000);
        return dir.read(name + ".args");
    }

    testsupport::TempDir dir;
};

// Calc reads each file in its own dialect: the German one with ";" and decimal commas, the
// English one with "," and decimal points.
TEST_F(OpenExcelScriptTest, CalcGetsTheImportOptionsOfTheFilesDialect) {
    const struct {
        const char* content;
        const char* options;
    } cases[] = {
        {"t in s;U_C (Laden) in V\r\n0,000000;0,004888\r\n", "59,34,1,1,,1031"},
        {"t in s,U_C (charging) in V\r\n0.000000,0.004888\r\n", "44,34,1,1,,1033"},
    };
    fakeProgram("libreoffice");
    fakeProgram("xdg-open");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        const std::string file = dir.file("Messung 2.csv");
        dir.write("Messung 2.csv", c.content);
        testsupport::runCommand("rm -f '" + dir.file("libreoffice.args") + "'");
        EXPECT_EQ(run("'" + file + "'"), 0);
        EXPECT_EQ(argumentsOf("libreoffice"),
                  std::string("--infilter=Text - txt - csv (StarCalc):") + c.options + "\n" + file + "\n");
    }
    EXPECT_EQ(dir.read("xdg-open.args"), "");
}

TEST_F(OpenExcelScriptTest, WithoutCalcTheDesktopOpensIt) {
    fakeProgram("xdg-open");
    const std::string file = dir.file("Messung 1.csv");
    EXPECT_EQ(run("'" + file + "'"), 0);
    EXPECT_EQ(argumentsOf("xdg-open"), file + "\n");
}

TEST_F(OpenExcelScriptTest, Failures) {
    EXPECT_EQ(run("'" + dir.file("Messung 1.csv") + "'"), 127);
    fakeProgram("libreoffice");
    EXPECT_EQ(run("'" + dir.file("fehlt.csv") + "'"), 1);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(dir.read("libreoffice.args"), "");
}

}  // namespace
