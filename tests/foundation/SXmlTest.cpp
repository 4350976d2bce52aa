#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/MainWindowLayout.h"
#include "foundation/SDebug.h"
#include "foundation/SKompress.h"
#include "foundation/SRegExp.h"
#include "foundation/SXmlFile.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

SString raw(const std::string& bytes) {
    return SString(bytes);
}

// Switches the debug channel on with a copy of every line on standard error, and collects them.
class DebugLines {
public:
    DebugLines() {
        globalDebug().setTarget(raw("127.0.0.1"), 9);  // nobody listens: the channel gives up at once
        globalDebug().setOn(true);
        globalDebug().setEcho(true);
        testing::internal::CaptureStderr();
    }
    ~DebugLines() {
        if (!taken_) testing::internal::GetCapturedStderr();
        restore();
    }
    std::string take() {
        taken_ = true;
        std::string out = testing::internal::GetCapturedStderr();
        restore();
        return out;
    }

private:
    static void restore() {
        globalDebug().setOn(false);
        globalDebug().setEcho(false);
        globalDebug().setTarget(raw("localhost"), 5001);
    }
    bool taken_ = false;
};

std::vector<std::string> childNames(SXmlTag* tag) {
    std::vector<std::string> names;
    for (SXmlTag* c = tag->firstChild(); c->isValid(); c = c->next()) names.push_back(c->getName().str());
    return names;
}

// ---- start tags and attributes ----

TEST(SXmlAttributes, SelfClosingTagWithBothQuoteKinds) {
    SXmlData doc;
    const std::string text = "<Window name=\"Titel\" size='100' />";
    EXPECT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
    SXmlTag* w = doc.getRoot();
    EXPECT_EQ(w->getName(), "Window");
    EXPECT_EQ(w->getAttribute(raw("name")), "Titel");
    EXPECT_EQ(w->getAttribute(raw("size")), "100");
    EXPECT_FALSE(w->hasChildren());
    EXPECT_EQ(w->getAttributes().getSize(), 2);
}

TEST(SXmlAttributes, WhatTheStartTagScanReads) {
    struct Case {
        const char* tag;
        const char* attribute;
        const char* expected;  // nullptr: the attribute is absent
    };
    const Case cases[] = {
        {"<a x = '1'/>", "x", nullptr},  // blanks around "=" are not read
        {"<a x ='1'/>", "x", nullptr},
        {"<a x='1' x=\"2\"/>", "x", "2"},            // a repeated name keeps the last value
        {"<a x='say \"hi\"'/>", "x", "say \"hi\""},  // the other quote inside a value
        {"<a x=''/>", "x", ""},
        {"<a x='1\n2' y='3'/>", "x", nullptr},  // a value does not span lines
        {"<a x='1\n2' y='3'/>", "y", "3"},
        {"<a data-id='7'/>", "id", "7"},   // names are word characters only
        {"<a x=1 y='2'/>", "x", nullptr},  // unquoted values are not read
        {"<a x=1 y='2'/>", "y", "2"},
        {"<a v='&ouml;&szlig;'/>", "v", "\xF6\xDF"},   // entities decoded
        {"<a v='&amp;quot;'/>", "v", "&quot;"},        // one pass per entity, "&amp;" last
        {"<a v='&#65;&euro;'/>", "v", "&#65;&euro;"},  // nothing else is decoded
        {"<a\tx='1'/>", "x", nullptr},                 // only a blank ends the name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        SXmlData doc;
        doc.parse(raw(c.tag));
        const SString absent = raw("\x01");
        SString value = doc.getRoot()->getAttribute(raw(c.attribute), absent);
        if (c.expected)
            EXPECT_EQ(value.str(), c.expected);
        else
            EXPECT_EQ(value, absent);
    }
}

TEST(SXmlAttributes, KeepOrderOfAppearanceAndDefaults) {
    SXmlData doc;
    doc.parse(raw("<a z='1' b='2' m='3'><b/></a>"));
    SXmlTag* a = doc.getRoot();
    std::vector<std::string> keys;
    for (const auto& [k, v] : a->getAttributes()) keys.push_back(k.str());
    EXPECT_EQ(keys, (std::vector<std::string>{"z", "b", "m"}));
    EXPECT_EQ(a->getAttribute(raw(""), raw("d")), "d");
    EXPECT_EQ(a->getAttribute(raw("q"), raw("d")), "d");
    EXPECT_EQ(a->getChild(raw("b"))->getAttribute(raw("z"), raw("d")), "d");  // tag without attributes
}

