// How the program ends: closing the main window or a termination signal ends the event loop,
// so main cleans up (browsers first, then the global objects with the unpacked resources).
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/QuitOnSignal.h"
#include "gui/SApplication.h"

TEST(ProgramEndDeathTest, TerminationSignalEndsTheEventLoop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QuitOnSignal quit;
            QTimer::singleShot(20, [] { std::raise(SIGTERM); });
            QApplication::exec();
            globalApplication().shutdown();
            std::exit(QuitOnSignal::getReceivedSignal() == SIGTERM ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "experiment: ends on signal 15");
}

TEST(ProgramEndDeathTest, ClosingTheMainWindowEndsTheEventLoop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QTimer::singleShot(20, [] { globalFenster().close(); });
            const int result = QApplication::exec();
            const bool gone = !globalFenster().isCreated();
            globalApplication().shutdown();
            std::exit(result == 0 && gone ? 5 : 6);
        },
        ::testing::ExitedWithCode(5), "");
}
