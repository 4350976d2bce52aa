// Number formats from the repository: only one double conversion reaches printf.
#include <gtest/gtest.h>

#include <clocale>

#include "foundation/SLanguage.h"
#include "support/GermanNumbers.h"
#include "view/ValueFormat.h"

namespace {

SString raw(const char* text) {
    return SString(std::string(text));
}

// The program's language for one test; German again afterwards.
struct ProgramLanguage {
    explicit ProgramLanguage(const char* language) { globalLanguage().setLanguage(language); }
    ~ProgramLanguage() { globalLanguage().setLanguage("de"); }
};

struct Case {
    const char* format;
    double value;
    const char* expected;
};

TEST(ValueFormatTest, OneFloatingPointConversionWithLiteralTextIsUsedAnythingElseFallsBack) {
    const ProgramLanguage english("en");
    const Case cases[] = {
        {"%0.02f", 1234.0, "1234.00"},
        {"%.2f V", 2.5, "2.50 V"},
        {"U = %+08.3e", 12.5, "U = +1.250e+01"},
        {"%g", 0.5, "0.5"},
        {"%-6.1f|", 1.25, "1.2   |"},
        {"%.0f %%", 42.4, "42 %"},
        {"%5.1F", 2.0, "  2.0"},
        // Refused: the fallback "%.1f" is used.
        {"", 3.0, "3.0"},
        {"Volt", 3.0, "3.0"},
        {"%%", 3.0, "3.0"},
        {"%f %f", 3.0, "3.0"},
        {"%s", 3.0, "3.0"},
        {"%n%f", 3.0, "3.0"},
        {"%d", 3.0, "3.0"},
        {"%*f", 3.0, "3.0"},
        {"%.*f", 3.0, "3.0"},
        {"%lf", 3.0, "3.0"},
        {"%Lf", 3.0, "3.0"},
        {"%1$f", 3.0, "3.0"},
        {"%f%", 3.0, "3.0"},
        {"%999f", 3.0, "3.0"},
        {"%.100f", 3.0, "3.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValueFormat::format(raw(c.format), c.value, "%.1f").str(), c.expected) << c.format;
        EXPECT_EQ(ValueFormat::isValid(raw(c.format)), std::string(c.expected) != "3.0") << c.format;
    }
}

TEST(ValueFormatTest, InGermanTheNumberGetsADecimalCommaAndTheLiteralTextStays) {
    const Case cases[] = {
        {"%.2f V", 2.5, "2,50 V"},
        {"U. = %+08.3e", 12.5, "U. = +1,250e+01"},
        {"%.1f V.", 2.5, "2,5 V."},
        {"%.0f %% (%.1f)", 42.4, "42,4"},
        {"%.0f %%", 42.4, "42 %"},
        {"%g", 1234567.0, "1,23457e+06"},
        {"Volt", 3.25, "3,2"},
    };
    for (const Case& c : cases) EXPECT_EQ(ValueFormat::format(raw(c.format), c.value, "%.1f").str(), c.expected) << c.format;
}

TEST(ValueFormatTest, AZeroByteInsideTheFormatIsRefused) {
    const SString hidden(std::string("%f\0%s", 5));
    EXPECT_FALSE(ValueFormat::isValid(hidden));
    EXPECT_EQ(ValueFormat::format(hidden, 1.0, "%.1f").str(), "1,0");
}

TEST(ValueFormatTest, TheSeparatorFollowsTheProgramsLanguageNotTheProcessLocale) {
    std::string english;
    {
        testsupport::GermanNumbers german;
        ASSERT_TRUE(german.active()) << "no German locale, and localedef could not build one";
        const ProgramLanguage language("en");
        english = ValueFormat::format(raw("%.2f"), 1.5, "%.1f").str();
    }
    EXPECT_EQ(english, "1.50");
    // And German numbers in the C locale.
    EXPECT_EQ(ValueFormat::format(raw("%.2f"), 1.5, "%.1f").str(), "1,50");
}

}  // namespace
