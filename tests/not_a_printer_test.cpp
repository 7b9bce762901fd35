// A TCP port that is not a printer: whatever answers there (nothing, a web server, an echo,
// noise, a peer that resets) never makes a run look answered. Only a reply that begins
// with 00 AC and its request's command counts as an answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/cli/exit_status.h"
#include "cli_support.h"
#include "link/tcp_backend.h"
#include "net/socket_system.h"
#include "net/tcp_socket.h"
#include "recording_dialog.h"
#include "short_timeouts.h"
#include "test_support.h"
#include "run/acquisition_thread.h"
#include "virtual/tcp_printer_server.h"

#ifndef _WIN32
#include <sys/socket.h>
#endif

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;

// A peer on 127.0.0.1 that treats its one client the way `behave` says, on a thread of its
// own, until the client goes or the test ends.
class FakePeer {
 public:
  using Behaviour = std::function<void(net::Socket client, const std::atomic<bool>& stopping)>;

  explicit FakePeer(Behaviour behave) {
    listener_ = testing::listenOnLoopback(port_);
    thread_ = std::thread([this, behave = std::move(behave)] {
      while (!stopping_ && net::waitReady(listener_, false, 20) <= 0) {
      }
      if (stopping_) return;
      net::Socket client = net::acceptClient(listener_);
      if (client == net::invalidSocket) return;
      behave(client, stopping_);
      net::closeSocket(client);
    });
  }
  ~FakePeer() {
    stopping_ = true;
    thread_.join();
    net::closeSocket(listener_);
  }
  std::uint16_t port() const { return port_; }

 private:
  net::Socket listener_ = net::invalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// Reads what the client sends for up to `ms`; false once it has gone.
bool takeInput(net::Socket client, int ms, std::string* kept = nullptr) {
  if (net::waitReady(client, false, ms) <= 0) return true;
  char buffer[4096];
  long long n = net::receiveSome(client, buffer, sizeof buffer);
  if (n <= 0) return false;
  if (kept) kept->append(buffer, static_cast<std::size_t>(n));
  return true;
}

void silent(net::Socket client, const std::atomic<bool>& stopping) {
  while (!stopping && takeInput(client, 20)) {
  }
}

void closesAtOnce(net::Socket, const std::atomic<bool>&) {}

void echo(net::Socket client, const std::atomic<bool>& stopping) {
  std::string input;
  while (!stopping && takeInput(client, 20, &input)) {
    if (!input.empty() && net::sendSome(client, input.data(), input.size()) < 0) return;
    input.clear();
  }
}

// What a web server answers to bytes that are not HTTP, then it hangs up.
void webServer(net::Socket client, const std::atomic<bool>& stopping) {
  std::string input;
  while (!stopping && input.empty() && takeInput(client, 20, &input)) {
  }
  const std::string page = "HTTP/1.1 400 Bad Request\r\nContent-Type: text/html\r\nContent-Length: 11\r\n"
                           "Connection: close\r\n\r\nBad Request";
  net::sendSome(client, page.data(), page.size());
}

// Noise without end, never 00 AC: letters, as fast as the client takes them.
void endlessGarbage(net::Socket client, const std::atomic<bool>& stopping) {
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>('A' + i % 26);
  while (!stopping) {
    if (!takeInput(client, 0)) return;
    int ready = net::waitReady(client, true, 20);
    if (ready < 0) return;
    if (ready > 0 && net::sendSome(client, noise.data(), noise.size()) < 0) return;
  }
}

// The first 8 bytes of a reply to the first request, then a reset.
void resetsAfterEightBytes(net::Socket client, const std::atomic<bool>& stopping) {
  std::string input;
  while (!stopping && input.size() < 50 && takeInput(client, 20, &input)) {
  }
  const char head[8] = {0x00, static_cast<char>(0xAC), static_cast<char>(0xFF), 0x13, 0x00, 0x01, 0x00, 0x00};
  net::sendSome(client, head, sizeof head);
  linger abort{};
  abort.l_onoff = 1;
  abort.l_linger = 0;
  ::setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
}

const char* const kPath = "vid_232b&pid_0ef5";

std::u16string devicePath() { return std::u16string(kPath, kPath + std::char_traits<char>::length(kPath)); }

TEST(NotAPrinter, NothingButAValidReplyCountsAsAnAnswer) {
  struct Case {
    const char* name;
    FakePeer::Behaviour peer;
    bool bytesCome;
    std::chrono::seconds atMost;  // at a fiftieth of the real time-outs
  };
  // A mute printer's run takes about 97 s, 2 s here; the bounds leave a busy machine ten
  // times as long, and a run that waited for ever would pass none of them.
  const Case cases[] = {
      {"silent", silent, false, std::chrono::seconds(20)},
      {"closes at once", closesAtOnce, false, std::chrono::seconds(10)},
      {"echo of the request", echo, true, std::chrono::seconds(10)},
      {"web server", webServer, true, std::chrono::seconds(10)},
      {"endless garbage", endlessGarbage, true, std::chrono::seconds(10)},
      {"reset after 8 bytes", resetsAfterEightBytes, true, std::chrono::seconds(10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePeer peer(c.peer);
    TcpBackend tcp("127.0.0.1", peer.port(), devicePath());
    testing::FiftiethTimeOuts backend(tcp);
    testing::RecordingDialog dialog;
    RunRecord record;
    const auto start = Clock::now();
    RunOutcome outcome = runAcquisition(dialog, backend, record);
    EXPECT_LE(Clock::now() - start, c.atMost);
    EXPECT_EQ(outcome, RunOutcome::printerSilent);
    EXPECT_EQ(exitstatus::of(outcome), exitstatus::printerSilent);
    EXPECT_FALSE(record.printerAnswered);
    EXPECT_EQ(record.bytesReceived > 0, c.bytesCome) << record.bytesReceived;
    EXPECT_EQ(toUtf8(dialog.m_model), "unsupported yet");
    EXPECT_EQ(toUtf8(dialog.m_status), "done");
  }

  // The same run against a printer: answered.
  virtualprinter::TcpPrinterServer printer(virtualprinter::healthyMonoPrinter());
  printer.start();
  TcpBackend tcp("127.0.0.1", printer.port(), devicePath());
  testing::RecordingDialog dialog;
  RunRecord record;
  EXPECT_EQ(runAcquisition(dialog, tcp, record), RunOutcome::done);
  EXPECT_TRUE(record.printerAnswered);
}

#ifndef _WIN32
// kestrava-cli says on stderr what answered, and exits 5.
TEST(NotAPrinter, TheCliNamesTheAddressThatDoesNotSpeakTheProtocol) {
  FakePeer peer(endlessGarbage);
  const std::string where = "127.0.0.1:" + std::to_string(peer.port());
  testing::CliOutcome run = testing::runCli("--device 'tcp://" + where + "/" + kPath + "'");
  EXPECT_EQ(run.status, exitstatus::printerSilent) << run.err;
  EXPECT_NE(run.err.find("kestrava-cli: nothing that answered on " + where + " speaks the printer's protocol"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}
#endif

}  // namespace
}  // namespace kestrava
