// Which language the programs speak: the option, else the desktop's locale variables.
#include "foundation/LanguageChoice.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(LanguageChoiceTest, TheFirstLocaleVariableThatIsSetDecides) {
    struct Case {
        std::map<std::string, std::string> environment;
        const char* language;
    };
    const Case cases[] = {
        {{}, "de"},
        {{{"LANG", "de_DE.UTF-8"}}, "de"},
        {{{"LANG", "de_AT@euro"}}, "de"},
        {{{"LANG", "de"}}, "de"},
        {{{"LANG", "en_GB.UTF-8"}}, "en"},
        {{{"LANG", "fr_FR.UTF-8"}}, "en"},
        {{{"LANG", "C"}}, "de"},
        {{{"LANG", "C.UTF-8"}}, "de"},
        {{{"LANG", "POSIX"}}, "de"},
        // "des" or "dev" is no German.
        {{{"LANG", "dev"}}, "en"},
        // LC_ALL over LC_MESSAGES over LANG; an empty variable counts as not set.
        {{{"LC_ALL", "en_US.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}, {"LANG", "de_DE.UTF-8"}}, "en"},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "de_CH.UTF-8"}, {"LANG", "en_GB.UTF-8"}}, "de"},
        {{{"LC_ALL", "C"}, {"LANG", "en_GB.UTF-8"}}, "de"},
        {{{"LC_MESSAGES", ""}, {"LANG", "en_IE.UTF-8"}}, "en"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& [name, value] : c.environment) shown += name + "=" + value + " ";
        const std::string language = languagechoice::fromEnvironment([&](const char* name) -> const char* {
            const auto it = c.environment.find(name);
            return it == c.environment.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(language, c.language) << shown;
    }
}

TEST(LanguageChoiceTest, KnownLanguages) {
    EXPECT_EQ(languagechoice::known("EN"), "en");
    EXPECT_EQ(languagechoice::known("de"), "de");
    EXPECT_FALSE(languagechoice::known("fr").has_value());
    EXPECT_FALSE(languagechoice::known("").has_value());
}

// The answers to a wrong command line are UTF-8 for the terminal: the texts' Windows-1252 is
// converted, what the user typed stays as typed, and a place in a value is no place.
TEST(LanguageChoiceTest, TextsFilledWithWhatTheUserTyped) {
    EXPECT_EQ(languagechoice::invalidValue("--R", "10\xC2\xB5"),
              "'10\xC2\xB5' ist kein g\xC3\xBCltiger Wert f\xC3\xBCr --R");
    EXPECT_EQ(languagechoice::say("\xB3\xB3test\xB3\xB3%2 und %1, %3 bleibt", {"%2", "zwei"}),
              "zwei und %2, %3 bleibt");
    EXPECT_EQ(languagechoice::usageLine("boardsim", languagechoice::unknownOption("--x")),
              "boardsim: unbekannte Option '--x' (boardsim --help zeigt den Aufruf)");
}

TEST(LanguageChoiceTest, WhatLooksLikeAnOption) {
    for (const char* word : {"-h", "--help", "-x", "--", "--shar=1"})
        EXPECT_TRUE(languagechoice::looksLikeOption(word)) << word;
    for (const char* word : {"-", "-1", "-0.5", "-.5", "datei.csv", "", "com3"})
        EXPECT_FALSE(languagechoice::looksLikeOption(word)) << word;
}

}  // namespace
