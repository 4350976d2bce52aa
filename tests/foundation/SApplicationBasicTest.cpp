#include "foundation/SApplicationBasic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/SFileIni.h"
#include "foundation/STimer.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

std::vector<std::string> strings(const SStringList& list) {
    std::vector<std::string> out;
    for (const SString& s : list) out.push_back(s.str());
    return out;
}

SStringList listOf(std::initializer_list<const char*> items) {
    SStringList list;
    for (const char* s : items) list.add(raw(s));
    return list;
}

TEST(SApplicationBasicTest, SplitsTheCommandLine) {
    using V = std::vector<std::string>;
    struct Case {
        const char* line;
        V args;
    } cases[] = {
        {"\"C:\\Program Files\\NUK\\kondensator.exe\" -x  y", {"C:\\Program Files\\NUK\\kondensator.exe", "-x", "y"}},
        {"  prog\t\r\n a ", {"prog", "a"}},
        {"prog \"\" \"a b\" c\"d e\"f \"g", {"prog", "a b", "c\"d e\"f", "\"g"}},
        {"\"\"", {}},
        {"", {}},
        {"a\"b", {"a\"b"}},
        {"\"x y\"\"z\"", {"x y\"\"z"}},
        {"a\x01" "b\xA0" "c", {"a", "b\xA0" "c"}},
    };
    for (const Case& c : cases) EXPECT_EQ(strings(SApplicationBasic::splitCommandLine(raw(c.line))), c.args) << c.line;
}

TEST(SApplicationBasicTest, ProgramPathDirectoryAndName) {
    SApplicationBasic app;
    app.setArguments(SApplicationBasic::splitCommandLine(raw("\"/opt/my app/kondensator.bin\" --virtual-board")));
    EXPECT_EQ(app.getProgramPath().str(), "/opt/my app/kondensator.bin");
    EXPECT_EQ(app.getProgramDirectory().str(), "/opt/my app");
    EXPECT_EQ(app.getProgramName().str(), "kondensator");
    EXPECT_EQ(app.getArguments().getSize(), 2);

    app.setArguments(listOf({"kondensator"}));
    EXPECT_EQ(app.getProgramDirectory().str(), platform::currentDirectory());
    app.setArguments(listOf({"/prog"}));
    EXPECT_EQ(app.getProgramDirectory().str(), "/");
    app.setArguments(SStringList());
    EXPECT_EQ(app.getProgramPath().str(), "");
    EXPECT_EQ(app.getProgramName().str(), "");
}

TEST(SApplicationBasicTest, ConfigFilesInTheXdgFolders) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv user("XDG_CONFIG_HOME", dir.file("user").c_str());
    testsupport::ScopedEnv computer("XDG_CONFIG_DIRS", (dir.file("all") + ":/etc/xdg").c_str());
    {
        SApplicationBasic app;
        app.setArguments(listOf({"/opt/nuk/kondensator.bin"}));
        ASSERT_TRUE(app.openUserConfigFile());
        SFileIni* ini = app.getUserConfigFile();
        ASSERT_NE(ini, nullptr);
        EXPECT_EQ(ini->getPath().str(), dir.file("user/nuk/kondensator.cfg"));
        EXPECT_TRUE(app.openUserConfigFile());
        EXPECT_EQ(app.getUserConfigFile(), ini) << "an open file is kept";
        ini->setValue(raw("Fenster"), raw("winpostype"), raw("max"));

        ASSERT_TRUE(app.openComputerConfigFile());
        EXPECT_EQ(app.getComputerConfigFile()->getPath().str(), dir.file("all/nuk/kondensator.cfg"));
    }
    // Both files exist; the changed one was saved when the application object ended.
    EXPECT_EQ(dir.read("user/nuk/kondensator.cfg"), "\r\n[Fenster]\r\nwinpostype=max\r\n");
    EXPECT_EQ(dir.read("all/nuk/kondensator.cfg"), "");

    // Without a program name nothing is opened and the error log says why.
    globalError().clearLog();
    SApplicationBasic nameless;
    nameless.setArguments(SStringList());
    EXPECT_FALSE(nameless.openUserConfigFile());
    EXPECT_FALSE(nameless.openComputerConfigFile());
    EXPECT_EQ(nameless.getUserConfigFile(), nullptr);
    const std::string reason =
        "(..): Der Dateiname der Anwendung konnte nicht ermittelt werden.\r\n\tEventuell haben Sie diese Funktion "
        "vor der Verarbeitung der \xDC" "bergabeparameter (z.B. in einem Konstruktor) aufgerufen.";
    EXPECT_EQ(globalError().getLog().str(), "\r\nFehler in SApplication::openUserConfigFile" + reason +
                                                "\r\nFehler in SApplication::openComputerConfigFile" + reason);
    globalError().clearLog();
}

class Ticker : public STimerEvent {
public:
    void onTimer(int id) override {
        ++ticks;
        lastId = id;
        if (ticks == stopAfter && flag) *flag = 0;
    }
    int ticks = 0;
    int lastId = 0;
    int stopAfter = -1;
    volatile int* flag = nullptr;
};

TEST(SApplicationBasicTest, WaitRunsTimersAndHonoursTheAbortFlag) {
    Ticker ticker;
    int id = ticker.startTimer(10);
    ASSERT_GT(id, 0);
    int64_t start = platform::monotonicMs();
    EXPECT_TRUE(SApplicationBasic::wait(120));
    int64_t took = platform::monotonicMs() - start;
    EXPECT_GE(took, 120);
    EXPECT_GE(ticker.ticks, 4) << "a 10 ms timer runs while waiting";
    EXPECT_LE(ticker.ticks, 13);
    EXPECT_EQ(ticker.lastId, id);

    // The timer clears the flag after three more ticks: the wait ends early with false.
    volatile int running = 1;
    ticker.flag = &running;
    ticker.stopAfter = ticker.ticks + 3;
    start = platform::monotonicMs();
    EXPECT_FALSE(SApplicationBasic::wait(5000, &running));
    EXPECT_LT(platform::monotonicMs() - start, 1000);
    EXPECT_EQ(ticker.ticks, ticker.stopAfter);

    // A flag that is 0 already ends the wait at once; a stopped timer no longer runs.
    EXPECT_FALSE(SApplicationBasic::wait(5000, &running));
    ticker.stopTimer(id);
    int before = ticker.ticks;
    EXPECT_TRUE(SApplicationBasic::wait(40));
    EXPECT_EQ(ticker.ticks, before);
    EXPECT_TRUE(SApplicationBasic::wait(0));
}

TEST(SApplicationBasicTest, DestroyedReceiverLeavesTheTimerList) {
    int before = globalTimer().getSize();
    {
        Ticker a;
        a.startTimer(5);
        a.startTimer(7);
        EXPECT_EQ(globalTimer().getSize(), before + 2);
    }
    EXPECT_EQ(globalTimer().getSize(), before);
    EXPECT_TRUE(SApplicationBasic::wait(20));
}

}  // namespace
