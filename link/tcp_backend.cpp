#include "link/tcp_backend.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "base/text_codec.h"
#include "base/visible_text.h"
#include "net/socket_system.h"
#include "net/tcp_socket.h"

namespace kestrava {

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr std::size_t kMaxPending = 256 * 1024;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Connects to the printer; on failure `advice` says what went wrong and what to check.
net::OwnedSocket connectTo(const std::string& host, std::uint16_t port, std::string& advice) {
  net::startUp();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (int failure = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); failure != 0) {
    advice = "cannot find the host " + visibleExcerpt(host) + ": " + gai_strerror(failure) +
             "; check its spelling, or give the printer's IP address";
    return {};
  }
  net::OwnedSocket result;
  std::string reason = "no address to connect to";
  for (addrinfo* candidate = found; candidate && !result.valid(); candidate = candidate->ai_next) {
    net::OwnedSocket socket(net::openStreamSocket(candidate->ai_family, candidate->ai_protocol));
    if (!socket.valid()) continue;
    net::setNonBlocking(socket.get());
    net::setNoDelay(socket.get());
    // A host that never answers must not hold the run longer than a read would.
    if (net::connectWithin(socket.get(), candidate->ai_addr, candidate->ai_addrlen, kConnectTimeoutMs, &reason)) {
      result = std::move(socket);
    }
  }
  freeaddrinfo(found);
  if (!result.valid()) {
    const std::string where =
        (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
    advice = "cannot connect to " + visibleExcerpt(where) + ": " + reason +
             "; check that the printer is on and reachable and that this is its raw port (usually 9100)";
  }
  return result;
}

}  // namespace

struct TcpBackend::Connection {
  explicit Connection(net::OwnedSocket socket) : fd(std::move(socket)) {}
  net::OwnedSocket fd;
  std::string pending;  // written, not sent yet
  bool closed = false;  // the printer hung up or a send failed
};

namespace {

class TcpPipe : public UsbPipe {
 public:
  explicit TcpPipe(std::shared_ptr<TcpBackend::Connection> connection) : connection_(std::move(connection)) {}

  // A request is four writes (PJL switch, block, data, UEL) and the printer answers only
  // once it has all of them: on a byte stream they are gathered here and leave in one
  // send before the reply is read.
  long long write(const std::uint8_t* data, std::size_t count) override {
    if (connection_->closed) return -1;
    connection_->pending.append(reinterpret_cast<const char*>(data), count);
    // No request is this long; a caller that only writes does not pile up memory.
    if (connection_->pending.size() >= kMaxPending && !sendPending()) return -1;
    return static_cast<long long>(count);
  }

  ~TcpPipe() override { sendPending(); }

  bool sendPending() {
    std::string& pending = connection_->pending;
    std::size_t sent = 0;
    while (sent < pending.size()) {
      long long n = net::sendSome(fd(), pending.data() + sent, pending.size() - sent);
      if (n < 0 && net::lastError() == net::Failure::interrupted) continue;
      if (n < 0 && net::lastError() == net::Failure::wouldBlock) {
        if (net::waitReady(fd(), true, kConnectTimeoutMs) == 1) continue;
        break;
      }
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    bool all = sent == pending.size();
    pending.clear();
    if (!all) connection_->closed = true;
    return all;
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    transferred = 0;
    if (!sendPending()) return false;
    if (wanted == 0) return true;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (transferred < wanted) {
      int ready = net::waitReady(fd(), false, remainingMs(deadline));
      if (ready < 0 && net::lastError() == net::Failure::interrupted) continue;
      if (ready <= 0) break;  // time-out (or a failed wait): hand back what arrived
      long long n = net::receiveSome(fd(), buffer + transferred, wanted - transferred);
      if (n < 0 && (net::lastError() == net::Failure::interrupted || net::lastError() == net::Failure::wouldBlock))
        continue;
      if (n <= 0) {  // closed by the printer or failed: later writes fail at once
        connection_->closed = true;
        break;
      }
      transferred += static_cast<std::size_t>(n);
    }
    return transferred > 0;
  }

 private:
  net::Socket fd() const { return connection_->fd.get(); }
  std::shared_ptr<TcpBackend::Connection> connection_;
};

}  // namespace

TcpBackend::TcpBackend(std::string host, std::uint16_t port, std::u16string devicePath)
    : host_(std::move(host)), port_(port), devicePath_(std::move(devicePath)) {}

bool TcpBackend::parseAddress(const std::string& address, std::string& host, std::uint16_t& port, std::string& path,
                              std::string& error) {
  const std::string scheme = "tcp://";
  if (address.compare(0, scheme.size(), scheme) != 0) {
    error = "expected tcp://HOST:PORT/PATH";
    return false;
  }
  std::string rest = address.substr(scheme.size());
  std::size_t slash = rest.find('/');
  std::string hostPort = rest.substr(0, slash);
  path = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
  std::size_t colon = hostPort.rfind(':');
  if (!hostPort.empty() && hostPort.front() == '[') {
    // [IPv6]:PORT: the port's colon is the one after the bracket.
    std::size_t close = hostPort.find(']');
    if (close == std::string::npos || close == 1) {
      error = "expected [IPv6 address]:PORT in " + address;
      return false;
    }
    if (close + 1 == hostPort.size()) {
      error = "missing port in " + address;
      return false;
    }
    if (hostPort[close + 1] != ':') {
      error = "expected [IPv6 address]:PORT in " + address;
      return false;
    }
    colon = close + 1;
  } else if (hostPort.find_first_of("[]") != std::string::npos) {
    error = "expected HOST:PORT in " + address;
    return false;
  }
  if (colon == std::string::npos) {
    error = "missing port in " + address;
    return false;
  }
  if (colon == 0 || colon + 1 == hostPort.size()) {
    error = "expected HOST:PORT in " + address;
    return false;
  }
  host = hostPort.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  std::string portText = hostPort.substr(colon + 1);
  unsigned long value = 0;
  for (char c : portText) {
    if (c < '0' || c > '9' || value > 65535) {
      error = "bad port in " + address;
      return false;
    }
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value == 0 || value > 65535) {
    error = "bad port in " + address;
    return false;
  }
  port = static_cast<std::uint16_t>(value);
  return true;
}

std::vector<std::u16string> TcpBackend::interfacePaths() { return {devicePath_}; }

std::string TcpBackend::notFoundHint() const {
  return "the device path " + toUtf8(visibleControls(devicePath_)) +
         " does not name vendor 0x232B (vid_232b): give the printer's own path, as kestrava-cli --list shows it on "
         "the machine the printer is attached to";
}

std::string TcpBackend::peerName() const {
  return (host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

std::unique_ptr<UsbPipe> TcpBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  if (devicePath != devicePath_) return nullptr;
  if (end == PipeEnd::write) {
    openFailure_.clear();
    net::OwnedSocket socket = connectTo(host_, port_, openFailure_);
    if (!socket.valid()) return nullptr;
    connection_ = std::make_shared<Connection>(std::move(socket));
  }
  if (!connection_) return nullptr;
  auto pipe = std::make_unique<TcpPipe>(connection_);
  if (end == PipeEnd::read) connection_.reset();  // the two pipes own the socket now
  return pipe;
}

}  // namespace kestrava
