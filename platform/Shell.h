// Opening documents with the desktop's associated program.
#pragma once
#include <string>

namespace platform {

// What the desktop does with "open". Tests install a fake so no program is launched.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens the file (or address) with its associated program; parameters are passed on as
    // further arguments. Returns 0 on success, else an errno-style code.
    virtual int open(const std::string& file, const std::string& parameters, const std::string& workingDir) = 0;
};

// The current shell: xdg-open unless a test replaced it.
Shell& shell();
// Replaces the shell; nullptr restores xdg-open. The caller keeps ownership.
void setShell(Shell* replacement);

}  // namespace platform
