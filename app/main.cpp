// The entry of the experiment program: the global objects exist already (Globals.cpp); here
// the browser engine is prepared, the QApplication made, the application initialised (which
// creates and shows the main window), and the event loop runs until the main window goes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/QuitOnSignal.h"
#include "app/StartPage.h"
#include "app/StartupEnvironment.h"
#include "app/StartupProbe.h"
#include "app/VirtualBoardHost.h"
#include "browser/SIEControl.h"
#include "gui/SApplication.h"

int main(int argc, char** argv) {
    // A page name that does not exist ends the program before anything starts.
    const StartPage::Choice startPage = StartPage::choose(std::vector<std::string>(argv, argv + argc));
    if (!startPage.ok) {
        std::fprintf(stderr, "%s\n", startPage.message.c_str());
        return 2;
    }
    globalFenster().setStartPage(startPage.page);
    const VirtualBoardHost::Choice virtualBoard =
        VirtualBoardHost::choose(std::vector<std::string>(argv, argv + argc));
    if (!virtualBoard.ok) {
        std::fprintf(stderr, "%s\n", virtualBoard.message.c_str());
        return 2;
    }
    if (!StartupEnvironment::apply()) return 1;
    SIEControl::prepareEngine();
    QApplication qt(argc, argv);
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
        std::unique_ptr<StartupProbe> probe;
        if (StartupProbe::isRequested()) probe = std::make_unique<StartupProbe>(globalFenster());
        result = QApplication::exec();
        if (QuitOnSignal::getReceivedSignal() != 0) result = 128 + QuitOnSignal::getReceivedSignal();
        // The program lets go of the board before the board goes.
        globalFenster().getBoard().disconnectAll();
        board.stop();
    }
    // Every browser goes before the QApplication: the engine cannot release its profile while
    // a page still exists.
    globalApplication().shutdown();
    return result;
}
