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
#include "foundation/SApplicationBasic.h"
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

// The end asked for inside a handler that waits (as a page's script call does): the handler
// finishes with its window and the event loop still there; the windows go once exec returns.
// (Qt 6.8 announces the end from inside exit(); tearing down then crashed the program.)
TEST(ProgramEndDeathTest, AnEndAskedForDuringAWaitTearsDownAfterTheLoop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool aliveAfterWait = false;
            QTimer::singleShot(20, [&] {
                QTimer::singleShot(10, [] { QCoreApplication::exit(0); });
                SApplicationBasic::wait(200);
                aliveAfterWait = globalFenster().isCreated();
            });
            const int result = QApplication::exec();
            const bool aliveAfterLoop = globalFenster().isCreated();
            globalApplication().shutdown();
            std::exit(result == 0 && aliveAfterWait && aliveAfterLoop && !globalFenster().isCreated() ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "");
}
