// A worker thread object: start runs onWorkThread and then onEndThread on a new thread.
#pragma once

#include <atomic>
#include <thread>

#include "foundation/SObject.h"

class SThread : public SObject {
public:
    S_CLASSNAME(SThread)

    SThread() = default;
    SThread(const SThread&) = delete;
    SThread& operator=(const SThread&) = delete;
    // A thread still running here is stopped (and waited for) and the error log notes it.
    ~SThread() override;

    bool start();
    // Starts the thread and keeps dispatching events of the calling thread until it has ended.
    bool startAndWait();
    bool isRunning() const { return running_.load(); }
    // Asks the thread to stop and waits until it has. A thread cannot be killed safely at an
    // arbitrary point, so onWorkThread must look at shouldStop() in its loops.
    void terminate();
    // Nice value of the thread (-20 .. 19); false when the system refuses it.
    bool setPriority(int nice);
    bool shouldStop() const { return stop_.load(); }

protected:
    virtual void onWorkThread();
    virtual void onEndThread() {}

private:
    void join();

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<int> tid_{0};
};
