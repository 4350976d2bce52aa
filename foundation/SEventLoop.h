// What waits and timers need from a window system: dispatching pending work and platform timers.
#pragma once

#include <cstdint>
#include <vector>

// The foundation, stream and board libraries wait and run timers only through this interface,
// so they work without a window system. The GUI installs an implementation over its own event
// loop at start-up; without one the plain loop below runs the timers.
class SEventLoop {
public:
    virtual ~SEventLoop() = default;
    // Runs everything that is due now (timers, window messages) without blocking.
    virtual void processEvents() = 0;
    // Waits at most maxMs for something to become due, running it when it does.
    virtual void waitForEvents(int maxMs) = 0;
    // Starts a periodic platform timer; every expiry calls globalTimer().dispatch(id).
    // Returns the timer id (> 0).
    virtual int startTimer(int periodMs) = 0;
    virtual void stopTimer(int id) = 0;
};

// A loop without window system: due timers run from processEvents and waitForEvents, which
// sleeps until the next timer is due or the time is up.
class SPlainEventLoop : public SEventLoop {
public:
    void processEvents() override;
    void waitForEvents(int maxMs) override;
    int startTimer(int periodMs) override;
    void stopTimer(int id) override;

private:
    struct Timer {
        int id;
        int periodMs;
        int64_t dueMs;
    };
    std::vector<Timer> timers_;
    int nextId_ = 1;
};

// The installed event loop (the plain loop unless something else was installed).
SEventLoop& eventLoop();
// Installs a loop; nullptr restores the plain loop. The caller keeps ownership.
void setEventLoop(SEventLoop* loop);
