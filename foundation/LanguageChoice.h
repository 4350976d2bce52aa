// Which language the programs speak: German or English; and how they answer a wrong command
// line in it.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

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

// A tagged text in the loaded language, as UTF-8 for the terminal, with its places %1..%9
// filled by values. The values are what the user typed (UTF-8 from the terminal) and are
// inserted as they are, never translated or converted.
std::string say(const char* tagged, std::initializer_list<std::string_view> values = {});

// The answers of nuktool, boardsim and experiment to a wrong command line (UTF-8, in the loaded
// language). Each names what the user typed.
std::string unknownOption(std::string_view option);                         // --shar
std::string unexpectedArgument(std::string_view argument);                  // a word no option takes
std::string missingValue(std::string_view option);                          // --port at the end
std::string takesNoValue(std::string_view option);                          // --adapter=1
std::string invalidValue(std::string_view option, std::string_view value);  // --R abc
// The one line for standard error: "<program>: <what> (<program> --help shows the usage)",
// without the line end.
std::string usageLine(std::string_view program, std::string_view what);
// True for a word that looks like an option ("-x", "--xyz"), not for "-" (standard input, by
// convention) nor a negative number ("-1").
bool looksLikeOption(std::string_view word);

}  // namespace languagechoice