// The scanner must find exactly what /[\w\d]+=(?:".*?"|'.*?')/ finds, on hand-made tricky texts and
// on random texts over an alphabet of the characters that matter.
TEST(SXmlAttributes, ScannerFindsTheSamePairsAsTheExpression) {
    SRegExp re(raw("/[\\w\\d]+=(?:\".*?\"|'.*?')/"));
    ASSERT_TRUE(re.isValid());
    std::vector<std::string> texts = {"a='1' b=\"2\" />",
                                      "a=b='c'",
                                      "x= 'y' z='w'",
                                      "a=\"x y='1'\n\" q='2'",
                                      "_9='' ='x' a=='b'",
                                      "a='1'b='2'",
                                      "\xE4x='1' \xC4=\"2\"",
                                      "a='unterminated",
                                      "a=\"x'\" b='y\"'",
                                      "abc",
                                      "",
                                      "a='\r'",
                                      std::string("a='\0' b='c'", 12)};
    std::mt19937 gen(1234);
    const std::string alphabet = "ab_9= '\"\n\r\t>/\xE4-";
    for (int i = 0; i < 3000; ++i) {
        std::string t(gen() % 40, ' ');
        for (char& c : t) c = alphabet[gen() % alphabet.size()];
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        SStringList expected, found;
        re.findAll(raw(t), expected);
        SXmlTag::findAttributes(raw(t), found);
        ASSERT_EQ(found.items(), expected.items()) << "text: " << t;
    }
}

// ---- end tags and nesting ----

TEST(SXmlNesting, SameNameNestedElementIsAChild) {
    SXmlData doc;
    const std::string text = "<a id='outer'><a id='inner'><b/></a><c/></a>";
    EXPECT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
    SXmlTag* outer = doc.getRoot();
    EXPECT_EQ(childNames(outer), (std::vector<std::string>{"a", "c"}));
    SXmlTag* inner = outer->getChild(raw("a"));
    EXPECT_EQ(inner->getAttribute(raw("id")), "inner");
    EXPECT_EQ(childNames(inner), std::vector<std::string>{"b"});
}

TEST(SXmlNesting, EndTagSearchCountsOnlyRealOpenTags) {
    struct Case {
        const char* text;
        std::vector<std::string> children;
    };
    const Case cases[] = {
        {"<a><ab></ab><a/></a>", {"ab", "a"}},     // a longer name and a bare self-closing tag
        {"<a><a x='1'/><c/></a>", {"a", "c"}},     // a self-closing tag with attributes
        {"<a><a x='1'></a><c/></a>", {"a", "c"}},  // a real inner element
        {"<a><A></A></a>", {"A"}},                 // the search ignores case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SXmlData doc;
        EXPECT_EQ(doc.parse(raw(c.text)), static_cast<int>(std::string(c.text).size()));
        EXPECT_EQ(childNames(doc.getRoot()), c.children);
    }
}

// The parser's indexed end-tag search must give what the plain scan gives, for every name and
// start position, on random markup over a small alphabet (so names repeat and nest).
TEST(SXmlNesting, IndexedEndTagSearchEqualsThePlainScan) {
    std::mt19937 gen(99);
    const char* pieces[] = {"<a>",   "</a>",  "<A x='1'>", "<a/>", "<a x='1'/>", "</A>", "<ab>",
                            "</ab>", "<a<b>", "</a<b>",    "<>",   "</>",        "< >",  "<b ",
                            "/>",    ">",     "<",         " ",    "x",          "\n"};
    const char* names[] = {"a", "A", "ab", "a<b", "", "b", "/a"};
    for (int round = 0; round < 250; ++round) {
        std::string text;
        for (int k = gen() % 30; k > 0; --k) text += pieces[gen() % std::size(pieces)];
        SXmlTag::EndTagFinder finder(text);
        // Mostly forward, as the parser searches, with some jumps back.
        std::vector<int> positions;
        for (int p = 0; p <= static_cast<int>(text.size()); ++p) positions.push_back(p);
        for (int k = 0; k < 5 && positions.size() > 1; ++k)
            std::swap(positions[gen() % positions.size()], positions[gen() % positions.size()]);
        for (const char* name : names)
            for (int p : positions)
                ASSERT_EQ(finder.find(raw(name), p), SXmlTag::findEndTag(raw(text), raw(name), p))
                    << "text: " << text << " name: " << name << " position: " << p;
    }
}

