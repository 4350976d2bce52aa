#include "foundation/SFileIni.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }
const SString absent = raw("<default>");

std::vector<std::string> strings(const SStringList& list) {
    std::vector<std::string> out;
    for (const SString& s : list) out.push_back(s.str());
    return out;
}

SFileIni* iniWith(SFileIni& ini, const std::string& text) {
    ini.setContent(raw(text));
    return &ini;
}

std::string value(const SFileIni& ini, const char* section, const char* key) {
    return ini.getValue(raw(section), raw(key), absent).str();
}

TEST(SFileIniTest, LookupsFollowTheLineSyntax) {
    SFileIni ini;
    iniWith(ini,
            "[erste]\r\n"
            "a=1\r\n"
            "b = 2\r\n"
            " d=4\r\n"
            "e=mit=gleich\r\n"
            "leer=\r\n"
            "g=zeile\nmit [lf]\n[kein]\r\n"
            "[zweite]   \r\n"
            "a=zwei\r\n"
            "x [nicht]\r\n"
            "[direkt][folgt]\r\n"
            "f=5\r\n"
            "[erste]\r\n"
            "a=doppelt\r\n"
            "neu=im zweiten\r\n"
            "[case]\r\n"
            "Key=K\r\n"
            "[letzte]\r\n"
            "z=bis zum Ende");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"erste", "a", "1"},  // a header at the very start needs no line end before it
        {"erste", "b", "<default>"},
        {"erste", "b ", " 2"},
        {"erste", "d", "<default>"},
        {"erste", "e", "mit=gleich"},
        {"erste", "leer", ""},
        {"erste", "g", "zeile\nmit [lf]\n[kein]"},  // a bare "\n" is part of the value
        {"kein", "a", "<default>"},
        {"zweite", "a", "zwei"},  // blanks after "]" are skipped
        {"nicht", "a", "<default>"},
        {"direkt", "f", "<default>"},  // a header followed by "[" has an empty body
        {"folgt", "f", "<default>"},   // and "[folgt]" is no header
        {"zweite", "f", "<default>"},  // "f=5" stands in no section body
        {"erste", "neu", "<default>"},  // only the first section of a name counts
        {"Erste", "a", "<default>"},
        {"case", "key", "<default>"},
        {"case", "Key", "K"},
        {"letzte", "z", "bis zum Ende"},
        {"fehlt", "a", "<default>"},
        {"erste", "", "<default>"},
    };
    for (const Case& c : cases) EXPECT_EQ(value(ini, c.section, c.key), c.expected) << c.section << "/" << c.key;
    EXPECT_TRUE(ini.hasSection(raw("direkt")));
    EXPECT_FALSE(ini.hasSection(raw("folgt")));
    EXPECT_FALSE(ini.isModified());
}

TEST(SFileIniTest, BareLineFeedFilesAreReadLineByLine) {
    SFileIni ini;
    iniWith(ini, "[s]\nv=a\n[t]\nb=1\r\nc=2\n");
    EXPECT_EQ(value(ini, "s", "v"), "a");
    EXPECT_EQ(value(ini, "t", "b"), "1");
    EXPECT_EQ(value(ini, "t", "c"), "2");
    // The same lines in a "\r\n" file: the bare "\n" belongs to the value.
    iniWith(ini, "[s]\r\nv=a\n[t]\nb=1\r\nc=2\n");
    EXPECT_EQ(value(ini, "s", "v"), "a\n[t]\nb=1");
    EXPECT_EQ(value(ini, "s", "c"), "2\n");
    EXPECT_FALSE(ini.hasSection(raw("t")));
}

