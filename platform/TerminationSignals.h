// The requests to end the process (SIGINT, SIGTERM, SIGHUP) as something an event loop can
// watch: a descriptor that becomes readable when one arrives.
#pragma once

namespace platform {

// While an instance lives, the first of these signals only writes its number to a socket
// (the one thing a signal handler may safely do); the event loop watches getReadFd and
// decides. The next signal finds the default handling again and ends the process at once.
// One instance at a time.
class TerminationSignals {
public:
    TerminationSignals();
    // Gives the signals back to their default handling.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // -1 when the system gave no socket (the signals then keep their default handling).
    int getReadFd() const;
    // Takes the number of the signal that arrived from the socket; 0 when none is waiting.
    int takeSignal();
    // The signal that arrived last while an instance lived, 0 when none did.
    static int getReceivedSignal();
};

}  // namespace platform