TEST(SXmlNesting, UpperCaseStartTagClosedInLowerCase) {
    SXmlData doc;
    const std::string text = "<r><ITEM>x</item></r>";
    EXPECT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
    SXmlTag* r = doc.getRoot();
    EXPECT_TRUE(r->getChild(raw("ITEM"))->isValid());
    EXPECT_EQ(r->getChild(raw("ITEM"))->getText(), "x");
    EXPECT_FALSE(r->getChild(raw("item"))->isValid());
}

TEST(SXmlNesting, MissingEndTagKeepsWhatWasReadAndStopsTheParent) {
    DebugLines debug;
    SXmlData doc;
    const std::string text = "<r><ok>1</ok><bad x='2'><in/><after/></r>";
    EXPECT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
    const std::string lines = debug.take();
    EXPECT_NE(lines.find("SXmlTag::parse(..) findEndTag(..)=-1 bei bad in r"), std::string::npos) << lines;
    SXmlTag* r = doc.getRoot();
    // The root's end tag was found, so the failure is in "bad": its content is not read, and nothing
    // after it in the same parent.
    EXPECT_EQ(childNames(r), (std::vector<std::string>{"ok", "bad"}));
    EXPECT_EQ(r->getChild(raw("bad"))->getAttribute(raw("x")), "2");
    EXPECT_FALSE(r->getChild(raw("bad"))->hasChildren());

    SXmlData open;
    EXPECT_EQ(open.parse(raw("<r><a/>")), -1);
    EXPECT_EQ(open.getRoot()->getName(), "r");
}

// ---- text ----

TEST(SXmlText, MixedContentKeepsOnlyTheElements) {
    SXmlData doc;
    doc.parse(raw("<p>before <b>bold &amp; more</b> after</p>"));
    SXmlTag* p = doc.getRoot();
    EXPECT_EQ(p->getText(), "");
    EXPECT_EQ(p->getChild(raw("b"))->getText(), "bold & more");
}

TEST(SXmlText, LeafTextIsDecodedOnce) {
    SXmlData doc;
    doc.parse(raw("<t> &Auml;&amp;lt; </t>"));
    EXPECT_EQ(doc.getRoot()->getText().str(), " \xC4&lt; ");
    EXPECT_EQ(doc.getRoot()->getText().str(), " \xC4&lt; ");  // a second read decodes nothing more
}

// ---- comments, prolog, documents ----

TEST(SXmlDocument, CommentBeforeTheRootBecomesTheRoot) {
    SXmlData doc;
    doc.parse(raw("<!-- layout --><Root><x/></Root>"));
    EXPECT_EQ(doc.getRoot()->getName(), "!--");
    EXPECT_FALSE(doc.getRoot()->hasChildren());
    EXPECT_FALSE(doc.getTag(raw("Root"))->isValid());
}

TEST(SXmlDocument, PrologIsKeptAndSkipped) {
    const std::string body = "<r a='1'><c>t</c></r>";
    const std::string prolog = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>";
    SXmlData plain, withProlog;
    EXPECT_EQ(plain.parse(raw(body)), static_cast<int>(body.size()));
    EXPECT_EQ(withProlog.parse(raw(prolog + "\n" + body)), static_cast<int>(prolog.size() + 1 + body.size()));
    EXPECT_EQ(withProlog.getProlog().str(), prolog);
    EXPECT_EQ(plain.getProlog(), "");
    EXPECT_EQ(withProlog.getRoot()->getName(), "r");
    EXPECT_EQ(withProlog.getTag(raw("c"))->getText(), "t");
}

