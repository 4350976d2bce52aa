// A wrong command line of nuktool or boardsim: exit code 2 and one line on standard error that
// names the argument and points to --help, in the desktop's language; nothing starts.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace {

struct Case {
    const char* program;  // "nuktool" or "boardsim"
    const char* locale;
    const char* arguments;
    const char* line;
};

int run(const Case& c, std::string* out) {
    const std::string program = std::string(c.program) == "nuktool" ? testsupport::toolPath()
                                                                    : testsupport::binaryDir() + "/boardsim";
    // Standard error alone; a boardsim that started would print its COM name on standard output
    // and register it in a map of the test's own.
    testsupport::TempDir dir;
    return testsupport::runCommand("(env -u LC_ALL -u LC_MESSAGES LANG=" + std::string(c.locale) +
                                       " NUK_COMPORTS='" + dir.file("comports.ini") + "' timeout 20 '" +
                                       program + "' " + c.arguments + " 2>&1 >/dev/null)",
                                   out);
}

TEST(ToolCommandLineTest, AWrongArgumentIsNamedInTheUsersLanguage) {
    const Case cases[] = {
        {"nuktool", "de_DE.UTF-8", "--shar",
         "nuktool: unbekannte Option '--shar' (nuktool --help zeigt den Aufruf)"},
        {"nuktool", "en_GB.UTF-8", "--shar",
         "nuktool: unknown option '--shar' (nuktool --help shows the usage)"},
        {"nuktool", "de_DE.UTF-8", "gibtsnicht",
         "nuktool: unbekannter Befehl 'gibtsnicht' (nuktool --help zeigt den Aufruf)"},
        {"nuktool", "en_GB.UTF-8", "burn --programmer stk500 firmware.hex",
         "nuktool: burn: unknown programmer 'stk500' for --programmer; possible: "
         "avr911|avr910|duvaro|myboot|avrdude (nuktool --help shows the usage)"},
        {"nuktool", "de_DE.UTF-8", "monitor --seconds 5s",
         "nuktool: monitor: '5s' ist keine positive Zahl bis 86400 f\xC3\xBCr --seconds "
         "(nuktool --help zeigt den Aufruf)"},
        {"nuktool", "de_DE.UTF-8", "xml --tree datei.xml",
         "nuktool: xml: unbekannte Option '--tree' (nuktool --help zeigt den Aufruf)"},
        {"nuktool", "en_GB.UTF-8", "--debug=viel ini",
         "nuktool: 'viel' is not a valid value for --debug (nuktool --help shows the usage)"},
        {"boardsim", "de_DE.UTF-8", "--adaptr",
         "boardsim: unbekannte Option '--adaptr' (boardsim --help zeigt den Aufruf)"},
        {"boardsim", "en_GB.UTF-8", "--R=10x",
         "boardsim: '10x' is not a valid value for --R (boardsim --help shows the usage)"},
        {"boardsim", "de_DE.UTF-8", "--adapter=ja",
         "boardsim: --adapter nimmt keinen Wert (boardsim --help zeigt den Aufruf)"},
        {"boardsim", "en_GB.UTF-8", "--no-register --C",
         "boardsim: --C needs a value (boardsim --help shows the usage)"},
        {"boardsim", "de_DE.UTF-8", "--no-register 470u",
         "boardsim: unerwartetes Argument '470u' (boardsim --help zeigt den Aufruf)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.arguments + " (" + c.locale + ")");
        std::string out;
        EXPECT_EQ(run(c, &out), 2);
        EXPECT_EQ(out, std::string(c.line) + "\n");
    }
}

}  // namespace
