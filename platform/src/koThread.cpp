#include <ko/koThread.h>

#include <pthread.h>

#include <chrono>
#include <string>

namespace ko {

koThread::~koThread() {
  if (mThread.joinable())
    mThread.join();
}

void koThread::startThread(const char* name) {
  mFinished = false;
  mThread = std::thread([this] {
    threadBody();
    {
      std::lock_guard<std::mutex> guard(mFinishedMutex);
      mFinished = true;
    }
    mFinishedSignal.notify_all();
  });
  if (name != nullptr) {
    // Linux limits thread names to 15 characters plus the terminator.
    const std::string shortName = std::string(name).substr(0, 15);
    pthread_setname_np(mThread.native_handle(), shortName.c_str());
  }
}

bool koThread::waitThread(unsigned milliseconds) {
  if (!mThread.joinable())
    return true;
  if (milliseconds != WaitForever) {
    std::unique_lock<std::mutex> lock(mFinishedMutex);
    if (!mFinishedSignal.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return mFinished; }))
      return false;
  }
  mThread.join();
  return true;
}

} // namespace ko
