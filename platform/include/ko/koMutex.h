#pragma once

#include <mutex>

namespace ko {

// A plain, non-recursive mutex.
class koMutex {
public:
  void lock() { mMutex.lock(); }
  void unlock() { mMutex.unlock(); }

private:
  std::mutex mMutex;
};

} // namespace ko
