// The virtual printer's TCP server with several hosts at once, over loopback: an idle or
// a stuck host never holds up another, each host talks to a printer of its own, hosts
// that send nothing or read nothing are dropped, the request log stays bounded, and a
// stop ends the server whatever the hosts do.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "device/acl_command_block.h"
#include "link/tcp_backend.h"
#include "net/socket_system.h"
#include "net/tcp_socket.h"
#include "test_support.h"
#include "virtual/tcp_printer_server.h"

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;
using virtualprinter::ClientCounts;
using virtualprinter::ServerLimits;
using virtualprinter::TcpPrinterServer;

// Bounds of waits for a state that comes in milliseconds on an idle machine: they only
// end a test that would otherwise hang.
constexpr int kStateMs = 20000;

const std::string kSwitch = "\x1b%-12345X@PJL ENTER LANGUAGE=ACL\r\n";
const std::string kUel = "\x1b%-12345X";
const std::string kFirmwareOid = "<!--#ssi 0 OID_PLATFORM_FW_VERSION.0 -->";

// One whole request as the host writes it: language switch, command block, data, UEL.
std::string request(std::uint16_t command, const std::string& data) {
  std::string block(16, '\0');
  block[1] = static_cast<char>(0xAC);
  block[2] = static_cast<char>(command >> 8);
  block[3] = static_cast<char>(command);
  block[4] = static_cast<char>(data.size() >> 8);
  block[5] = static_cast<char>(data.size());
  return kSwitch + block + data + kUel;
}

// A host the test drives byte by byte over a blocking socket.
class RawHost {
 public:
  // `receiveBuffer` > 0: the socket's receive buffer is made that small before it
  // connects, so a host that does not read stops the server's sends sooner.
  explicit RawHost(std::uint16_t port, int receiveBuffer = 0) {
    socket_ = net::openStreamSocket(AF_INET);
    if (receiveBuffer > 0) {
      ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawHost() { net::closeSocket(socket_); }
  bool connected() const { return connected_; }
  bool send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      long long n = net::sendSome(socket_, bytes.data() + sent, bytes.size() - sent);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }
  void endWrites() { ::shutdown(socket_, 1); }  // SHUT_WR, SD_SEND
  // Up to `count` bytes, as many as arrive within `timeoutMs`.
  std::string receive(std::size_t count, int timeoutMs = kStateMs) {
    std::string bytes;
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (bytes.size() < count && Clock::now() < end) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (net::waitReady(socket_, false, left) != 1) break;
      long long n = net::receiveSome(socket_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
  }
  // Reads until the server closes the connection; how many bytes came before.
  long long receiveToEnd(int timeoutMs = kStateMs) {
    long long total = 0;
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    while (Clock::now() < end) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (net::waitReady(socket_, false, left) != 1) return -1;
      long long n = net::receiveSome(socket_, buffer, sizeof buffer);
      if (n == 0) return total;
      if (n < 0) return total;  // reset: closed as well
      total += n;
    }
    return -1;
  }

 private:
  net::Socket socket_ = net::invalidSocket;
  bool connected_ = false;
};

std::u16string printerPath() { return u"vid_232b&pid_0ef5"; }

// The healthy printer with a file far larger than the socket buffers on either side: a
// host that asks for it and does not read holds the server's send.
virtualprinter::Scenario printerWithBigFile() {
  virtualprinter::Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.files["/big"] = std::string(32u << 20, 'b');
  return scenario;
}

bool waitFor(TcpPrinterServer& server, bool (*holds)(const ClientCounts&)) { return server.waitFor(holds, kStateMs); }

// A host that has connected and then sends nothing, or half a request, holds no one up:
// a second host's whole run goes through, on a printer of its own, and the first host's
// session is still intact afterwards.
TEST(TcpPrinterServer, AnIdleHostDoesNotHoldUpAnother) {
  const std::string whole = request(aclcmd::oidQuery, kFirmwareOid);
  struct Case {
    const char* name;
    std::size_t sentFirst;  // bytes of its request the idle host sends before the other run
  };
  const Case cases[] = {{"nothing sent", 0}, {"half a request sent", kSwitch.size() + 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TcpPrinterServer server(virtualprinter::healthyMonoPrinter());
    server.start();
    RawHost idle(server.port());
    ASSERT_TRUE(idle.connected());
    ASSERT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.connected == 1; }));
    ASSERT_TRUE(idle.send(whole.substr(0, c.sentFirst)));

