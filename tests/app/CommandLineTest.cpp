// The command line of experiment: every option read once, Qt's and the browser engine's left to
// them, and a wrong argument answered with exit code 2 and one line in the user's language
// before anything starts.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "foundation/LanguageChoice.h"
#include "foundation/SFile.h"
#include "foundation/SLanguage.h"
#include "support/TestSupport.h"

namespace {

using Mode = VirtualBoardHost::Mode;
using Request = CommandLine::Request;

const std::string pageList =
    "Einleitung, Bauformen, Anwendungen, Vorbetrachtungen, Schaltung, Aufgaben, Vorbereitung, "
    "Durchf\xC3\xBChrung, Auswertung, Lehrkraft";

std::vector<std::string> line(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "experiment");
    return arguments;
}

// The English texts of the language file for the duration of a test; German (the texts' own)
// again afterwards, as the other tests expect.
class EnglishTexts {
public:
    EnglishTexts() {
        SString error;
        const SString text =
            SFile::readFile(SString(testsupport::sourceDir() + "/resources/kondensator_en.lng"), &error);
        EXPECT_TRUE(error.isEmpty()) << error.str();
        globalLanguage().clear();
        globalLanguage().setLanguage("en");
        globalLanguage().load(text.str());
    }
    ~EnglishTexts() { globalLanguage().clear(); }
    EnglishTexts(const EnglishTexts&) = delete;
    EnglishTexts& operator=(const EnglishTexts&) = delete;
};

