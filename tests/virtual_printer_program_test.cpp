// kestrava-virtual-printer as a user runs it: its command line, its messages and exit
// statuses, and that SIGTERM and SIGINT end it promptly whatever its hosts do.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/version.h"
#include "cli_support.h"
#include "device/acl_command_block.h"
#include "net/socket_system.h"
#include "net/tcp_socket.h"

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;

// Only ends a test that would otherwise hang; the states waited for come in milliseconds.
constexpr int kStateMs = 20000;

using Outcome = testing::CliOutcome;

std::string tempName(const char* what) {
  char name[64];
  std::snprintf(name, sizeof name, "/tmp/kestrava-vp-%s-XXXXXX", what);
  int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  return name;
}

// Runs the program with `arguments` (quoted for the shell) to its end, a minute at most.
Outcome run(const std::string& arguments) { return testing::runCommand(KESTRAVA_VIRTUAL_PRINTER, arguments); }

// The program running beside the test, its stdout on a pipe: the first line names the
// port, and the pipe's end tells the program has ended.
class ServerProcess {
 public:
  explicit ServerProcess(const std::vector<std::string>& arguments) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(KESTRAVA_VIRTUAL_PRINTER));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
  }
  ~ServerProcess() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // The port of the first line, "listening on 127.0.0.1:PORT, device ..."; 0 when it does
  // not come.
  std::uint16_t port() {
    while (text_.find('\n') == std::string::npos) {
      if (!readSome(kStateMs)) return 0;
    }
    std::size_t colon = text_.find("127.0.0.1:");
    if (colon == std::string::npos) return 0;
    return static_cast<std::uint16_t>(std::stoi(text_.substr(colon + 10)));
  }
  // Waits until the lines written so far contain `what`.
  bool says(const std::string& what) {
    while (text_.find(what) == std::string::npos) {
      if (!readSome(kStateMs)) return false;
    }
    return true;
  }
  void signal(int number) { ::kill(pid_, number); }
  // Whether the program ends within `ms` (its stdout closes), with its exit status.
  bool endsWithin(int ms, int& status) {
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (readSome(left)) continue;
      if (!closed_) return false;
      int raw = 0;
      ::waitpid(pid_, &raw, 0);
      ended_ = true;
      status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return true;
    }
    return false;
  }
  const std::string& output() const { return text_; }

 private:
  // Reads what comes within `ms`; false on time-out or at the end of the output.
  bool readSome(int ms) {
    pollfd ready{out_, POLLIN, 0};
    if (::poll(&ready, 1, ms) != 1) return false;
    char buffer[4096];
    ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    text_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string text_;
  bool closed_ = false;
  bool ended_ = false;
};

std::string fileRequest(const std::string& path) {
  std::string block(16, '\0');
  block[1] = static_cast<char>(0xAC);
  block[2] = static_cast<char>(aclcmd::fileRead >> 8);
  block[3] = static_cast<char>(aclcmd::fileRead & 0xFF);
  block[5] = static_cast<char>(path.size());
  return "\x1b%-12345X@PJL ENTER LANGUAGE=ACL\r\n" + block + path + "\x1b%-12345X";
}

net::Socket connectTo(std::uint16_t port, int receiveBuffer) {
  net::Socket socket = net::openStreamSocket(AF_INET);
  ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    net::closeSocket(socket);
    return net::invalidSocket;
  }
  return socket;
}

// SIGTERM and SIGINT end the server within a bound while a host idles, or while it asked
// for a 32 MiB file and reads none of it (the server stuck in its send); the host's
// connection is closed.
TEST(VirtualPrinterProgram, ASignalEndsItWhileAHostIsStuck) {
  std::string scenario = tempName("scenario");
  std::ofstream(scenario) << R"({"files": {"/big": {"size": 33554432}}})";
  struct Case {
    const char* name;
    int signal;
    bool asksForTheFile;
  };
  const Case cases[] = {
      {"SIGTERM, host reads nothing", SIGTERM, true},
      {"SIGINT, host reads nothing", SIGINT, true},
      {"SIGTERM, host sends nothing", SIGTERM, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServerProcess server({"--port", "0", "--scenario", scenario});
    std::uint16_t port = server.port();
    ASSERT_NE(port, 0) << server.output();
    net::Socket host = connectTo(port, 4096);
    ASSERT_NE(host, net::invalidSocket);
    ASSERT_TRUE(server.says("host 1 (127.0.0.1:")) << server.output();
    if (c.asksForTheFile) {
      std::string request = fileRequest("/big");
      ASSERT_EQ(net::sendSome(host, request.data(), request.size()), static_cast<long long>(request.size()));
      // The reply has begun: the rest of 32 MiB waits on a host that does not read.
      char block[16];
      ASSERT_EQ(net::waitReady(host, false, kStateMs), 1);
      ASSERT_GT(net::receiveSome(host, block, sizeof block), 0);
    }
    Clock::time_point sent = Clock::now();
    server.signal(c.signal);
    int status = -1;
    ASSERT_TRUE(server.endsWithin(kStateMs, status)) << server.output();
    EXPECT_LT(Clock::now() - sent, std::chrono::seconds(10));
    EXPECT_EQ(status, 0);
    EXPECT_NE(server.output().find("host 1 disconnected: the server stops"), std::string::npos) << server.output();
    net::closeSocket(host);
  }
  std::remove(scenario.c_str());
}

TEST(VirtualPrinterProgram, CommandLine) {
  struct Case {
    std::string arguments;
    int status;
    std::string err;  // what stderr contains
  };
  const Case cases[] = {
      {"--port abc", 64,
       "kestrava-virtual-printer: --port: abc is not a port: give a number from 1 to 65535, or 0 for any free one\n"},
      {"--port 70000", 64, "--port: 70000 is not a port"},
      {"--port -1", 64, "--port: -1 is not a port"},
      {"--port", 64, "--port"},
      {"--no-such-option", 64, "--no-such-option"},
      {"--idle-timeout 0", 64, "--idle-timeout"},
      {"--scenario /nonexistent/printer.json", 64,
       "kestrava-virtual-printer: --scenario: cannot read /nonexistent/printer.json: No such file or directory\n"},
      {"--scenario /tmp", 64, "kestrava-virtual-printer: --scenario: cannot read /tmp: Is a directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome outcome = run(c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
}

TEST(VirtualPrinterProgram, VersionAndHelp) {
  Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string(KESTRAVA_VERSION_TEXT) + "\n");

  Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Serves a virtual laser printer", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("Usage: kestrava-virtual-printer [OPTIONS]"), std::string::npos) << help.out;
  // Its own name, not the path it was started by.
  EXPECT_EQ(help.out.find(KESTRAVA_VIRTUAL_PRINTER), std::string::npos) << help.out;
  for (const char* option : {"--port", "--scenario", "--idle-timeout", "--once", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

// A port another program listens on is named with the system's reason and what to do.
TEST(VirtualPrinterProgram, ATakenPortIsNamedWithItsReason) {
  net::Socket taken = net::openStreamSocket(AF_INET);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(taken, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
  std::string port = std::to_string(ntohs(address.sin_port));

  Outcome outcome = run("--port " + port);
  net::closeSocket(taken);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "kestrava-virtual-printer: cannot listen on 127.0.0.1:" + port +
                             ": Address already in use (another program has the port: choose another with --port, "
                             "or --port 0 for any free one)\n");
  EXPECT_EQ(outcome.out, "");
}

}  // namespace
}  // namespace kestrava
