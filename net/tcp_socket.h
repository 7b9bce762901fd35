// The few socket calls the TCP transport and the virtual printer's TCP server make, on
// POSIX sockets and on Winsock alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The address type is all this header needs of the system's socket headers; the files
// that make socket calls of their own include "net/socket_system.h".
struct sockaddr;

namespace kestrava::net {

// A socket as the system names it: Winsock's SOCKET (an unsigned integer the size of a
// pointer), a file descriptor on POSIX.
#ifdef _WIN32
using Socket = std::uintptr_t;
inline constexpr Socket invalidSocket = ~Socket{0};
#else
using Socket = int;
inline constexpr Socket invalidSocket = -1;
#endif

// Winsock must be started once per process before the first socket; nothing on POSIX.
void startUp();

// A stream socket that child processes do not inherit; invalidSocket on failure.
Socket openStreamSocket(int family, int protocol = 0);
Socket acceptClient(Socket listener);
void closeSocket(Socket socket);
bool setNonBlocking(Socket socket);

// Sends each write at once: the printer's protocol is small request, small reply, and
// Nagle's algorithm would hold every small write back until the peer's delayed
// acknowledgement.
bool setNoDelay(Socket socket);

// Connects the (non-blocking) socket, waiting at most `timeoutMs` for the peer. On
// failure `reason` says why in the system's words ("Connection refused"), or "no answer
// within N s".
bool connectWithin(Socket socket, const sockaddr* address, std::size_t length, int timeoutMs,
                   std::string* reason = nullptr);

// The system's words for a socket error number (errno, or a Winsock error).
std::string errorText(int code);

// Waits up to `timeoutMs` until the socket is readable (`forWrite` false) or writable.
// Returns 1 when ready, 0 on time-out, -1 on failure (lastError() tells an interrupted
// wait).
int waitReady(Socket socket, bool forWrite, int timeoutMs);

// One send or recv; never raises SIGPIPE. Returns the count moved, 0 when the peer
// closed (recv), -1 on failure with the reason in lastError().
long long sendSome(Socket socket, const void* data, std::size_t count);
long long receiveSome(Socket socket, void* buffer, std::size_t count);

enum class Failure { interrupted, wouldBlock, other };
Failure lastError();

// The one owner of a socket: closes it when it goes, moves but never copies (a copy
// would close the socket under the other owner).
class OwnedSocket {
 public:
  OwnedSocket() = default;
  explicit OwnedSocket(Socket socket) : socket_(socket) {}
  ~OwnedSocket() { reset(); }
  OwnedSocket(OwnedSocket&& other) noexcept : socket_(other.release()) {}
  OwnedSocket& operator=(OwnedSocket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;

  Socket get() const { return socket_; }
  bool valid() const { return socket_ != invalidSocket; }
  // Closes the socket held (if any) and takes `socket` instead.
  void reset(Socket socket = invalidSocket) {
    if (socket_ != socket) closeSocket(socket_);
    socket_ = socket;
  }
  Socket release() {
    Socket socket = socket_;
    socket_ = invalidSocket;
    return socket;
  }

 private:
  Socket socket_ = invalidSocket;
};

}  // namespace kestrava::net
