// Test helper: sets up the resource manager the way the application does and prints what it
// finds, so tests can run copies of this program with an archive appended.
//
//   resprobe [--appdir DIR] [--style NAME]... [NAME]...
//
// Prints "extracted <0|1>", "tempdir <path>", then for every NAME "file <NAME> <path>" and, when
// found, "content <NAME> [<bytes>]"; for every --style "style <NAME> <value>". Message boxes go
// to standard error.
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/SFile.h"
#include "foundation/SResources.h"

int main(int argc, char** argv) {
    std::vector<std::string> names, styles;
    SResources& resources = globalResources();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--appdir" && i + 1 < argc) {
            resources.setApplicationDirectory(SString(std::string(argv[++i])));
        } else if (arg == "--style" && i + 1 < argc) {
            styles.emplace_back(argv[++i]);
        } else {
            names.push_back(arg);
        }
    }
    resources.init();
    std::printf("extracted %d\n", resources.isExtracted() ? 1 : 0);
    std::printf("tempdir %s\n", resources.getTempDirectory().c_str());
    for (const std::string& name : names) {
        SString path = resources.getFile(SString(name));
        std::printf("file %s %s\n", name.c_str(), path.c_str());
        if (path.isEmpty()) continue;
        SString content = SFile::readFile(path);
        std::printf("content %s [", name.c_str());
        std::fwrite(content.data(), 1, content.size(), stdout);
        std::printf("]\n");
    }
    for (const std::string& style : styles)
        std::printf("style %s %s\n", style.c_str(), resources.getStyle(SString(style)).c_str());
    std::fflush(stdout);
    return 0;
}
