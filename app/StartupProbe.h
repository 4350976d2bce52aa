// Start-up measurement: with NUK_STARTUP_PROBE=1 the program reports how long it took until
// the first page was shown and until every pane had loaded, and its memory, then quits.
#pragma once

#include <cstdint>
#include <string>

class QTimer;
class Fenster;

class StartupProbe {
public:
    // Whether the environment asks for the probe.
    static bool isRequested();

    // Watches the main window's page windows from now on (every 2 ms); prints
    //   startup: window=<s> s           (now: the main window is shown, its pages loading)
    //   startup: einleitung=<s> s     (the start page, e.g. durchfuehrung=, is shown)
    //   startup: all=<s> s rss=<kB> kB browser_rss=<kB> kB
    // (seconds since the process started) and ends the event loop.
    explicit StartupProbe(Fenster& window);
    ~StartupProbe();
    StartupProbe(const StartupProbe&) = delete;
    StartupProbe& operator=(const StartupProbe&) = delete;

    // Seconds since the process started (from the kernel's start time of the process).
    static double secondsSinceProcessStart();
    // Resident memory in kB of this process (VmRSS), and of its descendants (the browser
    // engine's helper processes).
    static int64_t residentKb(int pid);
    static int64_t descendantsResidentKb(int pid);

private:
    void poll();

    Fenster& window_;
    QTimer* timer_;
    bool firstReported_ = false;
};
