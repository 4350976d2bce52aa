// Where nuktool and boardsim find the data files they share with the program.
#pragma once

#include <string>
#include <sys/stat.h>

#include "Version.h"
#include "platform/Paths.h"

namespace tools {

// The first of the candidates that exists, else the installed copy: an installed tool
// (<prefix>/bin) finds the files in <prefix>/share/<package>, where the package puts them.
inline std::string dataFile(const std::string& name, const std::string& inBuildTree) {
    struct stat info;
    if (!inBuildTree.empty() && ::stat(inBuildTree.c_str(), &info) == 0) return inBuildTree;
    const std::string exe = platform::executablePath();
    const std::string dir = exe.substr(0, exe.rfind('/') + 1);
    return dir + "../share/" NUK_PACKAGE "/" + name;
}

// The directory of the running tool, with a trailing "/".
inline std::string toolDirectory() {
    const std::string exe = platform::executablePath();
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace tools