TEST(SFileIniTest, SetValueEditsInPlace) {
    struct Case {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"replace", "[s]\r\na=1\r\nb=2\r\n", "s", "a", "neu", "[s]\r\na=neu\r\nb=2\r\n"},
        {"replace last", "[s]\r\na=1", "s", "a", "22", "[s]\r\na=22"},
        {"replace multi-line value", "[s]\r\ng=a\nb\r\nh=1\r\n", "s", "g", "x", "[s]\r\ng=x\r\nh=1\r\n"},
        {"delete", "[s]\r\na=1\r\nb=2\r\n", "s", "a", "", "[s]\r\nb=2\r\n"},
        {"delete last", "[s]\r\nb=2\r\na=1", "s", "a", "", "[s]\r\nb=2\r\n"},
        {"delete before header", "[s]\r\na=1\r\n[t]\r\na=3\r\n", "s", "a", "", "[s]\r\n[t]\r\na=3\r\n"},
        {"delete every line of the key", "[s]\r\na=1\r\nx=0\r\na=2\r\n[t]\r\na=3\r\n", "s", "a", "",
         "[s]\r\nx=0\r\n[t]\r\na=3\r\n"},
        {"delete keeps a lone CR", "[s]\r\na=1\rX=2\r\n", "s", "a", "", "[s]\r\n\rX=2\r\n"},
        {"delete behind a header ended by a bare LF", "; x\r\n[s]\na=1\r\n[t]\r\nb=2\r\n", "s", "a", "",
         "; x\r\n[s]\n\r\n[t]\r\nb=2\r\n"},
        {"delete missing key", "[s]\r\na=1\r\n", "s", "b", "", "[s]\r\na=1\r\n"},
        {"insert before next header", "[s]\r\na=1\r\n[t]\r\nb=2\r\n", "s", "c", "3", "[s]\r\na=1\r\nc=3\r\n[t]\r\nb=2\r\n"},
        {"insert before blank line", "[s]\r\na=1\r\n\r\n[t]\r\n", "s", "c", "3", "[s]\r\na=1\r\nc=3\r\n\r\n[t]\r\n"},
        {"insert at end without line end", "[s]\r\na=1", "s", "c", "3", "[s]\r\na=1\r\nc=3\r\n"},
        {"insert into empty body", "[s]\r\n[t]\r\n", "s", "c", "3", "[s]\r\nc=3\r\n[t]\r\n"},
        {"insert behind a header at the end", "[s]", "s", "c", "3", "[s]\r\nc=3\r\n"},
        {"insert into the first of two", "[s]\r\na=1\r\n[s]\r\nc=9\r\n", "s", "c", "3",
         "[s]\r\na=1\r\nc=3\r\n[s]\r\nc=9\r\n"},
        {"insert behind a header ended by a lone CR", "[s]\r[x]\n[t]\nb=1\n", "s", "c", "3",
         "[s]\nc=3\n\r[x]\n[t]\nb=1\n"},
        {"insert behind a lone CR at the end", "[s]\r\na=1\r", "s", "c", "3", "[s]\r\na=1\r\nc=3\r\n\r"},
        {"append section", "[s]\r\na=1\r\n", "u", "k", "v", "[s]\r\na=1\r\n\r\n[u]\r\nk=v\r\n"},
        {"append section to empty text", "", "u", "k", "v", "\r\n[u]\r\nk=v\r\n"},
        {"no section for an empty value", "[s]\r\n", "u", "k", "", "[s]\r\n"},
        {"empty key", "[s]\r\n", "s", "", "v", "[s]\r\n"},
        {"same value", "[s]\r\na=1\r\n", "s", "a", "1", "[s]\r\na=1\r\n"},
        {"bare LF: insert", "[s]\na=1\n[t]\nb=2\n", "s", "c", "3", "[s]\na=1\nc=3\n[t]\nb=2\n"},
        {"bare LF: delete", "[s]\na=1\n[t]\nb=2\n", "s", "a", "", "[s]\n[t]\nb=2\n"},
        {"bare LF: append", "[s]\na=1\n", "u", "k", "v", "[s]\na=1\n\n[u]\nk=v\n"},
        {"bare LF: CRLF line inside", "[s]\na=1\r\n[t]\n", "s", "c", "3", "[s]\na=1\r\nc=3\n[t]\n"},
    };
    for (const Case& c : cases) {
        SFileIni ini;
        ini.setContent(raw(c.before));
        ini.setValue(raw(c.section), raw(c.key), raw(c.value));
        EXPECT_EQ(ini.getContent().str(), c.after) << c.name;
        EXPECT_EQ(ini.isModified(), c.before != c.after) << c.name;
        if (*c.key && *c.value) {
            EXPECT_EQ(value(ini, c.section, c.key), c.value) << c.name;
        }
        if (*c.key && !*c.value) {
            EXPECT_EQ(value(ini, c.section, c.key), "<default>") << c.name;
        }
    }
}

