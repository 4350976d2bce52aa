// Ends the program on SIGINT, SIGTERM and SIGHUP the way closing its window does.
#pragma once

#include "gui/ReadableWatch.h"
#include "platform/TerminationSignals.h"

// The event loop ends, main returns and the global objects clean up: the resources unpacked
// into the temporary directory are removed, as after a normal close. A second signal ends the
// process at once. Needs the QApplication; one instance at a time.
class QuitOnSignal {
public:
    QuitOnSignal();
    // Gives the signals back to their default handling.
    ~QuitOnSignal() = default;
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

    // The signal that ended the loop, 0 when none did.
    static int getReceivedSignal();

private:
    void quit();

    // The watch goes before the signals' socket it reads.
    platform::TerminationSignals signals_;
    gui::ReadableWatch watch_;
};
