#include "cli_support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrava::testing {

namespace {

// A run that does not end within this is stopped (timeout's status 124): far longer than
// any run here takes on a busy machine, and short of the test's own limit, so that the
// test says which run hung.
constexpr const char* kDeadline = "timeout -k 5 60 ";
constexpr int kTimedOut = 124;

std::string tempFile() {
  char name[] = "/tmp/kestrava-cli-out-XXXXXX";
  int fd = ::mkstemp(name);
  if (fd < 0) return {};
  ::close(fd);
  return name;
}

std::string takeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(name.c_str());
  return text.str();
}

}  // namespace

CliOutcome runCli(const std::string& arguments) { return runCommand(KESTRAVA_CLI, arguments); }

CliOutcome runCommand(const std::string& program, const std::string& arguments) {
  CliOutcome outcome;
  std::string errName = tempFile();
  if (errName.empty()) return outcome;
  std::string command = kDeadline + program + " " + arguments + " 2>" + errName;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
    int raw = ::pclose(pipe);
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  outcome.err = takeFile(errName);
  if (outcome.status == kTimedOut) outcome.err += program + " " + arguments + ": did not end within 60 s\n";
  return outcome;
}

CliOutcome runCliOnTerminal(const std::string& arguments, const std::function<bool(const std::string&)>& enough) {
  CliOutcome outcome;
  std::string outName = tempFile();
  if (outName.empty()) return outcome;
  std::string command = "exec " + std::string(KESTRAVA_CLI) + " " + arguments + " >" + outName;
  int terminal = -1;
  winsize size{};  // a wide terminal: the progress line is cut to the width
  size.ws_row = 24;
  size.ws_col = 132;
  pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
  if (child < 0) return outcome;
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool stopped = false;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{terminal, POLLIN, 0};
    if (::poll(&ready, 1, 200) <= 0) continue;
    char buffer[4096];
    ssize_t n = ::read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;  // the program ended: the terminal is hung up
    outcome.err.append(buffer, static_cast<std::size_t>(n));
    if (enough && enough(outcome.err)) {
      ::kill(child, SIGTERM);
      stopped = true;
      break;
    }
  }
  if (!stopped && std::chrono::steady_clock::now() >= deadline) ::kill(child, SIGTERM);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  ::close(terminal);
  outcome.status = !stopped && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = takeFile(outName);
  return outcome;
}

}  // namespace kestrava::testing
