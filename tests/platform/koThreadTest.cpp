#include <ko/koMutex.h>
#include <ko/koSystemUtils.h>
#include <ko/koThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <list>
#include <thread>

namespace {

using namespace std::chrono_literals;

template <typename Body>
struct FunctionThread : ko::koThread {
  explicit FunctionThread(Body function) : body(std::move(function)) {}
  void threadBody() override { body(); }
  Body body;
};

} // namespace

TEST(koThreadTest, TimedWaitsSeeABlockedBodyOnEveryRun) {
  std::atomic<int> allowed{0}, runs{0};
  // Each run blocks until allowed, at most for 5 s, so that a broken wait fails rather than hangs.
  FunctionThread thread([&] {
    for (auto end = std::chrono::steady_clock::now() + 5s;
         runs == allowed && std::chrono::steady_clock::now() < end;)
      std::this_thread::sleep_for(1ms);
    ++runs;
  });
  EXPECT_TRUE(thread.waitThread(0)); // never started
  for (int run = 1; run <= 3; ++run) {
    thread.startThread(run == 1 ? "a-very-long-worker-thread-name" : nullptr);
    const double start = ko::koSystemUtils::GetTimeBaseMs();
    EXPECT_FALSE(thread.waitThread(30));
    // The time base counts milliseconds: the wait took its time, and far less than 10 s.
    const double waited = ko::koSystemUtils::GetTimeBaseMs() - start;
    EXPECT_TRUE(waited >= 29.0 && waited < 10000.0) << waited;
    EXPECT_TRUE(thread.isRunning() && runs == run - 1);
    ++allowed;
    EXPECT_TRUE(thread.waitThread(run == 3 ? ko::koThread::WaitForever : 10000));
    EXPECT_TRUE(!thread.isRunning() && runs == run);
  }
}

TEST(koThreadTest, MutexKeepsAContendedCounterExact) {
  const int kThreads = 4, kIncrements = 20000;
  ko::koMutex mutex;
  std::atomic<int> counter{0}, started{0};
  auto count = [&] {
    for (++started; started < kThreads;) // all threads count at once
      std::this_thread::yield();
    for (int k = 0; k < kIncrements; ++k) {
      mutex.lock();
      // A read-modify-write split by an occasional yield loses increments without the lock, even
      // on one core; relaxed atomics keep the compiler from folding the loop into one addition.
      const int value = counter.load(std::memory_order_relaxed);
      if (k % 64 == 0)
        std::this_thread::yield();
      counter.store(value + 1, std::memory_order_relaxed);
      mutex.unlock();
    }
  };
  std::list<FunctionThread<decltype(count)>> threads; // not movable, so in a list
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back(count).startThread();
  for (auto& thread : threads)
    ASSERT_TRUE(thread.waitThread(ko::koThread::WaitForever));
  EXPECT_EQ(counter, kThreads * kIncrements);
}
