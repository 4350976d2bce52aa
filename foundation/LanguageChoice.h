// Which language the programs speak: German or English.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace languagechoice {

// The languages the programs have texts for; German is the first and the default.
inline constexpr const char* german = "de";
inline constexpr const char* english = "en";

// A name the user may give ("de", "en", any case); nothing for any other.
std::optional<std::string> known(std::string_view name);

// The language of the desktop: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty decides. "de..." is German; "C", "C.UTF-8", "POSIX" or none at all is German too (the
// program's own language); any other language is English, the second language it has.
std::string fromEnvironment(const std::function<const char*(const char*)>& getenv);
std::string fromEnvironment();

// The value of "--lang X" or "--lang=X" among the arguments (the last one counts); nothing when
// there is none, an empty text for "--lang" without a value.
std::optional<std::string> option(const std::vector<std::string>& arguments);

}  // namespace languagechoice
