#include "usb/tcp_backend.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "device/text_codec.h"

namespace kestrava {

namespace {

constexpr int kConnectTimeoutMs = 5000;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

int connectTo(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int result = -1;
  for (addrinfo* candidate = found; candidate && result < 0; candidate = candidate->ai_next) {
    int fd = socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, candidate->ai_protocol);
    if (fd < 0) continue;
    int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = connect(fd, candidate->ai_addr, candidate->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      // A host that never answers must not hold the run longer than a read would.
      pollfd waiter{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof error;
      if (poll(&waiter, 1, kConnectTimeoutMs) == 1 &&
          getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
        rc = 0;
      }
    }
    if (rc == 0) {
      result = fd;
    } else {
      ::close(fd);
    }
  }
  freeaddrinfo(found);
  return result;
}

}  // namespace

struct TcpBackend::Connection {
  explicit Connection(int descriptor) : fd(descriptor) {}
  ~Connection() { ::close(fd); }
  int fd;
};

namespace {

class TcpPipe : public UsbPipe {
 public:
  explicit TcpPipe(std::shared_ptr<TcpBackend::Connection> connection) : connection_(std::move(connection)) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    std::size_t sent = 0;
    while (sent < count) {
      // MSG_NOSIGNAL: a printer that hung up must give a failed write, not SIGPIPE.
      ssize_t n = ::send(fd(), data + sent, count - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd waiter{fd(), POLLOUT, 0};
        if (poll(&waiter, 1, kConnectTimeoutMs) == 1) continue;
        return -1;
      }
      if (n <= 0) return -1;
      sent += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(sent);
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred,
            std::uint32_t timeoutMs) override {
    transferred = 0;
    if (wanted == 0) return true;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (transferred < wanted) {
      pollfd waiter{fd(), POLLIN, 0};
      int ready = poll(&waiter, 1, remainingMs(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;  // time-out (or a failed wait): hand back what arrived
      ssize_t n = ::recv(fd(), buffer + transferred, wanted - transferred, 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      if (n <= 0) break;  // closed by the printer or failed
      transferred += static_cast<std::size_t>(n);
    }
    return transferred > 0;
  }

 private:
  int fd() const { return connection_->fd; }
  std::shared_ptr<TcpBackend::Connection> connection_;
};

}  // namespace

TcpBackend::TcpBackend(std::string host, std::uint16_t port, std::u16string devicePath)
    : host_(std::move(host)), port_(port), devicePath_(std::move(devicePath)) {}

bool TcpBackend::parseAddress(const std::string& address, std::string& host, std::uint16_t& port,
                              std::string& path, std::string& error) {
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
  if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
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

std::unique_ptr<UsbPipe> TcpBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  if (devicePath != devicePath_) return nullptr;
  if (end == PipeEnd::write) {
    int fd = connectTo(host_, port_);
    if (fd < 0) return nullptr;
    connection_ = std::make_shared<Connection>(fd);
  }
  if (!connection_) return nullptr;
  auto pipe = std::make_unique<TcpPipe>(connection_);
  if (end == PipeEnd::read) connection_.reset();  // the two pipes own the socket now
  return pipe;
}

}  // namespace kestrava
