#include "virtual/tcp_printer_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "device/printer_device.h"
#include "net/socket_system.h"

namespace kestrava::virtualprinter {

namespace {

using Clock = std::chrono::steady_clock;

// How long any wait of the server lasts at most before it looks at the stop request
// again: a stop (SIGTERM, Ctrl+C) takes effect within this.
constexpr int kPollMs = 50;

int systemError() {
#ifdef _WIN32
  return WSAGetLastError();
#else
  return errno;
#endif
}

std::string reasonOf(int error) { return std::system_category().message(error); }

int msSince(Clock::time_point then) {
  auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
  return static_cast<int>(std::min<long long>(passed, 1 << 30));
}

// "60 s", "0.2 s": a time-out in a note.
std::string secondsText(int ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + std::to_string(ms % 100 / 10) + " s";
}

// The host's address and port, "127.0.0.1:50412".
std::string peerOf(net::Socket socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET) {
    return "?";
  }
  std::uint32_t ip = ntohl(address.sin_addr.s_addr);
  return std::to_string(ip >> 24) + "." + std::to_string(ip >> 16 & 0xFF) + "." + std::to_string(ip >> 8 & 0xFF) + "." +
         std::to_string(ip & 0xFF) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

// A host served on a thread of its own; `done` once its connection is closed.
struct TcpPrinterServer::Client {
  std::thread thread;
  std::atomic<bool> done{false};
};

TcpPrinterServer::TcpPrinterServer(Scenario scenario, std::uint16_t port, ServerLimits limits)
    : scenario_(std::move(scenario)), limits_(limits) {
  const std::string address = "127.0.0.1:" + std::to_string(port);
  listener_.reset(net::openStreamSocket(AF_INET));
  if (!listener_.valid()) {
    throw std::system_error(systemError(), std::system_category(), "cannot open a socket for " + address);
  }
#ifndef _WIN32
  // On Windows SO_REUSEADDR would let a second server take the port; its default
  // already allows a quick restart.
  int yes = 1;
  ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_port = htons(port);
  bound.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
      ::listen(listener_.get(), 16) != 0) {
    int error = systemError();
    listener_.reset();
    throw std::system_error(error, std::system_category(), "cannot listen on " + address);
  }
  socklen_t length = sizeof bound;
  ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  port_ = ntohs(bound.sin_port);
}

TcpPrinterServer::~TcpPrinterServer() {
  stop();
  reapFinished(true);
  listener_.reset();
}

std::shared_ptr<const VirtualPrinter> TcpPrinterServer::lastPrinter() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastPrinter_;
}

ClientCounts TcpPrinterServer::counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

bool TcpPrinterServer::waitFor(const std::function<bool(const ClientCounts&)>& holds, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return holds(counts_); });
}

void TcpPrinterServer::changeCounts(const std::function<void(ClientCounts&)>& change) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    change(counts_);
  }
  changed_.notify_all();
}

void TcpPrinterServer::note(const std::string& line) const {
  static std::mutex noting;
  if (!note_) return;
  std::lock_guard<std::mutex> lock(noting);
  note_(line);
}

void TcpPrinterServer::start() {
  thread_ = std::thread([this] { serve(); });
}

void TcpPrinterServer::stop() {
  requestStop();
  if (thread_.joinable()) thread_.join();
}

void TcpPrinterServer::reapFinished(bool all) {
  for (auto it = clients_.begin(); it != clients_.end();) {
    if (all || (*it)->done) {
      if ((*it)->thread.joinable()) (*it)->thread.join();
      it = clients_.erase(it);
    } else {
      ++it;
    }
  }
}

void TcpPrinterServer::serve(bool once) {
  while (!stopping_) {
    reapFinished(false);
    if (net::waitReady(listener_.get(), false, kPollMs) <= 0) continue;
    net::OwnedSocket socket(net::acceptClient(listener_.get()));
    if (!socket.valid()) {
      int error = systemError();
      if (net::lastError() == net::Failure::interrupted || net::lastError() == net::Failure::wouldBlock) continue;
      // Out of descriptors, most likely: the host waits in the queue until a place frees.
      note("cannot accept a connection: " + reasonOf(error));
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      continue;
    }
    std::size_t number = 0;
    bool full = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      number = ++counts_.accepted;
      full = counts_.connected >= limits_.maxClients;
      if (full) ++counts_.refused;
    }
    changed_.notify_all();
    std::string who = "host " + std::to_string(number) + " (" + peerOf(socket.get()) + ")";
    if (full) {
      socket.reset();
      note(who + " refused: " + std::to_string(limits_.maxClients) + " hosts are connected already");
      continue;
    }
    auto printer = std::make_shared<VirtualPrinter>(scenario_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lastPrinter_ = printer;
      ++counts_.connected;
    }
    changed_.notify_all();
    note(who + " connected");
    if (once) {
      serveClient(std::move(socket), *printer, number);
      break;
    }
    clients_.push_back(std::make_unique<Client>());
    Client* client = clients_.back().get();
    try {
      // The thread owns the socket from here; if it cannot start, the socket goes with it.
      client->thread = std::thread([this, socket = std::move(socket), printer, number, client]() mutable {
        serveClient(std::move(socket), *printer, number);
        client->done = true;
      });
    } catch (const std::system_error& error) {
      // The system has no thread left for it: the host goes, the server stays.
      clients_.pop_back();
      note(who + " refused: no thread for it: " + error.code().message());
      changeCounts([](ClientCounts& counts) {
        --counts.connected;
        ++counts.refused;
      });
    }
  }
  reapFinished(true);
}

