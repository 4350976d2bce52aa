// File helpers shared by the nuktool commands: checked input paths, whole-file read and write,
// and the library's multi-line messages as one terminal line.
#pragma once

#include <string>

#include "foundation/SMem.h"
#include "foundation/SString.h"

namespace nuktool {

// The library's texts end lines with "\r\n"; one line on the terminal reads better.
std::string oneLine(const SString& text);
// False with a message when the path does not name an existing file (a directory is refused).
bool checkInputFile(const std::string& path, std::string& error);
// Reads the whole file; the library's loaders treat a missing file as empty, the tool does not.
bool readInput(const std::string& path, SMem& bytes, std::string& error);
// Writes the bytes as the whole file; a directory is refused.
bool writeOutput(const std::string& path, const SMem& bytes, std::string& error);

}  // namespace nuktool
