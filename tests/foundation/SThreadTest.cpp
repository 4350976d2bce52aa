#include "foundation/SThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/STimer.h"
#include "support/TestSupport.h"

namespace {

class Counter : public SThread {
public:
    std::atomic<int> steps{0};
    std::atomic<bool> ended{false};
    int limit = 5;

protected:
    void onWorkThread() override {
        while (!shouldStop() && steps < limit) {
            ++steps;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void onEndThread() override { ended = true; }
};

// Runs until it is asked to stop; it touches no members of its own, so it may still run while
// the SThread destructor stops it.
class Endless : public SThread {
protected:
    void onWorkThread() override {
        while (!shouldStop()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

class Ticks : public STimerEvent {
public:
    void onTimer(int) override { ++count; }
    int count = 0;
};

TEST(SThreadTest, StartAndWaitKeepsTimersRunning) {
    Ticks ticks;
    int id = ticks.startTimer(5);
    Counter worker;
    worker.limit = 10;
    ASSERT_TRUE(worker.startAndWait());
    ticks.stopTimer(id);
    EXPECT_FALSE(worker.isRunning());
    EXPECT_EQ(worker.steps, 10);
    EXPECT_TRUE(worker.ended);
    EXPECT_GE(ticks.count, 2) << "the waiting thread dispatched its timers";

    // The object can run again.
    worker.steps = 0;
    worker.ended = false;
    ASSERT_TRUE(worker.start());
    EXPECT_FALSE(worker.start()) << "not while it runs";
    while (worker.isRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(worker.steps, 10);
}

TEST(SThreadTest, TerminateAndDestroyWhileRunning) {
    globalError().clearLog();
    Counter long_;
    long_.limit = 1 << 30;
    ASSERT_TRUE(long_.start());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(long_.isRunning());
    EXPECT_TRUE(long_.setPriority(5));
    long_.terminate();
    EXPECT_FALSE(long_.isRunning());
    EXPECT_TRUE(long_.ended);
    EXPECT_TRUE(globalError().getLog().isEmpty());
    {
        Endless endless;
        ASSERT_TRUE(endless.start());
    }
    EXPECT_EQ(globalError().getLog().str(),
              "\r\nEin SThread wurde abnormal im Destruktor beendet. Sorgen Sie daf\xFCr, dass die Instance des "
              "SThread-Objektes \xFC" "ber die Laufzeit der Thread-Procedure onWorkThread() existiert.");
    globalError().clearLog();

    // The base class has no work of its own and says so.
    testsupport::MessageCapture boxes;
    SThread base;
    ASSERT_TRUE(base.startAndWait());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "Sie m\xFCssen von SThread ableiten und die Funktion onWorkTread() \xFC" "berschreiben.");
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
}

}  // namespace
