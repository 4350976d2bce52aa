#include "foundation/SFileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/stat.h>

#include "platform/Paths.h"
#include "platform/Shell.h"
#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

std::string withCode(const std::string& text, int code) {
    return text + "\r\n Fehlernummer: " + std::to_string(code) + "\r\n" + SError::systemErrorText(code).str();
}

TEST(SFileSystemTest, ExistsDirectoriesCopyAndDelete) {
    testsupport::TempDir dir;
    testsupport::MessageCapture boxes;
    dir.write("a.txt", "alt");
    dir.write("b.txt", "neu");
    EXPECT_TRUE(SFileSystem::exists(raw(dir.file("a.txt"))));
    EXPECT_TRUE(SFileSystem::exists(raw(dir.path())));
    EXPECT_FALSE(SFileSystem::exists(raw(dir.file("c.txt"))));
    EXPECT_FALSE(SFileSystem::exists(SString()));

    const std::string sub = dir.file("sub");
    EXPECT_TRUE(SFileSystem::createDirectory(raw(sub)));
    EXPECT_TRUE(SFileSystem::isDirectory(raw(sub)));
    EXPECT_FALSE(SFileSystem::createDirectory(raw(sub), true));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(SFileSystem::createDirectory(raw(sub)));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, withCode("Fehler beim Anlegen des Verzeichnisses:\r\n" + sub, EEXIST));
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler");

    // Copy with failIfExists leaves an existing target alone.
    boxes.clear();
    const std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    EXPECT_FALSE(SFileSystem::copy(raw(a), raw(b), true, true));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(SFileSystem::copy(raw(a), raw(b), true));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, withCode("Fehler beim Kopieren der Datei:\r\n" + a + "\r\nnach\r\n" + b, EEXIST));
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
    EXPECT_EQ(dir.read("b.txt"), "neu");
    EXPECT_TRUE(SFileSystem::copy(raw(a), raw(b), false));
    EXPECT_EQ(dir.read("b.txt"), "alt");
    EXPECT_TRUE(SFileSystem::copy(raw(a), raw(dir.file("sub/c.txt")), true));
    EXPECT_EQ(dir.read("sub/c.txt"), "alt");
    // A file copied onto itself (even by another name) keeps its content.
    EXPECT_FALSE(SFileSystem::copy(raw(a), raw(dir.path() + "/sub/../a.txt"), false, true));
    EXPECT_EQ(dir.read("a.txt"), "alt");

    boxes.clear();
    EXPECT_TRUE(SFileSystem::deleteFile(raw(b)));
    EXPECT_FALSE(SFileSystem::exists(raw(b)));
    EXPECT_FALSE(SFileSystem::deleteFile(raw(b), true));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(SFileSystem::deleteFile(raw(b)));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, withCode("Fehler beim L\xF6schen der Datei:\r\n" + b, ENOENT));
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");

    // Windows programs carry version information; these files have none: empty and silent.
    boxes.clear();
    EXPECT_EQ(SFileSystem::getFileVersion(raw(a)).str(), "");
    EXPECT_EQ(SFileSystem::getFileVersion(raw(dir.file("fehlt.exe"))).str(), "");
    EXPECT_TRUE(boxes.boxes().empty());
}

class FakeShell : public platform::Shell {
public:
    int open(const std::string& file, const std::string& parameters, const std::string& workingDir) override {
        calls.push_back(file + "|" + parameters + "|" + workingDir);
        return result;
    }
    std::vector<std::string> calls;
    int result = 0;
};

TEST(SFileSystemTest, RunOpensThroughTheShell) {
    FakeShell shell;
    platform::setShell(&shell);
    testsupport::MessageCapture boxes;
    EXPECT_TRUE(SFileSystem::run(raw("/tmp/messung.csv")));
    EXPECT_TRUE(SFileSystem::run(raw("openexcel.sh"), raw("/tmp/m.csv"), raw("/opt/exp")));
    EXPECT_TRUE(boxes.boxes().empty());
    shell.result = ENOENT;
    EXPECT_FALSE(SFileSystem::run(raw("kaputt.csv")));
    platform::setShell(nullptr);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"/tmp/messung.csv||", "openexcel.sh|/tmp/m.csv|/opt/exp",
                                                     "kaputt.csv||"}));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Fehler bei SFileSystem:run(..)\r\n" + SError::systemErrorText(ENOENT).str());
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
}

TEST(SFileSystemTest, TemporaryNames) {
    testsupport::TempDir dir;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", dir.path().c_str(), 1);
    EXPECT_EQ(SFileSystem::getTempPath().str(), dir.path() + "/");
    setenv("TMPDIR", dir.file("fehlt").c_str(), 1);
    EXPECT_EQ(SFileSystem::getTempPath().str(), "/tmp/") << "a missing TMPDIR falls back";
    if (old) setenv("TMPDIR", saved.c_str(), 1);
    else unsetenv("TMPDIR");

    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        SString name = SFileSystem::getTempFileName(raw(dir.path()), raw("dude"));
        ASSERT_FALSE(name.isEmpty());
        EXPECT_EQ(name.str().rfind(dir.path() + "/dude", 0), 0u) << name.str();
        struct stat st {};
        ASSERT_EQ(::stat(name.c_str(), &st), 0) << "the file is created";
        EXPECT_EQ(st.st_size, 0);
        names.insert(name.str());
    }
    EXPECT_EQ(names.size(), 50u);
    EXPECT_EQ(SFileSystem::getTempFileName(raw(dir.file("fehlt")), raw("x")).str(), "");
}

TEST(SFileSystemTest, FullAndSplitPaths) {
    const std::string cwd = platform::currentDirectory();
    struct FullCase {
        std::string name;
        std::string full;
    } fulls[] = {
        {"a.txt", cwd + "/a.txt"},
        {"./x/../b/c", cwd + "/b/c"},
        {"/a//b/./c/", "/a/b/c/"},
        {"/a/../..", "/"},
        {"", ""},
    };
    for (const FullCase& c : fulls) EXPECT_EQ(SFileSystem::getFullPath(raw(c.name)).str(), c.full) << c.name;

    struct SplitCase {
        const char* path;
        const char* dir;
        const char* name;
        const char* ext;
    } splits[] = {
        {"/opt/my app/prog.exe", "/opt/my app/", "prog", ".exe"},
        {"datei.tar.gz", "", "datei.tar", ".gz"},
        {"/a.b/datei", "/a.b/", "datei", ""},
        {"/x/.bashrc", "/x/", ".bashrc", ""},
        {"/x/y/", "/x/y/", "", ""},
        {"", "", "", ""},
    };
    for (const SplitCase& c : splits) {
        SString drive = raw("?"), dir, name, ext;
        SFileSystem::splitPath(raw(c.path), &drive, &dir, &name, &ext);
        EXPECT_EQ(drive.str(), "") << c.path;
        EXPECT_EQ(dir.str(), c.dir) << c.path;
        EXPECT_EQ(name.str(), c.name) << c.path;
        EXPECT_EQ(ext.str(), c.ext) << c.path;
    }
    EXPECT_EQ(SFileSystem::join(raw("/a"), raw("b")).str(), "/a/b");
    EXPECT_EQ(SFileSystem::join(raw("/a/"), raw("b")).str(), "/a/b");
    EXPECT_EQ(SFileSystem::join(SString(), raw("b")).str(), "b");
}

}  // namespace
