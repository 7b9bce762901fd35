// The TCP byte-stream back end: the semantics other tools rely on, against a peer the
// test controls byte by byte, and the whole protocol against the virtual printer served
// on TCP.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "test_support.h"
#include "link/tcp_backend.h"
#include "net/tcp_socket.h"
#include "virtual/tcp_printer_server.h"

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;

// A listening socket on 127.0.0.1 whose one client the test drives by hand.
class RawPeer {
 public:
  RawPeer() { listener_ = testing::listenOnLoopback(port_); }
  ~RawPeer() {
    net::closeSocket(client_);
    net::closeSocket(listener_);
  }
  std::uint16_t port() const { return port_; }
  void accept() { client_ = net::acceptClient(listener_); }
  void send(const std::string& bytes) {
    ASSERT_EQ(net::sendSome(client_, bytes.data(), bytes.size()), static_cast<long long>(bytes.size()));
  }
  void hangUp() {
    net::closeSocket(client_);
    client_ = net::invalidSocket;
  }
  // Whether bytes arrive within `ms`.
  bool arrives(int ms) { return net::waitReady(client_, false, ms) == 1; }
  // One recv, waiting for the first byte: what arrived in one piece.
  std::string receiveOnce(std::size_t count) {
    std::string bytes(count, '\0');
    long long n = net::receiveSome(client_, bytes.data(), count);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
  }
  std::string receive(std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
      long long n = net::receiveSome(client_, bytes.data() + got, count - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
  }

 private:
  net::Socket listener_ = net::invalidSocket;
  net::Socket client_ = net::invalidSocket;
  std::uint16_t port_ = 0;
};

std::u16string pathOf(const char* path) { return std::u16string(path, path + std::char_traits<char>::length(path)); }

TEST(TcpTransport, PathWithoutTheVendorIsNotFoundAndNothingConnects) {
  RawPeer peer;
  TcpBackend backend("127.0.0.1", peer.port(), pathOf("nothing"));
  UsbPrinterLink link(backend);
  EXPECT_EQ(link.open(), LinkStatus::noPrinter);
  // The peer never saw a connection: a second client would be accepted first otherwise.
  TcpBackend probe("127.0.0.1", peer.port(), pathOf("vid_232b&pid_0ef5"));
  UsbPrinterLink second(probe);
  ASSERT_EQ(second.open(), LinkStatus::ok);
  peer.accept();
  std::uint8_t byte = 'k';
  ASSERT_EQ(second.write(&byte, 1), LinkStatus::ok);
  second.close();  // what is written leaves before the reply is read, or at the close
  EXPECT_EQ(peer.receive(1), "k");
}

TEST(TcpTransport, RefusedConnectionIsAPipeFailure) {
  std::uint16_t freePort;
  {
    RawPeer closed;
    freePort = closed.port();
  }
  TcpBackend backend("127.0.0.1", freePort, pathOf("vid_232b&pid_0ef5"));
  UsbPrinterLink link(backend);
  EXPECT_EQ(link.open(), LinkStatus::pipeOpenFailed);
  EXPECT_FALSE(link.connected());
  EXPECT_EQ(link.usbId(), 0u);
}

TEST(TcpTransport, ReadReturnsWhatArrivedByTheTimeOut) {
  RawPeer peer;
  TcpBackend backend("127.0.0.1", peer.port(), pathOf("vid_232b&pid_0ef5"));
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  EXPECT_EQ(link.usbId(), 0x232B0EF5u);
  peer.accept();
  std::uint8_t buffer[16];
  std::uint32_t got = 99;

  EXPECT_EQ(link.read(buffer, 0, got, 1000), LinkStatus::ok);  // nothing wanted: at once
  EXPECT_EQ(got, 0u);

  EXPECT_EQ(link.read(buffer, 16, got, 50), LinkStatus::readFailed);  // nothing came
  EXPECT_EQ(got, 0u);

  peer.send("abc");
  EXPECT_EQ(link.read(buffer, 16, got, 1000), LinkStatus::ok);  // part of it came
  EXPECT_EQ(got, 3u);

  peer.send("0123456789abcdefXYZ");
  EXPECT_EQ(link.read(buffer, 16, got, 1000), LinkStatus::ok);  // all of it: no waiting
  EXPECT_EQ(got, 16u);
  EXPECT_EQ(link.read(buffer, 16, got, 50), LinkStatus::ok);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), "XYZ");
}

// On a byte stream a read that times out after part of a reply still completes, with
// what came. The rest of that reply, arriving after the time-out, must not be read as the
// answer to the next request: the link throws it away before it writes again.
TEST(TcpTransport, TheRestOfAReplyCutByTheTimeOutIsThrownAway) {
  RawPeer peer;
  TcpBackend backend("127.0.0.1", peer.port(), pathOf("vid_232b&pid_0ef5"));
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  peer.accept();
  std::uint8_t buffer[16];
  std::uint32_t got = 0;
  peer.send("FIRST-HA");
  EXPECT_EQ(link.read(buffer, 16, got, 50), LinkStatus::ok);
  EXPECT_EQ(got, 8u);
  EXPECT_TRUE(link.lateBytesExpected());
  peer.send("LF-OF-IT");  // the rest, late
  const std::string request = "next";
  ASSERT_EQ(link.write(reinterpret_cast<const std::uint8_t*>(request.data()), 4), LinkStatus::ok);
  std::thread answer([&peer] {
    EXPECT_EQ(peer.receive(4), "next");
    peer.send("SECOND-REPLY-16B");
  });
  EXPECT_EQ(link.read(buffer, 16, got, 5000), LinkStatus::ok);
  answer.join();
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), "SECOND-REPLY-16B");
}

