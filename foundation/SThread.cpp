#include "foundation/SThread.h"

#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "platform/Threads.h"

SThread::~SThread() {
    if (isRunning()) {
        globalError().add(
            "Ein SThread wurde abnormal im Destruktor beendet. Sorgen Sie daf\xFCr, dass die Instance des "
            "SThread-Objektes \xFC" "ber die Laufzeit der Thread-Procedure onWorkThread() existiert.");
    }
    terminate();
}

void SThread::onWorkThread() {
    globalError().showMessage(
        "Sie m\xFCssen von SThread ableiten und die Funktion onWorkTread() \xFC" "berschreiben.");
}

bool SThread::start() {
    if (isRunning()) return false;
    join();
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this] {
        tid_ = platform::currentThreadId();
        onWorkThread();
        onEndThread();
        running_ = false;
    });
    return true;
}

bool SThread::startAndWait() {
    if (!start()) return false;
    while (isRunning()) SApplicationBasic::wait(10);
    join();
    return true;
}

void SThread::terminate() {
    stop_ = true;
    join();
}

void SThread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool SThread::setPriority(int nice) {
    if (!isRunning() || tid_ == 0) return false;
    return platform::setThreadPriority(tid_.load(), nice);
}