TEST(SFileIniTest, SectionsByPattern) {
    SFileIni ini;
    iniWith(ini,
            "[BaseElement_100]\r\nname=Platine\r\n"
            "[ViewElement_12]\r\nx=1\r\n"
            "[BaseElement_12]\r\n"
            "[Attribute_12]\r\ncolor=s=#FF0000\r\n\r\n"
            "[ViewElement_12]\r\nx=2\r\n"
            "[ViewElement_]\r\n"
            "[xViewElement_3]\r\n");
    struct Case {
        const char* patterns;
        std::vector<std::string> names;
    } cases[] = {
        {"*", {"BaseElement_100", "ViewElement_12", "BaseElement_12", "Attribute_12", "ViewElement_", "xViewElement_3"}},
        {"ViewElement_*", {"ViewElement_12", "ViewElement_"}},
        {"*_12", {"ViewElement_12", "BaseElement_12", "Attribute_12"}},
        {"Attribute_12|BaseElement_100|Attribute_12", {"BaseElement_100", "Attribute_12"}},
        {"ViewElement_", {"ViewElement_"}},
        {"viewelement_*", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SStringList names;
        EXPECT_EQ(ini.getSections(raw(c.patterns), names), static_cast<int>(c.names.size())) << c.patterns;
        EXPECT_EQ(strings(names), c.names) << c.patterns;
    }
    // Bodies are the raw text of the first section of each name; names are appended.
    SStringList names, bodies;
    names.add(raw("schon da"));
    EXPECT_EQ(ini.getSections(raw("ViewElement_1*|Attribute_*|BaseElement_12"), names, &bodies), 3);
    EXPECT_EQ(strings(names), (std::vector<std::string>{"schon da", "ViewElement_12", "BaseElement_12", "Attribute_12"}));
    EXPECT_EQ(strings(bodies), (std::vector<std::string>{"x=1", "", "color=s=#FF0000\r\n"}));
}

TEST(SFileIniTest, SectionEntriesInFileOrder) {
    SFileIni ini;
    iniWith(ini,
            "[StandardResourcePath]\r\n"
            "p1=resources\r\n"
            "; kommentar=nein\r\n"
            "# auch=nein\r\n"
            "\r\n"
            "ohne Gleichheitszeichen\r\n"
            "=ohne Schluessel\r\n"
            "p2=res/html\r\n"
            "leer=\r\n"
            "p1=doppelt\r\n"
            "[Standard-Styles]\r\n"
            "s=1");
    SStringList keys, values;
    EXPECT_EQ(ini.getSectionEntries(raw("StandardResourcePath"), keys, values), 4);
    EXPECT_EQ(strings(keys), (std::vector<std::string>{"p1", "p2", "leer", "p1"}));
    EXPECT_EQ(strings(values), (std::vector<std::string>{"resources", "res/html", "", "doppelt"}));
    keys.removeAll();
    values.removeAll();
    EXPECT_EQ(ini.getSectionEntries(raw("Standard-Styles"), keys, values), 1);
    EXPECT_EQ(strings(values), (std::vector<std::string>{"1"}));
    EXPECT_EQ(ini.getSectionEntries(raw("fehlt"), keys, values), 0);
}

TEST(SFileIniTest, OpenCreateAndReadOnlyFiles) {
    testsupport::TempDir dir;
    testsupport::MessageCapture boxes;
    const std::string missing = dir.file("fehlt.ini");
    SFileIni ini;
    EXPECT_FALSE(ini.open(raw(missing)));
    EXPECT_FALSE(ini.getError().isEmpty());
    EXPECT_EQ(value(ini, "s", "k"), "<default>");
    EXPECT_FALSE(ini.open(raw(missing), true, true)) << "read-only never creates";
    EXPECT_FALSE(testsupport::runCommand("test -e " + missing) == 0);
    ASSERT_TRUE(ini.open(raw(missing), true));
    EXPECT_EQ(dir.read("fehlt.ini"), "");
    EXPECT_TRUE(ini.getError().isEmpty());

    // A read-only file is never written, not even by the destructor.
    dir.write("ro.ini", "[s]\r\na=1\r\n");
    {
        SFileIni ro;
        ASSERT_TRUE(ro.open(raw(dir.file("ro.ini")), false, true));
        ro.setValue(raw("s"), raw("a"), raw("2"));
        EXPECT_EQ(value(ro, "s", "a"), "2");
        EXPECT_FALSE(ro.save());
        EXPECT_FALSE(ro.getError().isEmpty());
        EXPECT_TRUE(ro.isModified());
    }
    EXPECT_EQ(dir.read("ro.ini"), "[s]\r\na=1\r\n");

    // Something that exists but cannot be read is neither created nor overwritten.
    SFileIni bad;
    EXPECT_FALSE(bad.open(raw(dir.path()), true));
    bad.setValue(raw("s"), raw("a"), raw("1"));
    EXPECT_FALSE(bad.save());
    EXPECT_FALSE(bad.getError().isEmpty());
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();

    // A link to a missing file creates its target.
    ASSERT_EQ(::symlink("ziel.ini", dir.file("link.ini").c_str()), 0);
    SFileIni linked;
    ASSERT_TRUE(linked.open(raw(dir.file("link.ini")), true));
    linked.setValue(raw("s"), raw("a"), raw("1"));
    ASSERT_TRUE(linked.save());
    EXPECT_EQ(dir.read("ziel.ini"), "\r\n[s]\r\na=1\r\n");

    // A text without a file has nowhere to go.
    SFileIni loose;
    loose.setContent(raw("[s]\r\n"));
    loose.setValue(raw("s"), raw("a"), raw("1"));
    EXPECT_FALSE(loose.save());
}

TEST(SFileIniTest, SavingWritesBackAndKeepsUntouchedBytes) {
    testsupport::TempDir dir;
    const std::string text = "; Kopf\r\n[s]\r\na=1\r\n  eingerueckt=x\r\n\r\n[t]\r\nb=\xE4\xF6\xFC\r\n";
    dir.write("a.ini", text);
    dir.write("b.ini", "[x]\r\n");
    {
        SFileIni ini;
        ASSERT_TRUE(ini.open(raw(dir.file("a.ini"))));
        EXPECT_EQ(ini.getContent().str(), text);
        ASSERT_TRUE(ini.save());
        EXPECT_EQ(dir.read("a.ini"), text) << "open and save without change";
        ini.setValue(raw("t"), raw("b"), raw("neu"));
        ini.setValue(raw("s"), raw("c"), raw("3"));
        EXPECT_TRUE(ini.isModified());
        // Opening the next file saves the changed one first.
        ASSERT_TRUE(ini.open(raw(dir.file("b.ini"))));
        EXPECT_EQ(dir.read("a.ini"), "; Kopf\r\n[s]\r\na=1\r\n  eingerueckt=x\r\nc=3\r\n\r\n[t]\r\nb=neu\r\n");
        ini.setValue(raw("x"), raw("k"), raw("v"));
    }
    EXPECT_EQ(dir.read("b.ini"), "[x]\r\nk=v\r\n") << "the destructor saves";

    // A relative name is saved where it was read, even after the current directory changed.
    dir.write("rel.ini", "[r]\r\n");
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.path());
    SFileIni rel;
    const bool opened = rel.open(raw("rel.ini"));
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(opened);
    EXPECT_EQ(rel.getPath().str(), dir.file("rel.ini"));
    rel.setValue(raw("r"), raw("k"), raw("v"));
    ASSERT_TRUE(rel.save());
    EXPECT_EQ(dir.read("rel.ini"), "[r]\r\nk=v\r\n");

    // A failed write keeps the modified flag and says why.
    testsupport::TempDir gone;
    gone.write("c.ini", "[s]\r\n");
    SFileIni ini;
    ASSERT_TRUE(ini.open(raw(gone.file("c.ini"))));
    ini.setValue(raw("s"), raw("a"), raw("1"));
    ASSERT_EQ(testsupport::runCommand("rm -r " + gone.path()), 0);
    EXPECT_FALSE(ini.save());
    EXPECT_TRUE(ini.isModified());
    EXPECT_EQ(ini.getError().str().rfind("Fehler beim Schreiben: ", 0), 0u) << ini.getError().str();
}

