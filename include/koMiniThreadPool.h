#pragma once

#include "koMiniThreadPoolThread.h"
#include "koThreadSafeCounter.h"

#include <ko/koProgressNotifierInterface.h>

// Runs batches of numbered jobs 0..J-1 on a fixed set of worker threads. A job is only its
// number: the functor, called as functor(job, threadIndex, jobData), finds its input and output
// slot through jobData and may use per-thread scratch objects chosen by threadIndex. Jobs are
// handed out one at a time in ascending order, so uneven jobs balance themselves; which thread
// runs which job is left to timing. The calling thread only starts and joins the workers.
template <typename Functor>
class koMiniThreadPool {
public:
  koThreadSafeCounter jobCounter;
  koMiniThreadPoolThread<Functor>* threads;       // noThreads workers, owned
  ko::koProgressNotifierInterface* notifier;      // not owned, may be null
  Functor functor;
  void* jobData = nullptr;                        // the current batch's, null before the first
  unsigned int noJobs = 0;
  unsigned int noThreads;

  // threadCount must be at least 1: a pool without threads runs no job. The notifier, when not
  // null, has its range opened per batch and is advanced by 1.0 per job from the workers, so it
  // must accept concurrent calls.
  koMiniThreadPool(Functor& functor, unsigned int threadCount,
                   ko::koProgressNotifierInterface* notifier)
      : jobCounter(0), threads(new koMiniThreadPoolThread<Functor>[threadCount]),
        notifier(notifier), functor(functor), noThreads(threadCount) {
    for (unsigned int t = 0; t < threadCount; ++t) {
      threads[t].threadIndex = t;
      threads[t].jobCounter = &jobCounter;
      threads[t].functor = &this->functor;
      threads[t].notifier = notifier;
    }
  }
  koMiniThreadPool(const koMiniThreadPool&) = delete;
  koMiniThreadPool& operator=(const koMiniThreadPool&) = delete;
  virtual ~koMiniThreadPool() { delete[] threads; }

  // Runs jobs 0..numberOfJobs-1, each exactly once, and returns when all are done.
  void run(void* batchData, unsigned int numberOfJobs) {
    if (notifier != nullptr)
      notifier->openRange(static_cast<double>(static_cast<float>(numberOfJobs)));
    jobData = batchData;
    noJobs = numberOfJobs;
    jobCounter.value = 0;  // no worker runs between batches
    for (unsigned int t = 0; t < noThreads; ++t) {
      threads[t].jobData = batchData;
      threads[t].noJobs = numberOfJobs;
      threads[t].startThread();
    }
    for (unsigned int t = 0; t < noThreads; ++t)
      threads[t].waitThread(ko::koThread::WaitForever);
  }
};
