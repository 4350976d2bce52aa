#include "app/QuitOnSignal.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

const int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler only writes the signal's number here; the event loop reads it.
int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t receivedSignal = 0;

}  // namespace

QuitOnSignal::QuitOnSignal() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0) return;
    fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { quit(); });
    struct sigaction action {};
    action.sa_handler = &QuitOnSignal::onSignal;
    sigemptyset(&action.sa_mask);
    // The first signal only asks; the next one finds the default handling again.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int s : handledSignals) sigaction(s, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
    for (int s : handledSignals) std::signal(s, SIG_DFL);
    delete notifier_;
    for (int& fd : pipeFds) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

int QuitOnSignal::getReceivedSignal() {
    return receivedSignal;
}

void QuitOnSignal::onSignal(int signal) {
    receivedSignal = signal;
    const char byte = static_cast<char>(signal);
    // Async-signal-safe: one write, its result does not matter.
    [[maybe_unused]] ssize_t n = write(pipeFds[1], &byte, 1);
}

void QuitOnSignal::quit() {
    char byte = 0;
    [[maybe_unused]] ssize_t n = read(pipeFds[0], &byte, 1);
    std::fprintf(stderr, "experiment: ends on signal %d\n", static_cast<int>(byte));
    QCoreApplication::quit();
}
