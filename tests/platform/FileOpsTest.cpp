#include "platform/FileOps.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A private directory removed at the end (the platform tests link no foundation helpers).
class Dir {
public:
    Dir() {
        std::string tmpl = (fs::temp_directory_path() / "nukplatXXXXXX").string();
        path_ = mkdtemp(tmpl.data()) ? tmpl : "";
    }
    ~Dir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(path_), {})); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(FileOpsTest, ReplaceFileContentKeepsModeAndLinks) {
    Dir dir;
    dir.write("a.ini", "alt");
    ::chmod(dir.file("a.ini").c_str(), 0640);
    ASSERT_TRUE(platform::replaceFileContent(dir.file("a.ini"), "neu"));
    EXPECT_EQ(dir.read("a.ini"), "neu");
    EXPECT_EQ(modeOf(dir.file("a.ini")), 0640u);

    // Through a symbolic link the target is replaced and the link stays a link.
    ASSERT_EQ(::symlink("a.ini", dir.file("link.ini").c_str()), 0);
    ASSERT_TRUE(platform::replaceFileContent(dir.file("link.ini"), "ueber link"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(dir.read("a.ini"), "ueber link");

    // A new file gets the usual mode; no temporary file is left behind.
    mode_t mask = ::umask(022);
    ASSERT_TRUE(platform::replaceFileContent(dir.file("neu.ini"), std::string("x\0y", 3)));
    ::umask(mask);
    EXPECT_EQ(dir.read("neu.ini"), std::string("x\0y", 3));
    EXPECT_EQ(modeOf(dir.file("neu.ini")), 0644u);
    EXPECT_EQ(dir.entries(), 3);

    int err = 0;
    EXPECT_FALSE(platform::replaceFileContent(dir.file("fehlt/x.ini"), "x", &err));
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(dir.entries(), 3);
}

TEST(FileOpsTest, CopyFile) {
    Dir dir;
    dir.write("a", "inhalt");
    dir.write("b", "anderer inhalt");
    int err = 0;
    EXPECT_FALSE(platform::copyFile(dir.file("a"), dir.file("b"), true, &err));
    EXPECT_EQ(err, EEXIST);
    EXPECT_EQ(dir.read("b"), "anderer inhalt");
    ASSERT_TRUE(platform::copyFile(dir.file("a"), dir.file("b"), false));
    EXPECT_EQ(dir.read("b"), "inhalt") << "the longer old content is truncated";

    // Onto itself, directly or through a link: refused, content kept.
    ASSERT_EQ(::symlink("a", dir.file("l").c_str()), 0);
    for (const char* to : {"a", "l", "./a"}) {
        EXPECT_FALSE(platform::copyFile(dir.file("a"), dir.file(to), false, &err)) << to;
        EXPECT_EQ(dir.read("a"), "inhalt") << to;
    }
    EXPECT_FALSE(platform::copyFile(dir.file("fehlt"), dir.file("c"), false, &err));
    EXPECT_EQ(err, ENOENT);
    EXPECT_FALSE(fs::exists(dir.file("c")));
}

TEST(FileOpsTest, DirectoriesAndListing) {
    Dir dir;
    EXPECT_TRUE(platform::makeDirectory(dir.file("d")));
    int err = 0;
    EXPECT_FALSE(platform::makeDirectory(dir.file("d"), &err));
    EXPECT_EQ(err, EEXIST);
    dir.write("d/x_de.lng", "");
    dir.write("d/y_en.lng", "");
    auto list = platform::listDirectory(dir.file("d"), "*_de.lng");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "x_de.lng");
    EXPECT_FALSE(list[0].directory);
    EXPECT_TRUE(platform::listDirectory(dir.file("fehlt"), "*").empty());
    EXPECT_FALSE(platform::removeDirectory(dir.file("d"), &err)) << "not empty";
    EXPECT_TRUE(platform::removeFile(dir.file("d/x_de.lng")));
    EXPECT_TRUE(platform::removeFile(dir.file("d/y_en.lng")));
    EXPECT_TRUE(platform::removeDirectory(dir.file("d")));
    EXPECT_FALSE(platform::pathExists(dir.file("d")));
    EXPECT_FALSE(platform::isDirectory(dir.file("d")));
}

}  // namespace
