#include "foundation/LanguageChoice.h"

#include <cctype>
#include <cstdlib>

#include "foundation/SString.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace languagechoice {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::optional<std::string> known(std::string_view name) {
    const std::string n = lower(name);
    if (n == german || n == english) return n;
    return std::nullopt;
}

std::string fromEnvironment(const std::function<const char*(const char*)>& getenv) {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(variable);
        if (value == nullptr || *value == 0) continue;
        const std::string locale = lower(value);
        // "de", "de_DE.UTF-8", "de_AT@euro"; the C locale has no language of its own.
        if (locale.rfind("de", 0) == 0 && (locale.size() == 2 || !std::isalpha(static_cast<unsigned char>(locale[2]))))
            return german;
        if (locale == "c" || locale.rfind("c.", 0) == 0 || locale == "posix") return german;
        return english;
    }
    return german;
}

std::string fromEnvironment() {
    return fromEnvironment([](const char* name) { return std::getenv(name); });
}

std::string say(const char* tagged, std::initializer_list<std::string_view> values) {
    // The texts are Windows-1252; the places are filled after the conversion, so the user's
    // UTF-8 stays as typed and a "%1" inside a value is never taken for a place.
    const std::string text = SString(tagged).toUtf8();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < values.size()) {
                out += values.begin()[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string unknownOption(std::string_view option) {
    return say(MSG("cliUnknownOption", "unbekannte Option '%1'"), {option});
}

std::string unexpectedArgument(std::string_view argument) {
    return say(MSG("cliUnexpectedArgument", "unerwartetes Argument '%1'"), {argument});
}

std::string missingValue(std::string_view option) {
    return say(MSG("cliMissingValue", "%1 braucht einen Wert"), {option});
}

std::string takesNoValue(std::string_view option) {
    return say(MSG("cliTakesNoValue", "%1 nimmt keinen Wert"), {option});
}

std::string invalidValue(std::string_view option, std::string_view value) {
    return say(MSG("cliInvalidValue", "'%2' ist kein g\xFCltiger Wert f\xFCr %1"), {option, value});
}

std::string usageLine(std::string_view program, std::string_view what) {
    return say(MSG("cliUsageLine", "%1: %2 (%1 --help zeigt den Aufruf)"), {program, what});
}

bool looksLikeOption(std::string_view word) {
    if (word.size() < 2 || word[0] != '-') return false;
    return !std::isdigit(static_cast<unsigned char>(word[1])) && word[1] != '.';
}

}  // namespace languagechoice
