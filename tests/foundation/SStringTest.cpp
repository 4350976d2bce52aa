#include "foundation/SString.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "foundation/SLanguage.h"
#include "support/GermanNumbers.h"
#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

// Every test starts and ends with an empty, enabled language table.
class SStringTest : public ::testing::Test {
protected:
    void SetUp() override { globalLanguage().clear(); }
    void TearDown() override {
        globalLanguage().clear();
        globalLanguage().setEnabled(true);
    }
};

TEST_F(SStringTest, LiteralsPassThroughTheLanguageTable) {
    struct Case {
        const char* literal;
        const char* expected;
        const char* missingLog;
    } cases[] = {
        {"Hallo \xB3 Welt", "Hallo \xB3 Welt", ""},
        {"", "", ""},
        {"\xB3", "\xB3", ""},
        // Without a second marker the text after the first two bytes is the result.
        {"\xB3\xB3nur Text", "nur Text", ""},
        {"\xB3\xB3" "errorOpenCom\xB3\xB3" "Fehler beim \xD6" "ffnen des COM-Ports: ",
         "Fehler beim \xD6" "ffnen des COM-Ports: ",
         "errorOpenCom\xB3\xB3" "Fehler beim \xD6" "ffnen des COM-Ports: \r\n"},
        {"\xB3\xB3leer\xB3\xB3", "", "leer\xB3\xB3\r\n"},
    };
    for (const Case& c : cases) {
        globalLanguage().clear();
        EXPECT_EQ(SString(c.literal).str(), c.expected) << c.literal;
        SString assigned;
        assigned = c.literal;
        EXPECT_EQ(assigned.str(), c.expected) << c.literal;
        EXPECT_EQ(SString(std::string(c.literal)).str(), c.literal) << "raw bytes are never translated";
        // Two conversions of a missing key log it once.
        EXPECT_EQ(globalLanguage().getMissingLog(), c.missingLog) << c.literal;
    }
}

TEST_F(SStringTest, TranslatedLiteralsAndDisabledTable) {
    ASSERT_TRUE(globalLanguage().load("gruss=Guten Tag\xB3\xB3" "fmt=%d Werte von %s"));
    EXPECT_EQ(SString("\xB3\xB3gruss\xB3\xB3Hallo").str(), "Guten Tag");
    EXPECT_EQ(SString::printf("\xB3\xB3" "fmt\xB3\xB3%d values of %s", 3, "Kanal").str(), "3 Werte von Kanal");
    // A key is compared as a whole: a longer or shorter key is another key.
    EXPECT_EQ(SString("\xB3\xB3gru\xB3\xB3" "Default").str(), "Default");
    EXPECT_EQ(SString("\xB3\xB3grussX\xB3\xB3" "Default").str(), "Default");
    EXPECT_EQ(globalLanguage().getMissingLog(), "gru\xB3\xB3" "Default\r\ngrussX\xB3\xB3" "Default\r\n");

    globalLanguage().setEnabled(false);
    EXPECT_EQ(SString("\xB3\xB3gruss\xB3\xB3Hallo").str(), "\xB3\xB3gruss\xB3\xB3Hallo");
}

TEST_F(SStringTest, FormatAppendsAndHandlesLongResults) {
    SString s = SString::printf("%d-%s-%05.1f", 42, "x", 2.25);
    EXPECT_EQ(s.str(), "42-x-002.2");
    s.appendFormat("|%c%%", 'z');
    EXPECT_EQ(s.str(), "42-x-002.2|z%");

    // Far beyond the first 1000-character buffer.
    std::string big(25000, 'a');
    big[24999] = 'b';
    EXPECT_EQ(SString::printf("<%s>", big.c_str()).str(), "<" + big + ">");

    // The result stops at 9999999 characters.
    std::string huge(10000005, 'h');
    SString cut;
    cut.format("%s", huge.c_str());
    EXPECT_EQ(cut.getLength(), 9999999);

    // The format may name the string being formatted.
    SString self = raw("abc");
    self.format("%s%s", self.c_str(), self.c_str());
    EXPECT_EQ(self.str(), "abcabc");
}