TEST(TcpTransport, PrinterThatHangsUpFailsAtOnceWithoutKillingUs) {
  RawPeer peer;
  TcpBackend backend("127.0.0.1", peer.port(), pathOf("vid_232b&pid_0ef5"));
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  peer.accept();
  peer.hangUp();
  std::uint8_t buffer[16];
  std::uint32_t got = 0;
  // A read given a minute: waiting it out instead of seeing the hang-up would outlast the
  // bound many times over.
  Clock::time_point start = Clock::now();
  EXPECT_EQ(link.read(buffer, 16, got, 60000), LinkStatus::readFailed);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  // Writing into a closed connection gives status 3, not SIGPIPE.
  std::string big(1 << 20, 'x');
  LinkStatus status = LinkStatus::ok;
  for (int i = 0; i < 8 && status == LinkStatus::ok; ++i) {
    status = link.write(reinterpret_cast<const std::uint8_t*>(big.data()), static_cast<std::uint32_t>(big.size()));
  }
  EXPECT_EQ(status, LinkStatus::writeFailed);
}

TEST(TcpTransport, WholeProtocolAgainstTheVirtualPrinter) {
  virtualprinter::TcpPrinterServer server(virtualprinter::healthyMonoPrinter());
  server.start();
  TcpBackend backend("127.0.0.1", server.port(), pathOf("vid_232b&pid_0ef5"));
  testing::expectWholeProtocol(backend);
  server.stop();
  ASSERT_TRUE(server.lastPrinter());
  EXPECT_TRUE(server.lastPrinter()->protocolErrors().empty());
  EXPECT_EQ(server.lastPrinter()->requestCount(), 2u);
}

// The four writes of a request (PJL switch, block, data, UEL) leave together in one send
// when the reply is read, and the socket sends at once (no Nagle delay): the printer gets
// the whole request in one piece.
TEST(TcpTransport, ARequestLeavesWholeWhenItsReplyIsRead) {
  RawPeer peer;
  TcpBackend backend("127.0.0.1", peer.port(), pathOf("vid_232b&pid_0ef5"));
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  peer.accept();
  const std::string pieces[] = {"\x1b%-12345X@PJL ENTER LANGUAGE=ACL\r\n", std::string(16, '\0'), "path",
                                "\x1b%-12345X"};
  std::string whole;
  for (const std::string& piece : pieces) {
    ASSERT_EQ(link.write(reinterpret_cast<const std::uint8_t*>(piece.data()), static_cast<std::uint32_t>(piece.size())),
              LinkStatus::ok);
    whole += piece;
  }
  EXPECT_FALSE(peer.arrives(100));  // nothing has left yet
  std::thread answer([&peer, &whole] {
    EXPECT_EQ(peer.receiveOnce(whole.size()), whole);
    peer.send("reply");
  });
  std::uint8_t buffer[5];
  std::uint32_t got = 0;
  EXPECT_EQ(link.read(buffer, 5, got, 5000), LinkStatus::ok);
  answer.join();
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), "reply");
}

TEST(TcpTransport, AddressParse) {
  struct Case {
    const char* address;
    bool ok;
    const char* host;
    std::uint16_t port;
    const char* path;
  };
  const Case cases[] = {
      {"tcp://127.0.0.1:9100/vid_232b&pid_0ef5", true, "127.0.0.1", 9100, "vid_232b&pid_0ef5"},
      {"tcp://printer.local:1/", true, "printer.local", 1, ""},
      {"tcp://[::1]:9100/x", true, "::1", 9100, "x"},
      {"tcp://127.0.0.1/vid_232b", false, "", 0, ""},
      {"tcp://127.0.0.1:0/x", false, "", 0, ""},
      {"tcp://127.0.0.1:65536/x", false, "", 0, ""},
      {"tcp://127.0.0.1:91a/x", false, "", 0, ""},
      {"tcp://[]:9100/x", false, "", 0, ""},
      {"tcp://[:9100/x", false, "", 0, ""},
      {"tcp://[::1]/x", false, "", 0, ""},
      {"tcp://[::1]9100/x", false, "", 0, ""},
      {"tcp://::1]:9100/x", false, "", 0, ""},
      {"tcp://[::1]:/x", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    std::string host, path, error;
    std::uint16_t port = 0;
    ASSERT_EQ(TcpBackend::parseAddress(c.address, host, port, path, error), c.ok);
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      // A missing port is named as missing, not as a bad one.
      if (std::string(c.address) == "tcp://[::1]/x" || std::string(c.address) == "tcp://127.0.0.1/vid_232b") {
        EXPECT_NE(error.find("missing port"), std::string::npos) << error;
      }
      continue;
    }
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
    EXPECT_EQ(path, c.path);
  }
}

}  // namespace
}  // namespace kestrava