    TcpBackend backend("127.0.0.1", server.port(), printerPath());
    testing::expectWholeProtocol(backend);
    auto second = server.lastPrinter();
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->protocolErrors().empty());
    EXPECT_EQ(second->requestCount(), 2u);

    // The idle host's request, finished now, gets its own answer.
    ASSERT_TRUE(idle.send(whole.substr(c.sentFirst)));
    std::string reply = idle.receive(16 + 7);
    ASSERT_EQ(reply.size(), 23u);
    EXPECT_EQ(reply.substr(0, 6), std::string("\x00\xAC\xFF\x21\x00\x01", 6));
    EXPECT_EQ(reply.substr(16), "3.3.8.1");
    EXPECT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.connected == 1 && n.finished == 1; }));
    server.stop();
    EXPECT_EQ(server.counts().connected, 0u);
  }
}

// A host that sends nothing for the idle time-out is dropped: its connection is closed and
// its place is free.
TEST(TcpPrinterServer, AHostThatSendsNothingIsDropped) {
  ServerLimits limits;
  limits.idleTimeoutMs = 200;
  TcpPrinterServer server(virtualprinter::healthyMonoPrinter(), 0, limits);
  server.start();
  RawHost idle(server.port());
  ASSERT_TRUE(idle.connected());
  ASSERT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.idleDropped == 1; }));
  EXPECT_EQ(idle.receiveToEnd(), 0);  // closed, nothing sent
  ClientCounts counts = server.counts();
  EXPECT_EQ(counts.connected, 0u);
  EXPECT_EQ(counts.finished, 1u);
  EXPECT_EQ(counts.stuckDropped, 0u);
  server.stop();
}

// A host that takes a long reply for longer than the idle time-out is not idle: it is
// served its next request.
TEST(TcpPrinterServer, AHostReadingALongReplyIsNotIdle) {
#ifdef _WIN32
  // Under wine a loopback transfer of 32 MiB stalls for seconds at a time, longer than any
  // idle time-out this test can wait out; the server's idle rule is the same code there.
  GTEST_SKIP() << "32 MiB over loopback stalls under wine";
#endif
  ServerLimits limits;
  limits.idleTimeoutMs = 1000;
  TcpPrinterServer server(printerWithBigFile(), 0, limits);
  server.start();
  RawHost host(server.port(), 4096);
  ASSERT_TRUE(host.connected());
  ASSERT_TRUE(host.send(request(aclcmd::fileRead, "/big")));
  std::string head = host.receive(16);
  ASSERT_EQ(head.size(), 16u);
  // The host takes the rest of the 32 MiB in steps, the whole taking longer than the
  // idle time-out, and sends nothing meanwhile.
  std::size_t left = 32u << 20;
  Clock::time_point began = Clock::now();
  while (left > 0) {
    std::string piece = host.receive(std::min<std::size_t>(left, 1u << 20));
    ASSERT_FALSE(piece.empty()) << left << " bytes not received";
    left -= piece.size();
    if (Clock::now() - began < std::chrono::milliseconds(2 * limits.idleTimeoutMs)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(limits.idleTimeoutMs / 10));
    }
  }
  ASSERT_GE(Clock::now() - began, std::chrono::milliseconds(limits.idleTimeoutMs));
  ASSERT_TRUE(host.send(request(aclcmd::oidQuery, kFirmwareOid)));
  std::string reply = host.receive(23);
  ASSERT_EQ(reply.size(), 23u);
  EXPECT_EQ(reply.substr(16), "3.3.8.1");
  EXPECT_EQ(server.counts().idleDropped, 0u);
  server.stop();
}

// A host that asks for a large file and never reads is dropped after the send time-out;
// the server serves the next host and stops on request.
TEST(TcpPrinterServer, AHostThatDoesNotReadIsDroppedAndOthersAreServed) {
  ServerLimits limits;
  limits.sendTimeoutMs = 300;
  // Windows takes a whole send into its own buffers while they have room for a byte (wine
  // 10 does the same, wine 8 does not): there the 32 MiB leave at once, and the host's
  // silence after them is what drops it.
  limits.idleTimeoutMs = 300;
  TcpPrinterServer server(printerWithBigFile(), 0, limits);
  server.start();
  RawHost stuck(server.port(), 4096);
  ASSERT_TRUE(stuck.connected());
  ASSERT_TRUE(stuck.send(request(aclcmd::fileRead, "/big")));
  ASSERT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.stuckDropped + n.idleDropped == 1; }));
