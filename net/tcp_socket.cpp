#include "net/tcp_socket.h"

#include <climits>

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

bool connectWithin(Socket socket, const sockaddr* address, std::size_t length, int timeoutMs) {
  if (::connect(socket, address, static_cast<int>(length)) == 0) return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
  // select, not WSAPoll: some Windows versions never report a refused connect to WSAPoll.
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (::select(0, nullptr, &writable, &failed, &limit) != 1 || FD_ISSET(socket, &failed)) return false;
  int error = 0;
  int size = sizeof error;
  return ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
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

bool connectWithin(Socket socket, const sockaddr* address, std::size_t length, int timeoutMs) {
  if (::connect(socket, address, static_cast<socklen_t>(length)) == 0) return true;
  if (errno != EINPROGRESS) return false;
  pollfd waiter{socket, POLLOUT, 0};
  int error = 0;
  socklen_t size = sizeof error;
  return ::poll(&waiter, 1, timeoutMs) == 1 && ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
         error == 0;
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
