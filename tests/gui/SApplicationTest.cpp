#include "gui/SApplication.h"

#include <gtest/gtest.h>

#include "BoxWatcher.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "foundation/SEventLoop.h"
#include "foundation/SResources.h"
#include "gui/SFrameWindow.h"
#include "gui/SQtEventLoop.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

namespace {

// A main window as the application makes one: its size and title come from its own preparation.
class MainFrame : public SFrameWindow {
public:
    MainFrame() { setApplicationTick(true); }
    ~MainFrame() override { destroyWindow(); }
    bool onPreCreateWindow() override {
        setSize(1000, 730);
        const bool ok = SFrameWindow::onPreCreateWindow();
        setText("Experiment");
        return ok;
    }
    void onFirstShow() override { ++firstShows; }
    void onApplicationTick(int id) override {
        ++ticks;
        tickId = id;
    }
    int firstShows = 0;
    int ticks = 0;
    int tickId = 0;
};

class SApplicationInit : public ::testing::Test {
protected:
    void SetUp() override {
        globalError().clearLog();
        dir.write("prog", "");
        args.add(SString(dir.file("prog")));
        args.add("--eins");
    }
    void TearDown() override { globalError().clearLog(); }
    testsupport::TempDir dir;
    SStringList args;
};

}  // namespace

TEST_F(SApplicationInit, WithoutMainWindowShowsTheStopBox) {
    SApplication app;
    BoxWatcher watcher;
    EXPECT_FALSE(app.init(args));
    ASSERT_EQ(1u, watcher.boxes.size());
    EXPECT_EQ("FEHLER", watcher.boxes[0].title);
    EXPECT_EQ(
        "Die Anwendnung konnte nicht gestartet \nwerden, da kein Hauptfenster existiert.\n\nVerwenden Sie "
        "den "
        "Kelo-Main-Assistenten zur automatischen Erzeugung.",
        watcher.boxes[0].text);
    EXPECT_EQ(QMessageBox::Critical, watcher.boxes[0].icon);
    EXPECT_FALSE(watcher.boxes[0].hasOwner);

    // The arguments and directories were taken before.
    EXPECT_EQ(args.getAt(0), globalApplicationBasic().getProgramPath());
    EXPECT_EQ(2, globalApplicationBasic().getArguments().getSize());
    EXPECT_EQ(SString(dir.path()), globalApplicationBasic().getProgramDirectory());
    EXPECT_EQ(SString(dir.path()), globalResources().getApplicationDirectory());
    EXPECT_EQ(args.getAt(0), globalResources().getExecutablePath());
    app.shutdown();
    EXPECT_EQ(nullptr, dynamic_cast<SQtEventLoop*>(&eventLoop()));
}

TEST_F(SApplicationInit, CreatesAndShowsTheMainWindow) {
    SApplication app;
    MainFrame main;
    ASSERT_EQ(&main, app.getMainWindow());
    ASSERT_TRUE(app.init(args));
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.isMaximized());
    EXPECT_EQ(SString("Experiment"), main.getText());
    EXPECT_EQ(SRect(0, 0, 1000, 730), main.getClientRect());
    EXPECT_TRUE(main.getStyle() & SWindow::stylePopup);
    EXPECT_EQ(1, main.firstShows) << "the first show happens during init";
    EXPECT_NE(nullptr, dynamic_cast<SQtEventLoop*>(&eventLoop()));

    ASSERT_TRUE(app.isTickRunning());
    // The ticks come from the event loop; a busy machine may delay them, so wait for them.
    for (int waited = 0; main.ticks < 3 && waited < 3000; waited += 20) SApplicationBasic::wait(20);
    EXPECT_GE(main.ticks, 3);
    EXPECT_EQ(app.getTickTimerId(), main.tickId);

    // Closing the main window destroys it and shows the error log.
    globalError().add("Ein Eintrag");
    BoxWatcher watcher;
    EXPECT_TRUE(main.close());
    QCoreApplication::processEvents();
    EXPECT_FALSE(main.isCreated());
    ASSERT_EQ(1u, watcher.boxes.size());
    EXPECT_EQ("Fehler !", watcher.boxes[0].title);
    EXPECT_NE(std::string::npos, watcher.boxes[0].text.find("Ein Eintrag"));

    app.shutdown();
    EXPECT_FALSE(app.isTickRunning());
    EXPECT_EQ(nullptr, dynamic_cast<SQtEventLoop*>(&eventLoop()));
}

