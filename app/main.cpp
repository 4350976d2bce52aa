// The entry of the experiment program: the global objects exist already (Globals.cpp); here
// the browser engine is prepared, the QApplication made, the application initialised (which
// creates and shows the main window), and the event loop runs until the main window goes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>

#include "Version.h"

#include "app/CommandLine.h"
#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/LiveShare.h"
#include "app/QuitOnSignal.h"
#include "app/StartPage.h"
#include "app/StartupEnvironment.h"
#include "app/StartupProbe.h"
#include "app/VirtualBoardHost.h"
#include "browser/SIEControl.h"
#include "gui/QtTranslations.h"
#include "gui/SApplication.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    // --help and --version answer without a display and start nothing.
    switch (CommandLine::request(arguments)) {
    case CommandLine::Request::help:
        std::fputs(CommandLine::helpText().c_str(), stdout);
        return 0;
    case CommandLine::Request::version:
        std::fputs(CommandLine::versionText().c_str(), stdout);
        return 0;
    case CommandLine::Request::run:
        break;
    }
    // A page name that does not exist ends the program before anything starts.
    const StartPage::Choice startPage = StartPage::choose(arguments);
    if (!startPage.ok) {
        std::fprintf(stderr, "%s\n", startPage.message.c_str());
        return 2;
    }
    globalFenster().setStartPage(startPage.page);
    const VirtualBoardHost::Choice virtualBoard =
        VirtualBoardHost::choose(arguments);
    if (!virtualBoard.ok) {
        std::fprintf(stderr, "%s\n", virtualBoard.message.c_str());
        return 2;
    }
    const LiveShare::Choice share = LiveShare::choose(arguments);
    if (!share.ok) {
        std::fprintf(stderr, "%s\n", share.message.c_str());
        return 2;
    }
    if (!StartupEnvironment::apply(arguments)) return 1;
    SIEControl::prepareEngine();
    QApplication qt(argc, argv);
    // The desktop finds the program's entry and icon by its id (Wayland matches windows by it).
    QGuiApplication::setDesktopFileName(QStringLiteral(NUK_APP_ID));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(NUK_APP_ID)));
    // Qt's own dialogs and buttons speak the program's language.
    gui::installQtTranslations("de");
    int result = 0;
    if (globalApplication().init(argc, argv)) {
        QuitOnSignal quitOnSignal;
        // The virtual board runs while the event loop does; a termination signal ends the loop,
        // so its port map entry is removed then too.
        VirtualBoardHost board;
        if (virtualBoard.mode != VirtualBoardHost::Mode::off) {
            std::string error;
            if (!board.start(virtualBoard.mode, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                globalApplication().shutdown();
                return 1;
            }
            std::printf("experiment: virtuelles Board an %s (%s)\n", board.getBoard()->getComName().c_str(),
                        board.getBoard()->getDevicePath().c_str());
            std::fflush(stdout);
        }
        if (share.enabled) {
            std::string error;
            if (!LiveShare::instance().start(share.address, error)) {
                std::fprintf(stderr, "experiment: %s\n", error.c_str());
            } else {
                std::printf("experiment: Live-Ansicht unter %s, PIN %s\n", LiveShare::instance().getUrl().c_str(),
                            LiveShare::instance().getPin().c_str());
                std::fflush(stdout);
                LiveShare::instance().showWindow();
            }
        }
        std::unique_ptr<StartupProbe> probe;
        if (StartupProbe::isRequested()) probe = std::make_unique<StartupProbe>(globalFenster());
        result = QApplication::exec();
        if (QuitOnSignal::getReceivedSignal() != 0) result = 128 + QuitOnSignal::getReceivedSignal();
        // The network's connections close before the measurement's objects go.
        LiveShare::instance().stop();
        // The program lets go of the board before the board goes.
        globalFenster().getBoard().disconnectAll();
        board.stop();
    }
    // Every browser goes before the QApplication: the engine cannot release its profile while
    // a page still exists.
    globalApplication().shutdown();
    return result;
}
