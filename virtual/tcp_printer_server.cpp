#include "virtual/tcp_printer_server.h"

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrava::virtualprinter {

namespace {

constexpr int kPollMs = 50;

bool sendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TcpPrinterServer::TcpPrinterServer(Scenario scenario, std::uint16_t port) : printer_(std::move(scenario)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("socket failed");
  int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0) {
    ::close(listener_);
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

TcpPrinterServer::~TcpPrinterServer() {
  stop();
  ::close(listener_);
}

void TcpPrinterServer::start() {
  thread_ = std::thread([this] { serve(); });
}

void TcpPrinterServer::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void TcpPrinterServer::serve(bool once) {
  while (!stopping_) {
    pollfd waiter{listener_, POLLIN, 0};
    if (::poll(&waiter, 1, kPollMs) <= 0) continue;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    serveClient(client);
    ::close(client);
    if (once) return;
  }
}

void TcpPrinterServer::serveClient(int client) {
  printer_.connect();
  std::uint32_t delay = printer_.scenario().replyDelayMs;
  auto flush = [&]() {
    std::string bytes;
    while (printer_.take(static_cast<std::size_t>(-1), bytes) == ReadOutcome::data) {
      if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      if (!sendAll(client, bytes)) return false;
    }
    return !printer_.lost();
  };
  if (!flush()) return;
  char buffer[8192];
  while (!stopping_) {
    pollfd waiter{client, POLLIN, 0};
    int ready = ::poll(&waiter, 1, kPollMs);
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the host closed the link
    if (!printer_.receive(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(n))) return;
    if (!flush()) return;  // connection lost: the socket is closed
  }
}

}  // namespace kestrava::virtualprinter
