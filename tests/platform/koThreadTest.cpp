#include <ko/koMutex.h>
#include <ko/koSystemUtils.h>
#include <ko/koThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Blocks in its body until released; records where and how often the body ran.
class GatedThread : public ko::koThread {
public:
  void release() {
    {
      std::lock_guard<std::mutex> guard(mMutex);
      mOpen = true;
    }
    mSignal.notify_all();
  }
  std::atomic<int> runs{0};
  std::thread::id bodyThread;

protected:
  void threadBody() override {
    std::unique_lock<std::mutex> lock(mMutex);
    mSignal.wait(lock, [this] { return mOpen; });
    bodyThread = std::this_thread::get_id();
    ++runs;
  }

private:
  std::mutex mMutex;
  std::condition_variable mSignal;
  bool mOpen = false;
};

// Waits until every counting thread has started, then increments the shared counter under the
// mutex.
class CountingThread : public ko::koThread {
public:
  CountingThread(ko::koMutex& mutex, std::atomic<long>& counter, std::atomic<int>& started)
      : mMutex(mutex), mCounter(counter), mStarted(started) {}
  static constexpr int kThreads = 4, kIncrements = 20000;

protected:
  void threadBody() override {
    for (++mStarted; mStarted < kThreads;)
      std::this_thread::yield();
    for (int i = 0; i < kIncrements; ++i) {
      mMutex.lock();
      // A read-modify-write split in two, with now and then a yield in between, so that without
      // the lock other threads' increments are lost even on one core; relaxed atomics keep the
      // compiler from folding the loop into one addition.
      const long value = mCounter.load(std::memory_order_relaxed);
      if (i % 64 == 0)
        std::this_thread::yield();
      mCounter.store(value + 1, std::memory_order_relaxed);
      mMutex.unlock();
    }
  }

private:
  ko::koMutex& mMutex;
  std::atomic<long>& mCounter;
  std::atomic<int>& mStarted;
};

} // namespace

TEST(koThreadTest, TimedWaitReportsABlockedBodyAndTheThreadRestarts) {
  GatedThread thread;
  EXPECT_TRUE(thread.waitThread(0)); // never started
  thread.startThread("a-very-long-worker-thread-name");
  EXPECT_FALSE(thread.waitThread(30));
  EXPECT_TRUE(thread.isRunning());
  EXPECT_EQ(thread.runs, 0);
  thread.release();
  EXPECT_TRUE(thread.waitThread(10000));
  EXPECT_FALSE(thread.isRunning());
  for (int round = 2; round <= 3; ++round) {
    thread.startThread();
    ASSERT_TRUE(thread.waitThread(ko::koThread::WaitForever));
    EXPECT_EQ(thread.runs, round);
    EXPECT_NE(thread.bodyThread, std::this_thread::get_id());
  }
}

TEST(koThreadTest, MutexKeepsAContendedCounterExact) {
  ko::koMutex mutex;
  std::atomic<long> counter{0};
  std::atomic<int> started{0};
  std::vector<std::unique_ptr<CountingThread>> threads;
  for (int i = 0; i < CountingThread::kThreads; ++i)
    threads.push_back(std::make_unique<CountingThread>(mutex, counter, started));
  for (auto& thread : threads)
    thread->startThread();
  for (auto& thread : threads)
    ASSERT_TRUE(thread->waitThread(ko::koThread::WaitForever));
  EXPECT_EQ(counter, long(CountingThread::kThreads) * CountingThread::kIncrements);
}

TEST(koThreadTest, TimeBaseCountsMilliseconds) {
  const double start = ko::koSystemUtils::GetTimeBaseMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double elapsed = ko::koSystemUtils::GetTimeBaseMs() - start;
  // Milliseconds, not seconds or microseconds: at least the sleep, far below a minute.
  EXPECT_GE(elapsed, 19.0);
  EXPECT_LT(elapsed, 60000.0);
}