void TcpPrinterServer::serveClient(net::OwnedSocket owned, VirtualPrinter& printer, std::size_t number) {
  const net::Socket client = owned.get();
  enum class End { hostClosed, idle, notReading, printerLost, stopped, failed };
  int error = 0;
  const std::string who = "host " + std::to_string(number);
  // When the host last sent a byte or took one: it is idle when neither happens for
  // idleTimeoutMs, so a host reading a long reply is not idle.
  Clock::time_point heard = Clock::now();

  // Sends all of `bytes`; the socket does not block, so a host that does not read costs
  // sendTimeoutMs at most, and a stop is seen at once.
  auto sendAll = [&](const std::string& bytes) -> std::optional<End> {
    std::size_t sent = 0;
    Clock::time_point progress = Clock::now();
    while (sent < bytes.size()) {
      if (stopping_) return End::stopped;
      long long n = net::sendSome(client, bytes.data() + sent, bytes.size() - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        progress = heard = Clock::now();
        continue;
      }
      error = systemError();
      net::Failure failure = net::lastError();
      if (failure == net::Failure::interrupted) continue;
      if (failure != net::Failure::wouldBlock) return End::failed;
      int left = limits_.sendTimeoutMs - msSince(progress);
      if (left <= 0) return End::notReading;
      if (net::waitReady(client, true, std::min(left, kPollMs)) < 0 && net::lastError() != net::Failure::interrupted) {
        error = systemError();
        return End::failed;
      }
    }
    return std::nullopt;
  };
  // A slow printer's pause before an answer; false when the server stops meanwhile.
  auto pause = [&](std::uint32_t ms) {
    Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
      if (stopping_) return false;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(kPollMs)));
    }
    return true;
  };

  auto run = [&]() -> End {
    net::setNoDelay(client);
    if (!net::setNonBlocking(client)) {
      error = systemError();
      return End::failed;
    }
    // Over a stream the printer cannot see the host's read give up: a late reply comes its
    // delay after the host's read time-out would have ended.
    printer.assumeHostTimeout(PrinterDevice::kReadTimeoutMs);
    printer.connect();
    const std::uint32_t delay = printer.scenario().replyDelayMs;
    // The printer's clock runs with the real one here.
    Clock::time_point lastTick = Clock::now();
    auto tick = [&]() {
      auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastTick);
      printer.advanceClock(static_cast<std::uint64_t>(passed.count()));
      lastTick += passed;
    };
    std::uint64_t due = VirtualPrinter::kNever;
    // Everything that is due leaves in one send: a reply and its data phase together.
    auto flush = [&]() -> std::optional<End> {
      tick();
      std::string bytes, all;
      while (printer.take(static_cast<std::size_t>(-1), bytes, printer.clockMs(), due) == ReadOutcome::data) {
        if (delay) {
          if (!pause(delay)) return End::stopped;
          tick();
        }
        all += bytes;
      }
      if (!all.empty()) {
        if (auto end = sendAll(all)) return end;
      }
      if (printer.lost()) return End::printerLost;
      return std::nullopt;
    };
    if (auto end = flush()) return *end;
    heard = Clock::now();
    char buffer[8192];
    while (!stopping_) {
      int quiet = msSince(heard);
      if (quiet >= limits_.idleTimeoutMs) return End::idle;
      int wait = std::min(kPollMs, limits_.idleTimeoutMs - quiet);
      if (due != VirtualPrinter::kNever) {
        std::uint64_t now = printer.clockMs();
        wait = due <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(due - now, static_cast<std::uint64_t>(wait)));
      }
      int ready = net::waitReady(client, false, wait);
      if (ready < 0 && net::lastError() != net::Failure::interrupted) {
        error = systemError();
        return End::failed;
      }
      if (ready > 0) {
        long long n = net::receiveSome(client, buffer, sizeof buffer);
        if (n == 0) return End::hostClosed;
        if (n < 0) {
          error = systemError();
          net::Failure failure = net::lastError();
          if (failure == net::Failure::interrupted || failure == net::Failure::wouldBlock) continue;
          // A host that resets the connection has left as surely as one that closes it.
          return End::hostClosed;
        }
        heard = Clock::now();
        tick();
        if (!printer.receive(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(n))) {
          return End::printerLost;
        }
      }
      if (auto end = flush()) return *end;
    }
    return End::stopped;
  };

  End end = run();
  owned.reset();
  std::string why;
  switch (end) {
    case End::hostClosed: why = "left"; break;
    case End::idle: why = "dropped: idle for " + secondsText(limits_.idleTimeoutMs); break;
    case End::notReading: why = "dropped: read nothing of its reply for " + secondsText(limits_.sendTimeoutMs); break;
    case End::printerLost: why = "disconnected by the scenario"; break;
    case End::stopped: why = "disconnected: the server stops"; break;
    case End::failed: why = "lost: " + reasonOf(error); break;
  }
  note(who + " " + why);
  changeCounts([end](ClientCounts& counts) {
    --counts.connected;
    ++counts.finished;
    if (end == End::idle) ++counts.idleDropped;
    if (end == End::notReading) ++counts.stuckDropped;
  });
}

}  // namespace kestrava::virtualprinter
