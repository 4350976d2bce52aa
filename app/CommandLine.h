// The options of the program experiment, for --help and --version (UTF-8, for the terminal).
#pragma once

#include <string>
#include <vector>

class CommandLine {
public:
    enum class Request { run, help, version };

    // --help (or -h) and --version end the program with their text before anything starts;
    // the first of them counts.
    static Request request(const std::vector<std::string>& arguments);
    // Usage, every option with its values, the environment variables and the files, in German
    // ("de") or English (any other language); the pages "--page" accepts come from the main
    // window's layout.
    static std::string helpText(const std::string& language = "de");
    static std::string versionText();

private:
    static std::string englishHelp(const std::string& pages);
};
