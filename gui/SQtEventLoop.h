// Waits and timers over Qt's event loop.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "foundation/SEventLoop.h"

class QObject;
class QTimer;

// Installed at start-up, so every message-pumping wait of the system (SApplicationBasic::wait)
// keeps the windows painted and responsive, and STimerEvent timers run as QTimers.
// The loop works on the GUI thread; called from another thread, processEvents does nothing
// and waitForEvents only sleeps.
class SQtEventLoop : public SEventLoop {
public:
    SQtEventLoop();
    ~SQtEventLoop() override;
    SQtEventLoop(const SQtEventLoop&) = delete;
    SQtEventLoop& operator=(const SQtEventLoop&) = delete;

    void processEvents() override;
    // Blocks in the event dispatcher until an event arrives or maxMs have passed, whichever
    // comes first, and runs what arrived; no busy loop.
    void waitForEvents(int maxMs) override;
    // Each expiry calls globalTimer().dispatch(id).
    int startTimer(int periodMs) override;
    void stopTimer(int id) override;
    int getTimerCount() const { return static_cast<int>(timers_.size()); }

private:
    bool onGuiThread() const;

    // Parent of the QTimers; deleted while Qt still runs, or left behind at exit.
    std::unique_ptr<QObject> host_;
    QTimer* wake_ = nullptr;
    std::map<int, QTimer*> timers_;
    std::vector<QTimer*> spare_;
    int nextId_ = 1;
};