TEST(SXmlDocument, GetTagAndParseOnce) {
    SXmlData doc;
    doc.parse(raw("<r><c n='1'/><d/><c n='2'/></r>"));
    EXPECT_EQ(doc.getTag(raw("r")), doc.getRoot());
    EXPECT_EQ(doc.getTag(raw("c"), 2)->getAttribute(raw("n")), "2");
    EXPECT_FALSE(doc.getTag(raw("c"), 3)->isValid());
    EXPECT_EQ(doc.parse(raw("<other/>")), 0);  // a document parses once
    EXPECT_EQ(doc.getRoot()->getName(), "r");

    SXmlData empty;
    SXmlTag* root = empty.getTag(raw("x"));  // makes an empty root
    EXPECT_FALSE(root->isValid());
    EXPECT_TRUE(empty.getRoot()->isValid());
    EXPECT_EQ(empty.getRoot()->getName(), "");
    EXPECT_EQ(empty.parse(raw("<x/>")), 0);
}

// ---- lookups and the null tag ----

TEST(SXmlLookup, ChildrenParentsAndSiblings) {
    SXmlData doc;
    doc.parse(raw("<r><g><c/><d><e/></d><c/></g></r>"));
    SXmlTag* g = doc.getTag(raw("g"));
    EXPECT_EQ(g->countChildren(raw("c")), 2);
    EXPECT_EQ(g->countChildren(), 3);
    EXPECT_EQ(g->getChild(raw("c"), 0), g->getChild(raw("c"), 1));
    EXPECT_EQ(g->getChild(raw("c"), -5), g->getChild(raw("c")));
    SXmlTag* e = g->getChild(raw("d"))->getChild(raw("e"));
    EXPECT_EQ(e->findParent(raw("r")), doc.getRoot());
    EXPECT_EQ(e->findParent(), g->getChild(raw("d")));
    EXPECT_FALSE(e->findParent(raw("x"))->isValid());
    EXPECT_FALSE(doc.getRoot()->findParent()->isValid());
    SXmlTag* first = g->firstChild();
    EXPECT_EQ(first->next()->getName(), "d");
    EXPECT_EQ(first->next()->prev(), first);
    EXPECT_FALSE(first->prev()->isValid());
    EXPECT_FALSE(g->getChild(raw("c"), 2)->next()->isValid());
}

TEST(SXmlLookup, NullTagAnswersEveryLookupWithItself) {
    SXmlData doc;
    doc.parse(raw("<r a='1'/>"));
    SXmlTag* none = doc.getRoot()->getChild(raw("missing"));
    ASSERT_NE(none, nullptr);
    EXPECT_FALSE(none->isValid());
    EXPECT_TRUE(doc.getRoot()->isValid());
    EXPECT_EQ(none->getName(), "");
    EXPECT_EQ(none->getText(), "");
    EXPECT_EQ(none->getAttribute(raw("a"), raw("def")), "def");
    EXPECT_EQ(none->countChildren(), 0);
    EXPECT_FALSE(none->hasChildren());
    for (SXmlTag* t :
         {none->getChild(raw("x")), none->firstChild(), none->next(), none->prev(), none->findParent(),
          none->findParent(raw("r")), none->getChild(raw("x"))->getChild(raw("y"), 0)})
        EXPECT_EQ(t, none);
}

// ---- postponed parsing ----

TEST(SXmlPostponed, InnerMarkupIsParsedOnFirstUse) {
    using Access = void (*)(SXmlTag*);
    const std::pair<const char*, Access> accessors[] = {
        {"firstChild", [](SXmlTag* t) { t->firstChild(); }},
        {"hasChildren", [](SXmlTag* t) { t->hasChildren(); }},
        {"getChild", [](SXmlTag* t) { t->getChild(raw("none")); }},
        {"countChildren", [](SXmlTag* t) { t->countChildren(); }},
        {"getText", [](SXmlTag* t) { t->getText(); }},
    };
    // The inner markup holds an element without end tag: its debug line shows when it is parsed.
    const std::string text = "<r><lazy parseOnlyWhenUse='1'><c v='&lt;'/><broken></lazy><after/></r>";
    for (const auto& [name, access] : accessors) {
        SCOPED_TRACE(name);
        SXmlData doc;
        DebugLines debug;
        EXPECT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
        EXPECT_TRUE(doc.getRoot()->getChild(raw("after"))->isValid());
        SXmlTag* lazy = doc.getRoot()->getChild(raw("lazy"));
        // Walking to it does not parse it.
        EXPECT_EQ(lazy->next()->getName(), "after");
        std::string before = debug.take();
        EXPECT_EQ(before.find("bei broken"), std::string::npos) << before;

        DebugLines again;
        access(lazy);
        std::string after = again.take();
        EXPECT_NE(after.find("findEndTag(..)=-1 bei broken in lazy"), std::string::npos) << after;
        EXPECT_EQ(childNames(lazy), (std::vector<std::string>{"c", "broken"}));
        EXPECT_EQ(lazy->getChild(raw("c"))->getAttribute(raw("v")), "<");
        EXPECT_EQ(lazy->getText(), "");
    }
}

