#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Counter {
    std::atomic<int> passes{0};
    std::atomic<bool> inCriticalWork{false};
    std::atomic<bool> sawPauseMidWork{false};
};

// A loop that marks a stretch of "shared state" work between checkpoints.
void countingLoop(thread::Listener& self, void* context) {
    auto& c = *static_cast<Counter*>(context);
    while (self.checkpoint()) {
        c.inCriticalWork = true;
        c.passes.fetch_add(1);
        c.inCriticalWork = false;
        self.wait(1);
    }
}

void returningLoop(thread::Listener&, void*) {}

TEST(Listener, StartStopAndRestart) {
    thread::Listener listener;
    Counter c;
    EXPECT_FALSE(listener.running());
    ASSERT_TRUE(listener.start(countingLoop, &c));
    EXPECT_TRUE(listener.running());
    EXPECT_FALSE(listener.start(countingLoop, &c)) << "a second start must not run a second loop";
    while (c.passes < 3) std::this_thread::yield();
    listener.stop();
    EXPECT_FALSE(listener.running());
    int after = c.passes;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(after, c.passes.load());
    ASSERT_TRUE(listener.start(countingLoop, &c));
    listener.stop();
    listener.stop(); // harmless when nothing runs
}

TEST(Listener, PauseParksAtCheckpointUntilResumed) {
    thread::Listener listener;
    Counter c;
    ASSERT_TRUE(listener.start(countingLoop, &c));
    for (int i = 0; i < 200; ++i) {
        uint32_t gen = listener.pauseGeneration();
        listener.pause();
        EXPECT_TRUE(listener.paused());
        EXPECT_TRUE(listener.interrupted());
        EXPECT_FALSE(c.inCriticalWork.load());
        EXPECT_EQ(gen + 1, listener.pauseGeneration());
        int frozen = c.passes;
        std::this_thread::yield();
        EXPECT_EQ(frozen, c.passes.load());
        listener.resume();
        EXPECT_FALSE(listener.paused());
    }
    int before = c.passes;
    while (c.passes == before) std::this_thread::yield();
    EXPECT_FALSE(listener.interrupted());
    listener.pause();
    listener.stop(); // a paused loop can be stopped
    EXPECT_FALSE(listener.running());
}

TEST(Listener, WaitReturnsEarlyWhenInterrupted) {
    struct Ctx {
        std::atomic<bool> waiting{false};
        std::atomic<bool> result{true};
    } ctx;
    thread::Listener listener;
    ASSERT_TRUE(listener.start(
        [](thread::Listener& self, void* p) {
            auto& x = *static_cast<Ctx*>(p);
            x.waiting = true;
            x.result = self.wait(60 * 60 * 1000);
        },
        &ctx));
    while (!ctx.waiting) std::this_thread::yield();
    listener.stop(); // would hang for an hour if the wait were not woken
    EXPECT_FALSE(ctx.result.load());
}

TEST(Listener, LoopThatEndsByItselfIsNotRunningAndCanRestart) {
    thread::Listener listener;
    ASSERT_TRUE(listener.start(returningLoop, nullptr));
    while (listener.running()) std::this_thread::yield();
    listener.pause(); // nothing to pause: must not wait
    listener.resume();
    EXPECT_TRUE(listener.start(returningLoop, nullptr));
}

} // namespace
