#include "gui/SQtEventLoop.h"

#include <QTimer>
#include <ctime>

#include <gtest/gtest.h>

#include "foundation/SApplicationBasic.h"
#include "foundation/STimer.h"
#include "platform/Clock.h"

namespace {

class Counter : public STimerEvent {
public:
    void onTimer(int id) override {
        ++count;
        lastId = id;
        if (stopAfter > 0 && count >= stopAfter) stopTimer(id);
    }
    int count = 0;
    int lastId = 0;
    int stopAfter = 0;
};

// Installs the Qt loop for one test.
class SQtEventLoopTest : public ::testing::Test {
protected:
    void SetUp() override { setEventLoop(&loop); }
    void TearDown() override { setEventLoop(nullptr); }
    SQtEventLoop loop;
};

double cpuMs() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace

TEST_F(SQtEventLoopTest, TimersRunDuringTheWait) {
    Counter fast, once;
    const int id = fast.startTimer(20);
    once.stopAfter = 1;
    once.startTimer(30);
    EXPECT_EQ(2, loop.getTimerCount());
    ASSERT_TRUE(SApplicationBasic::wait(250));
    EXPECT_GE(fast.count, 8);
    EXPECT_LE(fast.count, 13);
    EXPECT_EQ(id, fast.lastId);
    EXPECT_EQ(1, once.count) << "stopped from its own call";
    EXPECT_EQ(1, loop.getTimerCount());
    fast.stopAllTimers();
    EXPECT_EQ(0, loop.getTimerCount());
    EXPECT_EQ(0, globalTimer().getSize());
    const int before = fast.count;
    SApplicationBasic::wait(60);
    EXPECT_EQ(before, fast.count);
}

TEST_F(SQtEventLoopTest, WaitSleepsInsteadOfSpinning) {
    const int64_t start = platform::monotonicMs();
    const double cpuStart = cpuMs();
    ASSERT_TRUE(SApplicationBasic::wait(300));
    const int64_t elapsed = platform::monotonicMs() - start;
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 400);
    EXPECT_LT(cpuMs() - cpuStart, 100.0) << "the wait must block in the event dispatcher";

    // One wait step returns when an event arrives, long before its limit.
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    const int64_t stepStart = platform::monotonicMs();
    while (!fired && platform::monotonicMs() - stepStart < 1000) loop.waitForEvents(1000);
    EXPECT_TRUE(fired);
    EXPECT_LT(platform::monotonicMs() - stepStart, 500);
}

TEST_F(SQtEventLoopTest, AbortFlagEndsTheWait) {
    volatile int running = 1;
    QTimer::singleShot(30, [&] { running = 0; });
    const int64_t start = platform::monotonicMs();
    EXPECT_FALSE(SApplicationBasic::wait(2000, &running));
    EXPECT_LT(platform::monotonicMs() - start, 500);
}