TEST(SXmlPostponed, OnlyTheValueOneMarksIt) {
    SXmlData doc;
    doc.parse(raw("<r><p parseOnlyWhenUse='1'>leaf &amp; text</p><q parseOnlyWhenUse='0'><c/></q></r>"));
    EXPECT_EQ(doc.getTag(raw("p"))->getText(), "leaf & text");
    EXPECT_EQ(doc.getTag(raw("q"))->countChildren(), 1);
}

// ---- replacement tables ----

TEST(SXmlReplaces, TablesApplyToLaterAttributesOfTheParentsSubtree) {
    const std::string text =
        "<r><replaces>\n  NAME = Kondensator \n\n = ignored\nV=1\n</replaces>"
        "<a t='NAME V'><replaces>V=2\nKondensator=C</replaces><b t='NAME V'/></a><c t='NAME V'/></r>";
    SXmlData on;
    on.setOptions(SXmlData::optionReplaces);
    on.parse(raw(text));
    // The own table first, then each ancestor's, each in its order.
    EXPECT_EQ(on.getTag(raw("a"))->getAttribute(raw("t")), "Kondensator 1");
    EXPECT_EQ(on.getTag(raw("a"))->getChild(raw("b"))->getAttribute(raw("t")), "Kondensator 2");
    EXPECT_EQ(on.getTag(raw("c"))->getAttribute(raw("t")), "Kondensator 1");
    EXPECT_TRUE(on.getTag(raw("replaces"))->isValid());

    SXmlData off;
    off.parse(raw(text));
    EXPECT_EQ(off.getTag(raw("a"))->getChild(raw("b"))->getAttribute(raw("t")), "NAME V");
    EXPECT_EQ(off.getTag(raw("replaces"))->getText().str(), "\n  NAME = Kondensator \n\n = ignored\nV=1\n");
}

TEST(SXmlReplaces, NestedTablesCannotMultiplyAValueWithoutBound) {
    // Each level doubles every "a": 22 levels would make a value of 4 MiB.
    std::string text;
    for (int i = 0; i < 22; ++i) text += "<l><replaces>a=aa</replaces>";
    text += "<v x='a'/>";
    for (int i = 0; i < 22; ++i) text += "</l>";
    SXmlData doc;
    doc.setOptions(SXmlData::optionReplaces);
    ASSERT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
    SXmlTag* v = doc.getRoot();
    while (v->getChild(raw("l"))->isValid()) v = v->getChild(raw("l"));
    SString x = v->getChild(raw("v"))->getAttribute(raw("x"));
    EXPECT_GT(x.getLength(), SXmlTag::maxReplacedLength / 2);
    EXPECT_LE(x.getLength(), SXmlTag::maxReplacedLength);
}

// ---- hostile input ----

TEST(SXmlHostile, DeepNestingStopsAtTheDepthLimit) {
    const int levels = 5000;
    std::string text;
    for (int i = 0; i < levels; ++i) text += "<d>";
    text += "x";
    for (int i = 0; i < levels; ++i) text += "</d>";
    SXmlData doc;
    EXPECT_EQ(doc.parse(raw(text)), static_cast<int>(text.size()));
    SXmlTag* t = doc.getRoot();
    int depth = 1;
    while (t->hasChildren()) {
        t = t->firstChild();
        ++depth;
    }
    EXPECT_EQ(depth, SXmlTag::maxDepth);
    // The deepest tag keeps the markup below it unparsed.
    EXPECT_EQ(t->getText().left(6), "<d><d>");
}

