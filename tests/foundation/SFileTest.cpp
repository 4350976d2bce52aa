#include "foundation/SFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

const std::string noName = "Fehler beim \xF6" "ffnen der Datei, es wurde kein Dateiname \xFC" "bergeben.";

std::string openError(const std::string& name, int code) {
    return "Fehler beim \xF6" "ffnen der Datei '" + name + "'\r\n" + SError::systemErrorText(code).str();
}

TEST(SFileTest, OpenFailuresWithAndWithoutQuiet) {
    testsupport::TempDir dir;
    testsupport::MessageCapture boxes;
    const std::string missing = dir.file("fehlt.txt");
    struct Case {
        std::string name;
        const char* mode;
        std::string error;
    } cases[] = {
        {"", "rb", noName},
        {missing, "rb", openError(missing, ENOENT)},
        {dir.file("nodir/x.txt"), "w+b", openError(dir.file("nodir/x.txt"), ENOENT)},
        {dir.path(), "w+b", openError(dir.path(), EISDIR)},
    };
    for (const Case& c : cases) {
        for (bool quiet : {false, true}) {
            boxes.clear();
            SFile f;
            EXPECT_FALSE(f.open(raw(c.name), c.mode, quiet)) << c.name;
            EXPECT_FALSE(f.isOpen());
            EXPECT_EQ(f.getError().str(), c.error) << c.name;
            if (quiet) {
                EXPECT_TRUE(boxes.boxes().empty()) << c.name;
            } else {
                ASSERT_EQ(boxes.boxes().size(), 1u) << c.name;
                EXPECT_EQ(boxes.boxes()[0].text, c.error);
                EXPECT_EQ(boxes.boxes()[0].title, "Fehler SFile::open(..)");
            }
        }
    }
}

TEST(SFileTest, ClosedFileMessages) {
    testsupport::MessageCapture boxes;
    SFile f;
    char buf[4];
    EXPECT_FALSE(f.read(buf, 4));
    EXPECT_EQ(f.getSize(), -1);
    EXPECT_FALSE(f.write(raw("x")));
    EXPECT_EQ(f.seek(0), -1);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, "Fehler beim lesen der Datei.\r\nDie Datei wurde noch nicht ge\xF6" "ffnet.");
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler SFile::read(..)");
    EXPECT_EQ(boxes.boxes()[1].text,
              "Fehler, SFile::getSize()\r\nDiese Funktion kann nur auf auf eine ge\xF6" "ffnete Datei angewendet werden.");
    EXPECT_EQ(boxes.boxes()[1].title, "Fehler !");
}

TEST(SFileTest, ReadWriteSeekAndSize) {
    testsupport::TempDir dir;
    testsupport::MessageCapture boxes;
    const std::string bytes("0123\0\xFF" "6789", 10);
    dir.write("data.bin", bytes);

    SFile f;
    // The name is made a full path.
    ASSERT_TRUE(f.open(raw(dir.path() + "/./sub/../data.bin"), "rb"));
    EXPECT_EQ(f.getName().str(), dir.file("data.bin"));
    char buf[16] = {};
    ASSERT_TRUE(f.read(buf, 3));
    EXPECT_EQ(std::string(buf, 3), "012");
    EXPECT_EQ(f.getSize(), 10);
    EXPECT_EQ(f.getPosition(), 3) << "getSize keeps the read position";
    ASSERT_TRUE(f.read(buf, 2));
    EXPECT_EQ(std::string(buf, 2), std::string("3\0", 2));
    // -1 reads the rest.
    ASSERT_TRUE(f.read(buf, -1));
    EXPECT_EQ(std::string(buf, 5), "\xFF" "6789");
    EXPECT_FALSE(f.read(buf, 1)) << "nothing left";
    EXPECT_EQ(f.seek(-2, SFile::fromEnd), 8);
    ASSERT_TRUE(f.read(buf, 2));
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(f.seek(1), 1);
    SString rest;
    ASSERT_TRUE(f.readToEnd(rest));
    EXPECT_EQ(rest.str(), bytes.substr(1));
    // Writing to a file opened for reading fails with the system's text.
    EXPECT_FALSE(f.write(raw("x")));
    EXPECT_EQ(f.getError().str().rfind("Fehler beim Schreiben: ", 0), 0u);
    f.close();

    // Update mode: read, then write in place.
    ASSERT_TRUE(f.open(raw(dir.file("data.bin")), "r+"));
    ASSERT_TRUE(f.read(buf, 2));
    ASSERT_TRUE(f.write(raw("AB")));
    ASSERT_TRUE(f.read(buf, 1));
    EXPECT_EQ(buf[0], '\0');
    f.close();
    EXPECT_EQ(dir.read("data.bin"), std::string("01AB\0\xFF" "6789", 10));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();
}

TEST(SFileTest, WholeFileReadAndWrite) {
    testsupport::TempDir dir;
    testsupport::MessageCapture boxes;
    const SString name = raw(dir.file("ganz.txt"));
    SString error;
    ASSERT_TRUE(SFile::writeFile(name, raw(std::string("lang\r\nmit\0Null", 13)), &error));
    EXPECT_EQ(SFile::readFile(name, &error).str(), std::string("lang\r\nmit\0Null", 13));
    // "w+b" truncates: only the second content is left.
    ASSERT_TRUE(SFile::writeFile(name, raw("kurz")));
    EXPECT_EQ(dir.read("ganz.txt"), "kurz");
    SMem mem;
    ASSERT_TRUE(SFile::readFile(name, mem));
    EXPECT_EQ(mem.toString().str(), "kurz");
    ASSERT_TRUE(SFile::writeFile(name, SString()));
    EXPECT_EQ(SFile::readFile(name).str(), "");
    EXPECT_TRUE(boxes.boxes().empty());

    // A missing file with an error text wanted: empty result, the reason, no box.
    const std::string missing = dir.file("fehlt.txt");
    error.clear();
    EXPECT_EQ(SFile::readFile(raw(missing), &error).str(), "");
    EXPECT_EQ(error.str(), openError(missing, ENOENT));
    EXPECT_FALSE(SFile::readFile(raw(missing), mem, &error));
    EXPECT_FALSE(SFile::writeFile(raw(dir.file("nodir/x")), raw("x"), &error));
    EXPECT_EQ(error.str(), openError(dir.file("nodir/x"), ENOENT));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();
    // Without an error text the box tells.
    EXPECT_EQ(SFile::readFile(raw(missing)).str(), "");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, openError(missing, ENOENT));

    // A directory opens for reading but cannot be read.
    boxes.clear();
    EXPECT_EQ(SFile::readFile(raw(dir.path()), &error).str(), "");
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
