#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ko {

// A restartable worker thread: derived classes put their work in threadBody(). startThread() runs
// it on the object's own operating-system thread, made on the first start and parked between
// runs; waitThread() waits for the body to return. A thread may be started again once it has been
// waited for.
class koThread {
public:
  static constexpr unsigned WaitForever = 2147483647u;

  koThread() = default;
  koThread(const koThread&) = delete;
  koThread& operator=(const koThread&) = delete;
  // Waits for a body still running, so that a forgotten wait cannot terminate the process, then
  // ends the parked thread. A derived class whose body may still run must wait in its own
  // destructor.
  virtual ~koThread();

  // Runs threadBody() once on the object's thread. The name, when given, labels the thread for
  // debuggers (the system keeps its first 15 characters). Must not be called while it runs.
  void startThread(const char* name = nullptr);

  // Waits up to the given time for the thread body to return; WaitForever waits without limit.
  // Returns true when the body has returned (or was never started), false on time-out, in which
  // case the body keeps running and may be waited for again.
  bool waitThread(unsigned milliseconds);

  // Started and not yet successfully waited for.
  bool isRunning() const;

protected:
  virtual void threadBody() = 0;

private:
  // Runs a body per start until the destructor asks it to end.
  void parkedLoop();

  std::thread mThread;
  mutable std::mutex mMutex;
  std::condition_variable mSignal;  // a start, a finished body or the end
  bool mStarted = false;            // a start the parked thread has not taken yet
  bool mFinished = true;
  bool mAwaited = false;
  bool mExit = false;
};

} // namespace ko
