// winsock2.h must come before windows.h, which would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include "client/messaging/MessageClient.h"

#include <cstdio>

#include "client/messaging/MessageWire.h"
#include "common/TextCopy.h"

#ifndef QUILLON_MESSAGE_SERVER
#define QUILLON_MESSAGE_SERVER "127.0.0.1"
#endif

namespace {

const char kStartupFailed[] = "Windows sockets 启动时出错";
const char kBindFailed[] = "套节字帮定失败!";
const char kThreadFailed[] = "短信消息线程启动失败!";

// The receiver waits this long for a datagram before it looks at its stop event again.
const long kReceiveWaitSeconds = 1;
const DWORD kKeepAliveIntervalMs = 40000;

}  // namespace

CMessageClient::CMessageClient(CMessageStore* store)
    : CMessageClient(store, QUILLON_MESSAGE_SERVER, kMessageServerPort) {}

CMessageClient::CMessageClient(CMessageStore* store, const char* serverAddress, unsigned short serverPort,
                               unsigned short localPort)
    : m_store(store), m_serverPort(serverPort), m_localPort(localPort), m_socket(INVALID_SOCKET) {
  CopyText(m_serverAddress, sizeof(m_serverAddress), serverAddress);
  InitializeCriticalSection(&m_sendLock);
}

CMessageClient::~CMessageClient() {
  Shutdown();
  DeleteCriticalSection(&m_sendLock);
}

void CMessageClient::StartReceiver(HWND mainWindow, UINT arrivedMessage) {
  if (m_receiver.IsRunning()) return;
  m_mainWindow = mainWindow;
  m_arrivedMessage = arrivedMessage;

  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw Exception(kStartupFailed);

  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(m_localPort);
  if (s == INVALID_SOCKET ||
      bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR) {
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    throw Exception(kBindFailed);
  }
  EnterCriticalSection(&m_sendLock);
  m_socket = s;
  LeaveCriticalSection(&m_sendLock);

  // Without its thread the client keeps nothing open: the caller goes on without notices, and a
  // socket left behind would never be closed, since only a running receiver is stopped.
  if (!m_receiver.Start([this] { RunReceiver(); })) {
    CloseSocket();
    throw Exception(kThreadFailed);
  }
}

void CMessageClient::StopReceiver() {
  if (!m_receiver.IsRunning()) return;
  // The thread looks at the stop request at least once a second, after each wait of select.
  m_receiver.Stop();
  CloseSocket();
}

void CMessageClient::CloseSocket() {
  EnterCriticalSection(&m_sendLock);
  SOCKET s = m_socket;
  m_socket = INVALID_SOCKET;
  LeaveCriticalSection(&m_sendLock);
  if (s == INVALID_SOCKET) return;
  closesocket(s);
  WSACleanup();
}

void CMessageClient::RunReceiver() {
  SOCKET s = m_socket;
  const unsigned long server = inet_addr(m_serverAddress);
  // One byte more than a record: a longer datagram then shows as too long on every system, instead
  // of arriving cut to a record's size where the receive reports a cut datagram as a full one.
  unsigned char buffer[kMessageRecordSize + 1];
  while (!m_receiver.StopRequested()) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait = {kReceiveWaitSeconds, 0};
    int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready == SOCKET_ERROR) {
      // A socket that cannot be waited on would otherwise turn this loop into a busy one.
      m_receiver.SleepUnlessStopping(kReceiveWaitSeconds * 1000);
      continue;
    }
    if (ready == 0 || !FD_ISSET(s, &readable)) continue;

    sockaddr_in from;
    int fromLength = sizeof(from);
    int result = recvfrom(s, reinterpret_cast<char*>(buffer), sizeof(buffer), 0,
                          reinterpret_cast<sockaddr*>(&from), &fromLength);
    switch (ClassifyDatagram(buffer, result)) {
      case DatagramClass::kReceiveError:
        fputs("recv error\n", stdout);
        fflush(stdout);
        break;
      case DatagramClass::kP2pTrash:
        fputs("Recv p2ptrash data\n", stdout);
        fflush(stdout);
        break;
      case DatagramClass::kOther: {
        // Only the provider's server speaks for the provider: a message from any other sender
        // could send the subscriber to any page.
        ProviderMessage message;
        if (m_arrivedMessage != 0 && m_mainWindow != nullptr && from.sin_addr.s_addr == server &&
            ReadProviderMessage(buffer, static_cast<size_t>(result), &message) == MessageDefect::kNone) {
          SYSTEMTIME now;
          GetLocalTime(&now);
          FormatMessageMoment(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                              &message.date, &message.time);
          Keep(std::move(message));
        }
        break;
      }
    }
  }
}

void CMessageClient::Keep(ProviderMessage message) {
  std::lock_guard<std::mutex> guard(m_pendingLock);
  if (m_pending.size() >= kMaxPendingMessages) return;
  m_pending.push_back(std::move(message));
  // One notice for all that wait, so that a flood of datagrams cannot fill the window's queue; a
  // notice that could not be posted is tried again with the next message.
  if (!m_notified) m_notified = PostMessageA(m_mainWindow, m_arrivedMessage, 0, 0) != FALSE;
}

std::vector<ProviderMessage> CMessageClient::TakeMessages() {
  std::vector<ProviderMessage> taken;
  std::lock_guard<std::mutex> guard(m_pendingLock);
  taken.swap(m_pending);
  m_notified = false;
  return taken;
}

int CMessageClient::SendToServer(const unsigned char* data, int size) {
  int result = SOCKET_ERROR;
  EnterCriticalSection(&m_sendLock);
  if (m_socket != INVALID_SOCKET) {
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = inet_addr(m_serverAddress);
    server.sin_port = htons(m_serverPort);
    if (server.sin_addr.s_addr != INADDR_NONE) {
      result = sendto(m_socket, reinterpret_cast<const char*>(data), size, 0,
                      reinterpret_cast<const sockaddr*>(&server), sizeof(server));
    }
  }
  LeaveCriticalSection(&m_sendLock);
  return result;
}

int CMessageClient::SendOnlineNotice(const char* userName) {
  PresenceNotice notice = BuildPresenceNotice(kKindOnlineNotice, userName);
  return SendToServer(notice.data(), static_cast<int>(notice.size()));
}

void CMessageClient::SendOfflineNotice(const char* userName) {
  PresenceNotice notice = BuildPresenceNotice(kKindOfflineNotice, userName);
  SendToServer(notice.data(), static_cast<int>(notice.size()));
}

void CMessageClient::StartKeepAlive() {
  if (m_keepAlive.IsRunning()) return;
  m_keepAlive.Start([this] { RunKeepAlive(); });
}

void CMessageClient::StopKeepAlive() {
  // The thread sleeps on the stop request, so it ends at once instead of at the end of its
  // interval.
  m_keepAlive.Stop();
}

void CMessageClient::RunKeepAlive() {
  const KeepAliveDatagram datagram = BuildKeepAlive();
  do {
    SendToServer(datagram.data(), static_cast<int>(datagram.size()));
  } while (!m_keepAlive.SleepUnlessStopping(kKeepAliveIntervalMs));
}

void CMessageClient::Shutdown() {
  StopKeepAlive();
  StopReceiver();
}

unsigned short CMessageClient::GetLocalPort() const {
  if (m_socket == INVALID_SOCKET) return 0;
  sockaddr_in local = {};
  int length = sizeof(local);
  if (getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length) == SOCKET_ERROR) return 0;
  return ntohs(local.sin_port);
}
