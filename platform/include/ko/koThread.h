#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ko {

// A restartable worker thread: derived classes put their work in threadBody(). startThread() runs
// it on a new operating-system thread; waitThread() joins it. A thread may be started again once
// it has been waited for.
class koThread {
public:
  static constexpr unsigned WaitForever = 2147483647u;

  koThread() = default;
  koThread(const koThread&) = delete;
  koThread& operator=(const koThread&) = delete;
  // Joins a thread still running, so that a forgotten wait cannot terminate the process.
  virtual ~koThread();

  // Starts threadBody() on a new thread. The name, when given, labels the thread for debuggers
  // (the system keeps its first 15 characters). Must not be called while the thread runs.
  void startThread(const char* name = nullptr);

  // Waits up to the given time for the thread body to return; WaitForever waits without limit.
  // Returns true when the thread has ended and been joined (or was never started), false on
  // time-out, in which case the thread keeps running and may be waited for again.
  bool waitThread(unsigned milliseconds);

  bool isRunning() const { return mThread.joinable(); }

protected:
  virtual void threadBody() = 0;

private:
  std::thread mThread;
  std::mutex mFinishedMutex;
  std::condition_variable mFinishedSignal;
  bool mFinished = true;
};

} // namespace ko
