#include "foundation/SResources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "foundation/SFile.h"
#include "foundation/SFileIni.h"
#include "foundation/SLanguage.h"
#include "foundation/SResourceArchive.h"
#include "foundation/STime.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::MessageCapture;
using testsupport::TempDir;

namespace {

const std::string loadFailure = "Fehler beim Lesen der Resourcen.\r\n";

// One raw entry, for archives the writer would refuse to build.
std::string rawEntry(const std::string& name, const std::string& data, char id = 0) {
    std::string e(1, id);
    SResourceArchiveWriter::appendWord(e, static_cast<uint32_t>(name.size()));
    e += name;
    SResourceArchiveWriter::appendWord(e, static_cast<uint32_t>(data.size()));
    for (char c : data) e += static_cast<char>(c ^ SResourceArchive::scrambleKey);
    return e;
}

// An archive around raw entry bytes, as the writer lays it out.
std::string rawArchive(const std::string& entries, uint32_t start) {
    std::string a = SResourceArchive::magic();
    SResourceArchiveWriter::appendWord(a, 12);
    SResourceArchiveWriter::appendWord(a, 1);
    SResourceArchiveWriter::appendWord(a, 0);
    a += entries;
    a += 's';
    a += SResourceArchive::endMarker();
    SResourceArchiveWriter::appendWord(a, start);
    return a;
}

// A stand-in program: 200 bytes of code followed by the archive.
constexpr uint32_t programLength = 200;
std::string program(const std::string& archive = std::string()) {
    return std::string(programLength, '\x90') + archive;
}

std::string program(const SResourceArchiveWriter& writer) {
    return program(writer.build(programLength));
}

// Resources of a program file in a private directory; the temporary directories go below it.
class SResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) oldTmp_ = old;
        fs::create_directories(tmpRoot());
        fs::create_directories(appDir());
        setenv("TMPDIR", tmpRoot().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_)
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    std::string tmpRoot() const { return dir_.file("tmp"); }
    std::string appDir() const { return dir_.file("app"); }
    std::string exe() const { return dir_.file("prog"); }
    std::vector<std::string> tmpEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tmpRoot())) names.push_back(e.path().filename().string());
        return names;
    }
    // Writes the program file and makes a resource manager for it.
    std::unique_ptr<SResources> make(const std::string& programBytes) {
        dir_.write("prog", programBytes);
        auto r = std::make_unique<SResources>();
        r->setExecutablePath(SString(exe()));
        r->setApplicationDirectory(SString(appDir()));
        return r;
    }
    static std::string read(const SString& path) { return SFile::readFile(path).str(); }

    TempDir dir_;
    MessageCapture boxes_;

private:
    bool hadTmp_ = false;
    std::string oldTmp_;
};

TEST_F(SResourcesTest, ArchiveIsUnpackedAndServedCaseInsensitively) {
    SResourceArchiveWriter w;
    ASSERT_TRUE(w.add("WndEinleitung.htm", "<html>Einleitung</html>"));
    ASSERT_TRUE(w.add("leer.txt", ""));
    ASSERT_TRUE(w.add(SString(std::string("\xC4nderung.TXT")), "bytes\x01\xFF"));
    ASSERT_TRUE(w.add("resource.ini", "[StandardResourcePath]\r\n"));
    ASSERT_TRUE(w.add("controlpos.ini", "[Control-Styles]\r\nSButton-form=3,3\r\n"));
    auto r = make(program(w));
    fs::create_directories(appDir() + "/resources");
    dir_.write("app/resources/extra.txt", "extra");
    r->init();

    EXPECT_EQ(boxes_.all(), "");
    ASSERT_TRUE(r->isExtracted());
    const std::string tmp = r->getTempDirectory().str();
    EXPECT_EQ(fs::path(tmp).parent_path(), fs::path(tmpRoot()));
    EXPECT_TRUE(std::regex_match(fs::path(tmp).filename().string(), std::regex("_tmpNukRes0_[0-9]+")));
    EXPECT_EQ(fs::status(tmp).permissions() & fs::perms::all, fs::perms::owner_all);

    EXPECT_EQ(read(r->getFile("wndeinleitung.HTM")), "<html>Einleitung</html>");
    SString empty = r->getFile("LEER.TXT");
    ASSERT_FALSE(empty.isEmpty());
    EXPECT_EQ(fs::file_size(empty.str()), 0u);
    // Umlauts fold like letters.
    EXPECT_EQ(read(r->getFile(SString(std::string("\xE4NDERUNG.txt")))), "bytes\x01\xFF");
    EXPECT_EQ(r->getStyle("SButton-form"), "3,3");
    // Names outside the archive: the program's resources folder, then the name itself.
    EXPECT_EQ(r->getFile("extra.txt"), SString(appDir() + "/resources/extra.txt"));
    EXPECT_EQ(r->getFile(SString(exe())), SString(exe()));
    EXPECT_EQ(r->getFile("fehlt.htm"), "");

    r.reset();
    EXPECT_FALSE(fs::exists(tmp));
    EXPECT_TRUE(tmpEntries().empty());
    // Nothing of the development folders is made for a program with an archive.
    EXPECT_FALSE(fs::exists(appDir() + "/NUK-Resourcen"));
}

