// The application tests start the program as its entry function does, once, headless: the
// global objects are there, the main window is created in a temporary program folder whose
// resource.ini leads to the experiment's pages.
#include <cstdlib>

#include <QApplication>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/StartupEnvironment.h"
#include "browser/SIEControl.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "foundation/SFileIni.h"
#include "foundation/SResources.h"
#include "gui/QtTranslations.h"
#include "gui/SApplication.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "support/TestSupport.h"

namespace apptest {
namespace {

std::string programDirectory;
std::string pagesDirectory;

}  // namespace

const std::string& programDir() {
    return programDirectory;
}
const std::string& pagesDir() {
    return pagesDirectory;
}

bool waitFor(const std::function<bool()>& condition, int ms) {
    const int64_t deadline = platform::monotonicMs() + ms;
    while (!condition()) {
        if (platform::monotonicMs() > deadline) return false;
        SApplicationBasic::wait(5);
    }
    return true;
}

}  // namespace apptest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!StartupEnvironment::apply({argv[0]})) return 1;

    testsupport::TempDir root;
    // Window placements go to a configuration folder of the test's own.
    setenv("XDG_CONFIG_HOME", root.file("config").c_str(), 1);
    // What the program puts into the temporary folder (the spreadsheet's messung.csv, unpacked
    // files) stays inside the test's folder, which goes at the end.
    testsupport::runCommand("mkdir -p '" + root.file("tmp") + "'");
    setenv("TMPDIR", root.file("tmp").c_str(), 1);
    const std::string dir = root.file("programm");
    const std::string pages = root.file("seiten");
    testsupport::runCommand("mkdir -p '" + dir + "/NUK-Resourcen' '" + pages + "'");
    // A program file without archive: the resources come from the folders.
    root.write("programm/experiment", "");
    root.write("programm/NUK-Resourcen/resource.ini",
               "[StandardResourcePath]\r\nquellen=" + testsupport::sourceDir() + "/resources\r\nbuild=" +
                   testsupport::binaryDir() + "/resources\r\ntest=" +
                   pages + "\r\n\r\n[Build]\r\nCount=" + apptest::buildCount + "\r\n");
    apptest::programDirectory = dir;
    apptest::pagesDirectory = pages;

    SIEControl::prepareEngine();
    QApplication qt(argc, argv);
    gui::installQtTranslations("de");
    SStringList arguments;
    arguments.add(SString(dir + "/experiment"));
    if (!globalApplication().init(arguments)) return 1;
    // A message box would wait for a click: the tests see messages on standard error or capture
    // them.
    globalError().setMessageSink(nullptr);
    // Nor does any test open a desktop program (the spreadsheet, say): "open" does nothing.
    struct NoShell : platform::Shell {
        int open(const std::string&, const std::string&, const std::string&) override { return 0; }
    };
    static NoShell noShell;
    platform::setShell(&noShell);

    const int result = RUN_ALL_TESTS();

    globalApplication().shutdown();
    // What the resource manager records is written now, while its folder still exists.
    if (SFileIni* ini = globalResources().getResourceIni(); ini && ini->isModified()) ini->save();
    return result;
}
