// The GUI tests run headless: one QApplication on the offscreen platform for all of them.
#include <QApplication>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Window placements and other user settings go to a directory of this run, not the user's.
    testsupport::TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
