#include "virtual/tcp_printer_server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "device/printer_device.h"

namespace kestrava::virtualprinter {

namespace {

constexpr int kPollMs = 50;

bool sendAll(net::Socket fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    long long n = net::sendSome(fd, bytes.data() + sent, bytes.size() - sent);
    if (n < 0 && net::lastError() == net::Failure::interrupted) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TcpPrinterServer::TcpPrinterServer(Scenario scenario, std::uint16_t port) : printer_(std::move(scenario)) {
  listener_ = net::openStreamSocket(AF_INET);
  if (listener_ == net::invalidSocket) throw std::runtime_error("socket failed");
#ifndef _WIN32
  // On Windows SO_REUSEADDR would let a second server take the port; its default
  // already allows a quick restart.
  int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 4) != 0) {
    net::closeSocket(listener_);
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

TcpPrinterServer::~TcpPrinterServer() {
  stop();
  net::closeSocket(listener_);
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
    if (net::waitReady(listener_, false, kPollMs) <= 0) continue;
    net::Socket client = net::acceptClient(listener_);
    if (client == net::invalidSocket) continue;
    serveClient(client);
    net::closeSocket(client);
    if (once) return;
  }
}

void TcpPrinterServer::serveClient(net::Socket client) {
  net::setNoDelay(client);
  // Over a stream the printer cannot see the host's read give up: a late reply comes its
  // delay after the host's read time-out would have ended.
  printer_.assumeHostTimeout(PrinterDevice::kReadTimeoutMs);
  printer_.connect();
  std::uint32_t delay = printer_.scenario().replyDelayMs;
  // The printer's clock runs with the real one here.
  auto lastTick = std::chrono::steady_clock::now();
  auto tick = [&]() {
    auto now = std::chrono::steady_clock::now();
    auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTick);
    printer_.advanceClock(static_cast<std::uint64_t>(passed.count()));
    lastTick += passed;
  };
  std::uint64_t due = VirtualPrinter::kNever;
  // Everything that is due leaves in one send: a reply and its data phase together.
  auto flush = [&]() {
    tick();
    std::string bytes, all;
    while (printer_.take(static_cast<std::size_t>(-1), bytes, printer_.clockMs(), due) == ReadOutcome::data) {
      if (delay) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        tick();
      }
      all += bytes;
    }
    if (!all.empty() && !sendAll(client, all)) return false;
    return !printer_.lost();
  };
  if (!flush()) return;
  char buffer[8192];
  while (!stopping_) {
    int wait = kPollMs;
    if (due != VirtualPrinter::kNever) {
      std::uint64_t now = printer_.clockMs();
      wait = due <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(due - now, kPollMs));
    }
    int ready = net::waitReady(client, false, wait);
    if (ready < 0 && net::lastError() != net::Failure::interrupted) return;
    if (ready > 0) {
      long long n = net::receiveSome(client, buffer, sizeof buffer);
      if (n < 0 && net::lastError() == net::Failure::interrupted) continue;
      if (n <= 0) return;  // the host closed the link
      tick();
      if (!printer_.receive(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(n))) return;
    }
    if (!flush()) return;  // connection lost: the socket is closed
  }
}

}  // namespace kestrava::virtualprinter
