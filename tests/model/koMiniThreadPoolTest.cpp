#include "koMiniThreadPool.h"
#include "support/koCountingNotifier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What the jobs of one batch write: a run count per job and, per job, the thread that ran it.
struct RecordingBatch {
  explicit RecordingBatch(unsigned int noJobs) : runs(noJobs), threadOfJob(noJobs, ~0u) {}
  std::vector<std::atomic<int>> runs;
  std::vector<unsigned int> threadOfJob;  // each job writes only its own slot
  std::mutex orderMutex;
  std::vector<unsigned int> order;
};

struct RecordingFunctor {
  void operator()(unsigned int job, unsigned int thread, void* jobData) {
    auto& batch = *static_cast<RecordingBatch*>(jobData);
    ++batch.runs[job];
    batch.threadOfJob[job] = thread;
    std::lock_guard<std::mutex> guard(batch.orderMutex);
    batch.order.push_back(job);
  }
};

using RecordingPool = koMiniThreadPool<RecordingFunctor>;

void expectEveryJobRanOnce(const RecordingBatch& batch, unsigned int noThreads) {
  for (size_t job = 0; job < batch.runs.size(); ++job) {
    EXPECT_EQ(batch.runs[job].load(), 1) << "job " << job;
    EXPECT_LT(batch.threadOfJob[job], noThreads) << "job " << job;
  }
}

// Pools of one thread, of more threads than jobs and of several threads, with batches in a row
// (each must start again from job 0), an empty batch and a null notifier.
TEST(koMiniThreadPool, RunsEveryJobExactlyOnceInEveryBatch) {
  RecordingFunctor functor;
  struct tCase {
    unsigned int noThreads;
    std::vector<unsigned int> batches;
    bool notify;
  };
  const tCase cases[] = {{4, {5000}, true}, {1, {1000, 3}, true}, {8, {0, 5}, true},
                         {3, {100, 7, 300}, false}};
  for (const tCase& c : cases) {
    koCountingNotifier notifier;
    RecordingPool pool(functor, c.noThreads, c.notify ? &notifier : nullptr);
    int noJobs = 0;
    for (unsigned int batchSize : c.batches) {
      RecordingBatch batch(batchSize);
      pool.run(&batch, batchSize);
      expectEveryJobRanOnce(batch, c.noThreads);
      if (c.noThreads == 1) {  // in ascending order
        for (unsigned int i = 0; i < batchSize; ++i)
          EXPECT_EQ(batch.order[i], i);
      }
      noJobs += static_cast<int>(batchSize);
    }
    if (c.notify) {
      EXPECT_EQ(notifier.noOpenRangeCalls.load(), static_cast<int>(c.batches.size()));
      EXPECT_EQ(notifier.lastRange, c.batches.back());
      EXPECT_EQ(notifier.noAdvanceCalls.load(), noJobs);
      EXPECT_EQ(notifier.advancedSteps.load(), noJobs);
    }
  }
}

// Jobs that wait for one another can only finish if every thread really runs concurrently.
struct RendezvousFunctor {
  void operator()(unsigned int, unsigned int thread, void* jobData) {
    auto& arrived = *static_cast<std::atomic<unsigned int>*>(jobData);
    arrived |= 1u << thread;
    while (arrived.load() != 0x3u)
      std::this_thread::yield();
  }
};

TEST(koMiniThreadPool, WorkersRunConcurrentlyWithTheirOwnIndex) {
  RendezvousFunctor functor;
  koMiniThreadPool<RendezvousFunctor> pool(functor, 2, nullptr);
  std::atomic<unsigned int> arrived{0};
  pool.run(&arrived, 2);
  EXPECT_EQ(arrived.load(), 0x3u);
}

} // namespace
