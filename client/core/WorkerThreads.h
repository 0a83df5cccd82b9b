// Short worker threads whose handles are closed as soon as they start, and waits that keep the
// user-interface thread answering the threads that send it messages.
#pragma once

#include <windows.h>

#include <functional>

// Waits until object is signalled (or the wait fails), delivering meanwhile the messages that other
// threads send to the calling thread; posted messages stay queued. A user-interface thread that
// waits for a thread that sends it messages must wait this way, or neither ever goes on.
void WaitDeliveringSentMessages(HANDLE object);

class CWorkerThreads {
 public:
  CWorkerThreads();
  // Waits for the workers still running (delivering sent messages).
  ~CWorkerThreads();
  CWorkerThreads(const CWorkerThreads&) = delete;
  CWorkerThreads& operator=(const CWorkerThreads&) = delete;

  // Runs work on a new thread whose handle is closed at once. False (work not run) when the
  // thread cannot be started.
  bool Start(std::function<void()> work);
  // Returns once no worker runs, delivering sent messages while it waits.
  void WaitUntilIdle();
  // The number of workers running now.
  int Running();

 private:
  static DWORD WINAPI ThreadMain(LPVOID param);
  void Finished();

  CRITICAL_SECTION m_lock;
  int m_running = 0;
  // Manual-reset, signalled while no worker runs.
  HANDLE m_idle;
};
