#include "net/tcp_socket.h"

#include "net/socket_system.h"

#include <climits>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <mutex>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kestrava::net {

#ifdef _WIN32

void startUp() {
  static std::once_flag started;
  // Never cleaned up: sockets may be closed by destructors that run at exit.
  std::call_once(started, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

Socket openStreamSocket(int family, int protocol) {
  startUp();
  return WSASocketW(family, SOCK_STREAM, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

Socket acceptClient(Socket listener) { return ::accept(listener, nullptr, nullptr); }

void closeSocket(Socket socket) {
  if (socket != invalidSocket) ::closesocket(socket);
}

bool setNonBlocking(Socket socket) {
  u_long yes = 1;
  return ::ioctlsocket(socket, FIONBIO, &yes) == 0;
}

std::string errorText(int code) {
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
  if (length == 0) return "error " + std::to_string(code);
  return std::string(text, length) + " (" + std::to_string(code) + ")";
}

bool connectWithin(Socket socket, const sockaddr* address, std::size_t length, int timeoutMs, std::string* reason) {
  if (::connect(socket, address, static_cast<int>(length)) == 0) return true;
  int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK) {
    // select, not WSAPoll: some Windows versions never report a refused connect to WSAPoll.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = ::select(0, nullptr, &writable, &failed, &limit);
    if (ready == 0) {
      if (reason) *reason = "no answer within " + std::to_string(timeoutMs / 1000) + " s";
      return false;
    }
    int size = sizeof error;
    if (ready < 0 || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
      error = WSAGetLastError();
    }
    if (error == 0) return true;
  }
  if (reason) *reason = errorText(error);
  return false;
}

long long sendSome(Socket socket, const void* data, std::size_t count) {
  int chunk = count > INT_MAX ? INT_MAX : static_cast<int>(count);
  return ::send(socket, static_cast<const char*>(data), chunk, 0);
}

long long receiveSome(Socket socket, void* buffer, std::size_t count) {
  int chunk = count > INT_MAX ? INT_MAX : static_cast<int>(count);
  return ::recv(socket, static_cast<char*>(buffer), chunk, 0);
}

Failure lastError() {
  switch (WSAGetLastError()) {
    case WSAEINTR: return Failure::interrupted;
    case WSAEWOULDBLOCK: return Failure::wouldBlock;
    default: return Failure::other;
  }
}

#else

void startUp() {}

Socket openStreamSocket(int family, int protocol) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, protocol); }

Socket acceptClient(Socket listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

void closeSocket(Socket socket) {
  if (socket != invalidSocket) ::close(socket);
}

bool setNonBlocking(Socket socket) {
  int flags = ::fcntl(socket, F_GETFL, 0);
  return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string errorText(int code) { return std::generic_category().message(code); }

bool connectWithin(Socket socket, const sockaddr* address, std::size_t length, int timeoutMs, std::string* reason) {
  if (::connect(socket, address, static_cast<socklen_t>(length)) == 0) return true;
  int error = errno;
  if (error == EINPROGRESS) {
    pollfd waiter{socket, POLLOUT, 0};
    int ready = ::poll(&waiter, 1, timeoutMs);
    if (ready == 0) {
      if (reason) *reason = "no answer within " + std::to_string(timeoutMs / 1000) + " s";
      return false;
    }
    socklen_t size = sizeof error;
    if (ready < 0 || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    if (error == 0) return true;
  }
  if (reason) *reason = errorText(error);
  return false;
}

long long sendSome(Socket socket, const void* data, std::size_t count) {
  // MSG_NOSIGNAL: a printer that hung up must give a failed write, not SIGPIPE.
  return ::send(socket, data, count, MSG_NOSIGNAL);
}

long long receiveSome(Socket socket, void* buffer, std::size_t count) { return ::recv(socket, buffer, count, 0); }

Failure lastError() {
  if (errno == EINTR) return Failure::interrupted;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return Failure::wouldBlock;
  return Failure::other;
}

#endif

int waitReady(Socket socket, bool forWrite, int timeoutMs) {
#ifdef _WIN32
  WSAPOLLFD waiter{socket, static_cast<SHORT>(forWrite ? POLLWRNORM : POLLRDNORM), 0};
  int ready = ::WSAPoll(&waiter, 1, timeoutMs);
#else
  pollfd waiter{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
  int ready = ::poll(&waiter, 1, timeoutMs);
#endif
  if (ready < 0) return -1;
  return ready > 0 ? 1 : 0;
}

bool setNoDelay(Socket socket) {
  int yes = 1;
  return ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes) == 0;
}

}  // namespace kestrava::net
