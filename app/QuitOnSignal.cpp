#include "app/QuitOnSignal.h"

#include <cstdio>

#include "gui/GuiThread.h"

QuitOnSignal::QuitOnSignal() : watch_(signals_.getReadFd(), [this] { quit(); }) {}

int QuitOnSignal::getReceivedSignal() {
    return platform::TerminationSignals::getReceivedSignal();
}

void QuitOnSignal::quit() {
    const int signal = signals_.takeSignal();
    if (signal == 0) return;
    std::fprintf(stderr, "experiment: ends on signal %d\n", signal);
    gui::quitEventLoop(0);
}
