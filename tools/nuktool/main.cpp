// nuktool: maintenance and inspection tool for the experiment's files.
#include <cstdio>
#include <cstring>

#include "Command.h"
#include "DataFiles.h"
#include "Version.h"
#include "foundation/SError.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace nuktool {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}

void printHelp(std::FILE* out) {
    std::fprintf(out,
                 "nuktool - tool for the files of the experiment\n\n"
                 "Usage:\n");
    for (const Command& c : registry()) std::fprintf(out, "%s\n", c.usage);
    std::fprintf(out, "\n  nuktool --help            this text\n  nuktool COMMAND --help    the usage of one command\n"
                      "  nuktool --version         the version\n");
}
}  // namespace

void registerCommand(const Command& command) { registry().push_back(command); }
const std::vector<Command>& commands() { return registry(); }

// Our texts are Windows-1252; terminals speak UTF-8.
std::string toTerminal(const std::string& text) {
    return SString(text).toUtf8();
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s\n", languagechoice::usageLine("nuktool", message).c_str());
    return 2;
}

int expectedArguments(const std::string& command, const std::string& what) {
    return usageError(languagechoice::say(MSG("nuktoolExpected", "%1: erwartet wird %2"), {command, what}));
}

int refuseOptions(const std::string& command, const Args& args) {
    for (const std::string& a : args)
        if (languagechoice::looksLikeOption(a))
            return usageError(command + ": " + languagechoice::unknownOption(a));
    return 0;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "nuktool: %s\n", toTerminal(message).c_str());
    return 1;
}

}  // namespace nuktool

int main(int argc, char** argv) {
    using namespace nuktool;
    // The messages speak the desktop's language (German without a language file).
    tools::speakDesktopLanguage();
    // Message boxes of the library become lines on standard error.
    globalError().setMessageSink([](const SString& text, const SString& title, unsigned) {
        std::string t = text.str();
        for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.replace(p, 2, 1, '\n');
        std::fprintf(stderr, "nuktool: %s: %s\n", toTerminal(title.str()).c_str(), toTerminal(t).c_str());
        return 1;
    });
    Args args;
    for (int i = 1; i < argc; ++i) {
        // The debug switches belong to the library's trace channel; only the exact switches
        // are taken out, so a value such as "--debugger" reaches its command.
        if (std::strcmp(argv[i], "--debug") == 0 || std::strcmp(argv[i], "--debug=stderr") == 0) continue;
        if (std::strncmp(argv[i], "--debug=", 8) == 0)
            return usageError(languagechoice::invalidValue("--debug", argv[i] + 8));
        args.emplace_back(argv[i]);
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::printf("nuktool (Kondensator) %s\n", NUK_VERSION);
        return 0;
    }
    for (const Command& c : commands()) {
        if (args[0] != c.name) continue;
        Args rest(args.begin() + 1, args.end());
        if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
            std::printf("%s\n", c.usage);
            return 0;
        }
        return c.run(rest);
    }
    if (languagechoice::looksLikeOption(args[0])) return usageError(languagechoice::unknownOption(args[0]));
    return usageError(
        languagechoice::say(MSG("nuktoolUnknownCommand", "unbekannter Befehl '%1'"), {args[0]}));
}