TEST(SFileIniTest, MaskedFilesStayMasked) {
    testsupport::TempDir dir;
    const std::string plain = "[extData]\r\nextData1=U|1|V\r\nextData2=I|2|A\r\n[z]\r\n\xE4=\xFF\r\n";
    for (int number : {100, 43, 299, 0, 999}) {
        SCOPED_TRACE(number);
        const std::string stored = testsupport::maskedIni(number, plain);
        if (number % 256 != 43) {
            EXPECT_NE(stored.substr(22), plain) << "the mask changes the bytes";
        }
        dir.write("m.ini", stored);
        SFileIni ini;
        ASSERT_TRUE(ini.open(raw(dir.file("m.ini"))));
        EXPECT_TRUE(ini.isMasked());
        EXPECT_EQ(ini.getContent().str(), testsupport::unmaskedIni(stored));
        EXPECT_EQ(value(ini, "extData", "extData2"), "I|2|A");
        ASSERT_TRUE(ini.save());
        EXPECT_EQ(dir.read("m.ini"), stored) << "open and save without change keeps the bytes";

        ini.setValue(raw("extData"), raw("extData1"), raw("R|9"));
        ASSERT_TRUE(ini.save());
        const std::string after = dir.read("m.ini");
        EXPECT_EQ(after.substr(0, 16), "[nukContentMask+");
        std::string expected = testsupport::unmaskedIni(stored);
        expected.replace(expected.find("U|1|V"), 5, "R|9");
        EXPECT_EQ(testsupport::unmaskedIni(after), expected);
        // Only the edited bytes differ on disk.
        EXPECT_EQ(after.substr(0, 42), stored.substr(0, 42));
        EXPECT_EQ(after.substr(after.size() - 28), stored.substr(stored.size() - 28));
        EXPECT_EQ(ini.getContent().str(), expected) << "the memory stays plain";

        // Read-only masked files are never written.
        SFileIni ro;
        ASSERT_TRUE(ro.open(raw(dir.file("m.ini")), false, true));
        ro.setValue(raw("z"), raw("neu"), raw("1"));
        EXPECT_FALSE(ro.save());
        EXPECT_EQ(dir.read("m.ini"), after);
    }
}

