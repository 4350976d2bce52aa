// A termination signal ends the event loop like closing the window, so the program cleans up.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/QuitOnSignal.h"
#include "gui/SApplication.h"

TEST(QuitOnSignalDeathTest, TerminationEndsTheEventLoop) {
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
