// The command line of the program experiment: every option it takes, read once before anything
// starts; and the texts of --help and --version (UTF-8, for the terminal). Free of Qt Widgets.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/VirtualBoardHost.h"
#include "foundation/SString.h"
#include "live/ShareAddress.h"

class CommandLine {
public:
    enum class Request { run, help, version };

    // What the command line asks for.
    struct Options {
        // --help (or -h) and --version: the first of them counts, and it answers even when
        // something else on the line is wrong.
        Request request = Request::run;
        // "de" or "en": the last valid --lang, else the desktop's.
        std::string language;
        // --page: the pane's name as the layout spells it (Windows-1252).
        SString page;
        // --virtual-board[=KIND].
        VirtualBoardHost::Mode virtualBoard = VirtualBoardHost::Mode::off;
        // --share[=[ADDRESS:]PORT].
        bool share = false;
        ShareAddress shareAddress;
        // Set when the line holds something wrong (the first such argument): says what, in the
        // language whose texts are loaded when it is called (UTF-8, without the program's name).
        std::function<std::string()> problem;
    };

    // Reads the arguments (the first is the program). The program's own options are --help,
    // -h, --version, --page NAME, --lang LANGUAGE (both also with "="), --virtual-board[=KIND],
    // --share[=[ADDRESS:]PORT] and --debug[=stderr] (which the trace channel reads for itself
    // when the process starts). Anything else is wrong, except what Qt and its browser engine
    // take from the same command line (see qtArguments in CommandLine.cpp).
    static Options parse(const std::vector<std::string>& arguments, const std::string& desktopLanguage);

    // Answers what needs no window: the help or the version on standard output (exit code 0),
    // or the problem as one line on standard error in the user's language (exit code 2).
    // Nothing when the program is to run.
    static std::optional<int> earlyExit(const Options& options);

    // Loads the texts of a language from its language file while the resources are not yet set
    // up: from the program's own archive (a shipped program), else beside the program
    // (<dir>/resources: the build tree), else from <prefix>/share/<package> (installed). German
    // needs none: it is the texts' own language. False when no file was found.
    static bool loadTexts(const std::string& language);

    // Usage, every option with its values, the environment variables and the files, in German
    // ("de") or English (any other language); the pages "--page" accepts come from the main
    // window's layout.
    static std::string helpText(const std::string& language = "de");
    static std::string versionText();

private:
    static std::string englishHelp(const std::string& pages);
};
