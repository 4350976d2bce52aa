// The subcommands of nuktool: each registers itself with a name, a usage line and a function.
#pragma once

#include <string>
#include <vector>

#include "foundation/LanguageChoice.h"

namespace nuktool {

using Args = std::vector<std::string>;
// Runs a subcommand with the arguments behind its name; returns the exit code.
using Function = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* usage;    // one or more lines "nuktool <name> ..." with a short explanation
    Function run;
};

// Registers a command; used through a static Registration object in the command's file.
void registerCommand(const Command& command);
const std::vector<Command>& commands();

struct Registration {
    explicit Registration(const Command& command) { registerCommand(command); }
};

// Windows-1252 text as UTF-8 for the terminal (messages only; data bytes are written as they are).
std::string toTerminal(const std::string& text);
// Prints the answer to a wrong command line, one line on standard error in the user's language:
// "nuktool: <message> (nuktool --help shows the usage)"; returns the exit code for bad usage (2).
// The message is UTF-8 (the texts of foundation/LanguageChoice.h, filled with what the user
// typed).
int usageError(const std::string& message);
// For missing or surplus arguments: "<command>: expected <what>", what in the usage's words
// ("FILE SECTION KEY"); returns 2.
int expectedArguments(const std::string& command, const std::string& what);
// For a command that takes names of files and no option: the first argument that looks like one
// ("-x", "--name") is refused as an unknown option (a file of such a name is given as "./-x").
// 0 when there is none, else 2 after the message.
int refuseOptions(const std::string& command, const Args& args);
// Prints "nuktool: <message>" to standard error and returns the exit code for failures (1).
int failure(const std::string& message);

}  // namespace nuktool
