#include <ko/koThread.h>

#include <pthread.h>

#include <chrono>
#include <string>

namespace ko {

koThread::~koThread() {
  {
    std::unique_lock<std::mutex> lock(mMutex);
    mSignal.wait(lock, [this] { return mFinished; });
    mExit = true;
  }
  mSignal.notify_all();
  if (mThread.joinable())
    mThread.join();
}

void koThread::startThread(const char* name) {
  {
    std::lock_guard<std::mutex> guard(mMutex);
    mFinished = false;
    mStarted = true;
    mAwaited = true;
  }
  // The operating-system thread is made on the first start and parked between bodies, so that a
  // pool running many short batches does not pay for creating and joining threads each time.
  if (!mThread.joinable())
    mThread = std::thread([this] { parkedLoop(); });
  else
    mSignal.notify_all();
  if (name != nullptr) {
    // Linux limits thread names to 15 characters plus the terminator.
    const std::string shortName = std::string(name).substr(0, 15);
    pthread_setname_np(mThread.native_handle(), shortName.c_str());
  }
}

void koThread::parkedLoop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mMutex);
      mSignal.wait(lock, [this] { return mStarted || mExit; });
      if (!mStarted)
        return;
      mStarted = false;
    }
    threadBody();
    {
      std::lock_guard<std::mutex> guard(mMutex);
      mFinished = true;
    }
    mSignal.notify_all();
  }
}

bool koThread::waitThread(unsigned milliseconds) {
  std::unique_lock<std::mutex> lock(mMutex);
  const auto finished = [this] { return mFinished; };
  if (milliseconds == WaitForever)
    mSignal.wait(lock, finished);
  else if (!mSignal.wait_for(lock, std::chrono::milliseconds(milliseconds), finished))
    return false;
  mAwaited = false;
  return true;
}

bool koThread::isRunning() const {
  std::lock_guard<std::mutex> guard(mMutex);
  return mAwaited;
}

} // namespace ko
