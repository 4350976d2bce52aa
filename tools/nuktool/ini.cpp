// nuktool ini: read and edit INI files (masked ones too) without touching other bytes.
#include <cstdio>

#include "Command.h"
#include "FileIo.h"
#include "foundation/SFileIni.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace nuktool {
namespace {

const char* const usage =
    "  nuktool ini get FILE SECTION KEY          print the value of KEY (exit 1 when absent)\n"
    "  nuktool ini set FILE SECTION KEY VALUE    set KEY; an empty VALUE deletes the entry\n"
    "  nuktool ini sections FILE [PATTERN]       list sections, PATTERN like 'View*|*_1' (default *)";

bool openIni(SFileIni& ini, const std::string& path, bool readOnly, std::string& error) {
    if (!checkInputFile(path, error)) return false;
    if (!ini.open(SString(path), false, readOnly)) {
        error = oneLine(ini.getError());
        return false;
    }
    return true;
}

int run(const Args& args) {
    using languagechoice::say;
    if (args.empty())
        return usageError(say(MSG("nuktoolIniMissing", "ini: Unterbefehl fehlt (get, set oder sections)")));
    const std::string& sub = args[0];
    std::string error;
    if (sub == "get") {
        if (args.size() != 4) return expectedArguments("ini get", "FILE SECTION KEY");
        SFileIni ini;
        if (!openIni(ini, args[1], true, error)) return failure(error);
        // A marker that cannot be a value tells "absent" apart from an empty value.
        const SString absent(std::string("\x01"));
        SString value = ini.getValue(SString(args[2]), SString(args[3]), absent);
        if (value == absent) return failure("'" + args[3] + "' not found in section [" + args[2] + "]");
        std::fwrite(value.data(), 1, value.size(), stdout);
        std::fputc('\n', stdout);
        return 0;
    }
    if (sub == "set") {
        if (args.size() != 5) return expectedArguments("ini set", "FILE SECTION KEY VALUE");
        const std::string& section = args[2];
        const std::string& key = args[3];
        const std::string& value = args[4];
        if (section.empty() || section.find_first_of("[]\r\n") != std::string::npos)
            return usageError(say(MSG("nuktoolIniSection",
                                      "ini set: ein Abschnittsname darf weder leer sein noch "
                                      "'[', ']' oder einen Zeilenwechsel enthalten")));
        if (key.empty() || key.find_first_of("=\r\n") != std::string::npos || key[0] == '[')
            return usageError(say(MSG("nuktoolIniKey",
                                      "ini set: ein Schl\xFCssel darf weder leer sein noch '=' "
                                      "oder einen Zeilenwechsel enthalten")));
        if (value.find_first_of("\r\n") != std::string::npos)
            return usageError(
                say(MSG("nuktoolIniValue", "ini set: ein Wert darf keinen Zeilenwechsel enthalten")));
        SFileIni ini;
        if (!openIni(ini, args[1], false, error)) return failure(error);
        ini.setValue(SString(section), SString(key), SString(value));
        if (!ini.save()) return failure(ini.getError().str());
        return 0;
    }
    if (sub == "sections") {
        if (args.size() != 2 && args.size() != 3) return expectedArguments("ini sections", "FILE [PATTERN]");
        SFileIni ini;
        if (!openIni(ini, args[1], true, error)) return failure(error);
        SStringList names;
        ini.getSections(SString(args.size() == 3 ? args[2] : std::string("*")), names);
        for (const SString& n : names) std::printf("%s\n", n.c_str());
        return 0;
    }
    return usageError(say(MSG("nuktoolIniUnknown", "ini: unbekannter Unterbefehl '%1'"), {sub}));
}

const Registration registration({"ini", usage, run});

}  // namespace
}  // namespace nuktool
