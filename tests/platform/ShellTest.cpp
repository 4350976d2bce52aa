#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace {

// A shell script is run by /bin/sh with the parameters as its arguments: quoted parameters
// keep their blanks and lose their quotes. Its exit code decides success.
TEST(ShellTest, ScriptsRunWithTheirParameters) {
    testsupport::TempDir dir;
    dir.write("zeige.sh", "for a in \"$@\"; do printf '<%s>' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
                          "pwd > \"$(dirname \"$0\")/pwd\"\n");
    dir.write("fehler.sh", "exit 3\n");
    platform::Shell& shell = platform::shell();

    EXPECT_EQ(shell.open(dir.file("zeige.sh"), "\"" + dir.path() + "/Messung 1.csv\" zwei", dir.path()), 0);
    EXPECT_EQ(dir.read("args"), "<" + dir.path() + "/Messung 1.csv><zwei>");
    EXPECT_EQ(dir.read("pwd"), dir.path() + "\n");
    EXPECT_EQ(shell.open(dir.file("zeige.sh"), "", ""), 0);
    EXPECT_EQ(dir.read("args"), "");

    EXPECT_NE(shell.open(dir.file("fehler.sh"), "", ""), 0);
    EXPECT_NE(shell.open(dir.file("fehlt.sh"), "", ""), 0);
}

}  // namespace
