#pragma once

#include "koThreadSafeCounter.h"

#include <ko/koProgressNotifierInterface.h>
#include <ko/koThread.h>

// One worker of a koMiniThreadPool: takes job numbers from the pool's counter until they run out
// and hands each to the pool's functor together with its own thread index.
template <typename Functor>
class koMiniThreadPoolThread : public ko::koThread {
public:
  koThreadSafeCounter* jobCounter = nullptr;
  Functor* functor = nullptr;
  void* jobData = nullptr;                              // copied from the pool before each batch
  ko::koProgressNotifierInterface* notifier = nullptr;  // may be null
  unsigned int noJobs = 0;                              // copied from the pool before each batch
  unsigned int threadIndex = 0;                         // its place in the pool, 0..T-1

  ~koMiniThreadPoolThread() override = default;

protected:
  void threadBody() override {
    for (;;) {
      const unsigned int job = jobCounter->takeNext();
      if (job >= noJobs)
        return;
      (*functor)(job, threadIndex, jobData);
      if (notifier != nullptr)
        notifier->advance(1.0);
    }
  }
};
