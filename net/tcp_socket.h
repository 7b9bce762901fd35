// The few socket calls the TCP transport and the virtual printer's TCP server make, on
// POSIX sockets and on Winsock alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace kestrava::net {

#ifdef _WIN32
using Socket = SOCKET;
inline constexpr Socket invalidSocket = INVALID_SOCKET;
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

}  // namespace kestrava::net