TEST_F(SApplicationInit, MaximisedStyleShowsMaximised) {
    SApplication app;
    MainFrame main;
    main.addStyle(SWindow::styleMaximize);
    ASSERT_TRUE(app.init(args));
    EXPECT_TRUE(main.isMaximized());
    main.destroyWindow();
    app.shutdown();
}

// The tick's timer wakes the program a hundred times a second: it runs only while a created
// window wants the tick.
TEST_F(SApplicationInit, TickRunsOnlyWhileAWindowWantsIt) {
    struct TickWindow : SWindow {
        ~TickWindow() override { destroyWindow(); }
        void onApplicationTick(int id) override {
            ++ticks;
            tickId = id;
        }
        int ticks = 0;
        int tickId = 0;
    };
    SApplication app;
    MainFrame main;
    main.setApplicationTick(false);
    ASSERT_TRUE(app.init(args));
    EXPECT_FALSE(app.isTickRunning());

    // A window asking before its widget exists gets the tick once it is created.
    TickWindow pane;
    pane.setApplicationTick(true);
    EXPECT_FALSE(app.isTickRunning());
    ASSERT_TRUE(pane.create(&main, "pane", SRect(0, 0, 50, 50)));
    EXPECT_TRUE(app.isTickRunning());
    for (int waited = 0; pane.ticks < 3 && waited < 3000; waited += 20) SApplicationBasic::wait(20);
    EXPECT_GE(pane.ticks, 3);
    EXPECT_EQ(app.getTickTimerId(), pane.tickId);
    EXPECT_EQ(0, main.ticks) << "only the windows that asked";

    // Withdrawn or gone, the wish keeps no timer running.
    pane.setApplicationTick(false);
    EXPECT_FALSE(app.isTickRunning());
    const int ticks = pane.ticks;
    SApplicationBasic::wait(50);
    EXPECT_EQ(ticks, pane.ticks);
    pane.setApplicationTick(true);
    EXPECT_TRUE(app.isTickRunning());
    pane.destroyWindow();
    EXPECT_FALSE(app.isTickRunning());

    // After shutdown no wish starts it again.
    app.shutdown();
    main.setApplicationTick(true);
    EXPECT_FALSE(app.isTickRunning());
}

TEST(SApplication, ProgramArgumentsNameTheRunningProgram) {
    testsupport::TempDir dir;
    dir.write("prog", "");
    SStringList given;
    given.add(SString(dir.file("prog")));
    EXPECT_EQ(SString(dir.file("prog")), SApplication::programArguments(given).getAt(0));
    // Started through the search path the first argument is a bare name.
    SStringList bare;
    bare.add("experiment");
    bare.add("--debug");
    SStringList args = SApplication::programArguments(bare);
    EXPECT_EQ(SString(platform::executablePath()), args.getAt(0));
    EXPECT_EQ(SString("--debug"), args.getAt(1));
    EXPECT_EQ(SString(platform::executablePath()), SApplication::programArguments(SStringList()).getAt(0));
}

TEST(SApplication, GlobalAccessorFollowsTheLatestInstance) {
    SApplication& before = globalApplication();
    {
        SApplication mine;
        EXPECT_EQ(&mine, &globalApplication());
        {
            SApplication inner;
            EXPECT_EQ(&inner, &globalApplication());
        }
        EXPECT_EQ(&mine, &globalApplication());
    }
    EXPECT_EQ(&before, &globalApplication());
}
