#include "foundation/LanguageChoice.h"

#include <cctype>
#include <cstdlib>

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

std::optional<std::string> option(const std::vector<std::string>& arguments) {
    std::optional<std::string> value;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--lang") {
            value = i + 1 < arguments.size() ? arguments[++i] : std::string();
        } else if (a.rfind("--lang=", 0) == 0) {
            value = a.substr(7);
        }
    }
    return value;
}

}  // namespace languagechoice
