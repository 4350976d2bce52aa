#include "foundation/SFileFind.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

std::string listAll(SFileFind& find, const std::string& pattern) {
    std::string out;
    for (bool more = find.findFirst(raw(pattern)); more; more = find.findNext()) {
        out += find.getName().str();
        if (find.isDirectory()) out += "/";
        if (find.isDots()) out += "(dots)";
        out += " ";
    }
    return out;
}

TEST(SFileFindTest, EnumeratesMatchingNames) {
    testsupport::TempDir dir;
    dir.write("physik_de.lng", "");
    dir.write("extra_de.lng", "");
    dir.write("physik_en.lng", "");
    dir.write("de.lng", "");
    ::mkdir(dir.file("ordner_de.lng").c_str(), 0755);

    SFileFind find;
    EXPECT_EQ(listAll(find, dir.path() + "/*_de.lng"), "extra_de.lng ordner_de.lng/ physik_de.lng ");
    EXPECT_EQ(listAll(find, dir.path() + "/physik_??.lng"), "physik_de.lng physik_en.lng ");
    EXPECT_EQ(listAll(find, dir.path() + "/*"),
              "./(dots) ../(dots) de.lng extra_de.lng ordner_de.lng/ physik_de.lng physik_en.lng ");
    ASSERT_TRUE(find.findFirst(raw(dir.path() + "/de.lng")));
    EXPECT_EQ(find.getPath().str(), dir.file("de.lng"));

    // Nothing found, and past the end: no name.
    EXPECT_FALSE(find.findFirst(raw(dir.path() + "/*.xyz")));
    EXPECT_EQ(find.getName().str(), "");
    EXPECT_FALSE(find.findNext());
    EXPECT_FALSE(find.findFirst(raw(dir.file("fehlt/*"))));
}

}  // namespace