TEST_F(SResourcesTest, TrailingBytesAreReportedWithTheirExactCount) {
    SResourceArchiveWriter w;
    ASSERT_TRUE(w.add("a.txt", "inhalt"));
    ASSERT_TRUE(w.add("resource.ini", ""));
    ASSERT_TRUE(w.add("controlpos.ini", ""));
    // 65531..65535 put the end marker across the border of the backward search's first chunk.
    for (std::size_t trailing : {std::size_t(1), std::size_t(37), std::size_t(65533), std::size_t(200000)}) {
        SCOPED_TRACE(trailing);
        boxes_.clear();
        auto r = make(program(w) + std::string(trailing, 'x'));
        r->init();
        ASSERT_TRUE(r->isExtracted());
        EXPECT_EQ(read(r->getFile("a.txt")), "inhalt");
        ASSERT_EQ(boxes_.boxes().size(), 1u);
        EXPECT_EQ(boxes_.boxes()[0].text, loadFailure + "Die Datei ist um " + std::to_string(trailing) +
                                              " Byte zu gro\xDF, Ursache kann ein Virenbefall sein.");
        EXPECT_EQ(boxes_.boxes()[0].title, "Fehler !");
    }
}

TEST_F(SResourcesTest, ImplausibleStartOffsetsMeanNoArchive) {
    SResourceArchiveWriter w;
    ASSERT_TRUE(w.add("a.txt", "inhalt"));
    const std::string archive = w.build(programLength);
    std::string wrongMagic = program(archive);
    wrongMagic[programLength] = 'X';
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"start 99", std::string(99, '\x90') + w.build(99)},
        {"start 0", std::string(200, '\x90') + w.build(0)},
        {"start beyond the file", program(w.build(1u << 30))},
        {"start inside the trailer", program(w.build(programLength + archive.size() - 6))},
        {"no magic at the start", wrongMagic},
        {"no end marker", program("nukre")},
        {"shorter than the trailer", "nuk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto r = make(c.bytes);
        r->init();
        EXPECT_FALSE(r->isExtracted());
        EXPECT_TRUE(tmpEntries().empty());
        EXPECT_EQ(boxes_.all(), "");
    }
    // The lowest start accepted.
    auto r = make(std::string(100, '\x90') + w.build(100));
    r->init();
    EXPECT_TRUE(r->isExtracted());
}

