#include "common/WorkerThreads.h"

#include <memory>

namespace {

struct WorkerStart {
  std::function<void()> work;
  CWorkerThreads* owner;
};

// How long a wait lasts before it looks at the queue again, in case a message arrived between
// the look and the wait.
constexpr DWORD kRecheckMs = 100;

struct ThreadStart {
  std::function<void()> work;
};

}  // namespace

HANDLE StartSystemThread(LPTHREAD_START_ROUTINE start, void* param) {
  return CreateThread(nullptr, 0, start, param, 0, nullptr);
}

void WaitDeliveringSentMessages(HANDLE object) {
  WaitDeliveringSentMessages(object, INFINITE);
}

bool WaitDeliveringSentMessages(HANDLE object, DWORD timeoutMs) {
  if (object == nullptr) return true;
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    // Any look at the queue delivers the messages sent to this thread; PM_QS_SENDMESSAGE leaves
    // posted ones where they are.
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DWORD slice = kRecheckMs;
    if (timeoutMs != INFINITE) {
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= timeoutMs) return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
      if (timeoutMs - elapsed < slice) slice = timeoutMs - elapsed;
    }
    const DWORD result = MsgWaitForMultipleObjects(1, &object, FALSE, slice, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED || result == WAIT_ABANDONED_0) return true;
  }
}

CWorkerThread::CWorkerThread() {}

CWorkerThread::~CWorkerThread() {
  Stop();
}

bool CWorkerThread::Start(std::function<void()> work, ThreadCreator create) {
  if (m_thread.Valid()) return false;
  if (!m_stop.Valid()) m_stop.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!m_stop.Valid()) return false;
  ResetEvent(m_stop.Get());
  std::unique_ptr<ThreadStart> start(new ThreadStart{std::move(work)});
  m_thread.Reset(create(ThreadMain, start.get()));
  if (!m_thread.Valid()) return false;
  start.release();
  return true;
}

DWORD WINAPI CWorkerThread::ThreadMain(LPVOID param) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(param));
  start->work();
  return 0;
}

void CWorkerThread::RequestStop() {
  if (m_stop.Valid()) SetEvent(m_stop.Get());
}

void CWorkerThread::Join() {
  if (!m_thread.Valid()) return;
  WaitDeliveringSentMessages(m_thread.Get());
  m_thread.Reset();
}

bool CWorkerThread::WaitForEnd(DWORD timeoutMs) {
  return !m_thread.Valid() || WaitDeliveringSentMessages(m_thread.Get(), timeoutMs);
}

void CWorkerThread::Stop() {
  RequestStop();
  Join();
}

bool CWorkerThread::StopRequested() const {
  return m_stop.Valid() && WaitForSingleObject(m_stop.Get(), 0) == WAIT_OBJECT_0;
}

bool CWorkerThread::SleepUnlessStopping(DWORD milliseconds) const {
  if (!m_stop.Valid()) {
    Sleep(milliseconds);
    return false;
  }
  return WaitForSingleObject(m_stop.Get(), milliseconds) == WAIT_OBJECT_0;
}

CWorkerThreads::CWorkerThreads() {
  InitializeCriticalSection(&m_lock);
  m_idle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

CWorkerThreads::~CWorkerThreads() {
  WaitUntilIdle();
  // The last worker signals idleness inside the lock; once it has left the lock, nothing of it
  // touches this object any more.
  EnterCriticalSection(&m_lock);
  LeaveCriticalSection(&m_lock);
  if (m_idle != nullptr) CloseHandle(m_idle);
  DeleteCriticalSection(&m_lock);
}

bool CWorkerThreads::Start(std::function<void()> work) {
  std::unique_ptr<WorkerStart> start(new WorkerStart{std::move(work), this});
  EnterCriticalSection(&m_lock);
  ++m_running;
  if (m_idle != nullptr) ResetEvent(m_idle);
  LeaveCriticalSection(&m_lock);
  HANDLE thread = CreateThread(nullptr, 0, ThreadMain, start.get(), 0, nullptr);
  if (thread == nullptr) {
    Finished();
    return false;
  }
  start.release();
  CloseHandle(thread);
  return true;
}

DWORD WINAPI CWorkerThreads::ThreadMain(LPVOID param) {
  std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
  CWorkerThreads* owner = start->owner;
  start->work();
  start.reset();
  // The last thing a worker touches: once the count is 0 the owner may be gone.
  owner->Finished();
  return 0;
}

void CWorkerThreads::Finished() {
  EnterCriticalSection(&m_lock);
  if (--m_running == 0 && m_idle != nullptr) SetEvent(m_idle);
  LeaveCriticalSection(&m_lock);
}

void CWorkerThreads::WaitUntilIdle() {
  WaitDeliveringSentMessages(m_idle);
}

bool CWorkerThreads::WaitUntilIdle(DWORD timeoutMs) {
  return WaitDeliveringSentMessages(m_idle, timeoutMs);
}

int CWorkerThreads::Running() {
  EnterCriticalSection(&m_lock);
  const int running = m_running;
  LeaveCriticalSection(&m_lock);
  return running;
}
