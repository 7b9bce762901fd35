// The system's socket headers, for the files that make socket calls of their own
// (addresses, bind, getaddrinfo, socket options) beside those of "net/tcp_socket.h".
#pragma once

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

#include "net/tcp_socket.h"

#ifdef _WIN32
static_assert(sizeof(kestrava::net::Socket) == sizeof(SOCKET) && kestrava::net::invalidSocket == INVALID_SOCKET,
              "net::Socket holds a Winsock SOCKET");
#endif
