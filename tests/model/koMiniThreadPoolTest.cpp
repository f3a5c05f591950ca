#include "koMiniThreadPool.h"
#include "support/koCountingNotifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

// Records every job run of one batch, in the order the runs were recorded.
struct tBatch {
  std::mutex mutex;
  std::vector<unsigned int> jobs;
};

struct tRecorder {
  void operator()(unsigned int job, unsigned int, void* jobData) {
    auto& batch = *static_cast<tBatch*>(jobData);
    std::lock_guard<std::mutex> guard(batch.mutex);
    batch.jobs.push_back(job);
  }
};

// Pools of one thread, of more threads than jobs and of several threads, with batches in a row
// (each must start again from job 0), an empty batch and a null notifier.
TEST(koMiniThreadPool, RunsEveryJobExactlyOnceInEveryBatch) {
  tRecorder recorder;
  const unsigned int noThreads[] = {4, 1, 8, 3};
  const std::vector<unsigned int> batches[] = {{5000}, {1000, 3}, {0, 5}, {100, 7, 300}};
  for (unsigned int c = 0; c < 4; ++c) {
    koCountingNotifier notifier;
    const bool notify = c < 3;
    koMiniThreadPool<tRecorder> pool(recorder, noThreads[c], notify ? &notifier : nullptr);
    int noJobs = 0;
    for (unsigned int size : batches[c]) {
      tBatch batch;
      pool.run(&batch, size);
      std::vector<unsigned int> all(size);
      std::iota(all.begin(), all.end(), 0u);
      if (noThreads[c] > 1)  // one thread takes the jobs in ascending order
        std::sort(batch.jobs.begin(), batch.jobs.end());
      EXPECT_EQ(batch.jobs, all) << noThreads[c] << " threads";
      noJobs += static_cast<int>(size);
    }
    if (notify) {
      EXPECT_EQ(notifier.noOpenRangeCalls.load(), static_cast<int>(batches[c].size()));
      EXPECT_EQ(notifier.lastRange, batches[c].back());
      EXPECT_EQ(notifier.advancedSteps.load(), noJobs);
    }
  }
}

// Two jobs that wait for each other can only finish if both threads really run at once, each
// under its own index.
TEST(koMiniThreadPool, WorkersRunConcurrentlyWithTheirOwnIndex) {
  struct tRendezvous {
    void operator()(unsigned int, unsigned int thread, void* jobData) {
      auto& arrived = *static_cast<std::atomic<unsigned int>*>(jobData);
      arrived |= 1u << thread;
      while (arrived.load() != 0x3u)
        std::this_thread::yield();
    }
  } functor;
  koMiniThreadPool<tRendezvous> pool(functor, 2, nullptr);
  std::atomic<unsigned int> arrived{0};
  pool.run(&arrived, 2);
  EXPECT_EQ(arrived.load(), 0x3u);
}

} // namespace
