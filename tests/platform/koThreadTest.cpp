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

class RecordingThread : public ko::koThread {
public:
  std::thread::id bodyThread;
  int runs = 0;

protected:
  void threadBody() override {
    bodyThread = std::this_thread::get_id();
    ++runs;
  }
};

// Blocks in its body until released.
class GatedThread : public ko::koThread {
public:
  void release() {
    {
      std::lock_guard<std::mutex> guard(mMutex);
      mOpen = true;
    }
    mSignal.notify_all();
  }
  std::atomic<bool> finished{false};

protected:
  void threadBody() override {
    std::unique_lock<std::mutex> lock(mMutex);
    mSignal.wait(lock, [this] { return mOpen; });
    finished = true;
  }

private:
  std::mutex mMutex;
  std::condition_variable mSignal;
  bool mOpen = false;
};

class CountingThread : public ko::koThread {
public:
  CountingThread(ko::koMutex& mutex, long& counter, int increments)
      : mMutex(mutex), mCounter(counter), mIncrements(increments) {}

protected:
  void threadBody() override {
    for (int i = 0; i < mIncrements; ++i) {
      mMutex.lock();
      // A read-modify-write split in two, so that a missing lock loses increments.
      const long value = mCounter;
      mCounter = value + 1;
      mMutex.unlock();
    }
  }

private:
  ko::koMutex& mMutex;
  long& mCounter;
  int mIncrements;
};

} // namespace

TEST(koThreadTest, BodyRunsOnAnotherThreadAndCanRestart) {
  RecordingThread thread;
  EXPECT_TRUE(thread.waitThread(0)); // never started
  for (int round = 1; round <= 3; ++round) {
    thread.startThread(round == 1 ? "a-very-long-worker-thread-name" : nullptr);
    ASSERT_TRUE(thread.waitThread(ko::koThread::WaitForever));
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(thread.runs, round);
    EXPECT_NE(thread.bodyThread, std::this_thread::get_id());
  }
}

TEST(koThreadTest, TimedWaitReportsABlockedBody) {
  GatedThread thread;
  thread.startThread("gated");
  EXPECT_FALSE(thread.waitThread(30));
  EXPECT_TRUE(thread.isRunning());
  EXPECT_FALSE(thread.finished);
  thread.release();
  EXPECT_TRUE(thread.waitThread(10000));
  EXPECT_TRUE(thread.finished);
  EXPECT_FALSE(thread.isRunning());
}

TEST(koThreadTest, MutexKeepsAContendedCounterExact) {
  ko::koMutex mutex;
  long counter = 0;
  constexpr int kThreads = 4;
  constexpr int kIncrements = 50000;
  std::vector<std::unique_ptr<CountingThread>> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.push_back(std::make_unique<CountingThread>(mutex, counter, kIncrements));
  for (auto& thread : threads)
    thread->startThread();
  for (auto& thread : threads)
    ASSERT_TRUE(thread->waitThread(ko::koThread::WaitForever));
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kIncrements);
}

TEST(koThreadTest, TimeBaseIsMonotonicMilliseconds) {
  double previous = ko::koSystemUtils::GetTimeBaseMs();
  const double start = previous;
  for (int i = 0; i < 10000; ++i) {
    const double now = ko::koSystemUtils::GetTimeBaseMs();
    ASSERT_GE(now, previous);
    previous = now;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double elapsed = ko::koSystemUtils::GetTimeBaseMs() - start;
  // Milliseconds, not seconds or microseconds: at least the sleep, far below a minute.
  EXPECT_GE(elapsed, 19.0);
  EXPECT_LT(elapsed, 60000.0);
}
