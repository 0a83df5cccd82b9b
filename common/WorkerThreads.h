// The one way the programs start and stop their threads.
//
// CWorkerThread owns one long-lived thread (a watcher, a receiver, a keep-alive, the network wait,
// the updater's download) together with the manual-reset event that asks it to stop. CWorkerThreads
// runs short jobs (a dial, a hang-up, a notice) on threads whose handles are closed at once, and
// counts them so that their owner can wait until none runs.
//
// Waits on the user-interface thread must go on delivering the messages that other threads send
// to it, or a thread that sends to the window and the window that waits for that thread never go
// on: every wait here does.
#pragma once

#include <windows.h>

#include <functional>

#include "common/Handles.h"

// Waits until object is signalled (or the wait fails), delivering meanwhile the messages that other
// threads send to the calling thread; posted messages stay queued. A null object returns at once.
void WaitDeliveringSentMessages(HANDLE object);
// The same, for at most timeoutMs; true when the object was signalled (or is null).
bool WaitDeliveringSentMessages(HANDLE object, DWORD timeoutMs);

// Creates a running thread; null on failure. Tests replace the system's CreateThread with a
// function of this shape to make a start fail.
typedef HANDLE (*ThreadCreator)(LPTHREAD_START_ROUTINE start, void* param);
// CreateThread with default security and stack size.
HANDLE StartSystemThread(LPTHREAD_START_ROUTINE start, void* param);

class CWorkerThread {
 public:
  CWorkerThread();
  // Asks the thread to stop and waits for it (delivering sent messages).
  ~CWorkerThread();
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  // Runs work on a new thread. False (nothing runs) when the stop event or the thread cannot be
  // created, or when a thread of this object still runs. The stop request is cleared first.
  bool Start(std::function<void()> work, ThreadCreator create = StartSystemThread);
  // Sets the stop event; the work sees it through StopRequested, SleepUnlessStopping or StopEvent.
  void RequestStop();
  // Waits until the thread has ended (delivering sent messages meanwhile) and closes its handle.
  // Returns at once when none was started.
  void Join();
  // RequestStop, then Join.
  void Stop();
  // Waits up to timeoutMs (delivering sent messages) for the thread to end, without closing it;
  // true when it has ended or none was started.
  bool WaitForEnd(DWORD timeoutMs);

  bool IsRunning() const { return m_thread.Valid(); }
  bool StopRequested() const;
  // Waits up to milliseconds for the stop request; true when it came.
  bool SleepUnlessStopping(DWORD milliseconds) const;
  // Manual-reset, set by RequestStop; valid from the first Start to the object's end.
  HANDLE StopEvent() const { return m_stop.Get(); }
  // The thread, for waits of the owner; null when none runs.
  HANDLE Handle() const { return m_thread.Get(); }

 private:
  static DWORD WINAPI ThreadMain(LPVOID param);

  ui::CHandle m_stop;
  ui::CHandle m_thread;
};

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
  // The same for at most timeoutMs; true when no worker runs.
  bool WaitUntilIdle(DWORD timeoutMs);
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
