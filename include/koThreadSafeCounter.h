#pragma once

#include "koTolvaneLibExport.h"

#include <ko/koMutex.h>

// The job counter shared by the threads of a worker pool: a value behind a mutex.
class KOTOLVANE_API koThreadSafeCounter {
public:
  ko::koMutex mutex;   // guards value
  unsigned int value;  // the next job number to hand out

  explicit koThreadSafeCounter(unsigned int initialValue);
  virtual ~koThreadSafeCounter();

  // Hands out the current value and moves to the next, as one critical section.
  unsigned int takeNext() {
    mutex.lock();
    const unsigned int taken = value;
    value = taken + 1;
    mutex.unlock();
    return taken;
  }
};