TEST_F(SStringTest, FindReplaceAndCut) {
    const SString s = raw("eins,zwei,,drei,zwei");
    struct FindCase {
        const char* what;
        int start;
        int expected;
        int expectedReverse;  // findReverse(what, start)
    } finds[] = {
        {"zwei", 0, 5, -1},   {"zwei", 6, 16, 5},  {"zwei", -1, 5, 16}, {"drei", 100, -1, 11},
        {",,", 0, 9, -1},    {"vier", 0, -1, -1}, {"eins", 0, 0, 0},   {"i", 20, -1, 19},
    };
    for (const FindCase& c : finds) {
        EXPECT_EQ(s.find(SString(c.what), c.start), c.expected) << c.what << " from " << c.start;
        EXPECT_EQ(s.findReverse(SString(c.what), c.start), c.expectedReverse) << c.what << " back from " << c.start;
    }
    EXPECT_EQ(raw("ABC\xC4x").find(raw("c\xE4"), 0, true), 2);
    EXPECT_EQ(s.findReverse(raw("zwei")), 16);

    struct ReplaceCase {
        const char* text;
        const char* what;
        const char* by;
        int start;
        const char* expected;
        int count;
    } replaces[] = {
        {"a.b.c", ".", ",", 0, "a,b,c", 2},
        {"a.b.c", ".", ",", 2, "a.b,c", 1},
        {"aaa", "a", "aa", 0, "aaaaaa", 3},  // the replacement is not searched again
        {"aaaa", "aa", "b", 0, "bb", 2},
        {"abc", "", "x", 0, "abc", 0},
        {"abc", "x", "y", 0, "abc", 0},
        {"abc", "c", "", 0, "ab", 1},
        {"abc", "a", "x", 9, "abc", 0},
    };
    for (const ReplaceCase& c : replaces) {
        SString t = raw(c.text);
        EXPECT_EQ(t.replaceAll(raw(c.what), raw(c.by), c.start), c.count) << c.text;
        EXPECT_EQ(t.str(), c.expected) << c.text;
    }

    SString list = raw("COM3,19200,N");
    EXPECT_EQ(list.cutFront(raw(",")).str(), "COM3");
    EXPECT_EQ(list.str(), "19200,N");
    EXPECT_EQ(list.cutFront(raw(",")).str(), "19200");
    // Without the separator everything comes back and the source is empty.
    EXPECT_EQ(list.cutFront(raw(",")).str(), "N");
    EXPECT_TRUE(list.isEmpty());
    SString multi = raw("a::b");
    EXPECT_EQ(multi.cutFront(raw("::")).str(), "a");
    EXPECT_EQ(multi.str(), "b");
    SString leading = raw(",x");
    EXPECT_EQ(leading.cutFront(raw(",")).str(), "");
    EXPECT_EQ(leading.str(), "x");
}

TEST_F(SStringTest, IntegerConversion) {
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"#FF0000", 0x000000FF},    {"#00FF00", 0x0000FF00},  {"#0000ff", 0x00FF0000},  {"#123456", 0x00563412},
        {"#FF00", 0},               {"#FF000", 0},            {"#12G4567", 0x00120000}, {"#ABCDEF99", 0x00EFCDAB},
        {"0x1F", 31},               {"0x1fz", 31},            {"0X1F", 0},              {"0x", 0},
        {"0xFFFFFFFF", -1},         {"0b101", 5},             {"0b1012", 5},            {"0b", 0},
        {"42", 42},                 {"  -17abc", -17},        {"\t+8", 8},              {"abc", 0},
        {"", 0},                    {"- 5", 0},               {"007", 7},               {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(SString(std::string(c.text)).toInt(), c.expected) << c.text;
    // At most 32 binary digits are read.
    EXPECT_EQ(raw("0b" + std::string(32, '1') + "0").toInt(), -1);
}

