// The entry of the experiment program: the global objects exist already (Globals.cpp); here
// the browser engine is prepared, the QApplication made, the application initialised (which
// creates and shows the main window), and the event loop runs until the main window goes.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>


#include "Version.h"

#include "app/CommandLine.h"
#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/LiveShare.h"
#include "app/QuitOnSignal.h"
#include "app/StartupEnvironment.h"
#include "app/StartupProbe.h"
#include "app/VirtualBoardHost.h"
#include "browser/BrowserRendering.h"
#include "browser/SIEControl.h"
#include "foundation/LanguageChoice.h"
#include "foundation/SDebug.h"
#include "gui/GuiApplication.h"
#include "gui/QtTranslations.h"
#include "gui/SApplication.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    // Every option is read here, once: --help and --version answer without a display, and a
    // wrong argument ends the program with 2 before anything starts.
    const CommandLine::Options options = CommandLine::parse(arguments, languagechoice::fromEnvironment());
    if (const std::optional<int> exitCode = CommandLine::earlyExit(options)) return *exitCode;
    const std::string& language = options.language;
    globalFenster().setStartPage(options.page);
    if (!StartupEnvironment::apply(arguments)) return 1;
    SIEControl::prepareEngine();
    gui::GuiApplication qt(argc, argv);
    // Without a graphics chip's OpenGL the browser panes are drawn in software: composing the
    // window through emulated OpenGL on every repaint of the live diagram would cost several
    // percent of a core while measuring (BrowserRendering.h). Before the first browser exists.
    const BrowserRendering::Decision rendering = BrowserRendering::apply();
    // The desktop finds the program's entry and icon by its id (Wayland matches windows by it).
    qt.setDesktopIdentity(NUK_APP_ID);
    // Qt's own dialogs and buttons speak the program's language.
    gui::installQtTranslations(language);
    globalApplication().setLanguage(language);
    int result = 0;
    if (globalApplication().init(argc, argv)) {
        globalDebug().print(SString(BrowserRendering::describe(rendering)));
        QuitOnSignal quitOnSignal;
        // The virtual board runs while the event loop does; a termination signal ends the loop,
        // so its port map entry is removed then too.
        VirtualBoardHost board;
        if (options.virtualBoard != VirtualBoardHost::Mode::off) {
            std::string error;
            if (!board.start(options.virtualBoard, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                globalApplication().shutdown();
                return 1;
            }
            const std::string line = SString("\xB3\xB3" "virtualBoardAt\xB3\xB3" "virtuelles Board an").toUtf8();
            std::printf("experiment: %s %s (%s)\n", line.c_str(), board.getBoard()->getComName().c_str(),
                        board.getBoard()->getDevicePath().c_str());
            std::fflush(stdout);
        }
        if (options.share) {
            std::string error;
            if (!LiveShare::instance().start(options.shareAddress, error)) {
                std::fprintf(stderr, "experiment: %s\n", error.c_str());
            } else {
                const std::string at = SString("\xB3\xB3" "liveSharedAt\xB3\xB3" "Live-Ansicht unter").toUtf8();
                std::printf("experiment: %s %s, PIN %s\n", at.c_str(), LiveShare::instance().getUrl().c_str(),
                            LiveShare::instance().getPin().c_str());
                std::fflush(stdout);
                LiveShare::instance().showWindow();
            }
        }
        std::unique_ptr<StartupProbe> probe;
        if (StartupProbe::isRequested()) probe = std::make_unique<StartupProbe>(globalFenster());
        result = qt.exec();
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
