#include "foundation/SLanguage.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/SString.h"

namespace {

class SLanguageTest : public ::testing::Test {
protected:
    void SetUp() override { globalLanguage().clear(); }
    void TearDown() override {
        globalLanguage().clear();
        globalLanguage().setEnabled(true);
    }
    static std::string tr(const char* literal) { return SString(literal).str(); }
};

std::string emptyKey(int entry) {
    return "SLanguage::load(..) Eintrag Nr. " + std::to_string(entry) + " hat einen leeren Schl\xFC" "ssel.\r\n";
}

TEST_F(SLanguageTest, LoadsEntriesSeparatedByMarkers) {
    SLanguage& lang = globalLanguage();
    const std::string file =
        "; Kommentar bis zum Zeilenende \xB3\xB3 auch mit Marker\n"  // 1
        "gruss=Guten Tag,\r\nmehrzeilig = mit = Zeichen\xB3\xB3"       // 2
        "\r\n\t  =ohne Schl\xFC" "ssel\xB3\xB3"                          // 3
        "# noch ein Kommentar\n"                                          // 4
        "zwei=2\xB3\xB3"                                                  // 5
        "gruss=zweiter Text\xB3\xB3"                                      // 6: the first one wins
        "leer=\xB3\xB3"                                                   // 7
        "\xB3\xB3"                                                        // 8: empty entry
        "ohneGleich";                                                     // 9
    ASSERT_TRUE(lang.load(file));
    EXPECT_EQ(lang.getErrorText(), emptyKey(3) + emptyKey(8));
    EXPECT_EQ(lang.getEntryCount(), 4u);
    EXPECT_EQ(tr("\xB3\xB3gruss\xB3\xB3Hallo"), "Guten Tag,\r\nmehrzeilig = mit = Zeichen");
    EXPECT_EQ(tr("\xB3\xB3zwei\xB3\xB3" "Default"), "2");
    // An entry without text translates nothing: the default stands, never an empty text.
    EXPECT_EQ(tr("\xB3\xB3leer\xB3\xB3" "Default"), "Default");
    EXPECT_EQ(tr("\xB3\xB3ohneGleich\xB3\xB3" "Default"), "Default");
    // A literal with an empty key finds nothing: empty keys are never stored.
    EXPECT_EQ(tr("\xB3\xB3\xB3\xB3" "Default"), "Default");
    // Keys are exact: blanks and case count.
    EXPECT_EQ(tr("\xB3\xB3Gruss\xB3\xB3" "Default"), "Default");
    EXPECT_EQ(lang.getMissingLog(), "leer\xB3\xB3" "Default\r\nohneGleich\xB3\xB3" "Default\r\n"
                                    "\xB3\xB3" "Default\r\nGruss\xB3\xB3" "Default\r\n");

    // A later file adds keys but does not replace loaded ones.
    ASSERT_TRUE(lang.load("\n\n gruss=dritter\xB3\xB3neu=Neu\xB3\xB3"));
    EXPECT_EQ(tr("\xB3\xB3gruss\xB3\xB3Hallo"), "Guten Tag,\r\nmehrzeilig = mit = Zeichen");
    EXPECT_EQ(tr("\xB3\xB3neu\xB3\xB3x"), "Neu");
    EXPECT_EQ(lang.getErrorText(), emptyKey(3) + emptyKey(8));
}

TEST_F(SLanguageTest, EmptyEntriesFallBackToTheDefaultUntilAFileTranslatesThem) {
    SLanguage& lang = globalLanguage();
    ASSERT_TRUE(lang.load("leer=\xB3\xB3nurSchluessel\xB3\xB3voll=Full\xB3\xB3"));
    struct Case {
        const char* literal;
        const char* shown;
    };
    const Case cases[] = {
        {"\xB3\xB3leer\xB3\xB3" "Standard", "Standard"},
        {"\xB3\xB3nurSchluessel\xB3\xB3" " mit Leerzeichen\r\n", " mit Leerzeichen\r\n"},
        {"\xB3\xB3voll\xB3\xB3" "Voll", "Full"},
        // A default that is itself empty stays empty: there is nothing else to show.
        {"\xB3\xB3leer\xB3\xB3", ""},
    };
    for (const Case& c : cases) {
        if (tr(c.literal) != c.shown) {
            ADD_FAILURE() << "literal " << c.literal << " gave '" << tr(c.literal) << "'";
        }
    }
    // A text drawn again and again is logged once.
    for (int i = 0; i < 3; ++i) tr("\xB3\xB3leer\xB3\xB3" "Standard");
    EXPECT_EQ(lang.getMissingLog(), "leer\xB3\xB3" "Standard\r\nnurSchluessel\xB3\xB3 mit Leerzeichen\r\n\r\n");

    // A later file fills an empty entry; a filled one it leaves alone.
    ASSERT_TRUE(lang.load("leer=Empty no more\xB3\xB3voll=Other\xB3\xB3"));
    EXPECT_EQ(tr("\xB3\xB3leer\xB3\xB3" "Standard"), "Empty no more");
    EXPECT_EQ(tr("\xB3\xB3voll\xB3\xB3" "Voll"), "Full");
    EXPECT_EQ(lang.getEntryCount(), 3u);

    // clear() forgets which keys were logged.
    lang.clear();
    tr("\xB3\xB3leer\xB3\xB3" "Standard");
    EXPECT_EQ(lang.getMissingLog(), "leer\xB3\xB3" "Standard\r\n");
}

TEST_F(SLanguageTest, LoadKeepsTheEnabledStateAndClearResetsEverything) {
    SLanguage& lang = globalLanguage();
    lang.setEnabled(false);
    ASSERT_TRUE(lang.load("k=Text\xB3\xB3=kaputt"));
    EXPECT_FALSE(lang.isEnabled());
    EXPECT_EQ(tr("\xB3\xB3k\xB3\xB3" "Default"), "\xB3\xB3k\xB3\xB3" "Default");
    lang.setEnabled(true);
    EXPECT_EQ(tr("\xB3\xB3k\xB3\xB3" "Default"), "Text");
    EXPECT_EQ(tr("\xB3\xB3" "fehlt\xB3\xB3" "Default"), "Default");
    lang.setLanguage("en");

    lang.clear();
    EXPECT_EQ(lang.getLanguage(), "de");
    EXPECT_EQ(lang.getErrorText(), "");
    EXPECT_EQ(lang.getMissingLog(), "");
    EXPECT_EQ(lang.getEntryCount(), 0u);
    EXPECT_EQ(tr("\xB3\xB3k\xB3\xB3" "Default"), "Default");
    // Empty files and files of blanks and comments only load nothing.
    EXPECT_TRUE(lang.load(""));
    EXPECT_TRUE(lang.load(" \r\n\t;nur Kommentar"));
    EXPECT_EQ(lang.getEntryCount(), 0u);
    EXPECT_EQ(lang.getErrorText(), "");
}

}  // namespace
