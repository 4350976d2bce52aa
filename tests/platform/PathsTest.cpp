#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "platform/SysError.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(PathsTest, ConfigurationFolders) {
    testsupport::ScopedEnv home("HOME", "/home/schule");
    struct Case {
        const char* configHome;
        const char* configDirs;
        const char* user;
        const char* computer;
    } cases[] = {
        {"/x/conf", "/etc/a:/etc/b", "/x/conf/nuk", "/etc/a/nuk"},
        {nullptr, nullptr, "/home/schule/.config/nuk", "/etc/xdg/nuk"},
        {"", "", "/home/schule/.config/nuk", "/etc/xdg/nuk"},
        // Relative settings are not used.
        {"conf", "etc:/etc/b", "/home/schule/.config/nuk", "/etc/xdg/nuk"},
    };
    for (const Case& c : cases) {
        testsupport::ScopedEnv user("XDG_CONFIG_HOME", c.configHome);
        testsupport::ScopedEnv all("XDG_CONFIG_DIRS", c.configDirs);
        EXPECT_EQ(platform::userConfigDirectory(), c.user);
        EXPECT_EQ(platform::computerConfigDirectory(), c.computer);
    }
}

TEST(PathsTest, DirectoriesAndTemporaryFiles) {
    std::string tmpl = (fs::temp_directory_path() / "nukpathsXXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    const std::string base = tmpl;

    EXPECT_TRUE(platform::createDirectories(base + "/a/b/c"));
    EXPECT_TRUE(platform::createDirectories(base + "/a/b/c")) << "existing folders are fine";
    EXPECT_TRUE(fs::is_directory(base + "/a/b/c"));

    int err = 0;
    EXPECT_TRUE(platform::createPrivateDirectory(base + "/p", &err));
    struct stat st {};
    ASSERT_EQ(::stat((base + "/p").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(platform::createPrivateDirectory(base + "/p", &err)) << "a name that exists is never taken";
    EXPECT_EQ(err, EEXIST);

    std::string t1 = platform::createTempFile(base, "dude");
    std::string t2 = platform::createTempFile(base + "/", "dude");
    EXPECT_NE(t1, t2);
    EXPECT_EQ(t1.rfind(base + "/dude", 0), 0u);
    EXPECT_TRUE(fs::exists(t1));
    EXPECT_EQ(platform::createTempFile(base + "/fehlt", "x", &err), "");
    EXPECT_EQ(err, ENOENT);

    // The process's own arguments: at least the program.
    EXPECT_FALSE(platform::commandLineArguments().empty());
    EXPECT_TRUE(fs::exists(platform::executablePath()));
    EXPECT_EQ(platform::errorText(987654), "Unbekannter Fehler 987654");
    EXPECT_FALSE(platform::errorText(ENOENT).empty());
    fs::remove_all(base);
}

}  // namespace

TEST(PathsTest, DocumentsFolder) {
    testsupport::TempDir root;
    testsupport::ScopedEnv home("HOME", root.path().c_str());
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", root.file("conf").c_str());
    testsupport::ScopedEnv documents("XDG_DOCUMENTS_DIR", nullptr);
    fs::create_directories(root.file("conf"));
    const bool haveXdg = testsupport::runCommand("command -v xdg-user-dir >/dev/null") == 0;

    // Nothing configured and no documents folder: the home folder.
    EXPECT_EQ(platform::documentsDirectory(), root.path());
    // Nothing configured (xdg-user-dir answers the home folder then): ~/Documents, and
    // ~/Dokumente before it, when they exist.
    fs::create_directories(root.file("Documents"));
    EXPECT_EQ(platform::documentsDirectory(), root.file("Documents"));
    fs::create_directories(root.file("Dokumente"));
    EXPECT_EQ(platform::documentsDirectory(), root.file("Dokumente"));
    // Configured: that folder.
    fs::create_directories(root.file("Schule/Messungen"));
    root.write("conf/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Schule/Messungen\"\n");
    if (haveXdg) {
        EXPECT_EQ(platform::documentsDirectory(), root.file("Schule/Messungen"));
    }
    // Configured as the home folder itself, which is what "not configured" looks like.
    root.write("conf/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
    EXPECT_EQ(platform::documentsDirectory(), root.file("Dokumente"));

    // Without xdg-user-dir the same fallbacks.
    testsupport::ScopedEnv path("PATH", root.file("leer").c_str());
    EXPECT_EQ(platform::documentsDirectory(), root.file("Dokumente"));
}
