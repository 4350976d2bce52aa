// The browser tests run headless: one QApplication on the offscreen platform, the browser
// engine prepared before it, and the Qt event loop behind the message-pumping wait.
#include <unistd.h>

#include <QApplication>

#include <gtest/gtest.h>

#include "browser/SIEControl.h"
#include "foundation/SEventLoop.h"
#include "gui/SQtEventLoop.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    SIEControl::prepareEngine();
    QApplication app(argc, argv);
    int result;
    {
        SQtEventLoop loop;
        setEventLoop(&loop);
        result = RUN_ALL_TESTS();
        setEventLoop(nullptr);
    }
    return result;
}
