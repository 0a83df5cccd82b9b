// CMessageClient: presence notices, keep-alive and the receiver of the provider's message server.
//
// All datagrams go over one UDP socket, bound to any local address and a port the system picks, to
// the message server on UDP port 3360. The socket exists from StartReceiver to StopReceiver; before
// and after, every send does nothing and reports SOCKET_ERROR. Sends may come from any thread (the
// object must outlive the threads of its callers that send); the other operations are called on
// the user-interface thread. The receiver and the keep-alive each run on a thread of their own, and
// every stop waits until its thread has ended, so neither ever outlives the object or uses a closed
// socket.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

#include "client/messaging/Exception.h"
#include "client/messaging/ProviderMessage.h"
#include "common/WorkerThreads.h"

class CMessageStore;

class CMessageClient {
 public:
  // A client of the message server chosen when the program was built, port 3360.
  explicit CMessageClient(CMessageStore* store);
  // A client of the server at serverAddress (dotted IPv4) and serverPort; the socket binds to
  // localPort (0: the system picks one).
  CMessageClient(CMessageStore* store, const char* serverAddress, unsigned short serverPort,
                 unsigned short localPort = 0);
  // Shuts down.
  ~CMessageClient();
  CMessageClient(const CMessageClient&) = delete;
  CMessageClient& operator=(const CMessageClient&) = delete;

  // Starts the sockets library, creates and binds the socket and starts the receiver thread,
  // remembering mainWindow. Does nothing when the receiver already runs. Throws Exception with
  // "Windows sockets 启动时出错", "套节字帮定失败!" or "短信消息线程启动失败!"; after a throw
  // nothing is left open and the client can be started again.
  //
  // With a window and a non-zero arrivedMessage, the provider's messages are taken: a datagram
  // from the server's address that is a message (ReadProviderMessage) is stamped with the local
  // moment it came and kept, and arrivedMessage (no parameters) is posted to the window once for
  // the messages waiting; the window's thread collects them with TakeMessages. At most
  // kMaxPendingMessages wait; more are dropped. Everything else is dropped without a trace.
  void StartReceiver(HWND mainWindow = nullptr, UINT arrivedMessage = 0);
  // Stops the receiver thread (within about a second), then closes the socket and releases the
  // sockets library. Does nothing when the receiver does not run.
  void StopReceiver();
  bool IsReceiving() const { return m_receiver.IsRunning(); }

  // Sends a presence notice of kind 1 with userName (GB2312, null as empty). Returns the bytes
  // sent or SOCKET_ERROR.
  int SendOnlineNotice(const char* userName);
  // Sends a presence notice of kind 2.
  void SendOfflineNotice(const char* userName);

  // Starts the keep-alive thread: one keep-alive datagram at once and one every 40 seconds.
  // Does nothing when it already runs; a thread that cannot be started is ignored.
  void StartKeepAlive();
  // Stops the keep-alive thread and waits until it has ended; returns promptly.
  void StopKeepAlive();
  bool IsKeepAliveRunning() const { return m_keepAlive.IsRunning(); }

  // The messages kept since the last call, in the order they came; the caller owns them now.
  std::vector<ProviderMessage> TakeMessages();
  static constexpr size_t kMaxPendingMessages = 64;

  // Stops the keep-alive, then the receiver. Safe to call more than once.
  void Shutdown();

  // The local port of the socket; 0 when the receiver does not run.
  unsigned short GetLocalPort() const;
  HWND GetMainWindow() const { return m_mainWindow; }
  CMessageStore* GetStore() const { return m_store; }

 private:
  void RunReceiver();
  // Keeps a message that came from the server and tells the window of it when it does not know yet
  // of messages waiting.
  void Keep(ProviderMessage message);
  void RunKeepAlive();
  // Sends one datagram to the server; SOCKET_ERROR when there is no socket or the send fails.
  int SendToServer(const unsigned char* data, int size);
  // Closes the socket under the send lock and releases the sockets library.
  void CloseSocket();

  CMessageStore* m_store;
  char m_serverAddress[64];
  unsigned short m_serverPort;
  unsigned short m_localPort;
  HWND m_mainWindow = nullptr;
  UINT m_arrivedMessage = 0;

  // The messages received and not yet taken; the receiver adds, the window's thread takes.
  std::mutex m_pendingLock;
  std::vector<ProviderMessage> m_pending;
  // Whether the window has been told of the messages waiting.
  bool m_notified = false;

  // The socket (a SOCKET), INVALID_SOCKET when none. Sends and the close hold m_sendLock.
  UINT_PTR m_socket;
  CRITICAL_SECTION m_sendLock;

  CWorkerThread m_receiver;
  CWorkerThread m_keepAlive;
};