#ifndef _WIN32
  EXPECT_EQ(server.counts().stuckDropped, 1u);
#endif
  EXPECT_EQ(server.counts().connected, 0u);

  TcpBackend backend("127.0.0.1", server.port(), printerPath());
  testing::expectWholeProtocol(backend);
  EXPECT_TRUE(server.lastPrinter()->protocolErrors().empty());
  Clock::time_point asked = Clock::now();
  server.stop();
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(10));
}

// A stop ends the server while a host is stuck in the middle of a reply it does not read,
// long before the send time-out would drop it.
TEST(TcpPrinterServer, StopEndsTheServerWhileAHostDoesNotRead) {
  ServerLimits limits;
  limits.sendTimeoutMs = 600000;
  TcpPrinterServer server(printerWithBigFile(), 0, limits);
  server.start();
  RawHost stuck(server.port(), 4096);
  ASSERT_TRUE(stuck.connected());
  ASSERT_TRUE(stuck.send(request(aclcmd::fileRead, "/big")));
  // The reply has begun: the server is sending 32 MiB the host does not take.
  ASSERT_EQ(stuck.receive(16).size(), 16u);
  Clock::time_point asked = Clock::now();
  server.stop();
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(10));
  ClientCounts counts = server.counts();
  EXPECT_EQ(counts.connected, 0u);
  EXPECT_EQ(counts.finished, 1u);
  EXPECT_EQ(counts.stuckDropped, 0u);
}

// Hosts past the bound are closed at once instead of waiting unseen in the queue.
TEST(TcpPrinterServer, AHostPastTheBoundIsRefused) {
  ServerLimits limits;
  limits.maxClients = 1;
  TcpPrinterServer server(virtualprinter::healthyMonoPrinter(), 0, limits);
  server.start();
  RawHost first(server.port());
  ASSERT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.connected == 1; }));
  RawHost second(server.port());
  ASSERT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.refused == 1; }));
  EXPECT_EQ(second.receiveToEnd(), 0);
  // The first host is still served.
  ASSERT_TRUE(first.send(request(aclcmd::oidQuery, kFirmwareOid)));
  std::string reply = first.receive(23);
  ASSERT_EQ(reply.size(), 23u);
  EXPECT_EQ(reply.substr(16), "3.3.8.1");
  server.stop();
}

// A host that sends many valid requests leaves a bounded log behind: the latest requests,
// and the count of all.
TEST(TcpPrinterServer, TheRequestLogStaysBounded) {
  constexpr std::size_t kLimit = virtualprinter::VirtualPrinter::kRequestLogLimit;
  const std::size_t sent = 3 * kLimit + 5;
  TcpPrinterServer server(virtualprinter::healthyMonoPrinter());
  server.start();
  {
    RawHost host(server.port());
    ASSERT_TRUE(host.connected());
    // The replies are read beside the sends, as a host does.
    long long received = -1;
    std::thread reader([&] { received = host.receiveToEnd(); });
    std::string all;
    for (std::size_t i = 0; i < sent; ++i) all += request(aclcmd::oidQuery, kFirmwareOid);
    EXPECT_TRUE(host.send(all));
    host.endWrites();
    reader.join();
    EXPECT_EQ(received, static_cast<long long>(sent * 23));
  }
  ASSERT_TRUE(waitFor(server, [](const ClientCounts& n) { return n.finished == 1; }));
  auto printer = server.lastPrinter();
  ASSERT_TRUE(printer);
  EXPECT_EQ(printer->requestCount(), sent);
  std::vector<virtualprinter::ReceivedRequest> kept = printer->requests();
  ASSERT_EQ(kept.size(), kLimit);
  EXPECT_EQ(kept.front().number, sent - kLimit + 1);
  EXPECT_EQ(kept.back().number, sent);
  EXPECT_EQ(kept.back().data, kFirmwareOid);
  server.stop();
}

}  // namespace
}  // namespace kestrava