TEST_F(SResourcesTest, BrokenArchivesAreRefusedAndLeaveNothingBehind) {
    const std::string good = rawEntry("gut.txt", "gut");
    std::string hugeHeader = rawArchive(good, programLength);
    hugeHeader[9] = '\x7F';  // header length far beyond the archive
    struct Case {
        const char* what;
        std::string archive;
        std::string reason;
    } cases[] = {
        {"parent directory", rawArchive(good + rawEntry("../x", "boese"), programLength),
         "Unzul\xE4ssiger Dateiname: ../x"},
        {"absolute name", rawArchive(rawEntry(dir_.file("abs"), "boese"), programLength),
         "Unzul\xE4ssiger Dateiname: " + dir_.file("abs")},
        {"backslash", rawArchive(rawEntry("a\\x", "boese"), programLength),
         "Unzul\xE4ssiger Dateiname: a\\x"},
        {"dot", rawArchive(rawEntry(".", "boese"), programLength), "Unzul\xE4ssiger Dateiname: ."},
        {"empty name", rawArchive(rawEntry("", "boese"), programLength), "Unzul\xE4ssiger Dateiname: "},
        {"unknown block", rawArchive(good + rawEntry("b.txt", "b", 7), programLength),
         "unbekannte Blockkennung: 7"},
        {"name longer than the archive",
         rawArchive(good + std::string("\0\xF0\xFF\x00\x00", 5), programLength),
         "Fehler beim Lesen der Namens-L\xE4nge"},
        {"header length beyond the archive", hugeHeader, "Fehler beim Lesen der Kennung"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes_.clear();
        auto r = make(program(c.archive));
        r->init();
        EXPECT_FALSE(r->isExtracted());
        EXPECT_TRUE(tmpEntries().empty()) << "the partial directory is removed";
        EXPECT_FALSE(fs::exists(tmpRoot() + "/x"));
        EXPECT_FALSE(fs::exists(dir_.file("x")));
        EXPECT_FALSE(fs::exists(dir_.file("abs")));
        ASSERT_FALSE(boxes_.boxes().empty());
        EXPECT_EQ(boxes_.boxes()[0].text, loadFailure + c.reason);
        // The program goes on without the archive.
        EXPECT_TRUE(fs::exists(appDir() + "/NUK-Resourcen/resource.ini"));
    }
}

TEST_F(SResourcesTest, DataLengthBeyondTheArchiveIsAReadErrorNotAnAllocation) {
    std::string entry = rawEntry("gross.bin", "abc");
    // Data length 0xFFFFFFF0 instead of 3.
    entry.replace(1 + 4 + 9, 4, std::string("\xF0\xFF\xFF\xFF", 4));
    auto r = make(program(rawArchive(entry, programLength)));
    r->init();
    EXPECT_FALSE(r->isExtracted());
    ASSERT_FALSE(boxes_.boxes().empty());
    EXPECT_EQ(boxes_.boxes()[0].text, loadFailure + "Fehler beim Lesen der Daten: gross.bin 4294967280");
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(SResourcesTest, LoadsInTheSameSecondGetTheirOwnDirectories) {
    SResourceArchiveWriter w;
    ASSERT_TRUE(w.add("a.txt", "inhalt"));
    ASSERT_TRUE(w.add("resource.ini", ""));
    ASSERT_TRUE(w.add("controlpos.ini", ""));
    // Names somebody else took already, for this second and the next.
    const long long now = STime::now().getSeconds();
    for (long long t : {now, now + 1}) {
        std::string planted = tmpRoot() + "/_tmpNukRes0_" + std::to_string(t);
        fs::create_directories(planted);
        std::ofstream(planted + "/a.txt") << "fremd";
    }
    auto first = make(program(w));
    first->init();
    auto second = make(program(w));
    second->init();
    ASSERT_TRUE(first->isExtracted());
    ASSERT_TRUE(second->isExtracted());
    EXPECT_NE(first->getTempDirectory(), second->getTempDirectory());
    EXPECT_TRUE(std::regex_search(first->getTempDirectory().str(), std::regex("/_tmpNukRes1_[0-9]+$")));
    EXPECT_EQ(read(first->getFile("a.txt")), "inhalt");
    EXPECT_EQ(read(second->getFile("a.txt")), "inhalt");
    first.reset();
    second.reset();
    // Only the planted directories are left, with their content untouched.
    EXPECT_EQ(tmpEntries().size(), 2u);
    EXPECT_EQ(read(SString(tmpRoot() + "/_tmpNukRes0_" + std::to_string(now) + "/a.txt")), "fremd");
}

TEST_F(SResourcesTest, DevelopmentFoldersAreCreatedSearchedAndRecorded) {
    fs::create_directories(appDir() + "/NUK-Resourcen");
    fs::create_directories(dir_.file("extra"));
    dir_.write("app/NUK-Resourcen/resource.ini",
               "[StandardResourcePath]\r\npfad1=" + dir_.file("extra") + "\r\nleer=\r\n");
    dir_.write("extra/Bild.PNG", "png");
    dir_.write("app/NUK-Resourcen/seite.htm", "seite");
    auto r = make(program());
    r->init();
    EXPECT_EQ(boxes_.all(), "");
    EXPECT_FALSE(r->isExtracted());
    // A missing controlpos.ini is created; the existing resource.ini is kept.
    EXPECT_EQ(dir_.read("app/NUK-Resourcen/controlpos.ini"), "\r\n");
    ASSERT_EQ(r->getSearchPaths().getSize(), 2);
    EXPECT_EQ(r->getSearchPaths().getAt(0), SString(appDir() + "/NUK-Resourcen"));
    EXPECT_EQ(r->getSearchPaths().getAt(1), SString(dir_.file("extra")));

    EXPECT_EQ(r->getFile("Bild.PNG"), SString(dir_.file("extra") + "/Bild.PNG"));
    EXPECT_EQ(r->getFile("seite.htm"), SString(appDir() + "/NUK-Resourcen/seite.htm"));
    EXPECT_EQ(r->getFile("resource.ini"), SString(appDir() + "/NUK-Resourcen/resource.ini"));
    EXPECT_EQ(r->getFile("fehlt.htm"), "");
    r.reset();

    // Files found through the search paths are recorded when the manager goes away.
    SFileIni ini;
    ASSERT_TRUE(ini.open(SString(appDir() + "/NUK-Resourcen/resource.ini"), false, true));
    const std::regex stamp("[0-9]{2}\\.[0-9]{2}\\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    EXPECT_TRUE(std::regex_match(ini.getValue("usedResources", "bild.png").str(), stamp));
    EXPECT_TRUE(std::regex_match(ini.getValue("usedResources", "seite.htm").str(), stamp));
    SStringList keys, values;
    ini.getSectionEntries("usedResources", keys, values);
    EXPECT_EQ(keys.getSize(), 2) << "resource.ini and controlpos.ini are not recorded";
}

TEST_F(SResourcesTest, FreshDevelopmentFolderGetsItsIniFiles) {
    auto r = make(program());
    r->init();
    EXPECT_EQ(boxes_.all(), "");
    EXPECT_EQ(dir_.read("app/NUK-Resourcen/resource.ini"), "[StandardResourcePath]\r\n");
    EXPECT_EQ(dir_.read("app/NUK-Resourcen/controlpos.ini"), "\r\n");
    EXPECT_EQ(r->getStyle("nuk_color_input_back"), "#2d2df0");
}

TEST_F(SResourcesTest, StylesSubstituteColourNamesAndFileEntriesOverride) {
    fs::create_directories(appDir() + "/NUK-Resourcen");
    dir_.write("app/NUK-Resourcen/controlpos.ini",
               "[Standard-Styles]\r\nnuk_color_win_back=#010203\r\nmein_rot=#ff0000\r\n"
               "rahmen={{mein_rot}}|{{nuk_color_ctrl_border1}}\r\n"
               "[Control-Styles]\r\nSButton-form=9,9\r\nEigener={{rahmen}};{{fehlt}};{{offen\r\n");
    auto r = make(program());
    r->init();
    EXPECT_EQ(boxes_.all(), "");
    EXPECT_EQ(r->getStyle("SButton-normal"), "#010203,#464650,#ffffff,#ffffff");
    EXPECT_EQ(r->getStyle("SButton-selected"), "#505082,#464650,#a0a0ff,#a0a0ff");
    EXPECT_EQ(r->getStyle("SButton-disabled"), "#010203,#888899,#bbbbcc,#4c4c6c");
    EXPECT_EQ(r->getStyle("SButton-form"), "9,9");
    EXPECT_EQ(r->getStyle("rahmen"), "#ff0000|#464650");
    EXPECT_EQ(r->getStyle("Eigener"), "#ff0000|#464650;;{{offen");
    EXPECT_EQ(r->getStyle("unbekannt"), "");
}

TEST_F(SResourcesTest, LookupsBeforeInitAreReportedButStillAnswered) {
    auto r = make(program());
    EXPECT_EQ(r->getFile(SString(exe())), SString(exe()));
    EXPECT_EQ(r->getStyle("x"), "");
    ASSERT_EQ(boxes_.boxes().size(), 2u);
    EXPECT_EQ(boxes_.boxes()[0].text,
              "Die Funktion SResources::getFile(\"" + exe() +
                  "\") kann erst nach der Initialisierung des globalResources-Objektes verwendet werden.\r\n"
                  "Sie sollten sie z.B. nicht im Konstrukor des Main-Fensters sondern besser in "
                  "onPreCreateWindow() verwenden.");
    EXPECT_EQ(boxes_.boxes()[1].text,
              "Die Funktion SResources::getStyle(\"x\") kann erst nach der Initialisierung des "
              "globalResources-Objektes verwendet werden.\r\n"
              "Sie sollten sie z.B. nicht im Konstrukor des Main-Fensters, sondern besser in "
              "onPreCreateWindow() verwenden.");
    EXPECT_EQ(boxes_.boxes()[0].title, "Fehler !");
}

TEST_F(SResourcesTest, LanguageFilesOfAllFoldersAreLoadedOnce) {
    fs::create_directories(appDir() + "/NUK-Resourcen");
    fs::create_directories(dir_.file("extra"));
    dir_.write("app/NUK-Resourcen/resource.ini",
               "[StandardResourcePath]\r\np=" + dir_.file("extra") + "\r\n");
    dir_.write("app/a_en.lng", "gruss=Hello\xB3\xB3");
    dir_.write("app/NUK-Resourcen/b_en.lng", "gruss=Hi\xB3\xB3tschuess=Bye\xB3\xB3=ohne Schluessel");
    dir_.write("extra/c_en.lng", "farbe=colour");
    dir_.write("extra/d_de.lng", "farbe=Farbe");
    auto r = make(program());
    r->init();
    r->loadLanguage("en");
    EXPECT_EQ(r->getLanguage(), "en");
    EXPECT_EQ(globalLanguage().getLanguage(), "en");
    // The application directory comes first, so its text wins.
    EXPECT_EQ(SString("\xB3\xB3gruss\xB3\xB3Hallo"), "Hello");
    EXPECT_EQ(SString("\xB3\xB3tschuess\xB3\xB3Tsch\xFC\xDF"), "Bye");
    EXPECT_EQ(SString("\xB3\xB3"
                      "farbe\xB3\xB3"
                      "Farbe"),
              "colour");
    // NUK-Resourcen is a search path too; loading its file twice would report the empty key twice.
    EXPECT_EQ(globalLanguage().getErrorText(),
              "SLanguage::load(..) Eintrag Nr. 3 hat einen leeren Schl\xFCssel.\r\n");
    EXPECT_EQ(globalLanguage().getEntryCount(), 3u);

    // Loading another language starts from an empty table.
    r->loadLanguage("fr");
    EXPECT_EQ(globalLanguage().getEntryCount(), 0u);
    EXPECT_EQ(SString("\xB3\xB3gruss\xB3\xB3Hallo"), "Hallo");
    globalLanguage().clear();
}

TEST(SResourceArchiveTest, WriterAndReaderAgreeOverBytes) {
    SResourceArchiveWriter w;
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    ASSERT_TRUE(w.add("alle.bin", SString(allBytes)));
    ASSERT_TRUE(w.add("leer", ""));
    // Names the reader could not unpack safely, and names its lookup would confuse.
    for (const char* bad : {"../x", "a/b", "a\\b", "..", ".", "", "x..y"})
        EXPECT_FALSE(w.add(bad, "x")) << bad;
    EXPECT_FALSE(w.add("ALLE.BIN", "x"));
    EXPECT_FALSE(w.add(SString(std::string("a\0b", 3)), "x"));

    const std::string bytes = w.build(0);
    SResourceArchive a;
    a.openBytes(bytes);
    a.setMinimumStart(0);
    ASSERT_TRUE(a.locate());
    EXPECT_EQ(a.getStart(), 0);
    EXPECT_EQ(a.getTrailingBytes(), 0);
    ASSERT_TRUE(a.readHeader());
    SString name;
    uint32_t length = 0;
    ASSERT_EQ(a.nextEntry(name, length), 1);
    EXPECT_EQ(name, "alle.bin");
    ASSERT_EQ(length, 256u);
    std::string data(256, '\0');
    ASSERT_TRUE(a.readData(data.data(), data.size()));
    EXPECT_EQ(data, allBytes);
    ASSERT_EQ(a.nextEntry(name, length), 1);
    EXPECT_EQ(name, "leer");
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(a.nextEntry(name, length), 0);

    // The scrambled data does not show the plain text.
    EXPECT_EQ(bytes.find("\x01\x02\x03\x04"), std::string::npos);
    // An executable's archive cannot start before offset 100.
    SResourceArchive strict;
    strict.openBytes(bytes);
    EXPECT_FALSE(strict.locate());
}

TEST(SResourceArchiveTest, ListMayEndAtTheEndMarkerWithoutTerminator) {
    std::string a = rawArchive(rawEntry("a.txt", "abc"), 0);
    a.erase(a.size() - 11, 1);  // drop the 's'
    SResourceArchive r;
    r.openBytes(a);
    r.setMinimumStart(0);
    ASSERT_TRUE(r.locate());
    ASSERT_TRUE(r.readHeader());
    SString name;
    uint32_t length = 0;
    EXPECT_EQ(r.nextEntry(name, length), 1);
    EXPECT_EQ(r.nextEntry(name, length), 0);
}

TEST(SResourceArchiveTest, ProgramMarkerIsElevenCharactersAndOn) {
    EXPECT_EQ(SResourceArchive::programMarker().size(), 11u);
    EXPECT_TRUE(SResourceArchive::isLookupEnabled());
}

}  // namespace
