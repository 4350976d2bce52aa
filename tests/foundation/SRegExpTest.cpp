#include "foundation/SRegExp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

std::vector<std::string> strings(const SStringList& list) {
    std::vector<std::string> out;
    for (const SString& s : list) out.push_back(s.str());
    return out;
}

TEST(SRegExpTest, DelimitersAndModifiers) {
    struct Case {
        const char* expression;
        const char* pattern;
        const char* modifiers;
        const char* text;
        const char* match;  // nullptr: no match
    } cases[] = {
        // The pattern runs to the last occurrence of the delimiter.
        {"/a/b/i", "a/b", "i", "xA/By", "A/B"},
        {"/a/b/", "a/b", "", "xA/By", nullptr},
        {"/abc", "abc", "", "xabc", "abc"},
        {"|k(\\d+)|", "k(\\d+)", "", "k12", "k12"},
        {"#a.c#", "a.c", "", "a\nc", nullptr},
        {"#a.c#s", "a.c", "s", "a\nc", "a\nc"},
        {"/^b$/", "^b$", "", "a\nb\nc", nullptr},
        {"/^b$/m", "^b$", "m", "a\nb\nc", "b"},
        {"/a b c/x", "a b c", "x", "abc", "abc"},
        {"/a.+c/", "a.+c", "", "abcbc", "abcbc"},
        {"/a.+c/U", "a.+c", "U", "abcbc", "abc"},
        {"/b/A", "b", "A", "ab", nullptr},
        {"/a$/D", "a$", "D", "a\n", nullptr},
        {"/a$/", "a$", "", "a\n", "a"},
        {"/^./u", "^.", "u", "\xC3\xA4x", "\xC3\xA4"},
        {"/^./", "^.", "", "\xC3\xA4x", "\xC3"},
    };
    for (const Case& c : cases) {
        SRegExp re(raw(c.expression));
        ASSERT_TRUE(re.isValid()) << c.expression;
        EXPECT_EQ(re.getPattern().str(), c.pattern) << c.expression;
        EXPECT_EQ(re.getModifiers().str(), c.modifiers) << c.expression;
        SStringList groups;
        int at = re.findOne(raw(c.text), groups);
        if (c.match) {
            EXPECT_GE(at, 0) << c.expression;
            ASSERT_GE(groups.getSize(), 1) << c.expression;
            EXPECT_EQ(groups.getAt(0).str(), c.match) << c.expression;
        } else {
            EXPECT_EQ(at, -1) << c.expression;
            EXPECT_EQ(groups.getSize(), 0) << c.expression;
        }
    }
}

TEST(SRegExpTest, ErrorMessages) {
    testsupport::MessageCapture boxes;
    SRegExp bad(raw("/a(b/im"));
    EXPECT_FALSE(bad.isValid());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
    EXPECT_EQ(boxes.boxes()[0].text,
              "Fehlerhafte Syntax im regul\xE4ren Ausdruck:\r\n/a(b/im\r\nFehler: missing closing parenthesis\r\n an "
              "Offset: 3\r\n Modifier: im");

    boxes.clear();
    SRegExp none;
    SStringList out;
    EXPECT_EQ(none.findOne(raw("x"), out), -1);
    EXPECT_EQ(none.findAll(raw("x"), out), 0);
    EXPECT_EQ(none.replace(raw("x"), raw("y")).str(), "x");
    // An expression that did not compile counts as none.
    EXPECT_EQ(bad.findAll(raw("ab"), out), 0);
    const char* const expected[] = {"findOne", "findAll", "replace", "findAll"};
    ASSERT_EQ(boxes.boxes().size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(boxes.boxes()[static_cast<std::size_t>(i)].text,
                  std::string("Fehler: SRegExp::") + expected[i] +
                      "() wurde ohne regul\xE4ren Ausdruck aufgerufen und es lag keiner vor.");
}

TEST(SRegExpTest, FindAllAttributes) {
    SRegExp re(raw("/[\\w\\d]+=(?:\".*?\"|'.*?')/"));
    ASSERT_TRUE(re.isValid());
    SStringList found;
    EXPECT_EQ(re.findAll(raw("<Window name='Titel' size=\"100\" x=5 leer=\"\" a1='b=\"c\"' />"), found), 4);
    EXPECT_EQ(strings(found), (std::vector<std::string>{"name='Titel'", "size=\"100\"", "leer=\"\"", "a1='b=\"c\"'"}));

    // Empty matches advance the scan by one character.
    SRegExp star(raw("/x*/"));
    EXPECT_EQ(star.findAll(raw("axb"), found), 4);
    EXPECT_EQ(strings(found), (std::vector<std::string>{"", "x", "", ""}));
    EXPECT_EQ(star.findAll(raw(""), found), 1);
}

TEST(SRegExpTest, GroupsReplaceAndMatch) {
    SRegExp re(raw("/(\\w+)=(\\d+)?(x)?/"));
    SStringList groups;
    EXPECT_EQ(re.findOne(raw("a=1 bb=22x"), groups, 3), 4);
    EXPECT_EQ(strings(groups), (std::vector<std::string>{"bb=22x", "bb", "22", "x"}));
    // A group that did not take part is empty.
    EXPECT_EQ(re.findOne(raw("c="), groups), 0);
    EXPECT_EQ(strings(groups), (std::vector<std::string>{"c=", "c", "", ""}));
    EXPECT_EQ(re.findOne(raw("c=1"), groups, 4), -1);

    SRegExp swap(raw("/(\\w+)=(\\w+)/"));
    EXPECT_EQ(swap.replace(raw("a=b, cc=dd"), raw("$2:$1")).str(), "b:a, dd:cc");
    // A result longer than the first guess of the output size.
    std::string many(500, 'a');
    SRegExp each(raw("/a/"));
    EXPECT_EQ(each.replace(raw(many), raw("<aa>")).getLength(), 2000);

    testsupport::MessageCapture boxes;
    SStringList results;
    EXPECT_EQ(raw("k=12").match(raw("/(\\w)=(\\d)(\\d)/"), results), 4);
    EXPECT_EQ(strings(results), (std::vector<std::string>{"k=12", "k", "1", "2"}));
    EXPECT_EQ(raw("none").match(raw("/\\d/"), results), 0);
    EXPECT_EQ(results.getSize(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(raw("k=12").match(raw("/(\\w)=(\\d)(\\d)/"), results, 2), 2);
    EXPECT_EQ(strings(results), (std::vector<std::string>{"k=12", "k"}));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Fehler: Zuviel Ergebnisse, es ist nur Platz f\xFCr 2 Elemente");
}

}  // namespace