TEST_F(SStringTest, NumbersIgnoreAGermanLocale) {
    testsupport::GermanNumbers german;
    ASSERT_TRUE(german.active()) << "no German locale, and localedef could not build one";
    struct Case {
        const char* text;
        double expected;
    } cases[] = {
        {"1.5", 1.5}, {"  -2.25e1x", -22.5}, {"1,5", 1.0}, {"abc", 0.0}, {"", 0.0}, {".5", 0.5}, {"\t3", 3.0},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(raw(c.text).toDouble(), c.expected) << c.text;
    // Formatting writes the point that toDouble reads back.
    EXPECT_EQ(SString::printf("%.2f;%g", 2.5, 0.125).str(), "2.50;0.125");
}

TEST_F(SStringTest, TrimAndCaseFolding) {
    std::string blanks;
    for (int c = 1; c <= 32; ++c) blanks += static_cast<char>(c);
    SString s = raw(blanks + "!a b\x7F" + blanks);
    EXPECT_EQ(s.trim().str(), "!a b\x7F");
    EXPECT_EQ(raw("  x ").trimLeft().str(), "x ");
    EXPECT_EQ(raw("  x ").trimRight().str(), "  x");
    EXPECT_EQ(raw(blanks).trim().str(), "");
    // Code 0 and the non-breaking space 0xA0 are not blanks.
    EXPECT_EQ(raw(std::string("\0x\xA0", 3)).trim().str(), std::string("\0x\xA0", 3));

    EXPECT_EQ(raw("\xC4\xD6\xDC").toLower().str(), "\xE4\xF6\xFC");
    EXPECT_EQ(raw("\xE4\xF6\xFC\xDF").toUpper().str(), "\xC4\xD6\xDC\xDF");
    EXPECT_EQ(raw("Gr\xD6\xDF" "E [Z]@").lowered().str(), "gr\xF6\xDF" "e [z]@");
    EXPECT_EQ(raw("abc{}`").uppered().str(), "ABC{}`");
    EXPECT_EQ(raw("\xC4pfel").compareNoCase(raw("\xE4PFEL")), 0);
    EXPECT_LT(raw("a").compareNoCase(raw("B")), 0);
    EXPECT_GT(raw("ab").compareNoCase(raw("A")), 0);
}

TEST_F(SStringTest, HtmlEntities) {
    struct Case {
        const char* encoded;
        const char* decoded;
    } cases[] = {
        {"&auml;&ouml;&uuml;&Auml;&Ouml;&Uuml;&szlig;", "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"},
        {"&prime;&quot;&lt;&gt;&amp;", "'\"<>&"},
        {"&amp;auml;", "&auml;"},
        {"&amp;lt;", "&lt;"},
        {"&amp;amp;", "&amp;"},
        {"a &nbsp; b &", "a &nbsp; b &"},
        {"x&Auml", "x&Auml"},
    };
    for (const Case& c : cases) EXPECT_EQ(raw(c.encoded).htmlDecode().str(), c.decoded) << c.encoded;

    EXPECT_EQ(raw("<a href=\"x\">M\xFC" "ller & S\xF6hne's</a>").htmlEncoded().str(),
              "&lt;a href=&quot;x&quot;&gt;M&uuml;ller &amp; S&ouml;hne&prime;s&lt;/a&gt;");
    EXPECT_EQ(SString::htmlEncode('\xDF').str(), "&szlig;");
    EXPECT_EQ(SString::htmlEncode('z').str(), "z");
    // Encoding and decoding are inverse.
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(raw(all).htmlEncoded().htmlDecode().str(), all);
}

TEST_F(SStringTest, PiecesAndUtf16) {
    const SString s = raw("Kondensator");
    EXPECT_EQ(s.mid(3, 4).str(), "dens");
    EXPECT_EQ(s.mid(8).str(), "tor");
    EXPECT_EQ(s.mid(20).str(), "");
    EXPECT_EQ(s.mid(-2, 3).str(), "Kon");
    EXPECT_EQ(s.left(3).str(), "Kon");
    EXPECT_EQ(s.right(3).str(), "tor");
    EXPECT_EQ(s.right(50).str(), "Kondensator");
    EXPECT_EQ(s.getAt(0), 'K');
    EXPECT_EQ(s.getAt(11), 0);
    EXPECT_EQ(s.getAt(-1), 0);
    EXPECT_EQ(raw("\x80\xE4\x9F").toUtf16(), u"\u20AC\u00E4\u0178");
    EXPECT_EQ(raw("\x80\xE4\x9F").toUtf8(), "\u20AC\u00E4\u0178");
}

}  // namespace
