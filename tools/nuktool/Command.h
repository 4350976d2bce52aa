// The subcommands of nuktool: each registers itself with a name, a usage line and a function.
#pragma once

#include <string>
#include <vector>

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
// Prints "nuktool: <message>" to standard error and returns the exit code for bad usage (2).
int usageError(const std::string& message);
// Prints "nuktool: <message>" to standard error and returns the exit code for failures (1).
int failure(const std::string& message);

}  // namespace nuktool
