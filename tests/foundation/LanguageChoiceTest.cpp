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

TEST(LanguageChoiceTest, TheOptionNamesAKnownLanguage) {
    using languagechoice::option;
    EXPECT_FALSE(option({"experiment", "--page", "Durchfuehrung"}).has_value());
    EXPECT_EQ(option({"experiment", "--lang", "en"}), "en");
    EXPECT_EQ(option({"experiment", "--lang=de", "--lang=EN"}), "EN") << "the last one counts";
    EXPECT_EQ(option({"experiment", "--lang"}), "");
    EXPECT_EQ(languagechoice::known("EN"), "en");
    EXPECT_EQ(languagechoice::known("de"), "de");
    EXPECT_FALSE(languagechoice::known("fr").has_value());
    EXPECT_FALSE(languagechoice::known("").has_value());
}

}  // namespace
