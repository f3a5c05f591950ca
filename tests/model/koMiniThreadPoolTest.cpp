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

TEST(koMiniThreadPool, RunsEveryJobExactlyOnceAcrossThreads) {
  RecordingFunctor functor;
  koCountingNotifier notifier;
  RecordingPool pool(functor, 4, &notifier);
  RecordingBatch batch(5000);
  pool.run(&batch, 5000);
  expectEveryJobRanOnce(batch, 4);
  EXPECT_EQ(notifier.noOpenRangeCalls.load(), 1);
  EXPECT_EQ(notifier.lastRange, 5000.0);
  EXPECT_EQ(notifier.noAdvanceCalls.load(), 5000);
  EXPECT_EQ(notifier.advancedSteps.load(), 5000.0);
}

TEST(koMiniThreadPool, OneThreadRunsJobsInAscendingOrder) {
  RecordingFunctor functor;
  koCountingNotifier notifier;
  RecordingPool pool(functor, 1, &notifier);
  RecordingBatch batch(1000);
  pool.run(&batch, 1000);
  ASSERT_EQ(batch.order.size(), 1000u);
  for (unsigned int i = 0; i < 1000; ++i) {
    EXPECT_EQ(batch.order[i], i);
    EXPECT_EQ(batch.threadOfJob[i], 0u);
  }
  EXPECT_EQ(notifier.noAdvanceCalls.load(), 1000);
}

TEST(koMiniThreadPool, MoreThreadsThanJobsAndEmptyBatches) {
  RecordingFunctor functor;
  koCountingNotifier notifier;
  RecordingPool pool(functor, 8, &notifier);

  RecordingBatch empty(0);
  pool.run(&empty, 0);
  EXPECT_TRUE(empty.order.empty());
  EXPECT_EQ(notifier.noOpenRangeCalls.load(), 1);
  EXPECT_EQ(notifier.lastRange, 0.0);
  EXPECT_EQ(notifier.noAdvanceCalls.load(), 0);

  RecordingBatch few(5);
  pool.run(&few, 5);
  expectEveryJobRanOnce(few, 8);
  EXPECT_EQ(notifier.noAdvanceCalls.load(), 5);
}

TEST(koMiniThreadPool, ConsecutiveBatchesStartAgainFromJobZero) {
  RecordingFunctor functor;
  RecordingPool pool(functor, 3, nullptr);  // a null notifier is never called
  for (unsigned int noJobs : {100u, 7u, 300u}) {
    RecordingBatch batch(noJobs);
    pool.run(&batch, noJobs);
    EXPECT_EQ(pool.jobData, &batch);
    EXPECT_EQ(pool.noJobs, noJobs);
    expectEveryJobRanOnce(batch, 3);
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