TEST(SFileIniTest, MaskHeaders) {
    struct Case {
        std::string text;
        bool masked;
    } cases[] = {
        {testsupport::maskedIni(100, "[a]\r\nk=v\r\n"), true},
        {"[nukContentMask+1x0]\r\n[a]\r\nk=v\r\n", false},
        {"[nukContentMask+100]\n[a]\r\nk=v\r\n", false},
        {"[nukContentMask+100]\r", false},
        {"[nukContentMask+100]\r\n", true},
        {"[nukContentMask-100]\r\n[a]\r\nk=v\r\n", true},  // already plain: taken as it is
    };
    for (const Case& c : cases) {
        SFileIni ini;
        ini.setContent(raw(c.text));
        EXPECT_EQ(ini.isMasked(), c.masked) << c.text;
        if (!c.masked) {
            EXPECT_EQ(ini.getContent().str(), c.text);
        }
        if (c.masked && c.text.size() > 22) {
            EXPECT_EQ(value(ini, "a", "k"), "v");
        }
    }
    std::string text = testsupport::maskedIni(123, std::string("beliebig\0\xFF", 10));
    std::string twice = text;
    SFileIni::applyMask(twice);
    SFileIni::applyMask(twice);
    EXPECT_EQ(twice, text);
}

}  // namespace