TEST(CommandLineTest, EveryValidFormIsReadIntoTheOptions) {
    struct Case {
        std::vector<std::string> arguments;
        Request request = Request::run;
        const char* language = "de";
        const char* page = "Einleitung";
        Mode board = Mode::off;
        const char* shareHost = nullptr;  // nullptr: not shared
        int sharePort = 0;
    };
    const Case cases[] = {
        {{}},
        {{"--page", "Durchf\xC3\xBChrung"}, Request::run, "de", "Durchf\xFChrung"},
        {{"--page=durchfuehrung"}, Request::run, "de", "Durchf\xFChrung"},
        {{"--page", "Lehrkraft"}, Request::run, "de", "Lehrkraft"},
        {{"--page", "Aufgaben", "--page=Bauformen"}, Request::run, "de", "Bauformen"},
        {{"--lang", "en"}, Request::run, "en"},
        {{"--lang=EN", "--lang", "de"}, Request::run, "de"},
        {{"--virtual-board"}, Request::run, "de", "Einleitung", Mode::protocol},
        {{"--virtual-board=core"}, Request::run, "de", "Einleitung", Mode::core},
        {{"--virtual-board=myburn"}, Request::run, "de", "Einleitung", Mode::myBurn},
        {{"--virtual-board=myboot"}, Request::run, "de", "Einleitung", Mode::myBoot},
        {{"--virtual-board=protokoll"}, Request::run, "de", "Einleitung", Mode::protocol},
        {{"--share"}, Request::run, "de", "Einleitung", Mode::off, "0.0.0.0", 8080},
        {{"--share="}, Request::run, "de", "Einleitung", Mode::off, "0.0.0.0", 8080},
        {{"--share=9000"}, Request::run, "de", "Einleitung", Mode::off, "0.0.0.0", 9000},
        {{"--virtual-board", "--share=127.0.0.1:8099"},
         Request::run,
         "de",
         "Einleitung",
         Mode::protocol,
         "127.0.0.1",
         8099},
        {{"--debug", "--debug=stderr"}},
        // Qt's own options with their values, in both spellings; a value is Qt's even when it
        // looks like one of the program's options.
        {{"-platform", "offscreen", "-style", "Fusion", "--style=Fusion", "-reverse", "-display", ":1",
          "-session", "1234abc", "-qwindowtitle", "--page"}},
        // Behind --webEngineArgs everything is Chromium's.
        {{"--page=Schaltung", "--webEngineArgs", "--remote-debugging-port=9222", "--gibt-es-nicht"},
         Request::run,
         "de",
         "Schaltung"},
        // --help and --version: the first counts, and it answers whatever else is wrong.
        {{"--help"}, Request::help},
        {{"-h"}, Request::help},
        {{"--version", "--help"}, Request::version},
        {{"--page=Nix", "--shar", "--help"}, Request::help},
        {{"--lang=en", "--version"}, Request::version, "en"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> arguments = line(c.arguments);
        std::string shown;
        for (const std::string& a : arguments) shown += a + " ";
        SCOPED_TRACE(shown);
        const CommandLine::Options o = CommandLine::parse(arguments, "de");
        EXPECT_EQ(o.problem ? o.problem() : std::string(), "");
        EXPECT_EQ(o.request, c.request);
        EXPECT_EQ(o.language, c.language);
        EXPECT_EQ(o.page, c.page);
        EXPECT_EQ(o.virtualBoard, c.board);
        EXPECT_EQ(o.share, c.shareHost != nullptr);
        if (c.shareHost) {
            EXPECT_EQ(o.shareAddress.host, c.shareHost);
            EXPECT_EQ(o.shareAddress.port, c.sharePort);
        }
    }
    // The program's own name is no option.
    EXPECT_FALSE(CommandLine::parse({"--shar"}, "de").problem);
}

// Each wrong argument is named, in German and in English, whatever else the line holds; the
// first wrong one is the one reported.
TEST(CommandLineTest, AWrongArgumentIsNamedInGermanAndEnglish) {
    struct Case {
        std::vector<std::string> arguments;
        std::string german;
        std::string english;
    };
    const Case cases[] = {
        {{"--shar"}, "unbekannte Option '--shar'", "unknown option '--shar'"},
        {{"--shar=1"}, "unbekannte Option '--shar'", "unknown option '--shar'"},
        {{"--foo", "--page=Schaltung"}, "unbekannte Option '--foo'", "unknown option '--foo'"},
        {{"--page=Schaltung", "-x"}, "unbekannte Option '-x'", "unknown option '-x'"},
        {{"messung.csv"}, "unerwartetes Argument 'messung.csv'", "unexpected argument 'messung.csv'"},
        // --share takes its address only after "=".
        {{"--share", "8081"}, "unerwartetes Argument '8081'", "unexpected argument '8081'"},
        {{"--page=Nix"},
         "keine Seite 'Nix' f\xC3\xBCr --page; die Seiten: " + pageList,
         "no page 'Nix' for --page; the pages are: " + pageList},
        {{"--page",
          "Gr\xC3\xBC\xC3\x9F"
          "e"},
         "keine Seite 'Gr\xC3\xBC\xC3\x9F"
         "e' f\xC3\xBCr --page; die Seiten: " +
             pageList,
         "no page 'Gr\xC3\xBC\xC3\x9F"
         "e' for --page; the pages are: " +
             pageList},
        // The title and progress panes are always on screen; they are no pages to start on.
        {{"--page", "Titel"},
         "keine Seite 'Titel' f\xC3\xBCr --page; die Seiten: " + pageList,
         "no page 'Titel' for --page; the pages are: " + pageList},
        {{"--page", "--help"},
         "keine Seite '--help' f\xC3\xBCr --page; die Seiten: " + pageList,
         "no page '--help' for --page; the pages are: " + pageList},
        {{"--page"},
         "--page braucht den Namen einer Seite: " + pageList,
         "--page needs the name of a page: " + pageList},
        {{"--lang=fr"},
         "unbekannte Sprache 'fr' f\xC3\xBCr --lang; m\xC3\xB6glich: de oder en",
         "unknown language 'fr' for --lang; possible: de or en"},
        {{"--lang"}, "--lang braucht einen Wert", "--lang needs a value"},
        {{"--share=abc"},
         "'abc' ist keine Adresse f\xC3\xBCr --share; m\xC3\xB6gliche Angaben: --share, --share=PORT oder "
         "--share=ADRESSE:PORT (zum Beispiel --share=127.0.0.1:8080)",
         "'abc' is no address for --share; possible: --share, --share=PORT or --share=ADDRESS:PORT (for "
         "example "
         "--share=127.0.0.1:8080)"},
        {{"--virtual-board=kaputt"},
         "unbekannte Art des virtuellen Boards 'kaputt'; m\xC3\xB6gliche Angaben: --virtual-board oder "
         "--virtual-board=core|myburn|myboot",
         "unknown kind of virtual board 'kaputt'; possible: --virtual-board or "
         "--virtual-board=core|myburn|myboot"},
        {{"--virtual-board="},
         "unbekannte Art des virtuellen Boards ''; m\xC3\xB6gliche Angaben: --virtual-board oder "
         "--virtual-board=core|myburn|myboot",
         "unknown kind of virtual board ''; possible: --virtual-board or --virtual-board=core|myburn|myboot"},
        {{"--version=2"}, "--version nimmt keinen Wert", "--version takes no value"},
        {{"--debug=tcp"},
         "'tcp' ist kein g\xC3\xBCltiger Wert f\xC3\xBCr --debug",
         "'tcp' is not a valid value for --debug"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> arguments = line(c.arguments);
        SCOPED_TRACE(arguments.back());
        const CommandLine::Options o = CommandLine::parse(arguments, "de");
        ASSERT_TRUE(o.problem);
        EXPECT_EQ(o.request, Request::run);
        EXPECT_EQ(o.problem(), c.german);
        EnglishTexts english;
        EXPECT_EQ(o.problem(), c.english);
    }
}

// The message speaks the language of a valid --lang, wherever it stands, else the desktop's;
// the answer is one line that points to --help.
TEST(CommandLineTest, TheAnswerSpeaksTheUsersLanguage) {
    EXPECT_EQ(CommandLine::parse(line({"--lang=en", "--shar"}), "de").language, "en");
    EXPECT_EQ(CommandLine::parse(line({"--shar", "--lang", "en"}), "de").language, "en");
    EXPECT_EQ(CommandLine::parse(line({"--lang=fr"}), "en").language, "en");
    EXPECT_EQ(CommandLine::parse(line({"--lang=fr"}), "de").language, "de");

    EXPECT_EQ(languagechoice::usageLine("experiment", "unbekannte Option '--shar'"),
              "experiment: unbekannte Option '--shar' (experiment --help zeigt den Aufruf)");
    EnglishTexts english;
    EXPECT_EQ(languagechoice::usageLine("experiment", "unknown option '--shar'"),
              "experiment: unknown option '--shar' (experiment --help shows the usage)");
}

// The program itself: --help and --version answer without a display; a wrong argument ends it
// with 2 and exactly one line on standard error. The programs run headless with the start-up
// probe, which would report the main window and quit: the one line shows no window was made.
TEST(CommandLineTest, TheProgramAnswersBeforeAnyWindow) {
    const std::string experiment = " '" + testsupport::binaryDir() + "/experiment'";
    const std::string withoutDisplay =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LC_ALL -u LC_MESSAGES ";
    const std::string german = withoutDisplay + "LANG=de_DE.UTF-8" + experiment;
    std::string out;
    ASSERT_EQ(testsupport::runCommand(german + " --help 2>&1", &out), 0) << out;
    for (const char* option :
         {"--page=NAME", "--virtual-board[=ART]", "core", "myburn", "myboot", "--debug[=stderr]",
          "-h, --help", "--version", "NUK_COMPORTS", "Durchf\xC3\xBChrung", "dialout", "--lang=de|en",
          "--share[=[ADRESSE:]PORT]", "--webEngineArgs"})
        EXPECT_NE(out.find(option), std::string::npos) << option << " in:\n" << out;
    ASSERT_EQ(testsupport::runCommand(german + " --version 2>&1", &out), 0) << out;
    EXPECT_EQ(out.rfind("experiment (Kondensator) 1.3.", 0), 0u) << out;
    // In English: by the option, or by the desktop's language.
    for (const char* english : {" --lang en --help", " --lang=EN --help"}) {
        ASSERT_EQ(testsupport::runCommand(german + english + " 2>&1", &out), 0) << out;
        EXPECT_NE(out.find("  -h, --help               this help"), std::string::npos) << out;
    }
    ASSERT_EQ(
        testsupport::runCommand(withoutDisplay + "LANG=en_GB.UTF-8" + experiment + " --help 2>&1", &out), 0)
        << out;
    EXPECT_NE(out.find("Options:"), std::string::npos) << out;

    testsupport::TempDir config;
    const std::string headless =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u LC_ALL -u LC_MESSAGES QT_QPA_PLATFORM=offscreen "
        "NUK_STARTUP_PROBE=1 XDG_CONFIG_HOME='" +
        config.path() + "' ";
    struct Case {
        const char* locale;
        const char* arguments;
        std::string line;
    };
    const Case cases[] = {
        {"de_DE.UTF-8", "--shar=1",
         "experiment: unbekannte Option '--shar' (experiment --help zeigt den Aufruf)"},
        {"en_GB.UTF-8", "--shar=1",
         "experiment: unknown option '--shar' (experiment --help shows the usage)"},
        {"de_DE.UTF-8", "--page=Nix",
         "experiment: keine Seite 'Nix' f\xC3\xBCr --page; die Seiten: " + pageList +
             " (experiment --help zeigt den Aufruf)"},
        {"en_GB.UTF-8", "--page=Nix",
         "experiment: no page 'Nix' for --page; the pages are: " + pageList +
             " (experiment --help shows the usage)"},
        {"de_DE.UTF-8", "--lang=fr",
         "experiment: unbekannte Sprache 'fr' f\xC3\xBCr --lang; m\xC3\xB6glich: de oder en (experiment "
         "--help zeigt "
         "den Aufruf)"},
        {"en_GB.UTF-8", "--lang=fr",
         "experiment: unknown language 'fr' for --lang; possible: de or en (experiment --help shows the "
         "usage)"},
        // A valid --lang decides over the desktop.
        {"de_DE.UTF-8", "--lang=en --share=abc",
         "experiment: 'abc' is no address for --share; possible: --share, --share=PORT or "
         "--share=ADDRESS:PORT (for "
         "example --share=127.0.0.1:8080) (experiment --help shows the usage)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.arguments);
        const std::string command =
            headless + "LANG=" + c.locale + " timeout 60" + experiment + " " + c.arguments;
        EXPECT_EQ(testsupport::runCommand("(" + command + " 2>&1 >'" + config.file("stdout") + "')", &out),
                  2);
        EXPECT_EQ(out, c.line + "\n");
        EXPECT_EQ(config.read("stdout"), "") << "nothing on standard output";
    }
}

}  // namespace
