#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace platform {

namespace {

const int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler only writes the signal's number here; the event loop reads it.
int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t receivedSignal = 0;

void onSignal(int signal) {
    receivedSignal = signal;
    const char byte = static_cast<char>(signal);
    // Async-signal-safe: one write, its result does not matter.
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    // The first signal only asks; the next one finds the default handling again.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int s : handledSignals) sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    for (int s : handledSignals) std::signal(s, SIG_DFL);
    for (int& fd : pipeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

int TerminationSignals::getReadFd() const {
    return pipeFds[0];
}

int TerminationSignals::takeSignal() {
    char byte = 0;
    if (pipeFds[0] < 0 || ::read(pipeFds[0], &byte, 1) != 1) return 0;
    return static_cast<unsigned char>(byte);
}

int TerminationSignals::getReceivedSignal() {
    return receivedSignal;
}

}  // namespace platform
