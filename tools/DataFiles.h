// Where nuktool and boardsim find the data files they share with the program.
#pragma once

#include <string>
#include <sys/stat.h>

#include "Version.h"
#include "foundation/LanguageChoice.h"
#include "foundation/SFile.h"
#include "foundation/SLanguage.h"
#include "platform/Paths.h"

namespace tools {

// The directory of the running tool, with a trailing "/".
inline std::string toolDirectory() {
    const std::string exe = platform::executablePath();
    return exe.substr(0, exe.rfind('/') + 1);
}

// The candidate in the build tree when it exists, else the installed copy: an installed tool
// (<prefix>/bin) finds the files in <prefix>/share/<package>, where the package puts them.
inline std::string dataFile(const std::string& name, const std::string& inBuildTree) {
    struct stat info;
    if (!inBuildTree.empty() && ::stat(inBuildTree.c_str(), &info) == 0) return inBuildTree;
    return toolDirectory() + "../share/" NUK_PACKAGE "/" + name;
}

// The MCU catalogue: the one built beside the tool (build/resources/avr.cxf), else the
// installed one.
inline std::string catalogueFile() {
    return dataFile("avr.cxf", toolDirectory() + "resources/avr.cxf");
}

// The language file of the tools' texts in a language ("en"): the one beside the tool
// (build/resources), else the installed one.
inline std::string languageFile(const std::string& language) {
    const std::string name = "kondensator_" + language + ".lng";
    return dataFile(name, toolDirectory() + "resources/" + name);
}

// Loads the texts of the desktop's language (LC_ALL, LC_MESSAGES, LANG) into the language
// table; German, or a language without a file, keeps the German texts.
inline void speakDesktopLanguage() {
    const std::string language = languagechoice::fromEnvironment();
    if (language == languagechoice::german) return;
    globalLanguage().setLanguage(language);
    SString error;
    const SString texts = SFile::readFile(SString(languageFile(language)), &error);
    if (error.isEmpty()) globalLanguage().load(texts.str());
}

}  // namespace tools
