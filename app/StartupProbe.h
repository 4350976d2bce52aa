// Start-up measurement: with NUK_STARTUP_PROBE=1 the program reports how long it took until
// the first page was shown and until every pane had loaded, and its memory, then quits.
#pragma once

#include "foundation/STimer.h"

class Fenster;

class StartupProbe : public STimerEvent {
public:
    S_CLASSNAME(StartupProbe)

    // Whether the environment asks for the probe.
    static bool isRequested();

    // Watches the main window's page windows from now on (every 2 ms); prints
    //   startup: window=<s> s           (now: the main window is shown, its pages loading)
    //   startup: einleitung=<s> s     (the start page, e.g. durchfuehrung=, is shown)
    //   startup: all=<s> s rss=<kB> kB browser_rss=<kB> kB
    // (seconds since the process started, platform/ProcessInfo.h) and ends the event loop.
    explicit StartupProbe(Fenster& window);

    void onTimer(int id) override;

private:
    Fenster& window_;
    bool firstReported_ = false;
};