TEST(SXmlHostile, StartTagWithoutNameDoesNotRecurse) {
    for (const char* text : {"<>x</>", "< >x</ >", "<r><>a</>b</r>", "<r>< x>y</>z</r>"}) {
        SCOPED_TRACE(text);
        SXmlData doc;
        doc.parse(raw(text));
        EXPECT_LE(doc.getRoot()->countChildren(), 1);
        EXPECT_FALSE(doc.getRoot()->firstChild()->hasChildren());
    }
}

// ---- the main window's layout ----

TEST(SXmlLayout, MainWindowLayoutHasTheContentCards) {
    const std::string layout = mainWindowLayout;
    SXmlData doc;
    EXPECT_EQ(doc.parse(raw(layout)), static_cast<int>(layout.size()));
    SXmlTag* top = doc.getTag(raw("MultiWindow"))->getChild(raw("Splitter"));
    EXPECT_EQ(top->getAttribute(raw("direction")), "v");
    EXPECT_EQ(top->getChild(raw("Window"))->getAttribute(raw("name")), "Titel");
    SXmlTag* unten = top->getChild(raw("Splitter"));
    EXPECT_EQ(unten->getAttribute(raw("name")), "unten");
    EXPECT_EQ(unten->getChild(raw("Window"))->getAttribute(raw("size")), "130");
    SXmlTag* inhalt = unten->getChild(raw("Splitter"));
    EXPECT_EQ(inhalt->getAttribute(raw("name")), "inhalt");
    EXPECT_EQ(inhalt->getAttribute(raw("direction")), "c");
    EXPECT_EQ(inhalt->countChildren(), 10);
    std::vector<std::string> cards;
    for (SXmlTag* w = inhalt->firstChild(); w->isValid(); w = w->next()) {
        EXPECT_EQ(w->getName(), "Window");
        EXPECT_EQ(w->getAttribute(raw("size")), "*");
        cards.push_back(w->getAttribute(raw("name")).str());
    }
    EXPECT_EQ(cards, (std::vector<std::string>{"Einleitung", "Bauformen", "Anwendungen", "Vorbetrachtungen",
                                               "Schaltung", "Aufgaben", "Vorbereitung", "Durchf\xFChrung",
                                               "Auswertung", "Lehrkraft"}));
}

// ---- files ----

TEST(SXmlFileLoad, ReadsTextAndCompressedFiles) {
    TempDir dir;
    const std::string text =
        "<?xml version=\"1.0\"?>\r\n<AVR><PART mcu='ATmega8'><FLASH>8192</FLASH></PART></AVR>";
    dir.write("a.XML", text);
    SMem plain;
    plain.fromString(raw(text));
    SKompress kompress;
    dir.write("a.cxf", kompress.compress(plain).toString().str());
    for (const char* name : {"a.XML", "a.cxf"}) {
        SCOPED_TRACE(name);
        SXmlFile file;
        EXPECT_EQ(file.load(raw(dir.file(name))), static_cast<int>(text.size()));
        EXPECT_EQ(file.getError(), "");
        EXPECT_EQ(file.getTag(raw("PART"))->getChild(raw("FLASH"))->getText(), "8192");
    }
}

TEST(SXmlFileLoad, ErrorTexts) {
    TempDir dir;
    dir.write("empty.xml", "");
    dir.write("bad.cxf", "<AVR/> is not a compressed stream");
    dir.write("empty.cxf", "");
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("missing.xml"), "Fehler: Datei nicht gefunden: "},
        {dir.file("empty.xml"), "Fehler: beim Auslesen der Datei "},
        {dir.file("bad.cxf"), "Fehler: beim Dekomprimieren der Datei "},
        {dir.file("empty.cxf"), "Fehler: beim Dekomprimieren der Datei "},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        DebugLines debug;
        SXmlFile file;
        EXPECT_EQ(file.load(raw(path)), 0);
        EXPECT_EQ(file.getError().str(), message + path);
        EXPECT_NE(debug.take().find("SXmlFile::load(..) " + message + path), std::string::npos);
        EXPECT_EQ(file.getRoot()->getName(), "");
    }
}

}  // namespace
